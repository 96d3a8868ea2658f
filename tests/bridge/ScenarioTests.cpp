// The status menu end to end: the built application on a fresh copy of the disk, driven by a
// headless script through the status menu, with the real StatusMenu, helper tool and kernel.
// What the user would see is read from the trace and the final dump; what the machine did, from
// the machine tool.
#include "TestDisk.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using kreloed::test::AppRun;
using kreloed::test::runApp;
using kreloed::test::TestDisk;
using nlohmann::json;
namespace fs = std::filesystem;

const fs::path kBundle = "Applications/Kreloed.app/Contents/Frameworks/StatusMenu.bundle";

// The status item's titles, in the order they were shown.
std::vector<std::string> titles(const AppRun& run) {
    std::vector<std::string> out;
    for (const json& change : run.events("status_title"))
        out.push_back(change.value("title", ""));
    return out;
}

// The titles that row took, in order.
std::vector<std::string> rowTitles(const AppRun& run, int row) {
    std::vector<std::string> out;
    for (const json& change : run.events("status_row_title"))
        if (change.value("row", -1) == row)
            out.push_back(change.value("title", ""));
    return out;
}

// The one status item in the last dump.
json statusItem(const AppRun& run) {
    json dump = run.lastDump();
    if (!dump.contains("status_items") || dump["status_items"].size() != 1)
        return json();
    return dump["status_items"][0];
}

// The machine's state, as the machine tool reports it.
json machineState(const TestDisk& disk) {
    std::string command = "'" + (disk.root() / "usr/bin/macsimctl").string() + "' --disk '" +
                          disk.root().string() + "' state";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return json::parse(out, nullptr, false);
}

std::string trace(const AppRun& run) {
    std::string out = "stderr: " + run.err + "\ntrace:\n";
    for (const json& line : run.trace)
        out += line.dump() + "\n";
    return out;
}

TEST(StatusMenuScenario, UserSpeedRequestGoesOutAndIsShown) {
    TestDisk disk;
    AppRun run = runApp(disk, R"(# The road of one request: with the extension loaded, the user
# chooses 850 MHz in the dialog; the speed command goes out, the title shows 850 at once and the
# reading (850) from the next tick on.
wait 1
status "Load Krelo.kext into kernel"
wait 1
status "Set user-defined CPU speed ..."
slider mhzm 12
click "ok  "
wait 3
dump
status Quit
)");
    ASSERT_EQ(run.status, 0) << trace(run);
    EXPECT_EQ(titles(run), (std::vector<std::string>{"600", "1000", "850"})) << trace(run);
    json item = statusItem(run);
    EXPECT_EQ(item.value("title", ""), "850");
    EXPECT_EQ(item["menu"][5].value("checked", false), true) << item; // user-defined speed
    EXPECT_EQ(item["menu"][4].value("checked", true), false) << item; // system default speed
    EXPECT_EQ(machineState(disk)["processor"].value("speed", 0), 850);
}

TEST(StatusMenuScenario, LoadItemFollowsTheExtension) {
    TestDisk disk;
    AppRun run =
        runApp(disk, R"(# Loading and unloading from the status menu; the row's title follows
# the extension's presence.
wait 1
status "Load Krelo.kext into kernel"
wait 1
dump
status "Unload Krelo.kext from kernel"
wait 1
status Quit
)");
    ASSERT_EQ(run.status, 0) << trace(run);
    EXPECT_EQ(rowTitles(run, 2), (std::vector<std::string>{"Unload Krelo.kext from kernel",
                                                           "Load Krelo.kext into kernel"}))
        << trace(run);
    EXPECT_EQ(statusItem(run)["menu"][2].value("title", ""), "Unload Krelo.kext from kernel");
    EXPECT_TRUE(machineState(disk)["extensions"].empty());
}

TEST(StatusMenuScenario, KeptUserSpeedComesBackAfterDrift) {
    TestDisk disk;
    AppRun run = runApp(disk, R"(# "Always keep user-defined CPU speed" re-sends the user speed once
# the machine's own power management has changed it.
wait 1
status "Load Krelo.kext into kernel"
status "Set user-defined CPU speed ..."
slider mhzm 12
click "ok  "
status "Always keep user-defined CPU speed"
wait 2
machine speed 1000
wait 3
dump
status Quit
)");
    ASSERT_EQ(run.status, 0) << trace(run);
    std::vector<std::string> shown = titles(run);
    // 850 chosen, 1000 read after the drift, 850 again once re-sent.
    ASSERT_GE(shown.size(), 3u) << trace(run);
    EXPECT_EQ(std::vector<std::string>(shown.end() - 3, shown.end()),
              (std::vector<std::string>{"850", "1000", "850"}))
        << trace(run);
    json item = statusItem(run);
    EXPECT_EQ(item.value("title", ""), "850");
    EXPECT_EQ(item["menu"][8].value("checked", false), true) << item;
    EXPECT_EQ(machineState(disk)["processor"].value("speed", 0), 850);
}

TEST(StatusMenuScenario, NoStatusItemOnTen15) {
    TestDisk disk;
    disk.setSystemVersion("10.1.5");
    AppRun run =
        runApp(disk, R"(# Mac OS X 10.1.5: no status menu at all, and the application runs on.
wait 3
dump
menu quit
)");
    EXPECT_EQ(run.status, 0) << trace(run);
    EXPECT_TRUE(run.events("status_item_added").empty()) << trace(run);
    EXPECT_TRUE(run.events("alert_shown").empty()) << trace(run);
    EXPECT_TRUE(run.lastDump()["status_items"].empty());
}

TEST(StatusMenuScenario, QuitFromTheStatusMenuKeepsTheStandingChoices) {
    TestDisk disk;
    AppRun first = runApp(disk, R"(# Both standing choices on, then Quit from the status menu.
wait 1
status "Always load Krelo.kext at launch"
status "Always keep user-defined CPU speed"
wait 1
status Quit
)");
    ASSERT_EQ(first.status, 0) << trace(first);
    ASSERT_TRUE(fs::exists(disk.settingsFile()));

    AppRun second =
        runApp(disk, R"(# The next launch reads them back: both checked, extension loaded.
wait 1
dump
menu quit
)");
    ASSERT_EQ(second.status, 0) << trace(second);
    json item = statusItem(second);
    EXPECT_EQ(item["menu"][7].value("checked", false), true) << item;
    EXPECT_EQ(item["menu"][8].value("checked", false), true) << item;
    EXPECT_EQ(item["menu"][2].value("title", ""), "Unload Krelo.kext from kernel") << item;
}

TEST(StatusMenuScenario, BrokenBundleIsReportedAndTheApplicationRunsOn) {
    struct Case {
        const char* name;
        const char* executable; // replaces StatusMenu's; null: the whole bundle is removed
        std::vector<std::string> alerts;
    };
    const Case cases[] = {
        {"bundle missing",
         nullptr,
         {"Can't create bundle", "Can't initialize bundle", "Can't find function"}},
        {"executable that cannot be loaded", TEST_BUNDLE_UNRESOLVED, {"Can't find function"}},
        {"initializeBundle fails",
         TEST_BUNDLE_INITIALIZE_FAILS,
         {"Can't initialize bundle", "Can't find function"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDisk disk;
        if (c.executable == nullptr)
            disk.removeFile(kBundle);
        else
            disk.replaceFile(kBundle / "Contents/MacOS/StatusMenu", c.executable);
        std::string script = "# Each alert is dismissed; the application goes on and quits.\n";
        for (std::size_t i = 0; i < c.alerts.size(); ++i)
            script += "key return\n";
        script += "wait 2\nmenu quit\n";
        AppRun run = runApp(disk, script);
        EXPECT_EQ(run.status, 0) << trace(run);
        std::vector<json> shown = run.events("alert_shown");
        ASSERT_EQ(shown.size(), c.alerts.size()) << trace(run);
        for (std::size_t i = 0; i < shown.size(); ++i)
            EXPECT_NE(shown[i].dump().find(c.alerts[i]), std::string::npos) << shown[i];
        EXPECT_TRUE(run.events("status_item_added").empty());
    }
}

} // namespace
