// What the speed code calls in other parts of the application, replaced by recorders: the status
// menu wrappers and the missing-tool window. The settings record and err live here too.
#pragma once

#include <vector>

#include <MacTypes.h>

namespace doubles {

struct Calls {
    std::vector<SInt32> loadItem;   // setLOADItem arguments
    std::vector<SInt32> clockTitle; // setMenuItemClockValue arguments
    int errorLoader = 0;            // showError_loader calls
};

extern Calls calls;

// Clears the recorded calls, prefs, err, loaded and the command record.
void reset();

} // namespace doubles
