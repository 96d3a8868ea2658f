// The kernel extension and the processor speed: whether Krelo.kext is loaded (probed through the
// sysctl hw.cpuspeed it publishes), the current speed, and the commands that load, unload and
// set the speed through the helper tool.
#include "Speed.h"

#include <Bridge.h>
#include <Prefs.h>

#include <cstring>
#include <sys/sysctl.h>

UInt16 loaded = 0;

static const char kSpeedSysctl[] = "hw.cpuspeed";

enum {
    kMibRoom = 4,         // the room the name lookup gets
    kKreloPathSize = 512, // GetKreloPathString's buffers
    kKreloPathMax = 499,  // path bytes before the terminator: fits the record's path field
};
static_assert(kKreloPathMax < kAuthCommandPathSize, "the path and its terminator fit the record");

int check_for_krelo() {
    int mib[kMibRoom] = {0};
    size_t count = kMibRoom;
    sysctlnametomib(kSpeedSysctl, mib, &count);
    int present = (count == 2 && mib[0] == CTL_HW) ? 1 : 0;
    setLOADItem(present);
    return present;
}

int getCurrentClkFromKrelo() {
    loaded = check_for_krelo();
    if (loaded != 1) {
        prefs.currentClock = prefs.defaultClock;
        return 0;
    }
    int mib[kMibRoom] = {0};
    size_t count = kMibRoom;
    sysctlnametomib(kSpeedSysctl, mib, &count);
    // The extension may have gone since the probe: then there is nothing to read.
    if (count != 2)
        return -1;
    UInt32 value = 0;
    size_t size = 0;
    sysctl(mib, 2, NULL, &size, NULL, 0);
    // Only a value that fits the 32-bit slot is read; otherwise currentClock keeps its last value.
    if (size == 0 || size > sizeof value)
        return -1;
    int status = sysctl(mib, 2, &value, &size, NULL, 0);
    if (status == 0)
        prefs.currentClock = (UInt16)(value & 0xFFFF);
    return status;
}

void set_speed(int mode, SInt32 mhz) {
    if (loaded == 0)
        return;
    SInt32 speed = mode != 0 ? mhz : (SInt32)prefs.defaultClock;
    if (err != 0)
        return;
    myPerformAuthCommand(cmdSetSpeed, speed, "");
    setMenuItemClockValue(speed);
}

UInt16 load_kext(int flag) {
    char path[kKreloPathSize];
    // Without the extension's path no command goes out: the tool would get an unfilled path.
    bool havePath = GetKreloPathString("Krelo.kext", path) != NULL;
    if (flag == 1) {
        if (loaded != 1 && havePath)
            myPerformAuthCommand(cmdLoadKext, 0, path);
    } else {
        if (loaded != 0 && havePath)
            myPerformAuthCommand(cmdUnloadKext, 0, path);
    }
    loaded = check_for_krelo();
    return loaded;
}

char* GetKreloPathString(const char* name, char* out) {
    char buffer[kKreloPathSize];
    ByteCount length = 0;
    OSStatus status = fnfErr;

    CFStringRef nameString =
        CFStringCreateWithCString(kCFAllocatorDefault, name, CFStringGetSystemEncoding());
    CFBundleRef bundle = CFBundleGetMainBundle();
    CFURLRef url =
        (nameString && bundle) ? CFBundleCopyResourceURL(bundle, nameString, NULL, NULL) : NULL;
    CFStringRef pathString = url ? CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle) : NULL;
    if (pathString)
        status = GetTextAndEncodingFromCFString(pathString, (BytePtr)buffer, kKreloPathMax, &length,
                                                NULL);
    if (url)
        CFRelease(url);
    if (nameString)
        CFRelease(nameString);
    if (pathString)
        CFRelease(pathString);

    // A missing resource or a path that cannot be converted leaves the caller an empty text and
    // no result, never an unfilled buffer.
    if (status != noErr || length > kKreloPathMax) {
        out[0] = '\0';
        return NULL;
    }
    buffer[length] = '\0';
    memcpy(out, buffer, length + 1);
    return out;
}
