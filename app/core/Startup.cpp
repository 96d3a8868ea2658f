// Start-up state, the one-second refresh and the system-version check.
#include "Core.h"

#include <Bridge.h>
#include <Speed.h>

#include <cmath>

IBNibRef nibRef = nullptr;
WindowRef infoWind = nullptr;
WindowRef prefsWind = nullptr;
UInt16 X_1 = 0;
SInt32 response = 0;
EventLoopTimerUPP eventLoopTimerUPP = nullptr;
EventLoopTimerRef outTimer = nullptr;

void myEventLoopTimer(EventLoopTimerRef, void*) {
    loaded = check_for_krelo();
    getCurrentClkFromKrelo();
    if (loaded == 1 && prefs.keepUserClock == 1 && prefs.speedMode == 1 &&
        prefs.userClock != prefs.currentClock)
        set_speed(1, prefs.userClock);
    // The reading of this tick: a speed just sent shows from the next tick on.
    setMenuItemClockValue(prefs.currentClock);
}

void checkSysVersion() {
    SInt32 version = 0;
    Str255 digits;
    Gestalt(gestaltSystemVersion, &version);
    dec_to_hexstr(version, digits);
    // 10.1.x is 0x101x: its first three digits are 1, 0, 1.
    if (digits[0] >= 3 && digits[1] == '1' && digits[2] == '0' && digits[3] == '1')
        X_1 = 1;
}

short dec_to_hexstr(SInt32 value, Str255 out) {
    // A 32-bit value has at most eight hexadecimal digits.
    unsigned char scratch[16];
    int count = 0;
    while (value > 15) {
        const int digit = static_cast<int>(std::fmod(static_cast<double>(value), 16.0));
        scratch[count++] = dec_to_hex(digit);
        value /= 16;
    }
    scratch[count++] = dec_to_hex(value);

    Str255 text;
    text[0] = static_cast<unsigned char>(count);
    for (int i = 0; i < count; ++i)
        text[1 + i] = scratch[count - 1 - i];
    PLstrcpy(out, text);
    return 0;
}

unsigned char dec_to_hex(int digit) {
    if (digit >= 0 && digit <= 9)
        return static_cast<unsigned char>('0' + digit);
    if (digit >= 10 && digit <= 15)
        return static_cast<unsigned char>('A' + digit - 10);
    return 0xFF;
}
