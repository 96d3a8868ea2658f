// Front ends are drivers of the window server: they are told what changed and hand back the next
// user action. They never edit the model; the event loop carries the actions out.
#pragma once

#include <macsim/WindowServer.h>

#include <optional>
#include <string>
#include <vector>

namespace macsim {

struct Action {
    enum class Kind {
        MenuCommand, // choose the menu-bar item carrying command
        StatusRow,   // choose row of status item
        Click,       // click control (a push button, or a slider at its current value)
        SetSlider,   // move slider control to value, then release it
        Key,         // press key in the front window
        Close,       // click the close box of window
    };
    enum class KeyCode { Return, Escape };

    Kind kind = Kind::MenuCommand;
    std::uint32_t command = 0;
    Id statusItem = 0;
    std::size_t row = 0;
    Id window = 0;
    Id control = 0;
    std::int32_t value = 0;
    KeyCode key = KeyCode::Return;
};

// What the event loop is waiting in.
struct WaitContext {
    Id modalWindow = 0; // the window of a nested modal loop (app-modal window or alert), 0 at top
};

class FrontEnd : public ChangeObserver {
public:
    // Seconds on this front end's clock: real time, or the virtual time of a script.
    virtual double now() = 0;
    // Waits for the next user action until deadline (a time on now()'s clock); none means no
    // timer is due, so the wait lasts until input comes. Returns nothing when the deadline
    // came first. The only wait of the event loop: a front end sleeps here and never polls.
    virtual std::optional<Action> waitForAction(std::optional<double> deadline,
                                                const WaitContext& context) = 0;
    void changed(const Change&) override {}
};

// Builds the front end that $MACSIM_FRONTEND names ("terminal" or "headless"); without it, the
// terminal one when standard input and output are a terminal, else the headless one.
std::unique_ptr<FrontEnd> makeFrontEnd(WindowServer& server);

} // namespace macsim
