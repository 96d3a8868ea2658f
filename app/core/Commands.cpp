// Menu-bar commands, and keeping the status menu in line with the settings.
#include "Core.h"

#include "Bridge.h"
#include "Speed.h"

OSStatus DoAppCommandProcess(EventHandlerCallRef, EventRef event, void*) {
    HICommand command;
    OSStatus result = noErr;

    // A command that cannot be read is left to the handlers after this one.
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, NULL, sizeof(HICommand),
                          NULL, &command) != noErr) {
        HiliteMenu(0);
        return eventNotHandledErr;
    }

    switch (command.commandID) {
    case 'quit':
        QuitApplicationEventLoop();
        break;
    case 'ABOU':
        SysBeep(0);
        ShowWindow(infoWind);
        break;
    case 'ausr':
        prefs.keepUserClock = prefs.keepUserClock == 0 ? 1 : 0;
        applySettings();
        break;
    case 'sdef':
        set_speed(0, 0);
        break;
    case 'susr':
        set_speed(1, 700);
        break;
    default:
        result = eventNotHandledErr;
        break;
    }

    HiliteMenu(0);
    return result;
}

void checkMenus() {
    if (prefs.speedMode == 0) {
        checkSDEFItem(1);
        checkSUSRItem(0);
    } else {
        checkSDEFItem(0);
        checkSUSRItem(1);
    }
    checkAUSRItem(prefs.keepUserClock);
    checkALKEItem(prefs.loadAtLaunch);
    setMenuItemClockValue(prefs.currentClock);
}

void set_clk() {
    if (prefs.speedMode == 0) {
        if (prefs.currentClock != prefs.defaultClock)
            set_speed(0, prefs.defaultClock);
    } else {
        if (prefs.currentClock != prefs.userClock)
            set_speed(prefs.speedMode, prefs.userClock);
    }
}

void applySettings() {
    getCurrentClkFromKrelo();
    checkMenus();
    set_clk();
}
