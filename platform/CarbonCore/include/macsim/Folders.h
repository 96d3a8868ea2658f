// How the File Manager's (volume, directory ID, name) triples map to the disk's folders and files.
#pragma once

#include <MacTypes.h>

#include <filesystem>
#include <optional>

namespace macsim {

// The one volume: the disk of the process.
inline constexpr FSVolumeRefNum kDiskVolume = -100;
// Directory ID 2 is the root of a volume, as on the platform.
inline constexpr SInt32 kRootDirID = 2;

// The folder that (vRefNum, dirID) names: directory 0 is the process's working directory,
// 2 the disk's root, others those handed out by directoryIDFor. Nothing, with err set (nsvErr,
// dirNFErr), for anything else or a folder that no longer exists.
std::optional<std::filesystem::path> folderFor(FSVolumeRefNum vRefNum, SInt32 dirID, OSErr& err);

// The directory ID of a folder, handed out on first use and stable for the process's life.
SInt32 directoryIDFor(const std::filesystem::path& folder);

// The path of file name (a length-prefixed Mac Roman name) in the folder (vRefNum, dirID).
// Nothing, with err set, when the folder is not found or the name cannot be a file name here
// (empty, '.' or '..', a ':' or a NUL in it, too long): bdNamErr.
std::optional<std::filesystem::path> filePathFor(FSVolumeRefNum vRefNum, SInt32 dirID,
                                                 ConstStr255Param name, OSErr& err);

// The companion "DIR/._NAME" of "DIR/NAME", which holds its Finder Info and resource fork.
std::filesystem::path companionPath(const std::filesystem::path& file);

// Companions larger than this are refused rather than read: more than any fork can address.
inline constexpr std::size_t kMaxCompanionSize = std::size_t(64) << 20;

} // namespace macsim
