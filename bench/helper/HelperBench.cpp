// What one privileged command costs the application, against the least any helper tool could
// cost: run by run, a set-speed command's full round trip through myPerformAuthCommand and the
// disk's real helper tool, interleaved with a bare fork, execle and waitpid of a minimal static
// program fed the same 544 bytes. Reports both medians and their ratio.
//
//   helper_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <Speed.h>
#include <TestDisk.h>
#include <macsim/Disk.h>
#include <macsim/MachineCommand.h>
#include <macsim/MainBundle.h>

// The runner shows this window when the tool is missing; here the tool is always there.
void showError_loader() {
    std::fprintf(stderr, "helper_bench: the helper tool is missing\n");
    std::exit(1);
}

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// fork, execle with an empty environment, the stream on the program's standard input, waitpid:
// the runner's own sequence without anything around it.
bool runBare(const char* program, const std::vector<unsigned char>& stream) {
    int comms[2];
    if (pipe(comms) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        dup2(comms[0], STDIN_FILENO);
        close(comms[0]);
        close(comms[1]);
        char* const environment[] = {nullptr};
        execle(program, program, static_cast<char*>(nullptr), environment);
        _exit(1);
    }
    close(comms[0]);
    const bool written =
        write(comms[1], stream.data(), stream.size()) == static_cast<ssize_t>(stream.size());
    close(comms[1]);
    int status = 0;
    return waitpid(child, &status, 0) == child && written && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    kreloed::test::TestDisk disk;
    macsim::Disk::use(disk.root());
    macsim::useMainBundle(disk.app());
    if (myInitAuthCommand() != 0) {
        std::fprintf(stderr, "helper_bench: no authorization\n");
        return 1;
    }
    std::string output;
    if (macsim::runMachineCommand(macsim::Disk::current(),
                                  {"load", (disk.resources() / "Krelo.kext").string()},
                                  output) != 0) {
        std::fprintf(stderr, "helper_bench: %s\n", output.c_str());
        return 1;
    }

    // The baseline is fed the very stream the helper tool gets.
    myPerformAuthCommand(cmdSetSpeed, 700, "");
    AuthorizationExternalForm form;
    AuthorizationMakeExternalForm(authorizationRef, &form);
    std::vector<unsigned char> stream(form.bytes, form.bytes + sizeof form.bytes);
    const auto* record = reinterpret_cast<const unsigned char*>(&myCommand);
    stream.insert(stream.end(), record, record + sizeof myCommand);

    // The helper tool started the bare way tells the tool's own cost from the runner's.
    const std::string tool = (disk.resources() / "loader").string();
    std::vector<double> command, bare, toolAlone;
    for (int run = 0; run < runs; ++run) {
        // Rotate which goes first, so that none always finds the caches another left.
        for (int turn = 0; turn < 3; ++turn) {
            const auto start = Clock::now();
            switch ((run + turn) % 3) {
            case 0:
                myPerformAuthCommand(cmdSetSpeed, run % 2 ? 700 : 800, "");
                command.push_back(microseconds(Clock::now() - start));
                break;
            case 1:
                if (!runBare(HELPER_BENCH_MINIMAL_TOOL, stream)) {
                    std::fprintf(stderr, "helper_bench: the minimal program failed\n");
                    return 1;
                }
                bare.push_back(microseconds(Clock::now() - start));
                break;
            case 2:
                if (!runBare(tool.c_str(), stream)) {
                    std::fprintf(stderr, "helper_bench: the helper tool failed\n");
                    return 1;
                }
                toolAlone.push_back(microseconds(Clock::now() - start));
                break;
            }
        }
    }
    // Every command must have done its work, or the tool was measured failing.
    const std::string log = disk.readText("private/var/log/system.log");
    if (!log.empty()) {
        std::fprintf(stderr, "helper_bench: the helper tool failed:\n%s", log.c_str());
        return 1;
    }
    myFreeAuthCommand();

    const double commandMedian = median(command), bareMedian = median(bare);
    std::printf("runs                         %d\n", runs);
    std::printf("command round trip (median)  %.1f us\n", commandMedian);
    std::printf("bare fork/exec (median)      %.1f us\n", bareMedian);
    std::printf("helper tool, bare (median)   %.1f us\n", median(toolAlone));
    std::printf("ratio                        %.2f\n", commandMedian / bareMedian);
    return 0;
}
