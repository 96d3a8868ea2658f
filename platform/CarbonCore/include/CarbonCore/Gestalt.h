// Gestalt of the simulated Mac: facts about the machine, read from its disk.
#pragma once

#include <MacTypes.h>

enum : OSType {
    gestaltSystemVersion = 'sysv', // the system version, one hex digit per decimal: 0x1039
    gestaltProcClkSpeed = 'pclk',  // the processor clock rate in hertz
};

enum : OSErr {
    gestaltUnknownErr = -5550,       // the answer could not be found out
    gestaltUndefSelectorErr = -5551, // no such selector
};

extern "C" {

// Gestalt. FIXME: knows only 'sysv' (from the disk's SystemVersion.plist) and 'pclk' (from its
// Library/Hardware.plist); *response is left as it was on any failure.
OSErr Gestalt(OSType selector, SInt32* response);

} // extern "C"
