// The readable source of a resource file: XML elements that stand for resources, turned into the
// resources' bytes. Only the kinds of resource the application's own resource file needs.
#pragma once

#include <macsim/ResourceFork.h>

#include <string>
#include <string_view>

namespace rsrcbuild {

// Builds the fork that source describes. On failure returns false and says why in error.
bool buildFork(std::string_view source, macsim::ResourceFork& fork, std::string& error);

} // namespace rsrcbuild
