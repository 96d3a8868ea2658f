// Start-up, the one-second refresh, shut-down, and the menu-bar commands.
#pragma once

#include "Prefs.h"

extern IBNibRef nibRef;
extern WindowRef infoWind;  // the About window
extern WindowRef prefsWind; // the user-speed dialog
extern UInt16 X_1;          // 1 on Mac OS X 10.1.x
extern SInt32 response;     // the processor clock rate, Hz
extern EventLoopTimerUPP eventLoopTimerUPP;
extern EventLoopTimerRef outTimer;

int main(int argc, char* argv[]);
void myEventLoopTimer(EventLoopTimerRef timer, void* userData);
void checkSysVersion();
short dec_to_hexstr(SInt32 value, Str255 out);
unsigned char dec_to_hex(int digit);

OSStatus DoAppCommandProcess(EventHandlerCallRef handler, EventRef event, void* userData);
void checkMenus();
void set_clk();
void applySettings();
