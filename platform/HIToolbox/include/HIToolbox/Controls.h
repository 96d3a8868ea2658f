// The Control Manager of the simulated Mac: push buttons, sliders and static texts of nib windows
// and alerts. A ControlRef is a handle onto a control of the window server: its value is the
// control's id there.
#pragma once

#include <HIToolbox/MacWindows.h>
#include <HIToolbox/Quickdraw.h>
#include <MacTypes.h>

extern "C" {

typedef struct OpaqueControlRef* ControlRef;
typedef ControlRef ControlHandle;
typedef SInt16 ControlPartCode;

struct ControlID {
    OSType signature;
    SInt32 id;
};

enum : ControlPartCode {
    kControlEntireControl = 0,
};

// Data tags for SetControlData.
enum : ResType {
    kControlStaticTextTextTag = 'text', // the text of a static text control, Mac Roman bytes
};

// Which fields of a ControlFontStyleRec apply.
enum : SInt16 {
    kControlUseFontMask = 0x0001,
    kControlUseFaceMask = 0x0002,
    kControlUseSizeMask = 0x0004,
};

struct ControlFontStyleRec {
    SInt16 flags;
    SInt16 font;
    SInt16 size;
    SInt16 style;
    SInt16 mode;
    SInt16 just;
    RGBColor foreColor;
    RGBColor backColor;
};

enum : OSStatus {
    errDataNotSupported = -30581, // SetControlData with a tag the control does not have
    errUnknownControl = -30584,   // the reference names no control, or GetControlByID found none
};

// The control of window with that signature and number (GetControlByID).
OSStatus GetControlByID(WindowRef window, const ControlID* id, ControlRef* control);
// The control's signature and number (GetControlID).
OSStatus GetControlID(ControlRef control, ControlID* id);
// The window that holds the control (GetControlOwner); null for an unknown control.
WindowRef GetControlOwner(ControlRef control);

// The value (GetControlValue); 0 for an unknown control. Values beyond 16 bits are cut to them.
SInt16 GetControlValue(ControlRef control);
// Sets the value, kept within the control's minimum and maximum (SetControlValue).
void SetControlValue(ControlRef control, SInt16 value);
SInt32 GetControl32BitValue(ControlRef control);
void SetControl32BitValue(ControlRef control, SInt32 value);

// Sets a piece of the control's data (SetControlData): size bytes of Mac Roman text.
// FIXME: knows only kControlStaticTextTextTag of a static text; other tags give
// errDataNotSupported.
OSErr SetControlData(ControlRef control, ControlPartCode part, ResType tag, Size size,
                     const void* data);
// Draws the control now (Draw1Control). The front ends always show the model as it stands, so
// there is nothing left to draw.
void Draw1Control(ControlRef control);
// Sets the font, size and face that flags select (SetControlFontStyle).
OSErr SetControlFontStyle(ControlRef control, const ControlFontStyleRec* style);

} // extern "C"
