// What the terminal front end does outside its screen: hands web addresses to the desktop's
// opener, and reads the end of the disk's system log for the log panel.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace macsim::terminal {

// The first executable file called name in the folders of $PATH.
std::optional<std::filesystem::path> findOnPath(std::string_view name);

// Starts xdg-open on url, detached (its own session, output to /dev/null, reaped by init) so
// that the event loop never waits for a browser. False, and nothing started, when there is no
// opener or the address is not a web address: only http, https and mailto go out, so text that
// is not an address never reaches a program as an argument.
bool openInBrowser(const std::string& url);

// The last count lines of the text file at path (at most its last maxBytes bytes are read).
// Empty when the file is missing or unreadable.
std::vector<std::string> lastLines(const std::filesystem::path& path, std::size_t count,
                                   std::size_t maxBytes = 64 * 1024);

} // namespace macsim::terminal
