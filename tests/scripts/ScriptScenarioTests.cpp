// Scenarios: the scripts beside this file run against the built application on a fresh disk; the
// exit status, standard error and the order of chosen trace events are compared.
#include <TestDisk.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

namespace kreloed::test {
namespace {

std::string script(const std::string& name) {
    std::ifstream in(fs::path(KRELOED_SCRIPTS_DIR) / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "event" or "event:name" (the window's name), as the trace lists them.
std::vector<std::string> windowEvents(const AppRun& run) {
    std::vector<std::string> out;
    for (const auto& e : run.trace) {
        const std::string event = e.value("event", "");
        if (event == "beep" || event == "url" || event == "exit")
            out.push_back(event);
        else if (event.rfind("window_", 0) == 0 || event.rfind("alert_", 0) == 0)
            out.push_back(event + ":" + e.value("name", ""));
    }
    return out;
}

TEST(Scenarios, Scripts) {
    struct Row {
        std::string file;
        std::function<void(const TestDisk&)> prepare;
        int status;
        std::string stderrPart;
        std::vector<std::string> events;
    };
    const std::vector<Row> rows = {
        {"about-window.txt",
         {},
         0,
         "",
         {"beep", "window_shown:Window", "url", "window_hidden:Window", "beep",
          "window_shown:Window", "exit"}},
        {"missing-loader.txt",
         [](const TestDisk& disk) {
             disk.removeFile(fs::relative(disk.resources() / "loader", disk.root()));
         },
         0,
         "",
         {"window_shown:Error_loader", "window_shown:Error_loader", "window_hidden:Error_loader",
          "window_hidden:Error_loader", "exit"}},
        {"modal-menu.txt",
         {},
         3,
         "script line 5: the menu bar cannot be used while a modal window is open",
         {"window_shown:Prefs", "exit"}},
        {"script-ends.txt",
         {},
         4,
         "the script ended while the application was still running",
         {"exit"}},
        {"bad-line.txt", {}, 3, "script line 3: usage: slider SIG VALUE", {"exit"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TestDisk disk;
        if (row.prepare)
            row.prepare(disk);
        const std::string text = script(row.file);
        ASSERT_EQ(text.rfind("# ", 0), 0u) << "a scenario begins with what it covers";
        const AppRun run = runApp(disk, text);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.err.find(row.stderrPart), std::string::npos) << run.err;
        EXPECT_EQ(windowEvents(run), row.events);
        ASSERT_FALSE(run.trace.empty());
        EXPECT_EQ(run.trace.back()["status"], row.status);
    }
}

TEST(Scenarios, ClosedErrorWindowsAreGone) {
    TestDisk disk;
    disk.removeFile(fs::relative(disk.resources() / "loader", disk.root()));
    const AppRun run = runApp(disk, script("missing-loader.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    const auto dump = run.lastDump();
    ASSERT_TRUE(dump.contains("windows"));
    for (const auto& w : dump["windows"])
        EXPECT_NE(w["name"], "Error_loader");
}

} // namespace
} // namespace kreloed::test
