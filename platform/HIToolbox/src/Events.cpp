#include "Events.h"
#include "Toolbox.h"

#include <macsim/NoDestructor.h>

#include <algorithm>
#include <cstring>

namespace macsim {

namespace {

struct Targets {
    EventTarget application{EventTarget::Kind::Application, 0, nullptr};
    std::map<Id, std::unique_ptr<EventTarget>> windows;
    std::uint32_t nextHandler = 1;

    Targets() { application.standardHandler = true; }
};

Targets& targets() {
    static NoDestructor<Targets> state;
    return *state;
}

// One step of a dispatch: an installed handler of a target, or (handler 0) its standard handler.
// The target is named by its window (0 for the application) and found again at each step, since
// a handler may dispose of a window, and with it its target, while the dispatch goes on.
struct Step {
    Id window;
    std::uint32_t handler;
};

// What an EventHandlerCallRef stands for: where a dispatch has got to.
struct HandlerCall {
    Event* event;
    std::vector<Step> steps;
    std::size_t next = 0;
    bool restDone = false; // a handler ran the rest of the chain with CallNextEventHandler
};

bool standardHandles(const EventTarget& target, const Event& event) {
    if (target.kind == EventTarget::Kind::Window)
        return event.eventClass == kEventClassWindow && event.kind == kEventWindowClose;
    return event.eventClass == kEventClassCommand && event.kind == kEventCommandProcess;
}

OSStatus runStandard(EventTarget& target, Event& event) {
    if (target.kind == EventTarget::Kind::Window) {
        disposeToolboxWindow(target.window);
        return noErr;
    }
    HICommand command{};
    if (GetEventParameter(event.ref(), kEventParamDirectObject, typeHICommand, nullptr,
                          sizeof command, nullptr, &command) == noErr &&
        command.commandID == 'quit') {
        QuitApplicationEventLoop();
        return noErr;
    }
    return eventNotHandledErr;
}

OSStatus runFrom(HandlerCall& call) {
    while (call.next < call.steps.size()) {
        const Step step = call.steps[call.next++];
        EventTarget* const target =
            step.window == 0 ? &targets().application : windowTarget(step.window);
        if (target == nullptr)
            continue; // its window is gone
        OSStatus result = eventNotHandledErr;
        if (step.handler == 0) {
            result = runStandard(*target, *call.event);
        } else {
            const auto& handlers = target->handlers;
            const auto it = std::find_if(handlers.begin(), handlers.end(),
                                         [&](const auto& h) { return h.id == step.handler; });
            if (it == handlers.end() || !it->proc)
                continue;
            const EventHandlerUPP proc = it->proc;
            void* const userData = it->userData;
            call.restDone = false;
            result =
                proc(reinterpret_cast<EventHandlerCallRef>(&call), call.event->ref(), userData);
            if (call.restDone)
                return result;
        }
        if (result != eventNotHandledErr)
            return result;
    }
    return eventNotHandledErr;
}

} // namespace

void Event::set(EventParamName name, EventParamType type, const void* data, std::size_t size) {
    Parameter& p = parameters[name];
    p.type = type;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    p.bytes.assign(bytes, bytes + size);
}

bool EventTarget::Handler::handles(const Event& event) const {
    return std::any_of(types.begin(), types.end(), [&](const EventTypeSpec& t) {
        return t.eventClass == event.eventClass && t.eventKind == event.kind;
    });
}

EventTarget& applicationTarget() {
    return targets().application;
}

EventTarget* windowTarget(Id window) {
    const auto it = targets().windows.find(window);
    return it == targets().windows.end() ? nullptr : it->second.get();
}

EventTarget& addWindowTarget(Id window) {
    auto& slot = targets().windows[window];
    if (!slot)
        slot = std::make_unique<EventTarget>(EventTarget::Kind::Window, window,
                                             &targets().application);
    return *slot;
}

void removeWindowTarget(Id window) {
    targets().windows.erase(window);
}

EventTarget* targetFrom(EventTargetRef ref) {
    auto* target = reinterpret_cast<EventTarget*>(ref);
    if (target == &targets().application)
        return target;
    for (auto& [id, t] : targets().windows)
        if (t.get() == target)
            return target;
    return nullptr;
}

OSStatus sendEvent(Event& event, EventTarget& target) {
    HandlerCall call{&event, {}};
    for (EventTarget* t = &target; t; t = t->parent) {
        for (auto h = t->handlers.rbegin(); h != t->handlers.rend(); ++h)
            if (h->handles(event))
                call.steps.push_back(Step{t->window, h->id});
        if (t->standardHandler && standardHandles(*t, event))
            call.steps.push_back(Step{t->window, 0});
    }
    // The event must outlive its handlers even if one of them releases it.
    event.retain();
    const OSStatus result = runFrom(call);
    event.release();
    return result;
}

} // namespace macsim

using namespace macsim;

extern "C" {

OSStatus CreateEvent(CFAllocatorRef, EventClass eventClass, EventKind kind, EventTime when,
                     EventAttributes, EventRef* event) {
    if (!event)
        return paramErr;
    *event = (new Event(eventClass, kind, when))->ref();
    return noErr;
}

EventRef RetainEvent(EventRef event) {
    if (event)
        Event::from(event)->retain();
    return event;
}

void ReleaseEvent(EventRef event) {
    if (event)
        Event::from(event)->release();
}

EventClass GetEventClass(EventRef event) {
    return event ? Event::from(event)->eventClass : 0;
}

EventKind GetEventKind(EventRef event) {
    return event ? Event::from(event)->kind : 0;
}

OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data) {
    if (!event || (size > 0 && !data))
        return paramErr;
    Event::from(event)->set(name, type, data, size);
    return noErr;
}

OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType type,
                           EventParamType* outActualType, ByteCount bufferSize,
                           ByteCount* outActualSize, void* data) {
    if (!event)
        return paramErr;
    const Event& e = *Event::from(event);
    const auto it = e.parameters.find(name);
    if (it == e.parameters.end())
        return eventParameterNotFoundErr;
    const Event::Parameter& p = it->second;
    if (type != p.type && type != '****')
        return errEventTypeMismatch;
    if (outActualType)
        *outActualType = p.type;
    if (outActualSize)
        *outActualSize = static_cast<ByteCount>(p.bytes.size());
    if (data) {
        if (bufferSize < p.bytes.size())
            return paramErr;
        std::memcpy(data, p.bytes.data(), p.bytes.size());
    }
    return noErr;
}

EventTargetRef GetApplicationEventTarget(void) {
    return applicationTarget().ref();
}

EventTargetRef GetWindowEventTarget(WindowRef window) {
    EventTarget* target = windowTarget(idOf(window));
    return target ? target->ref() : nullptr;
}

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc) {
    return proc;
}

void DisposeEventHandlerUPP(EventHandlerUPP) {}

OSStatus InstallEventHandler(EventTargetRef targetRef, EventHandlerUPP handler, UInt32 typeCount,
                             const EventTypeSpec* types, void* userData, EventHandlerRef* outRef) {
    if (outRef)
        *outRef = nullptr;
    EventTarget* target = targetFrom(targetRef);
    if (!target || !handler || (typeCount > 0 && !types))
        return paramErr;
    EventTarget::Handler h;
    h.id = targets().nextHandler++;
    h.proc = handler;
    h.types.assign(types, types + typeCount);
    h.userData = userData;
    target->handlers.push_back(std::move(h));
    if (outRef)
        *outRef = reinterpret_cast<EventHandlerRef>(std::uintptr_t(target->handlers.back().id));
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef handler) {
    const auto id = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handler));
    auto remove = [id](EventTarget& t) {
        return std::erase_if(t.handlers, [id](const auto& h) { return h.id == id; }) > 0;
    };
    if (id != 0) {
        if (remove(targets().application))
            return noErr;
        for (auto& [window, t] : targets().windows)
            if (remove(*t))
                return noErr;
    }
    return paramErr;
}

OSStatus InstallStandardEventHandler(EventTargetRef targetRef) {
    EventTarget* target = targetFrom(targetRef);
    if (!target)
        return paramErr;
    target->standardHandler = true;
    return noErr;
}

OSStatus SendEventToEventTarget(EventRef event, EventTargetRef targetRef) {
    EventTarget* target = targetFrom(targetRef);
    if (!event || !target)
        return paramErr;
    return sendEvent(*Event::from(event), *target);
}

OSStatus CallNextEventHandler(EventHandlerCallRef handlerCall, EventRef event) {
    if (!handlerCall || !event)
        return paramErr;
    auto& call = *reinterpret_cast<HandlerCall*>(handlerCall);
    const OSStatus result = runFrom(call);
    // Tells the dispatcher, once the calling handler returns, that the chain has been run.
    call.restDone = true;
    return result;
}

} // extern "C"
