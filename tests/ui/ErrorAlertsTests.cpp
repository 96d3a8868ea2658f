// The alert that showError makes from 'DLOG' 128, and the missing-tool window of showError_loader.
#include "AppHarness.h"
#include "Core.h"
#include "TestDisk.h"
#include "UI.h"

#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

namespace kreloed::test {
namespace {

class ErrorAlerts : public ::testing::Test {
protected:
    void SetUp() override { resetApplication(); }
};

TEST_F(ErrorAlerts, OneBeepOneAlertEndedByOneItemHit) {
    struct Row {
        const char* name;
        const char* action;
    };
    const Row rows[] = {
        {"Return chooses the default item", "key return"},
        {"Escape chooses the cancel item", "key escape"},
        {"a click on the default item", "click 1"},
        {"a click on the cancel item", "click 2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto& server = macsim::WindowServer::shared();
        const int beepsBefore = server.beeps();
        GrafPtr portBefore = nullptr, portAfter = nullptr;
        GetPort(&portBefore);

        // The script holds one action only: a second wait for the user would run it out.
        const auto states = withScript(std::string("dump\n") + row.action + "\n", [] {
            showError(PString("Can't create bundle"), PString(""), PString("Error"));
        });

        ASSERT_EQ(states.size(), 1u);
        const auto& alerts = states[0]["alerts"];
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0]["texts"], nlohmann::json::array({"Can't create bundle", "", "Error"}));
        const auto alertWindows = windowsNamed(states[0], "DLOG 128");
        ASSERT_EQ(alertWindows.size(), 1u);
        const auto& controls = alertWindows[0]["controls"];
        ASSERT_GE(controls.size(), 2u);
        EXPECT_EQ(controls[0]["default"], true);
        EXPECT_EQ(controls[1]["cancel"], true);
        for (const auto& control : controls) {
            EXPECT_EQ(control["font"], 3);
            EXPECT_EQ(control["size"], 10);
        }

        EXPECT_EQ(server.beeps(), beepsBefore + 1);
        EXPECT_TRUE(screen()["alerts"].empty());
        EXPECT_TRUE(windowsNamed(screen(), "DLOG 128").empty());
        GetPort(&portAfter);
        EXPECT_EQ(portAfter, portBefore);
    }
}

TEST_F(ErrorAlerts, AnAlertShowsNoTextOfTheOneBefore) {
    withScript("click 1\n",
               [] { showError(PString("first"), PString("second"), PString("third")); });
    // Null texts, as a careless caller might pass: the slots are emptied, not left as they were.
    const auto states =
        withScript("dump\nclick 1\n", [] { showError(PString("only"), nullptr, nullptr); });
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0]["alerts"][0]["texts"], nlohmann::json::array({"only", "", ""}));
}

TEST_F(ErrorAlerts, WithoutItsResourcesTheAlertIsOnlyABeep) {
    auto& server = macsim::WindowServer::shared();
    const int beepsBefore = server.beeps();
    UseResFile(0); // no resource file to find 'DLOG' 128 in
    withScript("", [] { showError(PString("lost"), PString(""), PString("Error")); });
    UseResFile(applRes);
    EXPECT_EQ(server.beeps(), beepsBefore + 1);
    EXPECT_TRUE(windowsNamed(screen(), "DLOG 128").empty());
}

TEST_F(ErrorAlerts, EachMissingToolFailurePutsUpAnotherWindow) {
    showError_loader();
    EXPECT_EQ(err, noErr);
    showError_loader();
    EXPECT_EQ(err, noErr);
    const auto windows = windowsNamed(screen(), "Error_loader");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_NE(windows[0]["window"], windows[1]["window"]);
    for (const auto& window : windows)
        EXPECT_EQ(window["visible"], true);
}

TEST_F(ErrorAlerts, AMissingToolWindowThatCannotBeMadeIsNotShown) {
    const fs::path nib = "Applications/Kreloed.app/Contents/Resources/main.nib";
    const std::string original = testDisk().readText(nib);
    std::string renamed = original;
    renamed.replace(renamed.find("name=\"Error_loader\""), 19, "name=\"Error_gone__\"");
    struct Row {
        const char* name;
        std::function<void()> breakNib;
        OSStatus err;
    };
    const Row rows[] = {
        {"no window of that name", [&] { testDisk().writeText(nib, renamed); },
         kIBCarbonRuntimeCantFindObject},
        {"no nib", [&] { testDisk().removeFile(nib); }, kIBCarbonRuntimeCantFindNibFile},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.breakNib();
        const auto windowsBefore = screen()["windows"].size();
        showError_loader();
        EXPECT_EQ(err, row.err);
        EXPECT_EQ(screen()["windows"].size(), windowsBefore);
        testDisk().writeText(nib, original);
    }
}

} // namespace
} // namespace kreloed::test
