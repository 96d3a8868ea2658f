#include <CarbonCore/Files.h>
#include <macsim/AppleDouble.h>
#include <macsim/Disk.h>
#include <macsim/Folders.h>
#include <macsim/NoDestructor.h>
#include <macsim/TextEncoding.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace macsim {

namespace {

constexpr SInt32 kFirstTableDirID = 100;
// Linux holds 255 bytes in a file name, and the companion adds "._".
constexpr std::size_t kMaxNameBytes = 253;

// Folders that have been given a directory ID, by ID - kFirstTableDirID.
std::vector<fs::path>& directoryTable() {
    static NoDestructor<std::vector<fs::path>> table;
    return *table;
}

fs::path normalFolder(const fs::path& folder) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(folder, ec);
    return ec ? folder.lexically_normal() : canonical;
}

} // namespace

SInt32 directoryIDFor(const fs::path& folder) {
    const fs::path normal = normalFolder(folder);
    auto& table = directoryTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == normal)
            return kFirstTableDirID + SInt32(i);
    table.push_back(normal);
    return kFirstTableDirID + SInt32(table.size() - 1);
}

std::optional<fs::path> folderFor(FSVolumeRefNum vRefNum, SInt32 dirID, OSErr& err) {
    if (vRefNum != 0 && vRefNum != kDiskVolume) {
        err = nsvErr;
        return std::nullopt;
    }
    std::error_code ec;
    fs::path folder;
    const auto& table = directoryTable();
    if (dirID == 0) {
        folder = fs::current_path(ec);
    } else if (dirID == kRootDirID) {
        folder = Disk::current().root();
    } else if (dirID >= kFirstTableDirID && std::size_t(dirID - kFirstTableDirID) < table.size()) {
        folder = table[std::size_t(dirID - kFirstTableDirID)];
    } else {
        err = dirNFErr;
        return std::nullopt;
    }
    if (ec || !fs::is_directory(folder, ec)) {
        err = dirNFErr;
        return std::nullopt;
    }
    err = noErr;
    return folder;
}

std::optional<fs::path> filePathFor(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param name,
                                    OSErr& err) {
    if (!name || name[0] == 0) {
        err = bdNamErr;
        return std::nullopt;
    }
    const std::string_view macName(reinterpret_cast<const char*>(name + 1), name[0]);
    // A ':' would make the name a partial path, and a NUL would cut the path short.
    if (macName.find(':') != std::string_view::npos ||
        macName.find('\0') != std::string_view::npos || macName == "." || macName == "..") {
        err = bdNamErr;
        return std::nullopt;
    }
    std::string fileName = macRomanToUtf8(macName);
    // The file system shows a '/' of a Mac name as ':', as the platform's own BSD layer does.
    for (char& c : fileName)
        if (c == '/')
            c = ':';
    if (fileName.size() > kMaxNameBytes) {
        err = bdNamErr;
        return std::nullopt;
    }
    auto folder = folderFor(vRefNum, dirID, err);
    if (!folder)
        return std::nullopt;
    return *folder / fileName;
}

fs::path companionPath(const fs::path& file) {
    return file.parent_path() / ("._" + file.filename().string());
}

} // namespace macsim

using namespace macsim;

// FindFolder
OSErr FindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder,
                 FSVolumeRefNum* foundVRefNum, SInt32* foundDirID) {
    if (!foundVRefNum || !foundDirID)
        return paramErr;
    if (vRefNum != kOnAppropriateDisk && vRefNum != kUserDomain)
        return nsvErr;
    if (folderType != kPreferencesFolderType)
        return fnfErr;
    const fs::path folder = Disk::current().preferencesFolder();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (!createFolder)
            return fnfErr;
        fs::create_directories(folder, ec);
        if (ec || !fs::is_directory(folder, ec))
            return ioErr;
    }
    *foundVRefNum = kDiskVolume;
    *foundDirID = directoryIDFor(folder);
    return noErr;
}

// HCreate
OSErr HCreate(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, OSType creator,
              OSType fileType) {
    OSErr err = noErr;
    auto file = filePathFor(vRefNum, dirID, fileName, err);
    if (!file)
        return err;
    const int fd = ::open(file->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? dupFNErr : errno == EACCES ? permErr : ioErr;
    ::close(fd);

    // A companion left behind by a file of the same name that is gone belongs to nothing; the new
    // file gets a fresh one.
    AppleDouble companion;
    companion.setEntry(AppleDouble::finderInfoId, AppleDouble::finderInfo(fileType, creator));
    companion.setEntry(AppleDouble::resourceForkId, {});
    if (!writeFileAtomically(companionPath(*file), companion.serialize())) {
        std::error_code ec;
        fs::remove(*file, ec);
        return ioErr;
    }
    return noErr;
}
