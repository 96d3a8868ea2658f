// The Resource Manager's files as the stand-in itself (and its tests) reach them.
#pragma once

#include <MacTypes.h>

#include <filesystem>

namespace macsim {

enum class ForkLocation {
    companion, // the fork is entry 2 of the companion "._NAME" (ordinary files)
    dataFork,  // the file's own bytes are the fork (resource files that tools build)
};

enum class ResourceAccess { readOnly, readWrite };

// Opens the resource file at path as HOpenResFile does; it becomes current. -1, with ResError()
// set, on failure.
ResFileRefNum openResourceFile(const std::filesystem::path& path, ForkLocation where,
                               ResourceAccess access);

// Closes every open resource file (writing what changed) and forgets that the application's
// resource file was opened, so the next Resource Manager call looks for it again.
void resetResourceManager();

} // namespace macsim
