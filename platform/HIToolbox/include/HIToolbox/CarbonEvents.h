// The Carbon Event Manager of the simulated Mac: events with typed parameters, event targets with
// handler stacks, the application event loop with its timers, and nested modal loops. Everything
// runs on the main thread; timers fire only in RunApplicationEventLoop, never inside a nested
// modal loop or while a call blocks.
#pragma once

#include <HIToolbox/Controls.h>
#include <HIToolbox/MacWindows.h>
#include <HIToolbox/Menus.h>
#include <MacTypes.h>

extern "C" {

typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef struct OpaqueEventTargetRef* EventTargetRef;
typedef struct OpaqueEventLoopRef* EventLoopRef;
typedef struct OpaqueEventLoopTimerRef* EventLoopTimerRef;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef handler, EventRef event,
                                        void* userData);
typedef EventHandlerProcPtr EventHandlerUPP;
typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef timer, void* userData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;

typedef UInt32 EventClass;
typedef UInt32 EventKind;
typedef OSType EventParamName;
typedef OSType EventParamType;
typedef UInt32 ByteCount;
typedef UInt32 EventAttributes;
typedef EventTime EventTimeout;
typedef EventTime EventTimerInterval;

struct EventTypeSpec {
    EventClass eventClass;
    EventKind eventKind;
};

// A command from a menu item: what a kEventCommandProcess event carries as its direct object.
// The menu field is the menu's 32-bit handle, so the record is 14 bytes as the application
// expects.
struct __attribute__((packed)) HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct __attribute__((packed)) {
        MenuRef menuRef;
        MenuItemIndex menuItemIndex;
    } menu;
};
static_assert(sizeof(HICommand) == 14, "a command record is 14 bytes");

enum : EventClass {
    kEventClassCommand = 'cmds',
    kEventClassWindow = 'wind',
    kEventClassControl = 'cntl',
};

enum : EventKind {
    kEventCommandProcess = 1,
    kEventWindowUpdate = 1,
    kEventWindowClose = 72,
    kEventControlHit = 1,
    kEventControlClick = 13,
};

enum : EventParamName {
    kEventParamDirectObject = '----',
};

enum : EventParamType {
    typeHICommand = 'hcmd',  // HICommand
    typeControlRef = 'ctrl', // ControlRef
    typeWindowRef = 'wind',  // WindowRef
    typeUInt32 = 'magn',
    typeSInt32 = 'long',
};

enum : EventAttributes {
    kEventAttributeNone = 0,
};

// Durations are seconds.
constexpr EventTime kEventDurationSecond = 1.0;
constexpr EventTime kEventDurationMillisecond = kEventDurationSecond / 1000;
constexpr EventTime kEventDurationNoWait = 0.0;
constexpr EventTime kEventDurationForever = -1.0;

enum : OSStatus {
    eventInternalErr = -9868,
    eventParameterNotFoundErr = -9870,
    errEventTypeMismatch = -9872, // our own: the parameter is there, but of another type
};

// Events. CreateEvent gives one reference; ReleaseEvent drops one.
OSStatus CreateEvent(CFAllocatorRef allocator, EventClass eventClass, EventKind kind,
                     EventTime when, EventAttributes attributes, EventRef* event);
EventRef RetainEvent(EventRef event);
void ReleaseEvent(EventRef event);
EventClass GetEventClass(EventRef event);
EventKind GetEventKind(EventRef event);
OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data);
// Copies parameter name, which must be of type, into data (GetEventParameter). outActualType and
// outActualSize may be null. A buffer smaller than the parameter gets nothing and paramErr.
// FIXME: no coercion between types.
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType type,
                           EventParamType* outActualType, ByteCount bufferSize,
                           ByteCount* outActualSize, void* data);

// Targets and handlers.
EventTargetRef GetApplicationEventTarget(void);
// Null for an unknown window.
EventTargetRef GetWindowEventTarget(WindowRef window);
EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc);
void DisposeEventHandlerUPP(EventHandlerUPP upp);
// Pushes a handler for the listed event types onto the target's stack: the last installed runs
// first (InstallEventHandler). outRef may be null.
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 typeCount,
                             const EventTypeSpec* types, void* userData, EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef handler);
// Gives the target the platform's standard behaviour (InstallStandardEventHandler): a window
// disposes of itself on a close its own handlers leave unhandled; the application quits on a
// 'quit' command. Standard handlers run after every installed one.
// FIXME: controls are tracked by the window server itself, so there is no tracking to add.
OSStatus InstallStandardEventHandler(EventTargetRef target);
// Sends the event to the target's handlers, then its parent's (a window's parent is the
// application), stopping at the first answer other than eventNotHandledErr.
OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target);
// From inside a handler: passes the event to the handlers below it (CallNextEventHandler).
OSStatus CallNextEventHandler(EventHandlerCallRef handler, EventRef event);

// The event loop and its timers.
EventLoopRef GetCurrentEventLoop(void);
EventLoopRef GetMainEventLoop(void);
EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc);
void DisposeEventLoopTimerUPP(EventLoopTimerUPP upp);
// The timer fires first after fireDelay, then every interval (0: once) on fixed deadlines
// (InstallEventLoopTimer).
OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay,
                               EventTimerInterval interval, EventLoopTimerUPP proc, void* userData,
                               EventLoopTimerRef* outTimer);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);
// Runs the application: user actions become events, timers fire, until
// QuitApplicationEventLoop (RunApplicationEventLoop).
void RunApplicationEventLoop(void);
void QuitApplicationEventLoop(void);
// Runs a nested loop in which only window takes input and no timer fires, until
// QuitAppModalLoopForWindow(window) (RunAppModalLoopForWindow).
OSStatus RunAppModalLoopForWindow(WindowRef window);
OSStatus QuitAppModalLoopForWindow(WindowRef window);

} // extern "C"
