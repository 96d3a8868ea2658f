// Inside the Carbon toolbox: handles to and from window-server ids, windows with event targets,
// and the nested modal loop. For the toolbox's own sources (the Dialog Manager among them).
#pragma once

#include <Carbon/Carbon.h>
#include <macsim/FrontEnd.h>
#include <macsim/WindowServer.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace macsim {

// A WindowRef or ControlRef is the window server's id dressed as a pointer.
inline Id idOf(WindowRef window) {
    return Id(reinterpret_cast<std::uintptr_t>(window));
}
inline Id idOf(ControlRef control) {
    return Id(reinterpret_cast<std::uintptr_t>(control));
}
inline WindowRef windowRef(Id window) {
    return reinterpret_cast<WindowRef>(std::uintptr_t(window));
}
inline ControlRef controlRef(Id control) {
    return reinterpret_cast<ControlRef>(std::uintptr_t(control));
}

enum class StandardHandler { No, Yes };

// Makes a hidden window with its controls in the window server and gives it an event target
// (whose parent is the application). Returns the window's id.
Id createToolboxWindow(Window window, std::vector<Control> controls,
                       StandardHandler standard = StandardHandler::No);
// Disposes of the window, its controls and its event target. Unknown ids are ignored.
void disposeToolboxWindow(Id window);

// Runs a nested modal loop for window: only it takes input and no timer fires. Each user action
// aimed at window (a click on one of its controls, a slider moved, a key, its close box) goes to
// handle until handle returns true; other actions are refused with a beep. Returns 0, or
// eventInternalErr for a window that does not exist.
OSStatus runModalLoop(Id window, const std::function<bool(const Action&)>& handle);

// The control an action chooses: the clicked control or moved slider, or for Return and Escape
// the window's default or cancel button (Control::isDefault, isCancel). Nothing for other actions.
std::optional<Id> controlChosenBy(const Action& action);

// Carries out an action the usual way: a menu command event, a status-menu row, control click and
// hit events, a close event. What RunApplicationEventLoop and RunAppModalLoopForWindow do with
// each action.
void performAction(const Action& action);

} // namespace macsim
