// StatusMenu.bundle through its ten entry points, as a host drives it: the menu as built, the
// command codes of its rows, the switch values, the order the host must keep, and the nib.
// Each test loads its own copy of the bundle (a fresh shared controller) on a fresh disk, and
// reads what the bundle did from the window server.
#include "StatusMenu.h"
#include "TestDisk.h"

#include <CoreFoundation/CoreFoundation.h>
#include <macsim/Disk.h>
#include <macsim/MainBundle.h>
#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using kreloed::test::TestDisk;
namespace fs = std::filesystem;

const fs::path kBundle = "Applications/Kreloed.app/Contents/Frameworks/StatusMenu.bundle";

// The bundle's functions, bound by name as a host binds them.
struct EntryPoints {
    SInt32 (*initializeBundle)(BundleCommandCallback) = nullptr;
    SInt32 (*insertMenu)() = nullptr;
    SInt32 (*removeMenu)() = nullptr;
    SInt32 (*setMenuItemClk)(CFStringRef) = nullptr;
    SInt32 (*checkSDEFItem)(SInt32*) = nullptr;
    SInt32 (*checkSUSRItem)(SInt32*) = nullptr;
    SInt32 (*checkAUSRItem)(SInt32*) = nullptr;
    SInt32 (*checkALKEItem)(SInt32*) = nullptr;
    SInt32 (*setLOADItem)(SInt32*) = nullptr;
    SInt32 (*enableALLItems)(SInt32*) = nullptr;
};

// Rows of the menu as built.
enum Row : std::size_t {
    kAboutRow = 0,
    kLoadRow = 2,
    kSdefRow = 4,
    kSusrRow = 5,
    kAlkeRow = 7,
    kAusrRow = 8,
    kQuitRow = 10,
};

std::vector<SInt32> receivedCodes;

SInt32 recordCode(SInt32 code) {
    receivedCodes.push_back(code);
    return 0;
}

class StatusMenuTest : public ::testing::Test {
protected:
    void SetUp() override { freshDisk(); }

    // A new disk for the process, with a bundle that has never been loaded.
    void freshDisk() {
        receivedCodes.clear();
        disk = std::make_unique<TestDisk>();
        macsim::Disk::use(disk->root());
        macsim::useMainBundle(disk->app());
        // A copy of its own rather than the disk's hard link, so that the loader loads it afresh
        // instead of handing back an earlier test's bundle with its shared controller.
        disk->replaceFile(kBundle / "Contents/MacOS/StatusMenu", STATUSMENU_BINARY);
    }

    void bind() {
        std::string path = (disk->root() / kBundle).string();
        CFURLRef url = CFURLCreateFromFileSystemRepresentation(
            kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path.data()), CFIndex(path.size()),
            true);
        CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
        CFRelease(url);
        ASSERT_NE(bundle, nullptr);
        auto find = [&](const char* name, auto& entry) {
            CFStringRef string = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
                CFBundleGetFunctionPointerForName(bundle, string));
            CFRelease(string);
            ASSERT_NE(entry, nullptr) << name;
        };
        find("initializeBundle", api.initializeBundle);
        find("insertMenu", api.insertMenu);
        find("removeMenu", api.removeMenu);
        find("setMenuItemClk", api.setMenuItemClk);
        find("checkSDEFItem", api.checkSDEFItem);
        find("checkSUSRItem", api.checkSUSRItem);
        find("checkAUSRItem", api.checkAUSRItem);
        find("checkALKEItem", api.checkALKEItem);
        find("setLOADItem", api.setLOADItem);
        find("enableALLItems", api.enableALLItems);
        // The bundle's code stays loaded when the bundle object goes.
        CFRelease(bundle);
    }

    // initializeBundle and insertMenu, as the host's start-up does; the new status item's id.
    void start() {
        ASSERT_NO_FATAL_FAILURE(bind());
        ASSERT_EQ(api.initializeBundle(recordCode), 0);
        auto before = server().statusItems();
        ASSERT_EQ(api.insertMenu(), 0);
        auto after = server().statusItems();
        ASSERT_EQ(after.size(), before.size() + 1);
        item = after.back();
    }

    static macsim::WindowServer& server() { return macsim::WindowServer::shared(); }
    const macsim::StatusItem& status() const {
        const macsim::StatusItem* found = server().statusItem(item);
        if (found == nullptr)
            throw std::runtime_error("the status item is gone");
        return *found;
    }
    const macsim::StatusRow& row(std::size_t index) const { return status().rows.at(index); }
    // Chooses a row as a front end does; the codes the callback received meanwhile.
    std::vector<SInt32> choose(std::size_t index) {
        receivedCodes.clear();
        status().choose(index);
        return receivedCodes;
    }
    std::string systemLog() const { return disk->readText("private/var/log/system.log"); }

    std::unique_ptr<TestDisk> disk;
    EntryPoints api;
    macsim::Id item = 0;
};

TEST_F(StatusMenuTest, BuildsElevenRowsTitled600) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(status().title, "600");
    EXPECT_TRUE(status().highlightMode);

    struct Expected {
        const char* title; // null for a separator
    };
    const Expected expected[] = {{"About Kreloed"},
                                 {nullptr},
                                 {"Load Krelo.kext into kernel"},
                                 {nullptr},
                                 {"Set system default CPU speed"},
                                 {"Set user-defined CPU speed ..."},
                                 {nullptr},
                                 {"Always load Krelo.kext at launch"},
                                 {"Always keep user-defined CPU speed"},
                                 {nullptr},
                                 {"Quit"}};
    ASSERT_EQ(status().rows.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const macsim::StatusRow& r = row(i);
        if (expected[i].title == nullptr) {
            EXPECT_TRUE(r.separator);
        } else {
            EXPECT_FALSE(r.separator);
            EXPECT_EQ(r.title, expected[i].title);
            EXPECT_TRUE(r.enabled);
            EXPECT_FALSE(r.checked);
        }
    }
}

TEST_F(StatusMenuTest, TitleIsTheHostsAndOutlivesItsString) {
    ASSERT_NO_FATAL_FAILURE(start());
    CFStringRef title = CFStringCreateWithCString(nullptr, "867", kCFStringEncodingMacRoman);
    EXPECT_EQ(api.setMenuItemClk(title), 0);
    // The caller's reference goes at once; the status item holds its own.
    CFRelease(title);
    EXPECT_EQ(status().title, "867");
    choose(kAboutRow);
    EXPECT_EQ(status().title, "867");
}

TEST_F(StatusMenuTest, EachRowSendsItsCodeAndChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(start());
    struct Case {
        const char* name;
        std::size_t row;
        std::vector<SInt32> codes;
    };
    const Case cases[] = {
        {"About", kAboutRow, {1}},
        {"load/unload", kLoadRow, {2}},
        {"system default speed", kSdefRow, {3}},
        {"user-defined speed", kSusrRow, {4}},
        // Higher in the menu than "Always keep ...", but the higher code.
        {"always load at launch", kAlkeRow, {6}},
        {"always keep user speed", kAusrRow, {5}},
        {"Quit", kQuitRow, {7}},
        {"separator", 1, {}},
        {"past the last row", 11, {}},
    };
    const std::vector<macsim::StatusRow> rowsBefore = status().rows;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(choose(c.row), c.codes);
    }
    // No check mark, title or availability follows a choice: that is the host's to send.
    const std::vector<macsim::StatusRow>& rowsAfter = status().rows;
    ASSERT_EQ(rowsAfter.size(), rowsBefore.size());
    for (std::size_t i = 0; i < rowsAfter.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rowsAfter[i].title, rowsBefore[i].title);
        EXPECT_EQ(rowsAfter[i].checked, rowsBefore[i].checked);
        EXPECT_EQ(rowsAfter[i].enabled, rowsBefore[i].enabled);
    }
}

TEST_F(StatusMenuTest, OnlyOneIsOnForCheckMarks) {
    ASSERT_NO_FATAL_FAILURE(start());
    struct Switch {
        const char* name;
        SInt32 (*EntryPoints::*call)(SInt32*);
        std::size_t row;
    };
    const Switch switches[] = {
        {"checkSDEFItem", &EntryPoints::checkSDEFItem, kSdefRow},
        {"checkSUSRItem", &EntryPoints::checkSUSRItem, kSusrRow},
        {"checkAUSRItem", &EntryPoints::checkAUSRItem, kAusrRow},
        {"checkALKEItem", &EntryPoints::checkALKEItem, kAlkeRow},
    };
    for (const Switch& s : switches) {
        SCOPED_TRACE(s.name);
        // Every value but exactly 1 removes the mark; each step starts from a mark.
        for (SInt32 off : {0, 2, -1, 256}) {
            SInt32 on = 1;
            EXPECT_EQ((api.*s.call)(&on), 0);
            EXPECT_TRUE(row(s.row).checked);
            EXPECT_EQ((api.*s.call)(&off), 0);
            EXPECT_FALSE(row(s.row).checked) << off;
        }
        // The mark stays on its own item.
        SInt32 on = 1;
        (api.*s.call)(&on);
        for (std::size_t i = 0; i < status().rows.size(); ++i)
            EXPECT_EQ(row(i).checked, i == s.row) << i;
        SInt32 off = 0;
        (api.*s.call)(&off);
    }
}

TEST_F(StatusMenuTest, LoadItemTitleFollowsAndKeepsItsCode) {
    ASSERT_NO_FATAL_FAILURE(start());
    SInt32 value = 1;
    api.setLOADItem(&value);
    EXPECT_EQ(row(kLoadRow).title, "Unload Krelo.kext from kernel");
    EXPECT_EQ(choose(kLoadRow), std::vector<SInt32>{2});
    for (SInt32 off : {0, 2, -1}) {
        value = 1;
        api.setLOADItem(&value);
        value = off;
        api.setLOADItem(&value);
        EXPECT_EQ(row(kLoadRow).title, "Load Krelo.kext into kernel") << off;
        EXPECT_EQ(choose(kLoadRow), std::vector<SInt32>{2});
    }
}

TEST_F(StatusMenuTest, DisablingTouchesOnlyTheFourOptionItems) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::size_t options[] = {kSdefRow, kSusrRow, kAlkeRow, kAusrRow};
    for (SInt32 off : {0, 2, -1}) {
        SCOPED_TRACE(off);
        SInt32 value = off;
        EXPECT_EQ(api.enableALLItems(&value), 0);
        for (std::size_t r : options) {
            EXPECT_FALSE(row(r).enabled) << r;
            EXPECT_EQ(choose(r), std::vector<SInt32>{}) << r;
        }
        // About, load/unload and Quit stay choosable.
        EXPECT_EQ(choose(kAboutRow), std::vector<SInt32>{1});
        EXPECT_EQ(choose(kLoadRow), std::vector<SInt32>{2});
        EXPECT_EQ(choose(kQuitRow), std::vector<SInt32>{7});

        value = 1;
        api.enableALLItems(&value);
        for (std::size_t r : options)
            EXPECT_TRUE(row(r).enabled) << r;
        EXPECT_EQ(choose(kAusrRow), std::vector<SInt32>{5});
    }
}

TEST_F(StatusMenuTest, CallsOutOfOrderDoNothing) {
    ASSERT_NO_FATAL_FAILURE(bind());
    const auto itemsBefore = server().statusItems();
    SInt32 on = 1;
    CFStringRef title = CFSTR("1000");

    // Before initializeBundle there is no controller at all.
    EXPECT_EQ(api.insertMenu(), 0);
    EXPECT_EQ(api.checkAUSRItem(&on), 0);
    EXPECT_EQ(api.setMenuItemClk(title), 0);
    EXPECT_EQ(api.setLOADItem(&on), 0);
    EXPECT_EQ(api.enableALLItems(&on), 0);
    EXPECT_EQ(api.removeMenu(), 0);
    EXPECT_EQ(server().statusItems(), itemsBefore);

    // Before insertMenu there are no items, and nothing is remembered for later.
    ASSERT_EQ(api.initializeBundle(recordCode), 0);
    EXPECT_EQ(api.checkAUSRItem(&on), 0);
    EXPECT_EQ(api.checkSDEFItem(&on), 0);
    EXPECT_EQ(api.setLOADItem(&on), 0);
    EXPECT_EQ(api.setMenuItemClk(title), 0);
    EXPECT_EQ(api.removeMenu(), 0);
    EXPECT_EQ(server().statusItems(), itemsBefore);

    ASSERT_EQ(api.insertMenu(), 0);
    auto after = server().statusItems();
    ASSERT_EQ(after.size(), itemsBefore.size() + 1);
    item = after.back();
    EXPECT_EQ(status().title, "600");
    EXPECT_FALSE(row(kAusrRow).checked);
    EXPECT_FALSE(row(kSdefRow).checked);
    EXPECT_EQ(row(kLoadRow).title, "Load Krelo.kext into kernel");
}

TEST_F(StatusMenuTest, RemoveMenuTakesTheItemAwayForGood) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(api.removeMenu(), 0);
    EXPECT_EQ(server().statusItem(item), nullptr);
    // The controller still holds its menu items, but a title has nowhere to go.
    SInt32 on = 1;
    EXPECT_EQ(api.setMenuItemClk(CFSTR("700")), 0);
    EXPECT_EQ(api.checkAUSRItem(&on), 0);
    EXPECT_EQ(api.setLOADItem(&on), 0);
    EXPECT_EQ(api.removeMenu(), 0);
    EXPECT_EQ(server().statusItem(item), nullptr);
}

TEST_F(StatusMenuTest, SecondInitializeKeepsTheMenuAndTakesTheNewCallback) {
    ASSERT_NO_FATAL_FAILURE(start());
    static std::vector<SInt32> second;
    second.clear();
    api.initializeBundle([](SInt32 code) -> SInt32 {
        second.push_back(code);
        return 0;
    });
    auto items = server().statusItems();
    EXPECT_EQ(api.insertMenu(), 0);
    EXPECT_EQ(server().statusItems(), items);
    EXPECT_EQ(choose(kQuitRow), std::vector<SInt32>{});
    EXPECT_EQ(second, std::vector<SInt32>{7});
}

TEST_F(StatusMenuTest, UnreadableNibIsLoggedAndTheControllerWorks) {
    struct Case {
        const char* name;
        const char* nib; // null: no nib at all; empty: the one installed
        bool logged;
    };
    const Case cases[] = {
        {"nib as built", "", false},
        {"nib missing", nullptr, true},
        {"nib malformed", "<nib><window name=\"x\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshDisk();
        const fs::path nib = kBundle / "Contents/Resources/MyWindow.nib";
        if (c.nib == nullptr)
            disk->removeFile(nib);
        else if (*c.nib != '\0')
            disk->writeText(nib, c.nib);

        ASSERT_NO_FATAL_FAILURE(start());
        std::string log = systemLog();
        EXPECT_EQ(log.find("failed to load MyWindow nib") != std::string::npos, c.logged) << log;
        // Whatever the nib, the controller is the shared one and has the callback.
        EXPECT_EQ(choose(kAboutRow), std::vector<SInt32>{1});
    }
}

TEST_F(StatusMenuTest, TitlesComeFromTheBundlesOwnStringTable) {
    // The application's table must not be the one read: the titles are StatusMenu's.
    disk->writeText("Applications/Kreloed.app/Contents/Resources/Localizable.strings",
                    "\"Quit\" = \"Application's Quit\";\n");
    disk->writeText(kBundle / "Contents/Resources/Localizable.strings",
                    "/* StatusMenu */\n"
                    "\"Quit\" = \"Beenden\";\n"
                    "\"Unload Krelo.kext from kernel\" = \"Krelo.kext entladen\";\n"
                    "\"600\" = \"never used\";\n");
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(row(kQuitRow).title, "Beenden");
    EXPECT_EQ(row(kAboutRow).title, "About Kreloed");
    // The status item's first title is not looked up.
    EXPECT_EQ(status().title, "600");
    SInt32 on = 1;
    api.setLOADItem(&on);
    EXPECT_EQ(row(kLoadRow).title, "Krelo.kext entladen");
}

} // namespace
