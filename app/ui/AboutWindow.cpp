// The About window and the installation of the application's event handlers.
#include "UI.h"

#include "Core.h"

#include <iterator>

// The maker's web page, opened by the About window's button.
#define kMakerWebPage "https://kreloed.example.org/"

EventHandlerUPP gAboutWinEvtHandler;
EventHandlerUPP gAppCommandProcess;

static const EventTypeSpec aboutWinEvents[] = {
    {kEventClassWindow, kEventWindowClose},
    {kEventClassWindow, kEventWindowUpdate},
    {kEventClassControl, kEventControlHit},
    {kEventClassControl, kEventControlClick},
};

static const EventTypeSpec appCommandEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
};

void MakeWindow() {
    gAboutWinEvtHandler = NewEventHandlerUPP(myAboutWinEvtHndlr);
    err = InstallEventHandler(GetWindowEventTarget(infoWind), gAboutWinEvtHandler,
                              std::size(aboutWinEvents), aboutWinEvents, NULL, NULL);

    makePrefsDlog();

    gAppCommandProcess = NewEventHandlerUPP(DoAppCommandProcess);
    InstallEventHandler(GetApplicationEventTarget(), gAppCommandProcess,
                        std::size(appCommandEvents), appCommandEvents, NULL, NULL);
}

OSStatus myAboutWinEvtHndlr(EventHandlerCallRef, EventRef event, void*) {
    UInt32 eventClass = GetEventClass(event);
    UInt32 eventKind = GetEventKind(event);

    if (eventClass == kEventClassWindow) {
        if (eventKind == kEventWindowClose) {
            // The window lives as long as the application: closing only hides it.
            HideWindow(infoWind);
            return noErr;
        }
        if (eventKind == kEventWindowUpdate)
            return noErr;
    } else if (eventClass == kEventClassControl) {
        if (eventKind == kEventControlHit) {
            ControlRef control = NULL;
            ControlID controlID = {0, 0};
            GetEventParameter(event, kEventParamDirectObject, typeControlRef, NULL, sizeof(control),
                              NULL, &control);
            err = GetControlID(control, &controlID);
            // A control whose ID cannot be read is not taken for the button.
            if (err == noErr && controlID.signature == 'dona')
                launchMyURL();
            return noErr;
        }
        if (eventKind == kEventControlClick)
            return noErr;
    }
    return eventNotHandledErr;
}

void launchMyURL() {
    CFURLRef url = CFURLCreateWithString(kCFAllocatorDefault, CFSTR(kMakerWebPage), NULL);
    err = LSOpenCFURLRef(url, NULL);
    if (url != NULL)
        CFRelease(url);
}
