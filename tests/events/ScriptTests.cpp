// The headless front end: its script language, its virtual clock, and how a run stops.
#include "ToolboxFixture.h"

#include <macsim/HeadlessFrontEnd.h>

#include <nlohmann/json.hpp>

#include <sstream>

namespace kreloed::test {
namespace {

using macsim::ScriptCommand;

TEST(ScriptParser, Lines) {
    struct Row {
        std::string name;
        std::string line;
        std::optional<ScriptCommand::Kind> kind; // nothing: blank or comment
        std::string text = {};
        std::string errorPart = {};
    };
    using K = ScriptCommand::Kind;
    const std::vector<Row> rows = {
        {"blank", "   ", std::nullopt},
        {"comment", "  # wait 3", std::nullopt},
        {"wait with a comment", "wait 2   # two ticks", K::Wait},
        {"quoted title keeps its spaces", "status \"Set user-defined CPU speed ...\"", K::Status,
         "Set user-defined CPU speed ..."},
        {"quoted signature with blanks", "click \"ok  \"", K::Click, "ok  "},
        {"escaped quote", R"(status "say \"hi\"")", K::Status, "say \"hi\""},
        {"hash inside quotes", "status \"#1\"", K::Status, "#1"},
        {"item number", "click 1", K::Click},
        {"four digits are a signature", "click 1234", K::Click, "1234"},
        {"machine words", "machine speed 867", K::Machine},
        {"unknown command", "jump 3", std::nullopt, {}, "unknown command \"jump\""},
        {"wait without seconds", "wait", std::nullopt, {}, "usage: wait"},
        {"negative wait", "wait -1", std::nullopt, {}, "seconds"},
        {"endless wait", "wait 1e9", std::nullopt, {}, "seconds"},
        {"wait that is not a number", "wait soon", std::nullopt, {}, "seconds"},
        {"command ID of three characters", "menu qui", std::nullopt, {}, "four characters"},
        {"unquoted signature loses its blanks", "click ok", std::nullopt, {}, "four characters"},
        {"item 0", "click 0", std::nullopt, {}, "from 1"},
        {"open quote", "status \"Quit", std::nullopt, {}, "closing quote"},
        {"quote inside a word", "status Qu\"it", std::nullopt, {}, "quote inside"},
        {"slider value that is not a number", "slider mhzm high", std::nullopt, {}, "whole"},
        {"unknown key", "key space", std::nullopt, {}, "key return|escape"},
        {"extra word", "close now", std::nullopt, {}, "usage: close"},
        {"line longer than the cap",
         "wait 1 #" + std::string(macsim::kMaxScriptLine, 'x'),
         std::nullopt,
         {},
         "longer"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const macsim::ScriptLine parsed = macsim::parseScriptLine(row.line);
        if (!row.errorPart.empty()) {
            EXPECT_FALSE(parsed.command);
            EXPECT_NE(parsed.error.find(row.errorPart), std::string::npos) << parsed.error;
            continue;
        }
        EXPECT_EQ(parsed.error, "");
        ASSERT_EQ(parsed.command.has_value(), row.kind.has_value());
        if (!row.kind)
            continue;
        EXPECT_EQ(parsed.command->kind, *row.kind);
        if (!row.text.empty()) {
            EXPECT_EQ(parsed.command->text, row.text);
        }
    }
    EXPECT_EQ(macsim::parseScriptLine("click 12").command->item, 12);
    EXPECT_EQ(macsim::parseScriptLine("wait 2.5").command->seconds, 2.5);
    EXPECT_EQ(macsim::parseScriptLine("machine speed 867").command->words,
              (std::vector<std::string>{"speed", "867"}));
}

// Every cut and every byte change of valid lines parses to a command or to an error with a
// reason, never both and never a crash.
TEST(ScriptParser, DamagedLinesAreCommandsOrErrorsNeverBoth) {
    const std::vector<std::string> valid = {"status \"Set user-defined CPU speed ...\"",
                                            "click \"ok  \"",
                                            "slider mhzm 21",
                                            "wait 2.5 # ticks",
                                            "machine sysctl hw.cpuspeed 70000",
                                            "menu quit",
                                            "key escape"};
    const unsigned char replacements[] = {0x00, '"', '\\', '#', ' ', '\t', 0x7F, 0xC3, 0xFF};
    const auto check = [](const std::string& line) {
        const macsim::ScriptLine parsed = macsim::parseScriptLine(line);
        EXPECT_FALSE(parsed.command && !parsed.error.empty()) << line;
    };
    for (const std::string& line : valid) {
        for (std::size_t cut = 0; cut <= line.size(); ++cut)
            check(line.substr(0, cut));
        for (std::size_t at = 0; at < line.size(); ++at)
            for (unsigned char byte : replacements) {
                std::string damaged = line;
                damaged[at] = static_cast<char>(byte);
                check(damaged);
            }
    }
}

// How a headless run ends early: the status and the message.
struct Stopped {
    int status;
    std::string message;
};

class HeadlessTest : public ToolboxTest {
protected:
    // Installs a headless front end on script; machine lines go to machine.
    macsim::HeadlessFrontEnd& useScript(const std::string& script,
                                        macsim::HeadlessFrontEnd::MachineHandler machine = {}) {
        macsim::HeadlessFrontEnd::Options options;
        options.machine = std::move(machine);
        options.stop = [](int status, const std::string& message) {
            throw Stopped{status, message};
        };
        options.dumpOut = &dumped_;
        auto frontEnd = std::make_unique<macsim::HeadlessFrontEnd>(
            server(), std::make_unique<std::istringstream>(script), std::move(options));
        auto& ref = *frontEnd;
        server().setFrontEnd(std::move(frontEnd));
        return ref;
    }

    // Runs the application loop on the script until it quits or the run stops.
    std::optional<Stopped> run() {
        try {
            RunApplicationEventLoop();
        } catch (const Stopped& stopped) {
            return stopped;
        }
        return std::nullopt;
    }

    void SetUp() override {
        ToolboxTest::SetUp();
        macsim::Menu app{"App", {{"About", 'ABOU'}, {"Off", 'sdef', false}, {"Quit", 'quit'}}};
        server().setMenuBar({app});
    }

    std::ostringstream dumped_;
};

TEST_F(HeadlessTest, ScriptErrorsStopTheRunWithTheLineNumber) {
    // A dialog without a cancel button or a close box.
    macsim::Window w;
    w.name = "Prefs";
    w.hasCloseBox = false;
    const macsim::Id id =
        macsim::createToolboxWindow(w, {button('ok  ', true), slider('mhzm', 1, 21)});
    const WindowRef dialog = macsim::windowRef(id);
    struct Row {
        std::string name;
        std::string script;
        bool showDialog;
        int status;
        std::string message;
    };
    const std::vector<Row> rows = {
        {"a line that cannot be parsed", "# start\n\nwait 1\nfly away\n", false, 3,
         "script line 4: unknown command \"fly\""},
        {"no such menu item", "menu ABCD\n", false, 3,
         "script line 1: no menu item has the command 'ABCD'"},
        {"a disabled menu item", "menu sdef\n", false, 3,
         "script line 1: the menu item \"Off\" is disabled"},
        {"no such status row", "status \"Load\"\n", false, 3,
         "script line 1: no status-menu row is titled \"Load\""},
        {"no window for a click", "click \"ok  \"\n", false, 3, "script line 1: no window is open"},
        {"no such control", "click dona\n", true, 3,
         "script line 1: the front window \"Prefs\" has no control \"dona\""},
        {"a slider that is a button", "slider \"ok  \" 3\n", true, 3, "is not a slider"},
        {"no cancel button for Escape", "key escape\n", true, 3, "has no cancel button"},
        {"a window without a close box", "close\n", true, 3, "has no close box"},
        {"machine lines without a machine", "machine speed 867\n", false, 3,
         "script line 1: machine commands are not available"},
        {"the script ends while the application runs", "wait 1\n", false, 4,
         "the script ended while the application was still running"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server().showWindow(macsim::idOf(dialog), row.showDialog);
        useScript(row.script);
        const auto stopped = run();
        ASSERT_TRUE(stopped);
        EXPECT_EQ(stopped->status, row.status);
        EXPECT_NE(stopped->message.find(row.message), std::string::npos) << stopped->message;
    }
    macsim::disposeToolboxWindow(id);
}

TEST_F(HeadlessTest, VirtualClockFiresEachDeadlineOnTheWay) {
    std::vector<double> fired;
    struct Ctx {
        std::vector<double>* fired;
    } ctx{&fired};
    installTimer(
        0.0, 1.0,
        [](EventLoopTimerRef, void* userData) {
            static_cast<Ctx*>(userData)->fired->push_back(macsim::WindowServer::shared().now());
        },
        &ctx);
    // Installed before the script's front end: its clock starts at the fake's 0 too.
    useScript("wait 2.5\nwait 0.5\nmenu quit\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(fired, (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(server().now(), 3);
}

TEST_F(HeadlessTest, MachineLinesDumpsAndClicks) {
    std::vector<std::vector<std::string>> machine;
    const WindowRef dialog = makeWindow("Prefs", {button('ok  ', true), slider('mhzm', 1, 21)});
    ShowWindow(dialog);
    std::vector<macsim::Id> hits;
    install(
        GetWindowEventTarget(dialog),
        [](EventHandlerCallRef, EventRef event, void* userData) -> OSStatus {
            ControlRef hit = nullptr;
            GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof hit,
                              nullptr, &hit);
            static_cast<std::vector<macsim::Id>*>(userData)->push_back(macsim::idOf(hit));
            return noErr;
        },
        {{kEventClassControl, kEventControlHit}}, &hits);
    useScript("machine speed 867\nslider mhzm 9\nclick 1\nkey return\ndump\nmachine fail\n",
              [&](const std::vector<std::string>& words) -> std::string {
                  machine.push_back(words);
                  return words[0] == "fail" ? "the machine refused" : "";
              });
    const auto stopped = run();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->message, "script line 6: the machine refused");
    EXPECT_EQ(machine.size(), 2u);
    const macsim::Id ok = control(dialog, 'ok  '), mhzm = control(dialog, 'mhzm');
    EXPECT_EQ(hits, (std::vector<macsim::Id>{mhzm, ok, ok}));
    EXPECT_EQ(GetControlValue(macsim::controlRef(mhzm)), 9);
    const auto state = nlohmann::json::parse(dumped_.str());
    EXPECT_TRUE(state.contains("windows"));
}

} // namespace
} // namespace kreloed::test
