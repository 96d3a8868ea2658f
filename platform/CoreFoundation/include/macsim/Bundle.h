// What a bundle knows beyond the platform calls, for diagnostics of the stand-in's own users.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <filesystem>
#include <string>

namespace macsim {

// Why the last load of the bundle's executable or look-up of a name in it failed (the dynamic
// loader's own words); empty when the last one worked.
std::string bundleLastError(CFBundleRef bundle);
// The bundle's folder (".../Name.bundle"); empty for null.
std::filesystem::path bundleFolder(CFBundleRef bundle);
// The bundle whose executable is the shared object or program at path (".../Contents/MacOS/x"),
// with one reference owned by the caller; null when path lies in no bundle.
CFBundleRef bundleForExecutable(const std::filesystem::path& path);

} // namespace macsim
