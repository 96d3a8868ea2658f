#include "AppHarness.h"

#include "Bridge.h"
#include "Core.h"
#include "Speed.h"
#include "UI.h"

#include "TestDisk.h"

#include <macsim/Disk.h>
#include <macsim/HeadlessFrontEnd.h>
#include <macsim/MainBundle.h>
#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

// The globals that start-up and the settings own in the application.
PrefsRecord prefs;
OSStatus err;
ResFileRefNum applRes;
IBNibRef nibRef;
WindowRef infoWind;
WindowRef prefsWind;

namespace kreloed::test {

std::vector<std::string> calls;
UInt16 speedReading = 1000;

namespace {

void record(const std::string& call) {
    calls.push_back(call);
}

} // namespace
} // namespace kreloed::test

using kreloed::test::record;

// Recording fakes of the clock control and the status menu bridge.
int getCurrentClkFromKrelo() {
    record("getCurrentClkFromKrelo");
    prefs.currentClock = kreloed::test::speedReading;
    return 0;
}
void set_speed(int mode, SInt32 mhz) {
    record("set_speed " + std::to_string(mode) + " " + std::to_string(mhz));
}
void setMenuItemClockValue(SInt32 speed) {
    record("setMenuItemClockValue " + std::to_string(speed));
}
void checkAUSRItem(SInt32 value) {
    record("checkAUSRItem " + std::to_string(value));
}
void checkSDEFItem(SInt32 value) {
    record("checkSDEFItem " + std::to_string(value));
}
void checkSUSRItem(SInt32 value) {
    record("checkSUSRItem " + std::to_string(value));
}
void checkALKEItem(SInt32 value) {
    record("checkALKEItem " + std::to_string(value));
}

namespace kreloed::test {
namespace {

struct ScriptStopped {
    int status;
    std::string message;
};

// Start-up as far as the windows go: the disk, the main bundle, the nib's menu bar and the two
// windows, then the handlers.
class ApplicationEnvironment;
ApplicationEnvironment* theEnvironment = nullptr;

class ApplicationEnvironment : public ::testing::Environment {
public:
    ApplicationEnvironment() { theEnvironment = this; }
    const TestDisk& disk() const { return *disk_; }

    void SetUp() override {
        disk_ = std::make_unique<TestDisk>();
        macsim::Disk::use(disk_->root());
        macsim::useMainBundle(disk_->app());
        applRes = CurResFile();
        ASSERT_NE(applRes, 0) << "the application's resource file was not opened";
        ASSERT_EQ(CreateNibReference(CFSTR("main"), &nibRef), noErr);
        ASSERT_EQ(SetMenuBarFromNib(nibRef, CFSTR("MenuBar")), noErr);
        ASSERT_EQ(CreateWindowFromNib(nibRef, CFSTR("Window"), &infoWind), noErr);
        ASSERT_EQ(CreateWindowFromNib(nibRef, CFSTR("Prefs"), &prefsWind), noErr);
        DisposeNibReference(nibRef);
        nibRef = nullptr;
        MakeWindow();
    }

private:
    std::unique_ptr<TestDisk> disk_;
};

} // namespace

const TestDisk& testDisk() {
    return theEnvironment->disk();
}

void resetApplication() {
    prefs = {};
    err = noErr;
    itemHit = 0;
    calls.clear();
    speedReading = 1000;
    auto& server = macsim::WindowServer::shared();
    for (macsim::Id id : server.windowsFrontToBack()) {
        WindowRef window = reinterpret_cast<WindowRef>(std::uintptr_t(id));
        if (window == infoWind || window == prefsWind)
            HideWindow(window);
        else
            DisposeWindow(window);
    }
    server.hiliteMenu(0);
}

std::vector<nlohmann::json> withScript(const std::string& script,
                                       const std::function<void()>& body) {
    auto& server = macsim::WindowServer::shared();
    std::ostringstream dumps;
    macsim::HeadlessFrontEnd::Options options;
    options.stop = [](int status, const std::string& message) {
        throw ScriptStopped{status, message};
    };
    options.dumpOut = &dumps;
    server.setFrontEnd(std::make_unique<macsim::HeadlessFrontEnd>(
        server, std::make_unique<std::istringstream>(script), std::move(options)));
    try {
        body();
    } catch (const ScriptStopped& stopped) {
        ADD_FAILURE() << "the script stopped with status " << stopped.status << ": "
                      << stopped.message;
    }
    std::vector<nlohmann::json> states;
    std::istringstream lines(dumps.str());
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            states.push_back(nlohmann::json::parse(line));
    return states;
}

nlohmann::json screen() {
    return nlohmann::json::parse(macsim::WindowServer::shared().dumpJson());
}

std::vector<nlohmann::json> windowsNamed(const nlohmann::json& state, const std::string& name) {
    std::vector<nlohmann::json> found;
    for (const auto& window : state["windows"])
        if (window["name"] == name)
            found.push_back(window);
    return found;
}

nlohmann::json controlOf(const nlohmann::json& window, const std::string& signature) {
    for (const auto& control : window["controls"])
        if (control["signature"] == signature)
            return control;
    return nullptr;
}

OSStatus sendControlEvent(WindowRef window, EventKind kind, ControlRef control) {
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassControl, kind, 0, kEventAttributeNone, &event);
    SetEventParameter(event, kEventParamDirectObject, typeControlRef, sizeof control, &control);
    OSStatus status = SendEventToEventTarget(event, GetWindowEventTarget(window));
    ReleaseEvent(event);
    return status;
}

} // namespace kreloed::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new kreloed::test::ApplicationEnvironment);
    return RUN_ALL_TESTS();
}
