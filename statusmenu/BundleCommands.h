// What StatusMenu tells its host: one callback, called with the command code of the menu item the
// user chose. The host (app/bridge, handleBundleCommand) carries the codes out: change both sides
// together.
#pragma once

#include <MacTypes.h>

// The host's function; its result is ignored.
typedef SInt32 (*BundleCommandCallback)(SInt32 code);

// The codes follow this table, not the order of the items in the menu.
enum BundleCommand : SInt32 {
    kBundleCommandAbout = 1,        // "About Kreloed"
    kBundleCommandLoad = 2,         // the load/unload item
    kBundleCommandSetDefault = 3,   // "Set system default CPU speed"
    kBundleCommandSetUser = 4,      // "Set user-defined CPU speed ..."
    kBundleCommandKeepUser = 5,     // "Always keep user-defined CPU speed"
    kBundleCommandLoadAtLaunch = 6, // "Always load Krelo.kext at launch"
    kBundleCommandQuit = 7,         // "Quit"
};
