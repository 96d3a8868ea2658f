// QuickDraw of the simulated Mac: rectangles, drawing ports and the system beep. Nothing is drawn;
// the window server shows the model. A port stands for the window it draws into.
#pragma once

#include <MacTypes.h>

extern "C" {

struct Rect {
    short top;
    short left;
    short bottom;
    short right;
};

struct RGBColor {
    unsigned short red;
    unsigned short green;
    unsigned short blue;
};

typedef struct OpaqueGrafPtr* GrafPtr;
typedef GrafPtr CGrafPtr;

// The current drawing port of the process (GetPort). Before any SetPort it is the screen's port,
// which is never null.
void GetPort(GrafPtr* port);
// Makes port the current one (SetPort). A null port is ignored.
void SetPort(GrafPtr port);

// The system alert sound (SysBeep); the duration is ignored. Counted by the window server and
// reported to the front end.
void SysBeep(short duration);

} // extern "C"
