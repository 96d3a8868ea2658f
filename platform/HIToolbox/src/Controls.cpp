// The Control Manager: thin calls onto the window server's controls.
#include "Toolbox.h"

#include <macsim/TextEncoding.h>

#include <algorithm>
#include <limits>

using namespace macsim;

extern "C" {

OSStatus GetControlByID(WindowRef window, const ControlID* id, ControlRef* control) {
    if (control)
        *control = nullptr;
    if (!id || !control)
        return paramErr;
    const WindowServer& server = WindowServer::shared();
    if (!server.window(idOf(window)))
        return errInvalidWindowRef;
    const Id found = server.findControl(idOf(window), id->signature, id->id);
    if (!found)
        return errUnknownControl;
    *control = controlRef(found);
    return noErr;
}

OSStatus GetControlID(ControlRef control, ControlID* id) {
    if (!id)
        return paramErr;
    const Control* c = WindowServer::shared().control(idOf(control));
    if (!c)
        return errUnknownControl;
    id->signature = c->signature;
    id->id = c->number;
    return noErr;
}

WindowRef GetControlOwner(ControlRef control) {
    const Control* c = WindowServer::shared().control(idOf(control));
    return c ? windowRef(c->window) : nullptr;
}

SInt32 GetControl32BitValue(ControlRef control) {
    const Control* c = WindowServer::shared().control(idOf(control));
    return c ? c->value : 0;
}

void SetControl32BitValue(ControlRef control, SInt32 value) {
    WindowServer::shared().setControlValue(idOf(control), value);
}

SInt16 GetControlValue(ControlRef control) {
    return static_cast<SInt16>(std::clamp<SInt32>(GetControl32BitValue(control),
                                                  std::numeric_limits<SInt16>::min(),
                                                  std::numeric_limits<SInt16>::max()));
}

void SetControlValue(ControlRef control, SInt16 value) {
    SetControl32BitValue(control, value);
}

OSErr SetControlData(ControlRef control, ControlPartCode, ResType tag, Size size,
                     const void* data) {
    WindowServer& server = WindowServer::shared();
    const Control* c = server.control(idOf(control));
    if (!c)
        return errUnknownControl;
    if (size < 0 || (size > 0 && !data))
        return paramErr;
    if (tag != kControlStaticTextTextTag || c->kind != ControlKind::StaticText)
        return errDataNotSupported;
    const std::string_view bytes(static_cast<const char*>(data), static_cast<std::size_t>(size));
    server.setControlText(c->id, macRomanToUtf8(bytes));
    return noErr;
}

// The window server's model is always on screen as it stands: drawing adds nothing to show.
void Draw1Control(ControlRef) {}

OSErr SetControlFontStyle(ControlRef control, const ControlFontStyleRec* style) {
    WindowServer& server = WindowServer::shared();
    const Control* c = server.control(idOf(control));
    if (!c)
        return errUnknownControl;
    if (!style)
        return paramErr;
    const std::int16_t font = (style->flags & kControlUseFontMask) ? style->font : c->font;
    const std::int16_t face = (style->flags & kControlUseFaceMask) ? style->style : c->face;
    const std::int16_t size = (style->flags & kControlUseSizeMask) ? style->size : c->size;
    server.setControlFontStyle(c->id, font, size, face);
    return noErr;
}

} // extern "C"
