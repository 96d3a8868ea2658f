// A stand-in for the kernel's sysctl calls, for the answers a real kernel never gives our
// extension (a name under another top level, a value wider than 32 bits, a failing read). While
// inactive, the calls go to the simulated kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sysctlfake {

struct Answers {
    bool active = false;
    std::vector<int> mib;      // what the name resolves to
    std::size_t valueSize = 4; // what the size query reports
    bool readFails = false;
    std::uint32_t value = 0;
    int reads = 0; // calls with a buffer
};

extern Answers answers;

} // namespace sysctlfake
