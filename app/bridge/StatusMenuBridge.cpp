// The application's side of StatusMenu: loading the bundle from the application's private
// frameworks folder, binding its ten entry points by name, the wrappers that call them, and the
// callback that carries out the status menu's choices.
#include "Bridge.h"

#include "BundleCommands.h"
#include "Core.h"
#include "Prefs.h"
#include "Speed.h"
#include "UI.h"

#include <Foundation/Foundation.h>
#include <macsim/Bundle.h>

#include <cstddef>
#include <string>

VoidEntryPoint insertPtr = nullptr;
VoidEntryPoint removePtr = nullptr;
StringEntryPoint setMenuItemClkPtr = nullptr;
SwitchEntryPoint setLOADItemPtr = nullptr;
SwitchEntryPoint checkAUSRItemPtr = nullptr;
SwitchEntryPoint checkSDEFItemPtr = nullptr;
SwitchEntryPoint checkSUSRItemPtr = nullptr;
SwitchEntryPoint checkALKEItemPtr = nullptr;
SwitchEntryPoint enableALLItemsPtr = nullptr;

namespace {

typedef SInt32 (*InitializeEntryPoint)(BundleCommandCallback);

// The bound entry points live in the bundle: it is kept for the life of the process and never
// released.
CFBundleRef statusMenuBundle = nullptr;

// A length-prefixed copy of a text literal, made at compile time.
template <std::size_t N> struct PascalString {
    unsigned char text[N] = {};
    consteval PascalString(const char (&literal)[N]) {
        static_assert(N - 1 <= 255, "a length-prefixed string holds at most 255 characters");
        text[0] = static_cast<unsigned char>(N - 1);
        for (std::size_t i = 0; i + 1 < N; ++i)
            text[i + 1] = static_cast<unsigned char>(literal[i]);
    }
};

constexpr PascalString kCantCreateBundle("Can't create bundle");
constexpr PascalString kCantInitializeBundle("Can't initialize bundle");
constexpr PascalString kCantFindFunction("Can't find function");
constexpr PascalString kErrorTitle("Error");
constexpr PascalString kNoText("");

void alert(ConstStr255Param message) {
    showError(message, kNoText.text, kErrorTitle.text);
}

// The alerts say little; the system log says what went wrong.
void logLine(const std::string& line) {
    CFStringRef text =
        CFStringCreateWithCString(kCFAllocatorDefault, line.c_str(), kCFStringEncodingUTF8);
    if (text != nullptr) {
        NSLog((NSString*)CFSTR("%@"), (NSString*)text);
        CFRelease(text);
    }
}

// Looks name up in bundle into entry; a missing name is logged with the loader's reason and
// reported with the alert "Can't find function".
template <typename EntryPoint>
bool bindEntryPoint(CFBundleRef bundle, const char* name, EntryPoint& entry) {
    CFStringRef functionName =
        CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingMacRoman);
    entry = reinterpret_cast<EntryPoint>(CFBundleGetFunctionPointerForName(bundle, functionName));
    CFRelease(functionName);
    if (entry != nullptr)
        return true;
    logLine(std::string("StatusMenu.bundle: can't find function ") + name + ": " +
            macsim::bundleLastError(bundle));
    alert(kCantFindFunction.text);
    return false;
}

void callSwitch(SwitchEntryPoint entry, SInt32 value) {
    if (entry == nullptr)
        return;
    SInt32 theValue = value;
    err = entry(&theValue);
}

// 1 from 0, 0 from anything else.
UInt16 toggled(UInt16 value) {
    return value == 0 ? 1 : 0;
}

} // namespace

void initCocoa() {
    CFBundleRef bundle = nullptr;
    myLoadPrivateFrameworkBundle(CFSTR("StatusMenu.bundle"), &bundle);
    statusMenuBundle = bundle;
    if (bundle == nullptr) {
        logLine("StatusMenu.bundle: can't create bundle from the application's frameworks folder");
        alert(kCantCreateBundle.text);
        alert(kCantInitializeBundle.text);
        alert(kCantFindFunction.text);
        return;
    }

    // Bound in this order; the first missing name leaves it and the ones after it unbound.
    InitializeEntryPoint initializeBundle = nullptr;
    if (!bindEntryPoint(bundle, "initializeBundle", initializeBundle) ||
        !bindEntryPoint(bundle, "insertMenu", insertPtr) ||
        !bindEntryPoint(bundle, "removeMenu", removePtr) ||
        !bindEntryPoint(bundle, "setMenuItemClk", setMenuItemClkPtr) ||
        !bindEntryPoint(bundle, "setLOADItem", setLOADItemPtr) ||
        !bindEntryPoint(bundle, "checkAUSRItem", checkAUSRItemPtr) ||
        !bindEntryPoint(bundle, "checkSDEFItem", checkSDEFItemPtr) ||
        !bindEntryPoint(bundle, "checkSUSRItem", checkSUSRItemPtr) ||
        !bindEntryPoint(bundle, "checkALKEItem", checkALKEItemPtr) ||
        !bindEntryPoint(bundle, "enableALLItems", enableALLItemsPtr))
        return;

    err = initializeBundle(handleBundleCommand);
    if (err != 0) {
        alert(kCantInitializeBundle.text);
        alert(kCantFindFunction.text);
    }
}

void myLoadPrivateFrameworkBundle(CFStringRef name, CFBundleRef* out) {
    CFBundleRef mainBundle = CFBundleGetMainBundle();
    if (mainBundle == nullptr)
        return;
    CFURLRef frameworksURL = CFBundleCopyPrivateFrameworksURL(mainBundle);
    if (frameworksURL == nullptr)
        return;
    CFURLRef bundleURL = CFURLCreateCopyAppendingPathComponent(kCFAllocatorSystemDefault,
                                                               frameworksURL, name, false);
    if (bundleURL != nullptr) {
        // Without a place to put it, a bundle made here could only leak.
        if (out != nullptr)
            *out = CFBundleCreate(kCFAllocatorDefault, bundleURL);
        CFRelease(bundleURL);
    }
    CFRelease(frameworksURL);
}

void insertGlobalMenu() {
    if (insertPtr != nullptr)
        err = insertPtr();
}

void setMenuItemClockValue(SInt32 speed) {
    if (setMenuItemClkPtr == nullptr)
        return;
    Str255 digits;
    char text[256];
    NumToString(speed, digits);
    p2cstrcpy(text, digits);
    CFStringRef title =
        CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
    err = setMenuItemClkPtr(title);
    if (title != nullptr)
        CFRelease(title);
}

void setLOADItem(SInt32 value) {
    callSwitch(setLOADItemPtr, value);
}
void checkAUSRItem(SInt32 value) {
    callSwitch(checkAUSRItemPtr, value);
}
void checkSDEFItem(SInt32 value) {
    callSwitch(checkSDEFItemPtr, value);
}
void checkSUSRItem(SInt32 value) {
    callSwitch(checkSUSRItemPtr, value);
}
void checkALKEItem(SInt32 value) {
    callSwitch(checkALKEItemPtr, value);
}

SInt32 handleBundleCommand(SInt32 code) {
    switch (code) {
    case kBundleCommandAbout:
        ShowWindow(infoWind);
        break;
    case kBundleCommandLoad:
        if (loaded == 1) {
            load_kext(0);
        } else {
            load_kext(1);
            if (prefs.keepUserClock == 1 && prefs.speedMode == 1) {
                getCurrentClkFromKrelo();
                if (prefs.userClock != prefs.currentClock)
                    set_speed(1, prefs.userClock);
            }
        }
        break;
    case kBundleCommandSetDefault:
        prefs.speedMode = 0;
        applySettings();
        break;
    case kBundleCommandSetUser:
        showPrefsDlog();
        if (itemHit == 1) {
            prefs.speedMode = 1;
            applySettings();
        }
        break;
    case kBundleCommandKeepUser:
        prefs.keepUserClock = toggled(prefs.keepUserClock);
        checkAUSRItem(prefs.keepUserClock);
        break;
    case kBundleCommandLoadAtLaunch:
        prefs.loadAtLaunch = toggled(prefs.loadAtLaunch);
        checkALKEItem(prefs.loadAtLaunch);
        break;
    case kBundleCommandQuit:
        QuitApplicationEventLoop();
        break;
    default: // not a command of the status menu
        break;
    }
    return 0;
}
