// The application event loop, its timers, and the nested modal loops. The loop's only wait is the
// front end's: it sleeps until the next timer deadline or the next user action.
#include "Events.h"
#include "Toolbox.h"

#include <macsim/FrontEnd.h>
#include <macsim/NoDestructor.h>

#include <algorithm>
#include <cmath>

namespace macsim {

namespace {

struct Timer {
    std::uint32_t id = 0;
    EventLoopTimerUPP proc = nullptr;
    void* userData = nullptr;
    double base = 0;     // the first deadline
    double interval = 0; // 0: fires once
    long long tick = 0;  // the next deadline is base + tick * interval

    double deadline() const { return base + double(tick) * interval; }
};

struct ModalLoop {
    Id window = 0;
    bool quit = false;
};

struct Loop {
    std::vector<Timer> timers;
    std::uint32_t nextTimer = 1;
    bool quitApplication = false;
    std::vector<ModalLoop> modal; // innermost last
};

Loop& loop() {
    static NoDestructor<Loop> state;
    return *state;
}

EventLoopRef theLoop() {
    return reinterpret_cast<EventLoopRef>(std::uintptr_t(1));
}

double sanitize(double seconds) {
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0;
}

// Fires the timer that is due first, if any is due at now. Deadlines are absolute, so a late
// tick does not shift the ones after it; ticks missed while the loop could not run (a blocking
// call, a modal loop) are dropped rather than fired in a burst.
bool fireDueTimer(double now) {
    auto& timers = loop().timers;
    const auto due =
        std::min_element(timers.begin(), timers.end(), [](const Timer& a, const Timer& b) {
            return a.deadline() < b.deadline();
        });
    if (due == timers.end() || due->deadline() > now)
        return false;
    const std::uint32_t id = due->id;
    const EventLoopTimerUPP proc = due->proc;
    void* const userData = due->userData;
    if (due->interval > 0) {
        const long long next = due->tick + 1;
        const long long caughtUp =
            static_cast<long long>(std::floor((now - due->base) / due->interval)) + 1;
        due->tick = std::max(next, caughtUp);
    } else {
        timers.erase(due);
    }
    proc(reinterpret_cast<EventLoopTimerRef>(std::uintptr_t(id)), userData);
    return true;
}

std::optional<double> nextDeadline() {
    std::optional<double> next;
    for (const Timer& t : loop().timers)
        if (!next || t.deadline() < *next)
            next = t.deadline();
    return next;
}

void sendControlEvent(EventKind kind, Id control, Id window) {
    EventTarget* target = windowTarget(window);
    if (!target)
        return;
    EventPtr event(new Event(kEventClassControl, kind, WindowServer::shared().now()));
    const ControlRef ref = controlRef(control);
    event->set(kEventParamDirectObject, typeControlRef, &ref, sizeof ref);
    sendEvent(*event, *target);
}

void click(Id control) {
    WindowServer& server = WindowServer::shared();
    const Control* c = server.control(control);
    if (!c)
        return;
    const Id window = c->window;
    sendControlEvent(kEventControlClick, control, window);
    // The click's handlers may have disposed of the window.
    if (server.control(control))
        sendControlEvent(kEventControlHit, control, window);
}

void chooseMenuCommand(std::uint32_t command) {
    if (command == 0)
        return; // an item without a command does nothing when chosen, as on the platform
    WindowServer& server = WindowServer::shared();
    const auto& menus = server.menuBar();
    for (std::size_t m = 0; m < menus.size(); ++m)
        for (std::size_t i = 0; i < menus[m].items.size(); ++i) {
            const MenuItem& item = menus[m].items[i];
            if (item.separator || item.command != command || !item.enabled)
                continue;
            HICommand hi{};
            hi.attributes = 1; // from a menu
            hi.commandID = command;
            hi.menu.menuRef = MenuRef(m + 1);
            hi.menu.menuItemIndex = MenuItemIndex(i + 1);
            // The menu's title stays highlighted until the application takes it down.
            server.hiliteMenu(int(m + 1));
            EventPtr event(new Event(kEventClassCommand, kEventCommandProcess, server.now()));
            event->set(kEventParamDirectObject, typeHICommand, &hi, sizeof hi);
            // The user focus first: the front window's target, which passes it on to the
            // application's.
            EventTarget* focus = windowTarget(server.frontWindow());
            sendEvent(*event, focus ? *focus : applicationTarget());
            return;
        }
}

bool aimedAt(const Action& action, Id window) {
    const WindowServer& server = WindowServer::shared();
    switch (action.kind) {
    case Action::Kind::Click:
    case Action::Kind::SetSlider: {
        const Control* c = server.control(action.control);
        return c && c->window == window;
    }
    case Action::Kind::Key:
    case Action::Kind::Close:
        return action.window == window;
    case Action::Kind::MenuCommand:
    case Action::Kind::StatusRow:
        return false;
    }
    return false;
}

} // namespace

std::optional<Id> controlChosenBy(const Action& action) {
    const WindowServer& server = WindowServer::shared();
    switch (action.kind) {
    case Action::Kind::Click:
    case Action::Kind::SetSlider:
        if (server.control(action.control))
            return action.control;
        return std::nullopt;
    case Action::Kind::Key:
        if (const Id id = server.keyButton(action.window, action.key == Action::KeyCode::Return
                                                              ? WindowServer::KeyButton::Default
                                                              : WindowServer::KeyButton::Cancel))
            return id;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void performAction(const Action& action) {
    WindowServer& server = WindowServer::shared();
    switch (action.kind) {
    case Action::Kind::MenuCommand:
        chooseMenuCommand(action.command);
        break;
    case Action::Kind::StatusRow:
        if (const StatusItem* item = server.statusItem(action.statusItem);
            item && action.row < item->rows.size() && item->choose) {
            // A copy: the chooser may change the item while it runs.
            const auto choose = item->choose;
            choose(action.row);
        }
        break;
    case Action::Kind::SetSlider:
        server.setControlValue(action.control, action.value);
        click(action.control);
        break;
    case Action::Kind::Click:
    case Action::Kind::Key:
        if (const auto control = controlChosenBy(action))
            click(*control);
        break;
    case Action::Kind::Close:
        if (EventTarget* target = windowTarget(action.window)) {
            EventPtr event(new Event(kEventClassWindow, kEventWindowClose, server.now()));
            const WindowRef ref = windowRef(action.window);
            event->set(kEventParamDirectObject, typeWindowRef, &ref, sizeof ref);
            sendEvent(*event, *target);
        }
        break;
    }
}

OSStatus runModalLoop(Id window, const std::function<bool(const Action&)>& handle) {
    WindowServer& server = WindowServer::shared();
    if (!server.window(window))
        return eventInternalErr;
    FrontEnd& frontEnd = server.frontEnd();
    const WaitContext context{window};
    while (server.window(window)) {
        const std::optional<Action> action = frontEnd.waitForAction(std::nullopt, context);
        if (!action)
            continue;
        if (!aimedAt(*action, window)) {
            // Only the modal window takes input; anything else gets the alert sound.
            server.beep();
            continue;
        }
        if (handle(*action))
            break;
    }
    return noErr;
}

} // namespace macsim

using namespace macsim;

extern "C" {

EventLoopRef GetCurrentEventLoop(void) {
    return theLoop();
}

EventLoopRef GetMainEventLoop(void) {
    return theLoop();
}

EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc) {
    return proc;
}

void DisposeEventLoopTimerUPP(EventLoopTimerUPP) {}

OSStatus InstallEventLoopTimer(EventLoopRef eventLoop, EventTimerInterval fireDelay,
                               EventTimerInterval interval, EventLoopTimerUPP proc, void* userData,
                               EventLoopTimerRef* outTimer) {
    if (outTimer)
        *outTimer = nullptr;
    if (eventLoop != theLoop() || !proc)
        return paramErr;
    // The front end's clock is the loop's: make sure there is one before reading it.
    WindowServer& server = WindowServer::shared();
    server.frontEnd();
    Timer t;
    t.id = loop().nextTimer++;
    t.proc = proc;
    t.userData = userData;
    t.base = server.now() + sanitize(fireDelay);
    t.interval = sanitize(interval);
    loop().timers.push_back(t);
    if (outTimer)
        *outTimer = reinterpret_cast<EventLoopTimerRef>(std::uintptr_t(t.id));
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer) {
    const auto id = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(timer));
    const auto erased =
        std::erase_if(loop().timers, [id](const Timer& t) { return t.id == id && id != 0; });
    return erased ? noErr : paramErr;
}

void RunApplicationEventLoop(void) {
    WindowServer& server = WindowServer::shared();
    FrontEnd& frontEnd = server.frontEnd();
    loop().quitApplication = false;
    while (!loop().quitApplication) {
        if (fireDueTimer(server.now()))
            continue;
        if (const auto action = frontEnd.waitForAction(nextDeadline(), WaitContext{}))
            performAction(*action);
    }
    loop().quitApplication = false;
}

void QuitApplicationEventLoop(void) {
    loop().quitApplication = true;
}

OSStatus RunAppModalLoopForWindow(WindowRef window) {
    const Id id = idOf(window);
    if (!WindowServer::shared().window(id))
        return errInvalidWindowRef;
    auto& modal = loop().modal;
    modal.push_back(ModalLoop{id, false});
    const std::size_t depth = modal.size() - 1;
    const OSStatus result = runModalLoop(id, [depth](const Action& action) {
        performAction(action);
        return loop().modal[depth].quit;
    });
    modal.resize(depth);
    return result;
}

OSStatus QuitAppModalLoopForWindow(WindowRef window) {
    const Id id = idOf(window);
    auto& modal = loop().modal;
    for (auto it = modal.rbegin(); it != modal.rend(); ++it)
        if (it->window == id) {
            it->quit = true;
            return noErr;
        }
    return errInvalidWindowRef;
}

} // extern "C"
