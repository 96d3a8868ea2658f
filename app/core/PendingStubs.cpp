// Do-nothing stand-ins for what other parts of the application define, so that it links while
// they are being written. Each is weak: the real definition, once linked, replaces it (the
// application library is linked whole, so the real one is always seen). Remove a line when its
// real definition has landed.
#include "Core.h"

#include <Bridge.h>
#include <Speed.h>
#include <UI.h>

#define PENDING __attribute__((weak))

// Settings (the settings record and its file).
PENDING PrefsRecord prefs;
PENDING OSStatus err;
PENDING ResFileRefNum applRes;
PENDING void fileWorks(int) {}

// Clock control and the privileged command runner.
PENDING UInt16 loaded;
PENDING int check_for_krelo() {
    return 0;
}
PENDING int getCurrentClkFromKrelo() {
    return 0;
}
PENDING UInt16 load_kext(int) {
    return 0;
}
PENDING void set_speed(int, SInt32) {}
PENDING int myInitAuthCommand() {
    return 0;
}
PENDING int myFreeAuthCommand() {
    return 0;
}

// The status menu bridge.
PENDING void initCocoa() {}
PENDING void insertGlobalMenu() {}
PENDING void setMenuItemClockValue(SInt32) {}
PENDING void checkAUSRItem(SInt32) {}
PENDING void checkSDEFItem(SInt32) {}
PENDING void checkSUSRItem(SInt32) {}
PENDING void checkALKEItem(SInt32) {}
