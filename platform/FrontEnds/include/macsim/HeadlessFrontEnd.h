// The headless front end: the null driver of the window server. It reads a script of user actions
// (docs/headless-script.md) and runs on a virtual clock, so that a run of the application is
// repeatable and never sleeps.
#pragma once

#include <macsim/FrontEnd.h>
#include <macsim/WindowServer.h>

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace macsim {

// One line of a script, parsed.
struct ScriptCommand {
    enum class Kind { Wait, Menu, Status, Click, Slider, Key, Close, Dump, Machine };
    Kind kind = Kind::Wait;
    double seconds = 0;        // wait
    std::uint32_t command = 0; // menu
    std::string text;          // status: the row title; click, slider: the signature
    int item = 0;              // click: an item number (1 up) instead of a signature
    std::int32_t value = 0;    // slider
    Action::KeyCode key = Action::KeyCode::Return;
    std::vector<std::string> words; // machine: the words after "machine"
};

// The longest wait one line may ask for, in seconds.
constexpr double kMaxScriptWait = 100000;
// The longest line a script may hold, in bytes.
constexpr std::size_t kMaxScriptLine = 4096;

struct ScriptLine {
    std::optional<ScriptCommand> command; // nothing for a blank line or a comment
    std::string error;                    // why the line cannot be parsed; empty when it can
};

// Parses one line of a script.
ScriptLine parseScriptLine(std::string_view line);

class HeadlessFrontEnd : public FrontEnd {
public:
    // Carries out a `machine ...` line; returns an empty string on success, else what went wrong.
    using MachineHandler = std::function<std::string(const std::vector<std::string>& words)>;
    // Ends the run: tells why and exits with status (3: a script error, 4: the script ended
    // while the application still ran). Must not return; tests may throw from it.
    using StopHandler = std::function<void(int status, const std::string& message)>;

    struct Options {
        MachineHandler machine;          // none: `machine` lines stop the run
        StopHandler stop;                // none: the message on standard error, then exit(status)
        std::ostream* dumpOut = nullptr; // where `dump` writes the state; none: standard output
    };

    static constexpr int kScriptError = 3;
    static constexpr int kScriptEnded = 4;

    HeadlessFrontEnd(WindowServer& server, std::unique_ptr<std::istream> script, Options options);

    double now() override { return now_; }
    std::optional<Action> waitForAction(std::optional<double> deadline,
                                        const WaitContext& context) override;

private:
    // The action the command asks for; nothing for commands that are done at once (dump,
    // machine, wait).
    std::optional<Action> carryOut(const ScriptCommand& command, const WaitContext& context);
    [[noreturn]] void stop(int status, const std::string& message);
    [[noreturn]] void fail(const std::string& message);
    Id frontWindow(const WaitContext& context) const;

    WindowServer& server_;
    std::unique_ptr<std::istream> script_;
    Options options_;
    double now_ = 0;
    std::optional<double> waitUntil_; // a `wait` still running
    int line_ = 0;
};

// The headless front end on $MACSIM_SCRIPT, or on standard input when it is not set.
std::unique_ptr<FrontEnd> makeHeadlessFrontEnd(WindowServer& server,
                                               HeadlessFrontEnd::MachineHandler machine = {});

} // namespace macsim
