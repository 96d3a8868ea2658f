// The menu-bar commands and the menu-state sync, in-process, with the clock control and the status
// menu replaced by recording fakes (see tests/ui/AppHarness.h): what each command asks of them,
// in which order.
#include "AppHarness.h"
#include "Core.h"

#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

namespace kreloed::test {
namespace {

using Calls = std::vector<std::string>;

// Hands DoAppCommandProcess a command event as a menu choice would.
OSStatus process(UInt32 commandID) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    HICommand command = {};
    command.commandID = commandID;
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    const OSStatus result = DoAppCommandProcess(nullptr, event, nullptr);
    ReleaseEvent(event);
    return result;
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override { resetApplication(); }
};

TEST_F(Commands, EachCommandItsActionItsResultAndTheHighlightRemoved) {
    struct Row {
        const char* name;
        UInt32 command;
        PrefsRecord before; // defaultClock, userClock, keepUserClock, speedMode, loadAtLaunch,
                            // currentClock
        OSStatus result;
        Calls calls;
        UInt16 keepUserClockAfter;
        int beeps;
    };
    const Row rows[] = {
        {"About", 'ABOU', {}, noErr, {}, 0, 1},
        {"default speed, user speed selected: only the default speed is sent",
         'sdef',
         {1000, 800, 1, 1, 0, 800},
         noErr,
         {"set_speed 0 0"},
         1,
         0},
        {"700 MHz whatever the user speed",
         'susr',
         {1000, 1000, 1, 1, 0, 1000},
         noErr,
         {"set_speed 1 700"},
         1,
         0},
        {"700 MHz, user speed off the grid",
         'susr',
         {1000, 733, 0, 0, 0, 1000},
         noErr,
         {"set_speed 1 700"},
         0,
         0},
        {"keep user speed from 0: on, applied at once",
         'ausr',
         {1000, 800, 0, 1, 0, 800},
         noErr,
         {"getCurrentClkFromKrelo", "checkSDEFItem 0", "checkSUSRItem 1", "checkAUSRItem 1",
          "checkALKEItem 0", "setMenuItemClockValue 1000", "set_speed 1 800"},
         1,
         0},
        {"keep user speed from 1: off, and the user speed is still sent",
         'ausr',
         {1000, 800, 1, 1, 1, 800},
         noErr,
         {"getCurrentClkFromKrelo", "checkSDEFItem 0", "checkSUSRItem 1", "checkAUSRItem 0",
          "checkALKEItem 1", "setMenuItemClockValue 1000", "set_speed 1 800"},
         0,
         0},
        {"keep user speed from a stored 2: off",
         'ausr',
         {1000, 800, 2, 0, 0, 1000},
         noErr,
         {"getCurrentClkFromKrelo", "checkSDEFItem 1", "checkSUSRItem 0", "checkAUSRItem 0",
          "checkALKEItem 0", "setMenuItemClockValue 1000"},
         0,
         0},
        {"unknown command", 'xyzw', {1000, 800, 1, 1, 0, 800}, eventNotHandledErr, {}, 1, 0},
        {"no command", 0, {1000, 800, 1, 1, 0, 800}, eventNotHandledErr, {}, 1, 0},
    };
    auto& server = macsim::WindowServer::shared();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        prefs = row.before;
        const PrefsRecord before = prefs;
        const int beepsBefore = server.beeps();
        HiliteMenu(1);

        EXPECT_EQ(process(row.command), row.result);

        EXPECT_EQ(calls, row.calls);
        EXPECT_EQ(prefs.keepUserClock, row.keepUserClockAfter);
        EXPECT_EQ(prefs.speedMode, before.speedMode) << "no command selects a speed";
        EXPECT_EQ(prefs.userClock, before.userClock);
        EXPECT_EQ(server.beeps(), beepsBefore + row.beeps);
        EXPECT_EQ(server.hilitedMenu(), 0);
        EXPECT_EQ(IsWindowVisible(infoWind), row.command == 'ABOU');
    }
}

TEST_F(Commands, AboutBeepsEvenWhenTheWindowIsAlreadyShown) {
    ShowWindow(infoWind);
    const int beepsBefore = macsim::WindowServer::shared().beeps();
    EXPECT_EQ(process('ABOU'), noErr);
    EXPECT_EQ(macsim::WindowServer::shared().beeps(), beepsBefore + 1);
    EXPECT_TRUE(IsWindowVisible(infoWind));
}

TEST_F(Commands, QuitEndsTheEventLoop) {
    // A script that ran out before the loop ended would fail the test.
    withScript("menu quit\n", [] { RunApplicationEventLoop(); });
    EXPECT_EQ(macsim::WindowServer::shared().hilitedMenu(), 0);
    EXPECT_TRUE(calls.empty());
}

TEST_F(Commands, ACommandThatCannotBeReadIsLeftToOthers) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, kEventAttributeNone, &event);
    HiliteMenu(2);
    EXPECT_EQ(DoAppCommandProcess(nullptr, event, nullptr), eventNotHandledErr);
    ReleaseEvent(event);
    EXPECT_EQ(macsim::WindowServer::shared().hilitedMenu(), 0);
    EXPECT_TRUE(calls.empty());
}

TEST_F(Commands, CheckMenusFollowsTheSettings) {
    struct Row {
        const char* name;
        PrefsRecord prefs;
        Calls calls;
    };
    const Row rows[] = {
        {"default speed selected",
         {1000, 800, 0, 0, 0, 1000},
         {"checkSDEFItem 1", "checkSUSRItem 0", "checkAUSRItem 0", "checkALKEItem 0",
          "setMenuItemClockValue 1000"}},
        {"user speed selected",
         {1000, 800, 1, 1, 1, 800},
         {"checkSDEFItem 0", "checkSUSRItem 1", "checkAUSRItem 1", "checkALKEItem 1",
          "setMenuItemClockValue 800"}},
        // Any mode but 0 counts as the user speed; stored switches pass as they are.
        {"mode 2, keep 2",
         {1000, 800, 2, 2, 0, 0},
         {"checkSDEFItem 0", "checkSUSRItem 1", "checkAUSRItem 2", "checkALKEItem 0",
          "setMenuItemClockValue 0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        prefs = row.prefs;
        checkMenus();
        EXPECT_EQ(calls, row.calls);
    }
}

TEST_F(Commands, SetClkSendsOnlyWhenTheSpeedDiffers) {
    struct Row {
        const char* name;
        PrefsRecord prefs;
        Calls calls;
    };
    const Row rows[] = {
        {"default speed, already running", {1000, 800, 0, 0, 0, 1000}, {}},
        {"default speed, running another", {1000, 800, 0, 0, 0, 800}, {"set_speed 0 1000"}},
        {"user speed, already running", {1000, 700, 0, 1, 0, 700}, {}},
        {"user speed, running another", {1000, 700, 0, 1, 0, 1000}, {"set_speed 1 700"}},
        {"mode 2 is passed on", {1000, 700, 0, 2, 0, 1000}, {"set_speed 2 700"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        prefs = row.prefs;
        set_clk();
        EXPECT_EQ(calls, row.calls);
    }
}

TEST_F(Commands, ApplySettingsReadsThenShowsThenSends) {
    prefs = {1000, 800, 1, 1, 1, 800};
    speedReading = 1000;
    applySettings();
    EXPECT_EQ(calls, (Calls{"getCurrentClkFromKrelo", "checkSDEFItem 0", "checkSUSRItem 1",
                            "checkAUSRItem 1", "checkALKEItem 1", "setMenuItemClockValue 1000",
                            "set_speed 1 800"}));
    EXPECT_EQ(prefs.currentClock, 1000);
}

} // namespace
} // namespace kreloed::test
