// Inside the Carbon Event Manager: event objects, event targets with their handler stacks, and the
// dispatcher.
#pragma once

#include <Carbon/Carbon.h>
#include <macsim/Object.h>
#include <macsim/WindowServer.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace macsim {

class Event : public Object {
public:
    Event(EventClass eventClass, EventKind kind, EventTime when)
        : eventClass(eventClass), kind(kind), when(when) {}
    const char* typeName() const noexcept override { return "Event"; }

    struct Parameter {
        EventParamType type = 0;
        std::vector<std::uint8_t> bytes;
    };

    EventClass eventClass;
    EventKind kind;
    EventTime when;
    std::map<EventParamName, Parameter> parameters;

    EventRef ref() { return reinterpret_cast<EventRef>(static_cast<Object*>(this)); }
    static Event* from(EventRef ref) { return static_cast<Event*>(reinterpret_cast<Object*>(ref)); }
    void set(EventParamName name, EventParamType type, const void* data, std::size_t size);
};

// One reference to an event, dropped when it goes.
class EventPtr {
public:
    explicit EventPtr(Event* event) : event_(event) {}
    EventPtr(const EventPtr&) = delete;
    EventPtr& operator=(const EventPtr&) = delete;
    ~EventPtr() {
        if (event_)
            event_->release();
    }
    Event& operator*() const { return *event_; }
    Event* operator->() const { return event_; }

private:
    Event* event_;
};

class EventTarget {
public:
    enum class Kind { Application, Window };

    struct Handler {
        std::uint32_t id = 0;
        EventHandlerUPP proc = nullptr;
        std::vector<EventTypeSpec> types;
        void* userData = nullptr;
        bool handles(const Event& event) const;
    };

    EventTarget(Kind kind, Id window, EventTarget* parent)
        : kind(kind), window(window), parent(parent) {}

    const Kind kind;
    const Id window; // for a window's target
    EventTarget* const parent;
    bool standardHandler = false;
    std::vector<Handler> handlers; // in the order installed; the last runs first

    EventTargetRef ref() { return reinterpret_cast<EventTargetRef>(this); }
};

EventTarget& applicationTarget();
// The target of a window made by the toolbox; null for any other id.
EventTarget* windowTarget(Id window);
EventTarget& addWindowTarget(Id window);
void removeWindowTarget(Id window);
// Null when ref is not a live target (a disposed window's, or garbage).
EventTarget* targetFrom(EventTargetRef ref);

// Runs the event through target's handlers and then its parents', up to the first answer other
// than eventNotHandledErr.
OSStatus sendEvent(Event& event, EventTarget& target);

} // namespace macsim
