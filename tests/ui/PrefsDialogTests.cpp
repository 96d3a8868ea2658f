// The user-speed dialog: the slider's scale, and whole runs of the dialog played by a script.
#include "AppHarness.h"
#include "Core.h"
#include "TestDisk.h"
#include "UI.h"

#include <gtest/gtest.h>

namespace kreloed::test {
namespace {

TEST(SpeedScale, ValueToClock) {
    struct Row {
        UInt16 value;
        UInt16 mhz;
    };
    const Row rows[] = {{0, 300},   {1, 300},   {2, 350},  {9, 700},
                        {20, 1250}, {21, 1300}, {22, 300}, {65535, 300}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(valueToClk(row.value), row.mhz);
    }
}

TEST(SpeedScale, ClockToValue) {
    struct Row {
        UInt16 mhz;
        SInt16 value;
    };
    const Row rows[] = {{0, 1},    {250, 1},   {300, 1},  {325, 1},   {349, 1},
                        {350, 2},  {700, 9},   {733, 1},  {1250, 20}, {1300, 21},
                        {1350, 1}, {65535, 1}, {65500, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mhz);
        EXPECT_EQ(clkToValue(row.mhz), row.value);
    }
}

TEST(SpeedScale, BothWaysOverTheirWholeDomains) {
    for (unsigned v = 1; v <= 21; ++v)
        EXPECT_EQ(clkToValue(valueToClk(UInt16(v))), SInt16(v)) << v;
    for (unsigned m = 0; m <= 0xFFFF; ++m) {
        const bool onGrid = m >= 300 && m <= 1300 && m % 50 == 0;
        const SInt16 value = clkToValue(UInt16(m));
        ASSERT_TRUE(value >= 1 && value <= 21) << m;
        ASSERT_EQ(valueToClk(UInt16(value)), onGrid ? m : 300u) << m;
    }
    for (unsigned v = 0; v <= 0xFFFF; ++v) {
        const UInt16 mhz = valueToClk(UInt16(v));
        ASSERT_TRUE(mhz >= 300 && mhz <= 1300 && mhz % 50 == 0) << v;
    }
}

class PrefsDialog : public ::testing::Test {
protected:
    void SetUp() override { resetApplication(); }

    // The Prefs window as a dumped state shows it.
    static nlohmann::json prefsIn(const nlohmann::json& state) {
        auto windows = windowsNamed(state, "Prefs");
        return windows.empty() ? nlohmann::json() : windows.at(0);
    }
};

TEST_F(PrefsDialog, OpensAtTheStoredSpeedAndEndsWithOKOrCancel) {
    struct Row {
        const char* name;
        UInt16 userClock;
        const char* actions;
        int sliderOnOpen;
        UInt16 itemHit;
        UInt16 userClockAfter;
    };
    const Row rows[] = {
        {"OK keeps a speed on the grid", 700, "click \"ok  \"", 9, 1, 700},
        {"off the grid: the lowest speed", 733, "click \"ok  \"", 1, 1, 300},
        {"above the scale: the lowest speed", 1350, "click \"ok  \"", 1, 1, 300},
        {"the lowest speed", 300, "click \"ok  \"", 1, 1, 300},
        {"slider to the top, OK", 700, "slider mhzm 21\nclick \"ok  \"", 9, 1, 1300},
        {"Return is OK", 800, "slider mhzm 2\nkey return", 11, 1, 350},
        {"slider moved, Cancel", 700, "slider mhzm 15\nclick \"not!\"", 9, 2, 700},
        {"slider moved, Escape", 1000, "slider mhzm 3\nkey escape", 15, 2, 1000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetApplication();
        prefs.userClock = row.userClock;
        prefs.defaultClock = 1000;
        GrafPtr portBefore = nullptr, portAfter = nullptr;
        GetPort(&portBefore);

        const auto states =
            withScript(std::string("dump\n") + row.actions + "\n", [] { showPrefsDlog(); });

        ASSERT_EQ(states.size(), 1u);
        const auto open = prefsIn(states[0]);
        EXPECT_EQ(open["visible"], true);
        EXPECT_EQ(controlOf(open, "mhzm")["value"], row.sliderOnOpen);
        EXPECT_EQ(controlOf(open, "mhzs")["text"], "1000");
        EXPECT_EQ(itemHit, row.itemHit);
        EXPECT_EQ(prefs.userClock, row.userClockAfter);
        EXPECT_EQ(prefs.defaultClock, 1000);
        EXPECT_EQ(prefsIn(screen())["visible"], false);
        EXPECT_TRUE(calls.empty()) << "the dialog itself sends no speed";
        GetPort(&portAfter);
        EXPECT_EQ(portAfter, portBefore);
    }
}

TEST_F(PrefsDialog, TheNextOpeningForgetsACancelledSlider) {
    prefs.userClock = 700;
    withScript("slider mhzm 15\nclick \"not!\"\n", [] { showPrefsDlog(); });
    const auto states = withScript("dump\nclick \"not!\"\n", [] { showPrefsDlog(); });
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(controlOf(prefsIn(states[0]), "mhzm")["value"], 9);
    EXPECT_EQ(prefs.userClock, 700);
}

TEST_F(PrefsDialog, TheTextShowsTheDefaultSpeedWhateverTheSlider) {
    prefs.userClock = 700;
    for (UInt16 speed : {UInt16(867), UInt16(0), UInt16(65535)}) {
        SCOPED_TRACE(speed);
        prefs.defaultClock = speed;
        const auto states =
            withScript("slider mhzm 20\ndump\nclick \"not!\"\n", [] { showPrefsDlog(); });
        ASSERT_EQ(states.size(), 1u);
        EXPECT_EQ(controlOf(prefsIn(states[0]), "mhzs")["text"], std::to_string(speed));
    }
}

TEST_F(PrefsDialog, WithoutItsSliderOKDoesNothingAndCancelStillEnds) {
    testDisk().writeText("Applications/Kreloed.app/Contents/Resources/NoSlider.nib", R"(
<nib version="1">
  <window name="Prefs" title="No slider" bounds="80 120 260 500" closebox="false">
    <text signature="mhzs" id="0" bounds="16 270 36 360"></text>
    <button signature="not!" cancel="true" bounds="140 180 160 260">Cancel</button>
    <button signature="ok  " default="true" bounds="140 280 160 360">OK</button>
  </window>
</nib>)");
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReference(CFSTR("NoSlider"), &nib), noErr);
    WindowRef noSlider = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Prefs"), &noSlider), noErr);
    DisposeNibReference(nib);
    WindowRef realPrefs = prefsWind;
    prefsWind = noSlider;
    makePrefsDlog();

    prefs.userClock = 700;
    withScript("click \"ok  \"\nclick \"not!\"\n", [] { showPrefsDlog(); });
    EXPECT_EQ(itemHit, 2);
    EXPECT_EQ(prefs.userClock, 700);

    prefsWind = realPrefs;
    DisposeWindow(noSlider);
}

TEST(SetStaticTextText, ANullControlIsAParameterError) {
    EXPECT_EQ(SetStaticTextText(nullptr, PString("1000"), true), paramErr);
}

} // namespace
} // namespace kreloed::test
