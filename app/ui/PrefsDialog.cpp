// The user-speed dialog: a slider from 300 to 1300 MHz in steps of 50 MHz, run app-modal.
#include "UI.h"

#include "Core.h"

EventHandlerUPP gWinPrefsEvtHandler;
UInt16 itemHit;

static const EventTypeSpec prefsDlogEvents[] = {
    {kEventClassControl, kEventControlHit},
};

static const ControlID sliderID = {'mhzm', 0};
static const ControlID defaultTextID = {'mhzs', 0};

OSStatus makePrefsDlog() {
    gWinPrefsEvtHandler = NewEventHandlerUPP(myWinPrefsEvtHndlr);
    InstallStandardEventHandler(GetWindowEventTarget(prefsWind));
    InstallEventHandler(GetWindowEventTarget(prefsWind), gWinPrefsEvtHandler, 1, prefsDlogEvents,
                        NULL, NULL);
    return noErr;
}

OSStatus showPrefsDlog() {
    GrafPtr savedPort;
    ControlRef slider = NULL;
    ControlRef defaultText = NULL;
    Str255 digits;

    GetPort(&savedPort);

    // The dialog opens at the stored speed, whatever a cancelled run left on the slider.
    if (GetControlByID(prefsWind, &sliderID, &slider) == noErr && slider != NULL)
        SetControlValue(slider, clkToValue(prefs.userClock));

    NumToString(prefs.defaultClock, digits);
    GetControlByID(prefsWind, &defaultTextID, &defaultText);
    SetStaticTextText(defaultText, digits, true);

    TransitionWindow(prefsWind, kWindowZoomTransitionEffect, kWindowShowTransitionAction, NULL);
    RunAppModalLoopForWindow(prefsWind);
    TransitionWindow(prefsWind, kWindowZoomTransitionEffect, kWindowHideTransitionAction, NULL);

    SetPort(savedPort);
    return noErr;
}

OSStatus myWinPrefsEvtHndlr(EventHandlerCallRef, EventRef event, void*) {
    ControlRef control = NULL;
    ControlID controlID = {0, 0};

    GetEventParameter(event, kEventParamDirectObject, typeControlRef, NULL, sizeof(control), NULL,
                      &control);
    err = GetControlID(control, &controlID);
    if (err != noErr)
        return noErr;

    if (controlID.signature == 'not!') {
        itemHit = 2;
        QuitAppModalLoopForWindow(prefsWind);
    } else if (controlID.signature == 'ok  ') {
        ControlRef slider = NULL;
        // Without its slider the dialog has no speed to store: OK does nothing, Cancel still
        // ends it.
        if (GetControlByID(prefsWind, &sliderID, &slider) == noErr && slider != NULL) {
            prefs.userClock = valueToClk((UInt16)GetControlValue(slider));
            itemHit = 1;
            QuitAppModalLoopForWindow(prefsWind);
        }
    }
    return noErr;
}

// Slider values 1 to 21 stand for 300 to 1300 MHz; anything else is taken for the lowest.
UInt16 valueToClk(UInt16 value) {
    if (value >= 2 && value <= 21)
        return (UInt16)(250 + 50 * value);
    return 300;
}

// Speeds off the 50 MHz grid or outside 300 to 1300 MHz put the slider at its lowest.
SInt16 clkToValue(UInt16 mhz) {
    if (mhz >= 350 && mhz <= 1300 && mhz % 50 == 0)
        return (SInt16)((mhz - 250) / 50);
    return 1;
}

OSStatus SetStaticTextText(ControlRef control, ConstStr255Param text, Boolean draw) {
    if (control == NULL || text == NULL)
        return paramErr;
    OSStatus status = SetControlData(control, kControlEntireControl, kControlStaticTextTextTag,
                                     text[0], &text[1]);
    if (status == noErr && draw)
        Draw1Control(control);
    return status;
}
