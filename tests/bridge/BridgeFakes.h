// The rest of the application, as the bridge sees it, replaced by recording fakes: every call
// the bridge makes into another part is appended to calls as one readable line.
#pragma once

#include <string>
#include <vector>

namespace fakes {

extern std::vector<std::string> calls;
// What getCurrentClkFromKrelo reads (into prefs.currentClock).
extern unsigned short speedReading;
// How the user-speed dialog ends: 1 OK, 2 Cancel.
extern unsigned short dialogResult;

void reset();

} // namespace fakes
