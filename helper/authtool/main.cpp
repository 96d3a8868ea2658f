// authtool, installed as the application's Resources/loader: carries out one privileged command.
// It is started with an empty environment and reads, on its standard input, an authorization's
// external form and one command record (AuthCommandRecord.h); it finds its disk by walking up
// from its own executable. Its exit statuses are listed in AuthToolStatus.h.
#include <cerrno>
#include <cstdint>
#include <malloc.h>
#include <unistd.h>

#include "AuthCommandRecord.h"
#include "AuthTool.h"

int main() {
    // One generous heap extension rather than several small ones: every system call counts in a
    // tool that is started for each command.
    mallopt(M_TOP_PAD, 1 << 20);
    const macsim::Disk& disk = macsim::Disk::current();
    // One byte more than a command tells a longer stream from an exact one.
    std::uint8_t input[kAuthToolInputLength + 1];
    std::size_t length = 0;
    while (length < sizeof input) {
        const ssize_t got = read(STDIN_FILENO, input + length, sizeof input - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    return authtool::run(disk, {input, length});
}
