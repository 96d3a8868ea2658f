// macsimctl: acts on a simulated Mac from outside, as a person at the machine, its power
// management or an administrator would. Installed in the disk's usr/bin; without --disk it acts
// on the disk it lies on (or the one named by MACSIM_DISK).
//
//   macsimctl [--disk DIR] state | speed MHZ | load PATH | unload PATH|ID | sysctl NAME VALUE |
//                          version X.Y.Z | clock HZ
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <macsim/MachineCommand.h>

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const macsim::Disk* disk = nullptr;
    std::optional<macsim::Disk> named;
    if (args.size() >= 2 && args[0] == "--disk") {
        const auto root = macsim::Disk::find(args[1]);
        if (!root || macsim::fs::weakly_canonical(*root) != macsim::fs::weakly_canonical(args[1])) {
            std::fprintf(stderr, "macsimctl: %s is not a simulated Mac disk\n", args[1].c_str());
            return 2;
        }
        disk = &named.emplace(*root);
        args.erase(args.begin(), args.begin() + 2);
    } else {
        disk = &macsim::Disk::current();
    }
    std::string output;
    const int status = macsim::runMachineCommand(*disk, args, output);
    if (!output.empty())
        std::fprintf(status == 0 ? stdout : stderr, "%s%s\n",
                     status == 0 ? "" : "macsimctl: ", output.c_str());
    return status;
}
