// Choosing the front end of a process.
#include <macsim/FrontEnd.h>
#include <macsim/HeadlessFrontEnd.h>
#include <macsim/MachineCommand.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace macsim {

// The terminal front end, when it is part of the platform.
std::unique_ptr<FrontEnd> makeTerminalFrontEnd(WindowServer& server) __attribute__((weak));

std::unique_ptr<FrontEnd> makeFrontEnd(WindowServer& server) {
    const char* choice = std::getenv("MACSIM_FRONTEND");
    const std::string_view wanted = choice ? choice : "";
    bool terminal = false;
    if (wanted == "terminal")
        terminal = true;
    else if (wanted.empty())
        terminal = isatty(0) && isatty(1);
    else if (wanted != "headless")
        std::fprintf(stderr, "MACSIM_FRONTEND: unknown front end \"%s\"; using headless\n", choice);
    // The terminal front end is null when curses cannot use the terminal.
    if (terminal && makeTerminalFrontEnd)
        if (auto frontEnd = makeTerminalFrontEnd(server))
            return frontEnd;
    // A script's `machine ...` lines act on this process's disk, as macsimctl would.
    return makeHeadlessFrontEnd(server, [](const std::vector<std::string>& words) {
        std::string output;
        return runMachineCommand(Disk::current(), words, output) == 0 ? std::string() : output;
    });
}

} // namespace macsim
