#include "AppDoubles.h"

#include <Bridge.h>
#include <Prefs.h>
#include <Speed.h>
#include <UI.h>

PrefsRecord prefs;
OSStatus err;

namespace doubles {

Calls calls;

void reset() {
    calls = Calls{};
    prefs = PrefsRecord{};
    err = noErr;
    loaded = 0;
    myCommand = AuthCommandRecord{};
}

} // namespace doubles

// Like the bridge's wrappers, these store the status menu's result (always 0) in err.
void setLOADItem(SInt32 value) {
    doubles::calls.loadItem.push_back(value);
    err = noErr;
}

void setMenuItemClockValue(SInt32 speed) {
    doubles::calls.clockTitle.push_back(speed);
    err = noErr;
}

void showError_loader() {
    ++doubles::calls.errorLoader;
}
