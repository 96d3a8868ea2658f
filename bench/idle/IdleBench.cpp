// What an idle Kreloed costs. The application runs under the terminal front end in a
// pseudo-terminal of 100 x 30 cells on a fresh copy of the built disk, beside a bare program that
// only wakes once a second. After a warm-up both are measured for the same stretch of time:
// processor time (utime + stime from /proc/<pid>/stat, and the nanoseconds of
// /proc/<pid>/schedstat where the kernel keeps them), wake-ups (voluntary context switches), the
// application's resident memory, and the bytes it writes to the terminal. Nothing changes on
// screen while it idles (the speed stays put), so every byte written is written on a tick whose
// title did not change.
//
//   idle_bench [--seconds N]     (60 by default)
//   idle_bench --bare            the bare program itself
#include "TestDisk.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using kreloed::test::TestDisk;

// Wakes once a second, on the second, and does nothing else.
[[noreturn]] void bare() {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (true) {
        ++next.tv_sec;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
}

struct Sample {
    double cpuSeconds = 0;                // utime + stime
    std::optional<double> cpuNanoseconds; // schedstat: time on a processor
    long long wakeUps = 0;                // voluntary context switches
    long long rssKiB = 0, hwmKiB = 0;
};

long long statusField(const std::string& status, const std::string& name) {
    const auto at = status.find(name + ":");
    return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + name.size() + 1);
}

Sample sample(pid_t pid) {
    Sample s;
    const std::string proc = "/proc/" + std::to_string(pid);
    // The command name may hold spaces and parentheses: the fields start after the last ')'.
    const std::string stat = kreloed::test::readText(proc + "/stat");
    if (const auto close = stat.rfind(')'); close != std::string::npos) {
        std::istringstream fields(stat.substr(close + 2));
        std::vector<std::string> f;
        for (std::string word; fields >> word;)
            f.push_back(word);
        // Fields 14 and 15 of the whole line are the 12th and 13th after the name.
        if (f.size() > 12)
            s.cpuSeconds =
                static_cast<double>(std::atoll(f[11].c_str()) + std::atoll(f[12].c_str())) /
                static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    if (const std::string sched = kreloed::test::readText(proc + "/schedstat"); !sched.empty())
        s.cpuNanoseconds = std::atof(sched.c_str());
    const std::string status = kreloed::test::readText(proc + "/status");
    s.wakeUps = statusField(status, "voluntary_ctxt_switches");
    s.rssKiB = statusField(status, "VmRSS");
    s.hwmKiB = statusField(status, "VmHWM");
    return s;
}

// Reads what the application writes to its terminal until deadline; returns the bytes read and
// adds them to the per-second counts (index: whole seconds since start, when start is given).
std::string drain(int master, Clock::time_point deadline,
                  std::vector<long long>* perSecond = nullptr, Clock::time_point start = {}) {
    std::string out;
    char buffer[8192];
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return out;
        pollfd p{master, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            return out; // the application is gone
        out.append(buffer, static_cast<std::size_t>(n));
        if (perSecond) {
            const auto second = static_cast<std::size_t>(
                std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
            if (second < perSecond->size())
                (*perSecond)[second] += n;
        }
    }
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--bare")
            bare();
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
    }

    TestDisk disk;
    const std::string executable = disk.executable().string();

    winsize size{};
    size.ws_row = 30;
    size.ws_col = 100;
    int master = -1;
    const pid_t app = forkpty(&master, nullptr, nullptr, &size);
    if (app < 0) {
        std::perror("forkpty");
        return 1;
    }
    if (app == 0) {
        setenv("TERM", "xterm-256color", 1);
        setenv("MACSIM_FRONTEND", "terminal", 1);
        unsetenv("MACSIM_DISK");
        execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const pid_t waker = fork();
    if (waker == 0) {
        execl("/proc/self/exe", argv[0], "--bare", static_cast<char*>(nullptr));
        _exit(127);
    }

    // Warm-up: the first screen, then a few ticks to settle.
    std::string screen;
    const auto startLimit = Clock::now() + std::chrono::seconds(30);
    while (screen.find("1000") == std::string::npos && Clock::now() < startLimit)
        screen += drain(master, Clock::now() + std::chrono::milliseconds(200));
    if (screen.find("1000") == std::string::npos) {
        std::fprintf(stderr, "idle_bench: the application never showed its speed\n");
        kill(app, SIGTERM);
        kill(waker, SIGKILL);
        return 1;
    }
    drain(master, Clock::now() + std::chrono::seconds(3));

    const Sample appBefore = sample(app), bareBefore = sample(waker);
    const auto start = Clock::now();
    std::vector<long long> perSecond(static_cast<std::size_t>(seconds), 0);
    const std::string written =
        drain(master, start + std::chrono::seconds(seconds), &perSecond, start);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const Sample appAfter = sample(app), bareAfter = sample(waker);

    kill(app, SIGTERM);
    kill(waker, SIGKILL);
    drain(master, Clock::now() + std::chrono::seconds(2));
    waitpid(app, nullptr, 0);
    waitpid(waker, nullptr, 0);
    close(master);

    const double appCpu = appAfter.cpuSeconds - appBefore.cpuSeconds;
    const double bareCpu = bareAfter.cpuSeconds - bareBefore.cpuSeconds;
    const long long appWakes = appAfter.wakeUps - appBefore.wakeUps;
    const long long bareWakes = bareAfter.wakeUps - bareBefore.wakeUps;
    long long ticksWithOutput = 0;
    for (long long n : perSecond)
        ticksWithOutput += n > 0;

    std::printf("Idle Kreloed, terminal front end, %d s in a 100x30 pseudo-terminal\n", seconds);
    std::printf("%-34s %16s %16s\n", "", "Kreloed", "bare waker");
    std::printf("%-34s %14.3f s %14.3f s\n", "processor time (stat, 1/100 s)", appCpu, bareCpu);
    std::optional<double> appNs, bareNs;
    if (appAfter.cpuNanoseconds && appBefore.cpuNanoseconds && bareAfter.cpuNanoseconds &&
        bareBefore.cpuNanoseconds) {
        appNs = *appAfter.cpuNanoseconds - *appBefore.cpuNanoseconds;
        bareNs = *bareAfter.cpuNanoseconds - *bareBefore.cpuNanoseconds;
        std::printf("%-34s %13.3f ms %13.3f ms\n", "processor time (schedstat)", *appNs / 1e6,
                    *bareNs / 1e6);
    }
    std::printf("%-34s %10lld (%4.2f/s) %9lld (%4.2f/s)\n", "wake-ups (voluntary switches)",
                appWakes, static_cast<double>(appWakes) / elapsed, bareWakes,
                static_cast<double>(bareWakes) / elapsed);
    std::printf("%-34s %13lld KiB (peak %lld KiB)\n", "resident memory (VmRSS)", appAfter.rssKiB,
                appAfter.hwmKiB);
    std::printf("%-34s %14zu B (on %lld of %d ticks)\n", "written on unchanged ticks",
                written.size(), ticksWithOutput, seconds);

    // The finer clock when there is one: whole 1/100 s are too coarse for an idle process.
    const bool cpuMet = appNs ? *appNs <= 2 * *bareNs : appCpu <= 2 * bareCpu + 0.01;
    const bool wakesMet = static_cast<double>(appWakes) <= 1.1 * elapsed + 2;
    std::printf("\ntargets: processor time at most twice the bare program's: %s; "
                "one wake-up a second: %s; nothing written on an unchanged tick: %s\n",
                verdict(cpuMet), verdict(wakesMet), verdict(written.empty()));
    return 0;
}
