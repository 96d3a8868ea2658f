// The real application under the terminal front end, driven as a person would: keys typed into a
// tmux pane of a fixed size, the screen read back from it, on a fresh copy of the disk.
#include "TerminalSystem.h"
#include "TestDisk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kreloed::test {
namespace {

using namespace std::chrono_literals;

struct Ran {
    int status = -1;
    std::string out;
};

// Runs argv with environment, standard output captured.
Ran run(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    std::vector<char*> args, env;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : environment)
        env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execve(args[0], args.data(), env.data());
        _exit(127);
    }
    close(fds[1]);
    Ran ran;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0)
            ran.out.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran;
}

// The text in reverse video on a line of `capture-pane -e` output.
std::string reversedText(const std::string& line) {
    std::string out;
    bool reverse = false;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
            const std::size_t end = line.find_first_of("ABCDEFGHJKSTfmnsu", i + 2);
            if (end == std::string::npos)
                break;
            if (line[end] == 'm') {
                std::vector<int> params;
                std::stringstream s(line.substr(i + 2, end - i - 2));
                for (std::string p; std::getline(s, p, ';');)
                    params.push_back(p.empty() ? 0 : std::atoi(p.c_str()));
                if (params.empty())
                    params.push_back(0);
                for (std::size_t k = 0; k < params.size(); ++k) {
                    if (params[k] == 38 || params[k] == 48)
                        k += (k + 1 < params.size() && params[k + 1] == 5) ? 2 : 4;
                    else if (params[k] == 0 || params[k] == 27)
                        reverse = false;
                    else if (params[k] == 7)
                        reverse = true;
                }
            }
            i = end + 1;
            continue;
        }
        if (reverse)
            out += line[i];
        ++i;
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);)
        out.push_back(line);
    return out;
}

// The status item's title: the last word on the menu bar.
std::string statusTitle(const std::vector<std::string>& screen) {
    if (screen.empty())
        return {};
    std::smatch m;
    static const std::regex last("(\\S+)\\s*$");
    return std::regex_search(screen[0], m, last) ? m[1].str() : std::string();
}

int rowWith(const std::vector<std::string>& screen, const std::string& text) {
    for (std::size_t i = 0; i < screen.size(); ++i)
        if (screen[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

// One tmux server of our own (its own socket, no configuration of the user's) with one pane of
// 100 x 30 cells that keeps its picture after the program in it has ended.
class TmuxPane {
public:
    TmuxPane() {
        socket_ = "kreloed-test-" + std::to_string(getpid()) + "-" + std::to_string(serial_++);
        config_ = fs::temp_directory_path() / (socket_ + ".conf");
        output_ = fs::temp_directory_path() / (socket_ + ".out");
        status_ = fs::temp_directory_path() / (socket_ + ".status");
        std::ofstream(config_) << "set -g status off\n"
                                  "set -g remain-on-exit on\n"
                                  "set -g default-terminal screen\n"
                                  "set -g history-limit 0\n";
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "TMUX", 4) != 0 && std::strncmp(*e, "TERM=", 5) != 0 &&
                std::strncmp(*e, "MACSIM_", 7) != 0)
                environment_.emplace_back(*e);
        environment_.emplace_back("TERM=xterm-256color");
    }
    ~TmuxPane() {
        tmux({"kill-server"});
        std::error_code ignored;
        fs::remove(config_, ignored);
        fs::remove(output_, ignored);
        fs::remove(status_, ignored);
    }

    static std::optional<fs::path> program() { return macsim::terminal::findOnPath("tmux"); }

    // Runs executable in the pane under a small shell that notes how it ended ($?: the exit
    // status, or 128 + the signal), since tmux does not always learn that itself. The shell
    // outlives the signals sent to the application: its traps run only after it.
    void start(const fs::path& executable) {
        // More than one word: tmux runs it directly, so the paths need no quoting.
        tmux({"new-session", "-d", "-s", "kreloed", "-x", "100", "-y", "30", "--", "/bin/sh", "-c",
              "trap : INT TERM HUP; /usr/bin/env MACSIM_FRONTEND=terminal \"$0\"; "
              "echo $? > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"",
              executable.string(), status_.string()});
        // Everything the program writes from here on, to see how it leaves the terminal.
        tmux({"pipe-pane", "-t", "kreloed", "-o", "cat >> '" + output_.string() + "'"});
    }

    // The application: the child of the pane's shell.
    pid_t application() const {
        const std::string shell = format("#{pane_pid}");
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::vector<unsigned char> bytes = readBytes(entry.path() / "stat");
            const std::string stat(bytes.begin(), bytes.end());
            const auto close = stat.rfind(')');
            if (close == std::string::npos)
                continue;
            std::istringstream fields(stat.substr(close + 2));
            std::string state, parent;
            fields >> state >> parent;
            if (parent == shell)
                return static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
        }
        return -1;
    }

    // How the application ended: its exit status, or 128 + the signal that ended it; -1 when
    // that never became known.
    int exitStatus() const {
        for (int i = 0; i < 100 && !fs::exists(status_); ++i)
            std::this_thread::sleep_for(50ms);
        const std::vector<unsigned char> bytes = readBytes(status_);
        return bytes.empty() ? -1 : std::atoi(std::string(bytes.begin(), bytes.end()).c_str());
    }

    std::string tmux(std::vector<std::string> args) const {
        args.insert(args.begin(), {program()->string(), "-L", socket_, "-f", config_.string()});
        return run(args, environment_).out;
    }

    void keys(const std::vector<std::string>& keys) const {
        std::vector<std::string> args{"send-keys", "-t", "kreloed"};
        args.insert(args.end(), keys.begin(), keys.end());
        tmux(args);
    }

    std::vector<std::string> screen() const {
        return lines(tmux({"capture-pane", "-p", "-t", "kreloed"}));
    }
    std::vector<std::string> styledScreen() const {
        return lines(tmux({"capture-pane", "-p", "-e", "-t", "kreloed"}));
    }
    std::string format(const std::string& f) const {
        std::string out = tmux({"display-message", "-p", "-t", "kreloed", f});
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
            out.pop_back();
        return out;
    }
    bool dead() const { return format("#{pane_dead}") == "1"; }

    // Waits, a bounded while, for the screen to satisfy ready; fails the test with the last
    // screen seen when it never does.
    bool waitFor(const std::string& what,
                 const std::function<bool(const std::vector<std::string>&)>& ready,
                 std::chrono::seconds limit = 30s) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::vector<std::string> last;
        while (std::chrono::steady_clock::now() < deadline) {
            last = screen();
            if (ready(last))
                return true;
            std::this_thread::sleep_for(100ms);
        }
        std::string picture;
        for (const std::string& l : last)
            picture += l + "\n";
        ADD_FAILURE() << "waited in vain for " << what << "; the screen:\n" << picture;
        return false;
    }
    bool waitForText(const std::string& text) const {
        return waitFor("\"" + text + "\"", [&](const auto& s) { return rowWith(s, text) != -1; });
    }
    bool waitForTitle(const std::string& title) const {
        return waitFor("the status title " + title,
                       [&](const auto& s) { return statusTitle(s) == title; });
    }
    bool waitForExit() const {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (dead())
                return true;
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << "the application did not end";
        return false;
    }

    // The row that is highlighted in the open menu (or the focused control), as on screen.
    std::string highlighted() const {
        const std::vector<std::string> styled = styledScreen();
        std::string found;
        for (std::size_t i = 1; i + 1 < styled.size(); ++i) // not the menu bar, not the help line
            if (const std::string r = reversedText(styled[i]);
                r.find_first_not_of(' ') != std::string::npos)
                found += r;
        return found;
    }

    // Presses key until what is highlighted holds text (at most limit presses).
    bool moveTo(const std::string& key, const std::string& text, int limit = 12) const {
        for (int i = 0; i <= limit; ++i) {
            for (int tries = 0; tries < 20 && highlighted().empty(); ++tries)
                std::this_thread::sleep_for(50ms);
            if (highlighted().find(text) != std::string::npos)
                return true;
            keys({key});
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << "never highlighted \"" << text << "\"; last: \"" << highlighted() << "\"";
        return false;
    }

    // The alternate screen is left and the cursor shown again: the terminal was restored.
    void expectTerminalRestored() const {
        EXPECT_EQ(format("#{alternate_on}"), "0") << "still on the program's screen";
        // A dead pane has no cursor of its own; what the program wrote last tells.
        std::string written;
        for (int i = 0; i < 20; ++i) {
            const std::vector<unsigned char> bytes = readBytes(output_);
            written.assign(bytes.begin(), bytes.end());
            if (written.find("\x1b[?25h") != std::string::npos)
                break;
            std::this_thread::sleep_for(100ms);
        }
        const auto shown = written.rfind("\x1b[?25h"), hidden = written.rfind("\x1b[?25l");
        EXPECT_NE(shown, std::string::npos) << "the cursor was never shown again";
        if (hidden != std::string::npos) {
            EXPECT_GT(shown, hidden) << "the cursor is left hidden";
        }
    }

private:
    static inline int serial_ = 0;
    std::string socket_;
    fs::path config_, output_, status_;
    std::vector<std::string> environment_;
};

// The 12-byte settings record from the AppleDouble companion: entry 2 is the resource fork, in
// which resource 'SLpr' 128 holds it. Read from the published layout, not with our own reader.
std::optional<std::vector<unsigned char>> settingsRecord(const fs::path& companion) {
    const std::vector<unsigned char> f = readBytes(companion);
    const auto u16 = [&](std::size_t at) -> std::optional<std::uint32_t> {
        if (at + 2 > f.size())
            return std::nullopt;
        return std::uint32_t(f[at]) << 8 | f[at + 1];
    };
    const auto u32 = [&](std::size_t at) -> std::optional<std::uint32_t> {
        if (at + 4 > f.size())
            return std::nullopt;
        return std::uint32_t(f[at]) << 24 | std::uint32_t(f[at + 1]) << 16 |
               std::uint32_t(f[at + 2]) << 8 | f[at + 3];
    };
    if (u32(0) != 0x00051607u)
        return std::nullopt;
    std::optional<std::size_t> fork;
    for (std::uint32_t i = 0, n = u16(24).value_or(0); i < n; ++i)
        if (u32(26 + 12 * i) == 2u)
            fork = u32(26 + 12 * i + 4);
    if (!fork)
        return std::nullopt;
    const auto dataOffset = u32(*fork), mapOffset = u32(*fork + 4);
    if (!dataOffset || !mapOffset)
        return std::nullopt;
    const std::size_t map = *fork + *mapOffset;
    const auto typeListOffset = u16(map + 24);
    if (!typeListOffset)
        return std::nullopt;
    const std::size_t typeList = map + *typeListOffset;
    const auto types = u16(typeList);
    if (!types || *types == 0xFFFF)
        return std::nullopt;
    for (std::uint32_t t = 0; t <= *types; ++t) {
        const std::size_t entry = typeList + 2 + 8 * t;
        if (u32(entry) != std::uint32_t('SLpr'))
            continue;
        const auto count = u16(entry + 4), refs = u16(entry + 6);
        if (!count || !refs)
            return std::nullopt;
        for (std::uint32_t r = 0; r <= *count; ++r) {
            const std::size_t ref = typeList + *refs + 12 * r;
            if (u16(ref) != 128u)
                continue;
            const auto word = u32(ref + 4);
            if (!word)
                return std::nullopt;
            const std::size_t block = *fork + *dataOffset + (*word & 0xFFFFFF);
            if (u32(block) != 12u || block + 16 > f.size())
                return std::nullopt;
            return std::vector<unsigned char>(f.begin() + static_cast<std::ptrdiff_t>(block + 4),
                                              f.begin() + static_cast<std::ptrdiff_t>(block + 16));
        }
    }
    return std::nullopt;
}

class TerminalSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TmuxPane::program())
            GTEST_SKIP() << "tmux is not installed; the terminal session tests drive the "
                            "application through it (apt-get install tmux)";
        // Fatal signals in these tests must not leave core files behind.
        rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
    }
};

TEST_F(TerminalSession, PersonSetsAUserDefinedSpeedAndQuits) {
    TestDisk disk;
    TmuxPane pane;
    pane.start(disk.executable());
    ASSERT_TRUE(pane.waitForTitle("1000")) << "the default speed, as a bare number";
    EXPECT_EQ(pane.format("#{alternate_on}"), "1");

    // The extension first: without it no speed can be set.
    pane.keys({"s"});
    ASSERT_TRUE(pane.waitForText("Load Krelo.kext into kernel"));
    ASSERT_TRUE(pane.moveTo("Down", "Load Krelo.kext into kernel"));
    pane.keys({"Enter"});
    ASSERT_TRUE(pane.waitFor("the menu to close",
                             [](const auto& s) { return rowWith(s, "About Kreloed") == -1; }));

    // The status menu with its eleven rows, the load item now offering to unload.
    pane.keys({"s"});
    ASSERT_TRUE(pane.waitForText("Unload Krelo.kext from kernel"));
    const std::vector<std::string> menu = pane.screen();
    const int about = rowWith(menu, "About Kreloed"), quit = rowWith(menu, "Quit");
    ASSERT_NE(about, -1);
    EXPECT_EQ(quit - about + 1, 11);

    ASSERT_TRUE(pane.moveTo("Down", "Set user-defined CPU speed ..."));
    pane.keys({"Enter"});
    ASSERT_TRUE(pane.waitForText("[[ OK ]]"));
    EXPECT_NE(rowWith(pane.screen(), "User-defined CPU speed"), -1);

    // Only the dialog takes input now: the menu bar key rings the bell instead.
    EXPECT_EQ(pane.format("#{window_bell_flag}"), "0");
    pane.keys({"m"});
    EXPECT_TRUE(pane.waitFor(
        "the bell", [&pane](const auto&) { return pane.format("#{window_bell_flag}") == "1"; }));
    EXPECT_EQ(rowWith(pane.screen(), "Quit Kreloed"), -1) << "no menu opened";

    // The slider opens at 1000 MHz (15 of 21); six steps left is 700 MHz.
    ASSERT_TRUE(pane.moveTo("Tab", "#"));
    const auto knob = [&pane]() -> double {
        for (const std::string& line : pane.screen()) {
            static const std::regex track("\\[[-#]+\\]");
            std::smatch m;
            if (std::regex_search(line, m, track) && m.str().find('#') != std::string::npos)
                return static_cast<double>(m.str().find('#') - 1) /
                       static_cast<double>(m.str().size() - 3);
        }
        return -1;
    };
    EXPECT_NEAR(knob(), 14.0 / 20, 0.03);
    for (int i = 0; i < 6; ++i)
        pane.keys({"Left"});
    ASSERT_TRUE(pane.waitFor("the knob at 700 MHz",
                             [&](const auto&) { return std::abs(knob() - 8.0 / 20) < 0.03; }));
    pane.keys({"Enter"});

    // The title follows: the requested speed, then what the processor reports.
    ASSERT_TRUE(pane.waitForTitle("700"));
    EXPECT_EQ(rowWith(pane.screen(), "[[ OK ]]"), -1) << "the dialog is gone";
    pane.keys({"s"});
    ASSERT_TRUE(pane.waitForText("* Set user-defined CPU speed ..."));
    EXPECT_EQ(statusTitle(pane.screen()), "700");

    // Quit from the status menu.
    ASSERT_TRUE(pane.moveTo("Up", "Quit"));
    pane.keys({"Enter"});
    ASSERT_TRUE(pane.waitForExit());
    EXPECT_EQ(pane.exitStatus(), 0);
    pane.expectTerminalRestored();

    const auto record = settingsRecord(disk.preferences() / "._Kreloed Prefs");
    ASSERT_TRUE(record) << "no settings record in the companion file";
    EXPECT_EQ((*record)[2] << 8 | (*record)[3], 700) << "userClock";
    EXPECT_EQ((*record)[6] << 8 | (*record)[7], 1) << "speedMode";
}

TEST_F(TerminalSession, TerminalIsRestoredOnEveryWayOut) {
    struct Row {
        const char* name;
        int signal;
        bool typed; // Control-C typed at the keyboard rather than sent
    } table[] = {
        {"Control-C", SIGINT, true},
        {"terminate", SIGTERM, false},
        {"hang-up", SIGHUP, false},
        {"crash", SIGSEGV, false},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        TestDisk disk;
        TmuxPane pane;
        pane.start(disk.executable());
        ASSERT_TRUE(pane.waitForTitle("1000"));
        ASSERT_EQ(pane.format("#{alternate_on}"), "1");
        if (row.typed) {
            pane.keys({"C-c"});
        } else {
            const pid_t application = pane.application();
            ASSERT_GT(application, 0);
            kill(application, row.signal);
        }
        ASSERT_TRUE(pane.waitForExit());
        pane.expectTerminalRestored();
        // It still ends by its signal, as its parent must see (a sanitizer's own crash handler
        // may end a crash with a status of its own instead).
        const int status = pane.exitStatus();
        if (row.signal != SIGSEGV || status > 128) {
            EXPECT_EQ(status, 128 + row.signal);
        } else {
            EXPECT_NE(status, 0);
        }
    }
}

} // namespace
} // namespace kreloed::test
