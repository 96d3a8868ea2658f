// The Window Manager of the simulated Mac. A WindowRef is a handle onto a window of the window
// server: its value is the window's id there, never a pointer to follow.
#pragma once

#include <HIToolbox/Quickdraw.h>
#include <MacTypes.h>

extern "C" {

typedef struct OpaqueWindowPtr* WindowRef;
typedef WindowRef WindowPtr;

typedef UInt32 WindowTransitionEffect;
typedef UInt32 WindowTransitionAction;

enum : WindowTransitionEffect {
    kWindowZoomTransitionEffect = 1,
};
enum : WindowTransitionAction {
    kWindowShowTransitionAction = 1,
    kWindowHideTransitionAction = 2,
};

enum : OSStatus {
    errInvalidWindowRef = -5600, // the reference names no window (disposed of, or never made)
};

// Shows the window and brings it to the front (ShowWindow).
void ShowWindow(WindowRef window);
// Hides the window (HideWindow); it keeps its contents.
void HideWindow(WindowRef window);
// Brings a visible window to the front (SelectWindow).
void SelectWindow(WindowRef window);
Boolean IsWindowVisible(WindowRef window);
// Shows or hides the window with a transition (TransitionWindow).
// FIXME: no animation; the effect and bounds are accepted and ignored.
OSStatus TransitionWindow(WindowRef window, WindowTransitionEffect effect,
                          WindowTransitionAction action, const Rect* bounds);
// Removes the window and its controls from the screen and forgets it (DisposeWindow).
void DisposeWindow(WindowRef window);
// The port that draws into the window (GetWindowPort); null for an unknown window.
CGrafPtr GetWindowPort(WindowRef window);
// The window a port draws into (GetWindowFromPort); null for the screen's port.
WindowRef GetWindowFromPort(CGrafPtr port);

} // extern "C"
