// File URLs as the rest of the stand-in needs them: made from and turned back into paths.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <filesystem>
#include <optional>

namespace macsim {

// A new file URL (one reference, owned by the caller) for an absolute path; null for a relative
// or empty path.
CFURLRef makeFileURL(const std::filesystem::path& path, bool isDirectory);
// The path of a file URL (no trailing slash except for "/"); nothing for null or a web address.
std::optional<std::filesystem::path> fileURLPath(CFURLRef url);

} // namespace macsim
