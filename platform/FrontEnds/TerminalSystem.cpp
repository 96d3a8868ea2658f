#include "TerminalSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace macsim::terminal {

namespace fs = std::filesystem;

std::optional<fs::path> findOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (!path || name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    std::string_view rest = path;
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            const fs::path candidate = fs::path(dir) / name;
            struct stat st {};
            if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

namespace {

bool isWebAddress(const std::string& url) {
    for (const char* scheme : {"http://", "https://", "mailto:"})
        if (url.rfind(scheme, 0) == 0)
            return url.size() > std::string_view(scheme).size();
    return false;
}

} // namespace

bool openInBrowser(const std::string& url) {
    if (!isWebAddress(url))
        return false;
    const std::optional<fs::path> opener = findOnPath("xdg-open");
    if (!opener)
        return false;
    // Everything the children need is made before fork: after it only async-signal-safe calls.
    const std::string program = opener->string();
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(url.c_str()),
                          nullptr};
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // The middle child starts the opener in a session of its own and leaves at once, so that
        // init reaps the opener and nothing of it holds the terminal.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
                if (null > 2)
                    close(null);
            }
            execv(argv[0], argv);
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> lastLines(const fs::path& path, std::size_t count, std::size_t maxBytes) {
    std::vector<std::string> lines;
    if (count == 0)
        return lines;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return lines;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return lines;
    const std::streamoff start = size > static_cast<std::streamoff>(maxBytes)
                                     ? size - static_cast<std::streamoff>(maxBytes)
                                     : 0;
    in.seekg(start);
    std::string text(static_cast<std::size_t>(size - start), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::size_t pos = 0;
    if (start > 0) {
        // The first line read is the tail of a longer one: leave it out.
        const std::size_t newline = text.find('\n');
        pos = newline == std::string::npos ? text.size() : newline + 1;
    }
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        lines.emplace_back(text, pos, end - pos);
        pos = end + 1;
    }
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

} // namespace macsim::terminal
