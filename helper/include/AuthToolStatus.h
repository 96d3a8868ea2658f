// Exit statuses of the helper tool "loader" (authtool). Each failure has its own status; every
// failure leaves the kernel state as it was and writes one line to the disk's system log.
// Status 1 is never used, so that a tool that could not be started (the runner's child exits 1)
// is not mistaken for one of these. docs/platform-kernel.md lists them too.
#pragma once

enum AuthToolStatus : int {
    kAuthToolDone = 0,
    kAuthToolShortInput = 10,         // fewer than 544 bytes before end of file
    kAuthToolLongInput = 11,          // more than 544 bytes
    kAuthToolNotAuthorized = 12,      // the authorization is not live
    kAuthToolBadLeadWord = 13,        // leadWord is not 1
    kAuthToolUnknownCommand = 14,     // commandCode is not 1, 2 or 3
    kAuthToolUnterminatedPath = 15,   // no terminator within the 500 bytes of path
    kAuthToolNotABundle = 16,         // path is no kernel-extension bundle
    kAuthToolBadInfoPlist = 17,       // the bundle's Info.plist is missing, malformed or incomplete
    kAuthToolAlreadyLoaded = 18,      // load: the extension is loaded already
    kAuthToolNotLoaded = 19,          // unload: the extension is not loaded
    kAuthToolSysctlTaken = 20,        // load: a name it publishes is published already
    kAuthToolSpeedRejected = 21,      // set speed: the processor does not accept it
    kAuthToolNoSpeedControl = 22,     // set speed: no loaded extension controls the speed
    kAuthToolHardwareUnreadable = 23, // the hardware description is missing or malformed
    kAuthToolStateUnreadable = 24,    // the kernel state is unreadable
    kAuthToolStateUnwritable = 25,    // the kernel state cannot be written
    kAuthToolNoDisk = 70,             // not on a simulated Mac disk (stderr only: there is no log)
};
