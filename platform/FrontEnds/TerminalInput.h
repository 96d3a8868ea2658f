// A person's keys and clicks in the terminal front end, turned into the user actions that the
// event loop carries out, or into changes of what the front end alone shows (an open menu, the
// focused control, the log panel). Knows nothing of curses: the front end maps its key codes to
// Key first.
#pragma once

#include "TerminalLayout.h"

#include <optional>

namespace macsim::terminal {

enum class Key {
    Up,
    Down,
    Left,
    Right,
    Home,
    End,
    Return,
    Escape,
    Tab,
    BackTab,
    Space,
    MenuBar,     // F10 or m: open (or close) the menu bar
    StatusMenu,  // s: open (or close) the status item's menu
    CloseWindow, // w: the front window's close box
    ToggleLog,   // l: the system log panel
    Quit,        // q: not a way to quit; says where quitting is
    Click,       // the first mouse button, at y, x
    Other,
};

struct KeyPress {
    Key key = Key::Other;
    int y = 0, x = 0; // where a click landed
};

struct Outcome {
    std::optional<Action> action;
    bool beep = false;   // the input has nowhere to go
    bool redraw = false; // what the front end shows changed
};

// scene is what is on screen now (for clicks).
Outcome handleKey(const WindowServer& server, UiState& ui, const WaitContext& context,
                  const Scene& scene, KeyPress press);

// Closes a menu whose menu or rows are gone, and keeps its highlighted row on a choosable row.
// True when ui changed.
bool reconcile(const WindowServer& server, UiState& ui, const WaitContext& context);

} // namespace macsim::terminal
