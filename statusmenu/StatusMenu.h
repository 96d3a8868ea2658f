// StatusMenu's interface: ten plain functions that the host finds by their exact names, each
// forwarding to the one shared Controller. Every one returns 0.
//
// Order the host keeps: initializeBundle first and once; insertMenu once; then any number of the
// title, check-mark, load-title and enabling calls; removeMenu at most once, last. A call before
// initializeBundle, and a menu call before insertMenu, does nothing.
//
// A switch value is passed by the address of the caller's 32-bit integer, read during the call
// only; exactly 1 means on, every other value off.
#pragma once

#include "BundleCommands.h"

#include <CoreFoundation/CoreFoundation.h>

#define STATUSMENU_EXPORT __attribute__((visibility("default")))

extern "C" {

// Makes the shared controller (loading the bundle's nib "MyWindow") and gives it callBack.
STATUSMENU_EXPORT SInt32 initializeBundle(BundleCommandCallback callBack);
// The status item, titled "600", with its menu.
STATUSMENU_EXPORT SInt32 insertMenu(void);
// Takes the status item out of the menu bar; setMenuItemClk does nothing afterwards.
STATUSMENU_EXPORT SInt32 removeMenu(void);
// The status item's title; the caller may release title as soon as the call returns.
STATUSMENU_EXPORT SInt32 setMenuItemClk(CFStringRef title);
STATUSMENU_EXPORT SInt32 checkSDEFItem(SInt32* value);
STATUSMENU_EXPORT SInt32 checkSUSRItem(SInt32* value);
STATUSMENU_EXPORT SInt32 checkAUSRItem(SInt32* value);
STATUSMENU_EXPORT SInt32 checkALKEItem(SInt32* value);
// On: the load/unload item offers to unload (the extension is loaded); off: to load.
STATUSMENU_EXPORT SInt32 setLOADItem(SInt32* value);
// The four option items choosable or not; About, load/unload and Quit are never touched.
STATUSMENU_EXPORT SInt32 enableALLItems(SInt32* value);

} // extern "C"
