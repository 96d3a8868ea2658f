// Nib files of the simulated Mac: "<name>.nib" in the main bundle's resources, in our own XML
// format (docs/nib-format.md), holding a menu bar and windows by name.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <HIToolbox/MacWindows.h>
#include <MacTypes.h>

extern "C" {

typedef struct OpaqueIBNibRef* IBNibRef;

enum : OSStatus {
    kIBCarbonRuntimeCantFindNibFile = -10960,          // no such nib in the main bundle
    kIBCarbonRuntimeCantFindObject = -10961,           // the nib has no object of that name
    kIBCarbonRuntimeObjectNotOfRequestedType = -10962, // it has one, but of another kind
    kIBCarbonRuntimeMalformedNib = -10963,             // the file is not a nib we can read
};

// Opens name.nib from the main bundle's resources and reads it whole (CreateNibReference). On any
// failure *nibRef is null and nothing is left open.
OSStatus CreateNibReference(CFStringRef name, IBNibRef* nibRef);
// Forgets the nib (DisposeNibReference); what was made from it stays.
void DisposeNibReference(IBNibRef nibRef);
// Makes the nib's menu bar the application's menu bar (SetMenuBarFromNib).
OSStatus SetMenuBarFromNib(IBNibRef nibRef, CFStringRef name);
// Makes a new, hidden window from the nib (CreateWindowFromNib). On failure *window is null and
// no window was made.
OSStatus CreateWindowFromNib(IBNibRef nibRef, CFStringRef name, WindowRef* window);

} // extern "C"
