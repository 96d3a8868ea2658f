#include "BridgeFakes.h"

#include "Core.h"
#include "Prefs.h"
#include "Speed.h"
#include "UI.h"

#include <string>

PrefsRecord prefs;
OSStatus err = 0;
UInt16 loaded = 0;
WindowRef infoWind = nullptr;
UInt16 itemHit = 0;

namespace fakes {

std::vector<std::string> calls;
unsigned short speedReading = 0;
unsigned short dialogResult = 1;

void reset() {
    calls.clear();
    speedReading = 0;
    dialogResult = 1;
    prefs = PrefsRecord{};
    err = 0;
    loaded = 0;
    itemHit = 0;
}

std::string text(ConstStr255Param string) {
    return std::string(reinterpret_cast<const char*>(string + 1), string[0]);
}

} // namespace fakes

void showError(ConstStr255Param text1, ConstStr255Param text2, ConstStr255Param text3) {
    fakes::calls.push_back("showError(" + fakes::text(text1) + "|" + fakes::text(text2) + "|" +
                           fakes::text(text3) + ")");
}

UInt16 load_kext(int flag) {
    fakes::calls.push_back("load_kext(" + std::to_string(flag) + ")");
    loaded = flag == 1 ? 1 : 0;
    return loaded;
}

int getCurrentClkFromKrelo() {
    fakes::calls.push_back("getCurrentClkFromKrelo");
    prefs.currentClock = fakes::speedReading;
    return prefs.currentClock;
}

void set_speed(int mode, SInt32 mhz) {
    fakes::calls.push_back("set_speed(" + std::to_string(mode) + "," + std::to_string(mhz) + ")");
}

void applySettings() {
    fakes::calls.push_back("applySettings(speedMode " + std::to_string(prefs.speedMode) + ")");
}

OSStatus showPrefsDlog() {
    fakes::calls.push_back("showPrefsDlog");
    itemHit = fakes::dialogResult;
    if (itemHit == 1)
        prefs.userClock = 850;
    return 0;
}
