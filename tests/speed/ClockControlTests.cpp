// Clock control: probing for the extension, reading the speed, and the commands that set the
// speed and load or unload the extension.
#include <optional>

#include <gmock/gmock.h>
#include <sys/sysctl.h>

#include <Prefs.h>
#include <macsim/MainBundle.h>

#include "SpeedFixture.h"
#include "SysctlFake.h"

namespace speedtest {
namespace {

class ClockControlTest : public SpeedTest {
protected:
    void SetUp() override {
        SpeedTest::SetUp();
        sysctlfake::answers = {};
    }
    void TearDown() override {
        sysctlfake::answers = {};
        SpeedTest::TearDown();
    }
    // A freshly started kernel: nothing loaded, the processor at its clock rate.
    void restartKernel() const { fs::remove(disk.root() / "private/var/run/kernel/state"); }
};

TEST_F(ClockControlTest, ReadsTheSpeedThroughTheKernel) {
    struct Row {
        const char* name;
        bool load;
        const char* raw; // a raw value written into hw.cpuspeed, if any
        UInt16 clock;
        UInt16 loaded;
    };
    const Row rows[] = {
        {"1000 MHz", true, nullptr, 1000, 1},
        {"70000 keeps its low 16 bits", true, "70000", 4464, 1},
        {"absent: the default speed", false, nullptr, 867, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        restartKernel();
        doubles::reset();
        prefs.defaultClock = 867;
        prefs.currentClock = 1;
        if (row.load)
            machine({"load", kext().string()});
        if (row.raw)
            machine({"sysctl", "hw.cpuspeed", row.raw});

        getCurrentClkFromKrelo();
        EXPECT_EQ(loaded, row.loaded);
        EXPECT_EQ(prefs.currentClock, row.clock);
        EXPECT_EQ(doubles::calls.loadItem, std::vector<SInt32>{row.loaded});
    }
}

TEST_F(ClockControlTest, PresentOnlyAsTwoLevelsUnderHw) {
    struct Row {
        const char* name;
        std::vector<int> mib;
        int present;
    };
    const Row rows[] = {
        {"two levels under CTL_HW", {CTL_HW, 100}, 1},
        {"two levels under CTL_KERN", {CTL_KERN, 100}, 0},
        {"three levels", {CTL_HW, 100, 1}, 0},
        {"one level", {CTL_HW}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        doubles::reset();
        sysctlfake::answers = {.active = true, .mib = row.mib};
        EXPECT_EQ(check_for_krelo(), row.present);
        EXPECT_EQ(doubles::calls.loadItem, std::vector<SInt32>{row.present});
    }
}

TEST_F(ClockControlTest, ReadNeverStoresMoreThanTheSlotNorAFailedValue) {
    struct Row {
        const char* name;
        std::size_t size;
        bool readFails;
        int reads;
        UInt16 clock;
    };
    const Row rows[] = {
        {"4 bytes are read", 4, false, 1, 4464},
        {"8 bytes are not read", 8, false, 0, 1234},
        {"no size is not read", 0, false, 0, 1234},
        {"a failed read changes nothing", 4, true, 1, 1234},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        doubles::reset();
        prefs.currentClock = 1234;
        sysctlfake::answers = {.active = true,
                               .mib = {CTL_HW, 100},
                               .valueSize = row.size,
                               .readFails = row.readFails,
                               .value = 70000};
        getCurrentClkFromKrelo();
        EXPECT_EQ(loaded, 1);
        EXPECT_EQ(sysctlfake::answers.reads, row.reads);
        EXPECT_EQ(prefs.currentClock, row.clock);
    }
}

TEST_F(ClockControlTest, SetSpeed) {
    struct Row {
        const char* name;
        UInt16 loaded;
        OSStatus err;
        int mode;
        SInt32 mhz;
        std::optional<SInt32> sent; // the speed sent and shown, if any
    };
    const Row rows[] = {
        {"default speed: mhz ignored", 1, noErr, 0, 700, 867},
        {"user-defined speed", 1, noErr, 1, 700, 700},
        {"any mode but 0 is the given speed", 1, noErr, 2, 650, 650},
        {"extension absent", 0, noErr, 1, 700, std::nullopt},
        {"an earlier failure in err", 1, -50, 1, 700, std::nullopt},
    };
    installRecorder();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        disk.removeFile(loaderRelative().string() + ".stdin");
        doubles::reset();
        prefs.defaultClock = 867;
        prefs.currentClock = 1000;
        loaded = row.loaded;
        err = row.err;

        set_speed(row.mode, row.mhz);
        const auto streams = recordedStreams();
        if (!row.sent) {
            EXPECT_TRUE(streams.empty());
            EXPECT_TRUE(doubles::calls.clockTitle.empty());
            continue;
        }
        ASSERT_EQ(streams.size(), 1u);
        const AuthCommandRecord record = recordOf(streams[0]);
        EXPECT_EQ(record.commandCode, cmdSetSpeed);
        EXPECT_EQ(record.argument, *row.sent);
        EXPECT_EQ(record.path[0], '\0');
        EXPECT_EQ(doubles::calls.clockTitle, std::vector<SInt32>{*row.sent});
        EXPECT_EQ(prefs.currentClock, 1000) << "the reading is left to the next refresh";
    }
}

TEST_F(ClockControlTest, SetSpeedShowsTheSpeedEvenWhenTheToolFails) {
    installTool("#!/bin/sh\nexit 3\n");
    loaded = 1;
    set_speed(1, 700);
    EXPECT_EQ(doubles::calls.clockTitle, std::vector<SInt32>{700});
}

TEST_F(ClockControlTest, LoadKextSendsOnlyWhatChangesAndAlwaysProbesAgain) {
    struct Row {
        const char* name;
        UInt16 loaded;
        int flag;
        std::optional<std::int32_t> code;
    };
    const Row rows[] = {
        {"load while absent", 0, 1, cmdLoadKext},      {"load while present", 1, 1, std::nullopt},
        {"unload while present", 1, 0, cmdUnloadKext}, {"unload while absent", 0, 0, std::nullopt},
        {"flag 2 unloads", 1, 2, cmdUnloadKext},
    };
    installRecorder();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        disk.removeFile(loaderRelative().string() + ".stdin");
        doubles::reset();
        loaded = row.loaded;

        // The recorder loads and unloads nothing: the probe finds the extension absent.
        EXPECT_EQ(load_kext(row.flag), 0);
        EXPECT_EQ(loaded, 0);
        EXPECT_EQ(doubles::calls.loadItem, std::vector<SInt32>{0});
        const auto streams = recordedStreams();
        ASSERT_EQ(streams.size(), row.code ? 1u : 0u);
        if (row.code) {
            const AuthCommandRecord record = recordOf(streams[0]);
            EXPECT_EQ(record.commandCode, *row.code);
            EXPECT_EQ(record.argument, 0);
            EXPECT_THAT(kreloPathSpellings(), ::testing::Contains(std::string(record.path)));
        }
    }
}

TEST_F(ClockControlTest, NoCommandWithoutTheExtensionsPath) {
    struct Row {
        const char* name;
        bool removeKext;
        std::size_t appPathLength; // 0: the disk's own application
    };
    const Row rows[] = {
        {"Krelo.kext missing", true, 0},
        {"path longer than 499 bytes", false, 520},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        doubles::reset();
        installRecorder();
        fs::path tool = loader();
        if (row.removeKext)
            fs::remove_all(kext());
        if (row.appPathLength) {
            const fs::path app = makeDeepApp(row.appPathLength);
            macsim::useMainBundle(app);
            tool = app / "Contents/Resources/loader";
        }
        char out[512] = "unfilled";
        EXPECT_EQ(GetKreloPathString("Krelo.kext", out), nullptr);
        EXPECT_STREQ(out, "");

        EXPECT_EQ(load_kext(1), 0);
        EXPECT_FALSE(fs::exists(tool.string() + ".stdin"));
        EXPECT_EQ(doubles::calls.loadItem, std::vector<SInt32>{0});
    }
}

TEST_F(ClockControlTest, KreloPathIsTheResourcesPath) {
    char out[512];
    ASSERT_EQ(GetKreloPathString("Krelo.kext", out), out);
    EXPECT_THAT(kreloPathSpellings(), ::testing::Contains(std::string(out)));
}

// The disk's own helper tool, end to end: its path holds a space and a non-ASCII character, so
// the extension's path reaches the tool in the encoding the text conversion chose.
TEST_F(ClockControlTest, RealHelperLoadsSetsTheSpeedAndUnloads) {
    prefs.defaultClock = 1000;
    ASSERT_EQ(load_kext(1), 1);
    getCurrentClkFromKrelo();
    EXPECT_EQ(prefs.currentClock, 1000);

    set_speed(1, 867);
    getCurrentClkFromKrelo();
    EXPECT_EQ(prefs.currentClock, 867);

    EXPECT_EQ(load_kext(0), 0);
    getCurrentClkFromKrelo();
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(prefs.currentClock, 1000);
    EXPECT_EQ(machine({"state"}).find("\"extensions\":[]") != std::string::npos, true);
    EXPECT_EQ(disk.readText("private/var/log/system.log"), "") << "no command failed";
}

} // namespace
} // namespace speedtest
