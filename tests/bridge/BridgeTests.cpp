// The bridge in-process, with the rest of the application replaced by recording fakes
// (BridgeFakes.cpp) and the platform real: binding StatusMenu and its failures, the wrappers, and
// every callback code.
#include "BridgeFakes.h"

#include "Bridge.h"
#include "Core.h"
#include "Prefs.h"
#include "Speed.h"
#include "TestDisk.h"
#include "UI.h"

#include <macsim/Disk.h>
#include <macsim/MainBundle.h>
#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// initCocoa keeps the bundle it loads for the life of the process, as the application must; these
// tests load one bundle after another, and leave the earlier ones behind on purpose.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:myLoadPrivateFrameworkBundle\n";
}

namespace {

using kreloed::test::TestDisk;
namespace fs = std::filesystem;

const fs::path kBundle = "Applications/Kreloed.app/Contents/Frameworks/StatusMenu.bundle";
const fs::path kExecutable = kBundle / "Contents/MacOS/StatusMenu";

enum class Installed {
    Real,             // StatusMenu as built
    Missing,          // no StatusMenu.bundle at all
    Garbage,          // an executable that is no shared object
    Unresolved,       // a shared object that needs a symbol nothing defines
    WithoutCheckALKE, // all entry points but "checkALKEItem"
    InitializeFails,  // initializeBundle answers 1
};

const std::string kCantCreate = "showError(Can't create bundle||Error)";
const std::string kCantInitialize = "showError(Can't initialize bundle||Error)";
const std::string kCantFind = "showError(Can't find function||Error)";

void unbindAll() {
    insertPtr = removePtr = nullptr;
    setMenuItemClkPtr = nullptr;
    setLOADItemPtr = checkAUSRItemPtr = checkSDEFItemPtr = checkSUSRItemPtr = checkALKEItemPtr =
        enableALLItemsPtr = nullptr;
}

// The nine globals in binding order, as bound (true) or not.
std::vector<bool> boundPointers() {
    return {insertPtr != nullptr,        removePtr != nullptr,        setMenuItemClkPtr != nullptr,
            setLOADItemPtr != nullptr,   checkAUSRItemPtr != nullptr, checkSDEFItemPtr != nullptr,
            checkSUSRItemPtr != nullptr, checkALKEItemPtr != nullptr, enableALLItemsPtr != nullptr};
}

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override { freshDisk(); }
    void TearDown() override { unbindAll(); }

    // A new disk and a clean application: nothing bound, nothing called.
    void freshDisk() {
        fakes::reset();
        unbindAll();
        disk = std::make_unique<TestDisk>();
        macsim::Disk::use(disk->root());
        macsim::useMainBundle(disk->app());
    }

    void install(Installed what) {
        switch (what) {
        case Installed::Real:
            // A copy of its own, so that the loader does not hand back an earlier test's bundle.
            disk->replaceFile(kExecutable, STATUSMENU_BINARY);
            break;
        case Installed::Missing:
            disk->removeFile(kBundle);
            break;
        case Installed::Garbage:
            disk->removeFile(kExecutable);
            disk->writeText(kExecutable, std::string("\x7f"
                                                     "ELF, but nothing more\0\x01\x02",
                                                     25));
            fs::permissions(disk->root() / kExecutable, fs::perms::owner_all);
            break;
        case Installed::Unresolved:
            disk->replaceFile(kExecutable, TEST_BUNDLE_UNRESOLVED);
            break;
        case Installed::WithoutCheckALKE:
            disk->replaceFile(kExecutable, TEST_BUNDLE_WITHOUT_CHECKALKE);
            break;
        case Installed::InitializeFails:
            disk->replaceFile(kExecutable, TEST_BUNDLE_INITIALIZE_FAILS);
            break;
        }
    }

    // How often the installed test bundle's initializeBundle ran; -1 when it is no test bundle.
    int initializeCalls() {
        std::string path = (disk->root() / kBundle).string();
        CFURLRef url = CFURLCreateFromFileSystemRepresentation(
            nullptr, reinterpret_cast<const UInt8*>(path.data()), CFIndex(path.size()), true);
        CFBundleRef bundle = CFBundleCreate(nullptr, url);
        CFRelease(url);
        if (bundle == nullptr)
            return -1;
        auto count = reinterpret_cast<int (*)()>(
            CFBundleGetFunctionPointerForName(bundle, CFSTR("testBundleInitializeCalls")));
        CFRelease(bundle);
        return count != nullptr ? count() : -1;
    }

    // The status item that insertGlobalMenu made.
    macsim::Id insertStatusItem() {
        auto before = macsim::WindowServer::shared().statusItems();
        insertGlobalMenu();
        auto after = macsim::WindowServer::shared().statusItems();
        return after.size() == before.size() + 1 ? after.back() : 0;
    }

    std::string systemLog() const { return disk->readText("private/var/log/system.log"); }

    std::unique_ptr<TestDisk> disk;
};

TEST_F(BridgeTest, BindingFailuresGiveTheirAlertsInOrder) {
    struct Case {
        const char* name;
        Installed installed;
        std::vector<std::string> alerts;
        std::size_t bound;   // how many of the nine globals are bound, in binding order
        int initializeCalls; // -1: no test bundle to ask
        OSStatus err;
        const char* logged; // what the system log must mention; null: nothing of the bundle
    };
    const Case cases[] = {
        {"bundle missing",
         Installed::Missing,
         {kCantCreate, kCantInitialize, kCantFind},
         0,
         -1,
         0,
         "can't create bundle"},
        {"executable is garbage",
         Installed::Garbage,
         {kCantFind},
         0,
         -1,
         0,
         "can't find function initializeBundle"},
        // The loader's own words name what is missing.
        {"executable needs a missing symbol",
         Installed::Unresolved,
         {kCantFind},
         0,
         -1,
         0,
         "kreloedTestSymbolThatNothingDefines"},
        {"no checkALKEItem",
         Installed::WithoutCheckALKE,
         {kCantFind},
         7,
         0,
         0,
         "can't find function checkALKEItem"},
        {"initializeBundle fails",
         Installed::InitializeFails,
         {kCantInitialize, kCantFind},
         9,
         1,
         1,
         nullptr},
        {"StatusMenu as built", Installed::Real, {}, 9, -1, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshDisk();
        install(c.installed);
        initCocoa();

        EXPECT_EQ(fakes::calls, c.alerts);
        std::vector<bool> expectedBound(9, false);
        std::fill_n(expectedBound.begin(), c.bound, true);
        EXPECT_EQ(boundPointers(), expectedBound);
        EXPECT_EQ(err, c.err);
        if (c.initializeCalls >= 0) {
            EXPECT_EQ(initializeCalls(), c.initializeCalls);
        }
        std::string log = systemLog();
        if (c.logged != nullptr) {
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        } else {
            EXPECT_EQ(log.find("StatusMenu.bundle"), std::string::npos) << log;
        }

        // Start-up goes on: the status item and the wrappers are used whatever happened.
        macsim::Id item = insertStatusItem();
        EXPECT_EQ(item != 0, c.installed == Installed::Real);
    }
}

TEST_F(BridgeTest, UnboundWrappersCallNothingAndKeepErr) {
    install(Installed::Missing);
    initCocoa();
    fakes::calls.clear();
    err = -42;
    insertGlobalMenu();
    setMenuItemClockValue(867);
    setLOADItem(1);
    checkAUSRItem(1);
    checkSDEFItem(0);
    checkSUSRItem(1);
    checkALKEItem(1);
    EXPECT_EQ(err, -42);
    // The callback itself still works on the settings.
    EXPECT_EQ(handleBundleCommand(5), 0);
    EXPECT_EQ(prefs.keepUserClock, 1);
    EXPECT_EQ(err, -42);
}

TEST_F(BridgeTest, TitleIsTheSpeedInDigits) {
    install(Installed::Real);
    initCocoa();
    ASSERT_EQ(fakes::calls, std::vector<std::string>{});
    macsim::Id item = insertStatusItem();
    ASSERT_NE(item, 0u);
    EXPECT_EQ(macsim::WindowServer::shared().statusItem(item)->title, "600");

    struct Case {
        SInt32 speed;
        const char* title;
    };
    const Case cases[] = {{867, "867"}, {0, "0"}, {1300, "1300"}, {65535, "65535"}, {-5, "-5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        err = -1;
        setMenuItemClockValue(c.speed);
        EXPECT_EQ(err, 0);
        EXPECT_EQ(macsim::WindowServer::shared().statusItem(item)->title, c.title);
    }
}

// The switch values that reach the bundle, through a bound entry point of the test's own.
std::vector<SInt32> switchValues;
SInt32 recordSwitch(SInt32* value) {
    switchValues.push_back(*value);
    return 0;
}

TEST_F(BridgeTest, StandingChoicesToggleAndTheirCheckMarksFollow) {
    struct Case {
        const char* name;
        SInt32 code;
        UInt16 PrefsRecord::*field;
        SwitchEntryPoint* entry;
        UInt16 stored;
        std::vector<UInt16> after; // the field after each of two choices
    };
    const Case cases[] = {
        {"keep user speed from 0", 5, &PrefsRecord::keepUserClock, &checkAUSRItemPtr, 0, {1, 0}},
        {"keep user speed from 1", 5, &PrefsRecord::keepUserClock, &checkAUSRItemPtr, 1, {0, 1}},
        {"keep user speed from a stored 2",
         5,
         &PrefsRecord::keepUserClock,
         &checkAUSRItemPtr,
         2,
         {0, 1}},
        {"load at launch from 0", 6, &PrefsRecord::loadAtLaunch, &checkALKEItemPtr, 0, {1, 0}},
        {"load at launch from a stored 7",
         6,
         &PrefsRecord::loadAtLaunch,
         &checkALKEItemPtr,
         7,
         {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::reset();
        unbindAll();
        *c.entry = recordSwitch;
        switchValues.clear();
        prefs.*c.field = c.stored;
        PrefsRecord others = prefs;

        std::vector<UInt16> seen;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(handleBundleCommand(c.code), 0);
            seen.push_back(prefs.*c.field);
        }
        EXPECT_EQ(seen, c.after);
        EXPECT_EQ(switchValues, std::vector<SInt32>(c.after.begin(), c.after.end()));
        // Nothing else is touched: no speed, no other field, no other call.
        EXPECT_EQ(fakes::calls, std::vector<std::string>{});
        others.*c.field = prefs.*c.field;
        EXPECT_EQ(std::memcmp(&others, &prefs, sizeof prefs), 0);
        EXPECT_EQ(err, 0);
    }
}

TEST_F(BridgeTest, CommandsCarryOutTheirActions) {
    struct Case {
        const char* name;
        SInt32 code;
        UInt16 loaded, keepUserClock, speedMode, userClock;
        UInt16 reading;      // the speed read after a load
        UInt16 dialogResult; // 1 OK, 2 Cancel
        std::vector<std::string> calls;
        UInt16 speedModeAfter, userClockAfter;
    };
    const Case cases[] = {
        {"0 is no command", 0, 0, 1, 1, 800, 1000, 1, {}, 1, 800},
        {"8 is no command", 8, 1, 1, 1, 800, 1000, 1, {}, 1, 800},
        {"-1 is no command", -1, 0, 0, 0, 800, 1000, 1, {}, 0, 800},
        {"unload when loaded", 2, 1, 1, 1, 800, 1000, 1, {"load_kext(0)"}, 1, 800},
        {"load, user speed already running",
         2,
         0,
         1,
         1,
         800,
         800,
         1,
         {"load_kext(1)", "getCurrentClkFromKrelo"},
         1,
         800},
        {"load, then re-send the user speed",
         2,
         0,
         1,
         1,
         800,
         1000,
         1,
         {"load_kext(1)", "getCurrentClkFromKrelo", "set_speed(1,800)"},
         1,
         800},
        {"load only when not keeping the user speed",
         2,
         0,
         0,
         1,
         800,
         1000,
         1,
         {"load_kext(1)"},
         1,
         800},
        {"load only when the default speed is selected",
         2,
         0,
         1,
         0,
         800,
         1000,
         1,
         {"load_kext(1)"},
         0,
         800},
        {"load when loaded holds something else",
         2,
         2,
         0,
         0,
         800,
         1000,
         1,
         {"load_kext(1)"},
         0,
         800},
        {"default speed", 3, 1, 1, 1, 800, 1000, 1, {"applySettings(speedMode 0)"}, 0, 800},
        {"user speed, OK",
         4,
         1,
         0,
         0,
         800,
         1000,
         1,
         {"showPrefsDlog", "applySettings(speedMode 1)"},
         1,
         850},
        {"user speed, Cancel", 4, 1, 0, 0, 800, 1000, 2, {"showPrefsDlog"}, 0, 800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::reset();
        loaded = c.loaded;
        prefs.keepUserClock = c.keepUserClock;
        prefs.speedMode = c.speedMode;
        prefs.userClock = c.userClock;
        prefs.defaultClock = 1000;
        fakes::speedReading = c.reading;
        fakes::dialogResult = c.dialogResult;

        EXPECT_EQ(handleBundleCommand(c.code), 0);
        EXPECT_EQ(fakes::calls, c.calls);
        EXPECT_EQ(prefs.speedMode, c.speedModeAfter);
        EXPECT_EQ(prefs.userClock, c.userClockAfter);
        EXPECT_EQ(prefs.keepUserClock, c.keepUserClock);
        EXPECT_EQ(prefs.defaultClock, 1000);
    }
}

TEST_F(BridgeTest, AboutShowsTheAboutWindow) {
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReference(CFSTR("main"), &nib), 0);
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Window"), &infoWind), 0);
    DisposeNibReference(nib);
    ASSERT_FALSE(IsWindowVisible(infoWind));
    EXPECT_EQ(handleBundleCommand(1), 0);
    EXPECT_TRUE(IsWindowVisible(infoWind));
    EXPECT_EQ(fakes::calls, std::vector<std::string>{});
    DisposeWindow(infoWind);
    infoWind = nullptr;
}

} // namespace
