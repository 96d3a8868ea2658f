// The settings record and its file "Kreloed Prefs".
#pragma once

#include <Carbon/Carbon.h>

struct PrefsRecord {
    UInt16 defaultClock;  // the system default processor speed, MHz
    UInt16 userClock;     // the user-defined speed, MHz
    UInt16 keepUserClock; // 1: "Always keep user-defined CPU speed"
    UInt16 speedMode;     // 0: system default speed selected, 1: user-defined speed selected
    UInt16 loadAtLaunch;  // 1: "Always load Krelo.kext at launch"
    UInt16 currentClock;  // the current processor speed, MHz, as last read
};
static_assert(sizeof(PrefsRecord) == 12, "the settings record is six 16-bit fields");

extern PrefsRecord prefs;
extern OSStatus err;          // the application's last status; main returns it
extern ResFileRefNum applRes; // the application's own resource file

// mode 1 reads "Kreloed Prefs" into prefs, mode 0 writes prefs to it.
void fileWorks(int mode);
