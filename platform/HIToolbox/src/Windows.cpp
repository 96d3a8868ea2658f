// The Window Manager and QuickDraw ports: thin calls onto the window server.
#include "Events.h"
#include "Toolbox.h"

namespace macsim {

namespace {

// The screen's port: what GetPort gives before any SetPort. Window ids never reach it.
const GrafPtr kScreenPort = reinterpret_cast<GrafPtr>(std::uintptr_t(0xFFFFFFFFu));

GrafPtr& currentPort() {
    static GrafPtr port = kScreenPort;
    return port;
}

} // namespace

Id createToolboxWindow(Window window, std::vector<Control> controls, StandardHandler standard) {
    WindowServer& server = WindowServer::shared();
    const Id id = server.createWindow(std::move(window));
    for (Control& control : controls)
        server.addControl(id, std::move(control));
    addWindowTarget(id).standardHandler = standard == StandardHandler::Yes;
    return id;
}

void disposeToolboxWindow(Id window) {
    removeWindowTarget(window);
    WindowServer::shared().disposeWindow(window);
}

} // namespace macsim

using namespace macsim;

extern "C" {

void ShowWindow(WindowRef window) {
    WindowServer::shared().showWindow(idOf(window), true);
}

void HideWindow(WindowRef window) {
    WindowServer::shared().showWindow(idOf(window), false);
}

void SelectWindow(WindowRef window) {
    WindowServer::shared().selectWindow(idOf(window));
}

Boolean IsWindowVisible(WindowRef window) {
    const Window* w = WindowServer::shared().window(idOf(window));
    return w && w->visible;
}

OSStatus TransitionWindow(WindowRef window, WindowTransitionEffect, WindowTransitionAction action,
                          const ::Rect*) {
    WindowServer& server = WindowServer::shared();
    if (!server.window(idOf(window)))
        return errInvalidWindowRef;
    switch (action) {
    case kWindowShowTransitionAction:
        server.showWindow(idOf(window), true);
        return noErr;
    case kWindowHideTransitionAction:
        server.showWindow(idOf(window), false);
        return noErr;
    default:
        return paramErr;
    }
}

void DisposeWindow(WindowRef window) {
    disposeToolboxWindow(idOf(window));
}

CGrafPtr GetWindowPort(WindowRef window) {
    return WindowServer::shared().window(idOf(window))
               ? reinterpret_cast<CGrafPtr>(std::uintptr_t(idOf(window)))
               : nullptr;
}

WindowRef GetWindowFromPort(CGrafPtr port) {
    if (!port || port == kScreenPort)
        return nullptr;
    const auto id = Id(reinterpret_cast<std::uintptr_t>(port));
    return WindowServer::shared().window(id) ? windowRef(id) : nullptr;
}

void GetPort(GrafPtr* port) {
    if (port)
        *port = currentPort();
}

void SetPort(GrafPtr port) {
    if (port)
        currentPort() = port;
}

void SysBeep(short) {
    WindowServer::shared().beep();
}

} // extern "C"
