// Start-up, the one-second refresh and shut-down of the built application, run headless on a
// fresh copy of the simulated Mac.
#include <TestDisk.h>

#include <macsim/AppleDouble.h>
#include <macsim/ResourceFork.h>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <optional>

namespace kreloed::test {
namespace {

// The settings record, field by field as the file stores it (big-endian).
struct Settings {
    std::uint16_t defaultClock = 0, userClock = 0, keepUserClock = 0, speedMode = 0,
                  loadAtLaunch = 0, currentClock = 0;
};

const fs::path kSettings = fs::path("Kreloed Prefs");

std::optional<Settings> readSettings(const TestDisk& disk) {
    const auto companion = readBytes(disk.preferences() / ("._" + kSettings.string()));
    const auto doubleFile = macsim::AppleDouble::parse(companion);
    if (!doubleFile)
        return std::nullopt;
    const auto* forkEntry = doubleFile->entry(macsim::AppleDouble::resourceForkId);
    if (!forkEntry)
        return std::nullopt;
    const auto fork = macsim::ResourceFork::parse(forkEntry->data);
    if (!fork)
        return std::nullopt;
    const macsim::Resource* r = fork->find('SLpr', 128);
    if (!r || r->data.size() < 12)
        return std::nullopt;
    auto field = [&](int i) { return std::uint16_t(r->data[2 * i] << 8 | r->data[2 * i + 1]); };
    return Settings{field(0), field(1), field(2), field(3), field(4), field(5)};
}

void writeSettings(const TestDisk& disk, const Settings& s) {
    macsim::Resource r;
    r.type = 'SLpr';
    r.id = 128;
    r.name = "prefs";
    for (std::uint16_t v : {s.defaultClock, s.userClock, s.keepUserClock, s.speedMode,
                            s.loadAtLaunch, s.currentClock}) {
        r.data.push_back(std::uint8_t(v >> 8));
        r.data.push_back(std::uint8_t(v));
    }
    macsim::ResourceFork fork;
    ASSERT_FALSE(fork.add(r));
    const auto forkBytes = fork.serialize();
    ASSERT_TRUE(forkBytes);
    macsim::AppleDouble companion;
    companion.setEntry(macsim::AppleDouble::finderInfoId,
                       macsim::AppleDouble::finderInfo('pref', 'SLap'));
    companion.setEntry(macsim::AppleDouble::resourceForkId, *forkBytes);
    fs::create_directories(disk.preferences());
    std::ofstream(disk.preferences() / kSettings, std::ios::binary);
    const auto bytes = companion.serialize();
    std::ofstream(disk.preferences() / ("._" + kSettings.string()), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> statusTitles(const AppRun& run) {
    std::vector<std::string> titles;
    for (const auto& e : run.events("status_title"))
        titles.push_back(e["title"]);
    return titles;
}

TEST(Startup, RunsUntilQuitAndWritesTheSettings) {
    TestDisk disk;
    const AppRun run = runApp(disk, "# Three ticks, then quit from the menu bar.\n"
                                    "wait 3\n"
                                    "menu quit\n");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.trace.empty());
    EXPECT_EQ(run.trace.back()["event"], "exit");
    EXPECT_EQ(run.trace.back()["status"], 0);
    EXPECT_EQ(run.events("menubar").size(), 1u);
    EXPECT_EQ(run.events("status_item_added").size(), 1u);
    // The extension is absent: the title is the measured default speed.
    ASSERT_FALSE(statusTitles(run).empty());
    EXPECT_EQ(statusTitles(run).back(), "1000");

    // First launch: defaults, with the measured speed.
    const auto settings = readSettings(disk);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->defaultClock, 1000);
    EXPECT_EQ(settings->userClock, 1000);
    EXPECT_EQ(settings->keepUserClock, 0);
    EXPECT_EQ(settings->speedMode, 0);
    EXPECT_EQ(settings->loadAtLaunch, 0);
    EXPECT_EQ(settings->currentClock, 1000);
}

// A nib that cannot be used ends start-up at once with its status, before the settings are read.
TEST(Startup, BrokenNibEndsStartUpAndLeavesTheSettingsAlone) {
    struct Row {
        std::string name;
        std::function<void(const TestDisk&)> breakIt;
        int status; // the low 8 bits of the failing status
        bool menuBarMade;
    };
    auto withoutWindow = [](const std::string& window) {
        return [window](const TestDisk& disk) {
            const fs::path nib = disk.resources() / "main.nib";
            std::string text = disk.readText(fs::relative(nib, disk.root()));
            const auto start = text.find("<window name=\"" + window + "\"");
            ASSERT_NE(start, std::string::npos);
            const auto end = text.find("</window>", start);
            text.erase(start, end + 9 - start);
            disk.writeText(fs::relative(nib, disk.root()), text);
        };
    };
    const std::vector<Row> rows = {
        {"no main.nib",
         [](const TestDisk& disk) {
             disk.removeFile(fs::relative(disk.resources() / "main.nib", disk.root()));
         },
         std::uint8_t(-10960), false},
        {"main.nib that is not well-formed",
         [](const TestDisk& disk) {
             disk.writeText(fs::relative(disk.resources() / "main.nib", disk.root()),
                            "<nib><menubar name=\"MenuBar\">");
         },
         std::uint8_t(-10963), false},
        {"no window \"Prefs\"", withoutWindow("Prefs"), std::uint8_t(-10961), true},
        {"no window \"Window\"", withoutWindow("Window"), std::uint8_t(-10961), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestDisk disk;
        row.breakIt(disk);
        // A stored record that start-up would otherwise change and write back.
        writeSettings(disk, Settings{800, 700, 0, 1, 0, 800});
        const auto before = readBytes(disk.preferences() / ("._" + kSettings.string()));

        const AppRun run = runApp(disk, "wait 3\nmenu quit\n");
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.events("menubar").size(), row.menuBarMade ? 1u : 0u);
        EXPECT_TRUE(run.events("status_item_added").empty());
        EXPECT_TRUE(run.events("window_shown").empty());
        EXPECT_EQ(readBytes(disk.preferences() / ("._" + kSettings.string())), before);
    }
}

TEST(Startup, StatusItemOnEverySystemBut10_1) {
    struct Row {
        std::string version;
        bool statusItem;
    };
    for (const Row& row : std::vector<Row>{{"10.1.5", false}, {"10.2.8", true}, {"10.3.9", true}}) {
        SCOPED_TRACE(row.version);
        TestDisk disk;
        disk.setSystemVersion(row.version);
        const AppRun run = runApp(disk, "wait 1\ndump\nmenu quit\n");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.lastDump()["status_items"].size(), row.statusItem ? 1u : 0u);
        // Without a status item the application still runs and quits normally.
        ASSERT_TRUE(readSettings(disk));
    }
}

TEST(Startup, DefaultSpeedIsTheClockRateTruncatedToMHz) {
    struct Row {
        long long hertz;
        std::uint16_t mhz;
    };
    for (const Row& row : std::vector<Row>{{1000000000, 1000}, {1999999999, 1999}}) {
        SCOPED_TRACE(row.hertz);
        TestDisk disk;
        disk.setClockRate(row.hertz);
        const AppRun run = runApp(disk, "wait 1\nmenu quit\n");
        EXPECT_EQ(run.status, 0) << run.err;
        const auto settings = readSettings(disk);
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->defaultClock, row.mhz);
    }
}

// The standing choice "keep user-defined speed" off turns the user-defined speed off at start-up:
// no speed is sent, and 0 is stored at quit. With it on, the stored speed is sent at once.
TEST(Startup, KeepUserClockDecidesWhetherTheUserSpeedIsSentAtStartUp) {
    struct Row {
        std::string name;
        std::uint16_t keepUserClock;
        bool speedSent;
        std::uint16_t storedSpeedMode;
    };
    const std::vector<Row> rows = {
        {"keep off: nothing is sent", 0, false, 0},
        {"keep on: the user speed is sent", 1, true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestDisk disk;
        // Load at launch, so that the extension is there and a speed command would go through.
        writeSettings(disk, Settings{1000, 800, row.keepUserClock, 1, 1, 1000});
        const AppRun run = runApp(disk, "wait 2\nmenu quit\n");
        EXPECT_EQ(run.status, 0) << run.err;
        const auto titles = statusTitles(run);
        EXPECT_EQ(std::find(titles.begin(), titles.end(), "800") != titles.end(), row.speedSent)
            << ::testing::PrintToString(titles);
        const auto settings = readSettings(disk);
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->speedMode, row.storedSpeedMode);
        EXPECT_EQ(settings->keepUserClock, row.keepUserClock);
    }
}

// A stored current speed equal to the user speed hides a processor that really runs at 1000 MHz:
// start-up sends nothing, the first tick reads 1000 and sends 800 but still shows its own reading,
// and the next tick shows 800.
TEST(Startup, FirstTickSendsTheUserSpeedAndShowsItOneTickLater) {
    TestDisk disk;
    writeSettings(disk, Settings{1000, 800, 1, 1, 1, 800});
    const AppRun run = runApp(disk, "wait 2.5\nmenu quit\n");
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::pair<double, std::string>> titles;
    for (const auto& e : run.events("status_title"))
        titles.emplace_back(e["t"].get<double>(), e["title"].get<std::string>());
    // Whatever the bundle shows before the application's first update does not count.
    while (!titles.empty() && titles.front().second != "800")
        titles.erase(titles.begin());
    const std::vector<std::pair<double, std::string>> expected = {
        {0, "800"},  // start-up shows the stored reading
        {0, "1000"}, // the first tick reads 1000, sends 800, and shows 1000
        {1, "800"},  // the next tick reads what was sent
    };
    EXPECT_EQ(titles, expected);
}

// The processor drifts away from the kept user speed (power management): the next tick shows the
// drifted speed and sends the user speed again, which shows from the tick after.
TEST(Startup, DriftFromTheKeptUserSpeedIsSentBackOnTheNextTick) {
    TestDisk disk;
    writeSettings(disk, Settings{1000, 800, 1, 1, 1, 800});
    const AppRun run = runApp(disk, "wait 1.5\nmachine speed 867\nwait 2\nmenu quit\n");
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::pair<double, std::string>> late;
    for (const auto& e : run.events("status_title"))
        if (e["t"].get<double>() > 1.5)
            late.emplace_back(e["t"].get<double>(), e["title"].get<std::string>());
    const std::vector<std::pair<double, std::string>> expected = {{2, "867"}, {3, "800"}};
    EXPECT_EQ(late, expected);
}

} // namespace
} // namespace kreloed::test
