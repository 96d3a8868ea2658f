// Kreloed: start-up, the event loop, and shut-down.
#include "Core.h"

#include <Bridge.h>
#include <Speed.h>
#include <UI.h>

int main(int, char*[]) {
    applRes = CurResFile();

    // The interface. The first failure ends the application with its status.
    err = CreateNibReference(CFSTR("main"), &nibRef);
    if (err != noErr)
        return err;
    err = SetMenuBarFromNib(nibRef, CFSTR("MenuBar"));
    if (err != noErr)
        return err;
    err = CreateWindowFromNib(nibRef, CFSTR("Window"), &infoWind);
    if (err != noErr)
        return err;
    err = CreateWindowFromNib(nibRef, CFSTR("Prefs"), &prefsWind);
    if (err != noErr)
        return err;

    // The status menu, except on 10.1.x.
    checkSysVersion();
    if (X_1 == 0) {
        initCocoa();
        insertGlobalMenu();
    }

    Gestalt(gestaltProcClkSpeed, &response);
    prefs.defaultClock = static_cast<UInt16>(response / 1000000);
    loaded = check_for_krelo();
    getCurrentClkFromKrelo();

    eventLoopTimerUPP = NewEventLoopTimerUPP(myEventLoopTimer);
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 1.0 * kEventDurationSecond, eventLoopTimerUPP,
                          nullptr, &outTimer);

    fileWorks(1);
    DisposeNibReference(nibRef);
    MakeWindow();
    myInitAuthCommand();

    // The standing choices.
    if (prefs.keepUserClock == 0)
        prefs.speedMode = 0;
    if (prefs.loadAtLaunch == 1)
        load_kext(1);
    if (prefs.speedMode == 1 && prefs.currentClock != prefs.userClock)
        set_speed(1, prefs.userClock);

    checkMenus();
    RunApplicationEventLoop();

    myFreeAuthCommand();
    RemoveEventLoopTimer(outTimer);
    DisposeEventLoopTimerUPP(eventLoopTimerUPP);
    fileWorks(0);
    return err;
}
