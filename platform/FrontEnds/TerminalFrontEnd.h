// The terminal front end: an ncurses screen over the window server's one model, for a person at
// a terminal. Chosen by makeFrontEnd (MACSIM_FRONTEND=terminal, or a terminal on standard input
// and output).
#pragma once

#include <macsim/FrontEnd.h>

#include <memory>

namespace macsim {

// Takes over the terminal on standard input and output; null (and the terminal untouched) when
// curses cannot use it, for example for an unknown $TERM. From then on the terminal is restored
// on every way out of the process: a normal exit, an error exit, or a fatal signal.
std::unique_ptr<FrontEnd> makeTerminalFrontEnd(WindowServer& server);

} // namespace macsim
