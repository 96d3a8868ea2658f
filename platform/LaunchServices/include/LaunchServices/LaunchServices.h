// Launch Services of the simulated Mac: opening a document or a web address with the user's
// default application.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <MacTypes.h>

extern "C" {

enum : OSStatus {
    kLSApplicationNotFoundErr = -10814, // no application can open the item
};

// Opens the address in the user's default browser. outLaunchedURL, when given, receives a
// reference to the address that was opened, for the caller to release.
// FIXME: only web addresses; a file URL is not handed to an application but refused.
OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL);

} // extern "C"
