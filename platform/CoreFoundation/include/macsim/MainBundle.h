// Lets an in-process test stand in for an application: the process's main bundle is otherwise
// the one that holds its executable.
#pragma once

#include <filesystem>

namespace macsim {

// From now on CFBundleGetMainBundle returns the bundle at folder (null when folder is empty or
// not a bundle). Bundle references handed out before stay valid.
void useMainBundle(const std::filesystem::path& folder);

} // namespace macsim
