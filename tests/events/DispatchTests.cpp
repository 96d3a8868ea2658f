// Event dispatch: handler stacks, propagation from a window to the application, the standard
// handlers, and the events that user actions become.
#include "ToolboxFixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace kreloed::test {
namespace {

using macsim::Action;
using macsim::Id;

// A handler that logs its name and answers a fixed status; with callNext it first passes the
// event on and answers what the rest of the chain answered.
struct Recorder {
    std::string name;
    OSStatus result = noErr;
    std::vector<std::string>* log = nullptr;
    bool callNext = false;
};

OSStatus recordingHandler(EventHandlerCallRef call, EventRef event, void* userData) {
    auto& r = *static_cast<Recorder*>(userData);
    r.log->push_back(r.name);
    if (r.callNext)
        return CallNextEventHandler(call, event);
    return r.result;
}

// Some answer other than noErr and eventNotHandledErr.
constexpr OSStatus kUserCanceled = -128;

const EventTypeSpec kControlHit{kEventClassControl, kEventControlHit};
const EventTypeSpec kWindowClose{kEventClassWindow, kEventWindowClose};
const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};

class DispatchTest : public ToolboxTest {};

TEST_F(DispatchTest, HandlerStacksAndPropagation) {
    struct HandlerRow {
        std::string name;
        OSStatus result;
        bool callNext = false;
        EventTypeSpec type = kControlHit;
    };
    struct Row {
        std::string name;
        std::vector<HandlerRow> window; // in the order installed
        std::vector<HandlerRow> application;
        std::vector<std::string> expectedLog;
        OSStatus expectedStatus;
    };
    const std::vector<Row> rows = {
        {"the last installed runs first",
         {{"A", eventNotHandledErr}, {"B", noErr}},
         {},
         {"B"},
         noErr},
        {"unhandled goes down the stack",
         {{"A", noErr}, {"B", eventNotHandledErr}},
         {},
         {"B", "A"},
         noErr},
        {"unhandled goes on to the application",
         {{"A", eventNotHandledErr}},
         {{"C", noErr}},
         {"A", "C"},
         noErr},
        {"an error answer stops the dispatch",
         {{"A", noErr}, {"B", paramErr}},
         {{"C", noErr}},
         {"B"},
         paramErr},
        {"nobody handles it",
         {{"A", eventNotHandledErr}},
         {{"C", eventNotHandledErr}},
         {"A", "C"},
         eventNotHandledErr},
        {"CallNextEventHandler runs the rest of the chain once",
         {{"A", eventNotHandledErr}, {"B", noErr, true}},
         {{"C", kUserCanceled}},
         {"B", "A", "C"},
         kUserCanceled},
        {"a handler of other events is passed over",
         {{"A", noErr, false, kWindowClose}},
         {{"C", noErr}},
         {"C"},
         noErr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> log;
        std::vector<std::unique_ptr<Recorder>> recorders;
        const WindowRef window = makeWindow("dispatch");
        auto add = [&](EventTargetRef target, const HandlerRow& h) {
            recorders.push_back(
                std::make_unique<Recorder>(Recorder{h.name, h.result, &log, h.callNext}));
            install(target, recordingHandler, {h.type}, recorders.back().get());
        };
        for (const HandlerRow& h : row.window)
            add(GetWindowEventTarget(window), h);
        for (const HandlerRow& h : row.application)
            add(GetApplicationEventTarget(), h);

        EventRef event = nullptr;
        ASSERT_EQ(CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &event), noErr);
        EXPECT_EQ(SendEventToEventTarget(event, GetWindowEventTarget(window)), row.expectedStatus);
        ReleaseEvent(event);
        EXPECT_EQ(log, row.expectedLog);
        TearDown();
        SetUp();
    }
}

TEST_F(DispatchTest, RemovedHandlerNoLongerRuns) {
    std::vector<std::string> log;
    Recorder a{"A", noErr, &log};
    const WindowRef window = makeWindow("remove");
    EventHandlerRef ref = nullptr;
    ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(window), recordingHandler, 1, &kControlHit,
                                  &a, &ref),
              noErr);
    ASSERT_EQ(RemoveEventHandler(ref), noErr);
    EXPECT_EQ(RemoveEventHandler(ref), paramErr);
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &event);
    EXPECT_EQ(SendEventToEventTarget(event, GetWindowEventTarget(window)), eventNotHandledErr);
    ReleaseEvent(event);
    EXPECT_TRUE(log.empty());
}

TEST_F(DispatchTest, DisposedWindowHasNoTarget) {
    const WindowRef window = makeWindow("gone");
    const EventTargetRef target = GetWindowEventTarget(window);
    ASSERT_NE(target, nullptr);
    DisposeWindow(window);
    EXPECT_EQ(GetWindowEventTarget(window), nullptr);
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &event);
    // The old reference is refused, not followed.
    EXPECT_EQ(SendEventToEventTarget(event, target), paramErr);
    EXPECT_EQ(InstallEventHandler(target, recordingHandler, 1, &kControlHit, nullptr, nullptr),
              paramErr);
    ReleaseEvent(event);
}

// The close box: a window's own handlers first, then (if it has one) its standard handler.
TEST_F(DispatchTest, CloseBoxAndTheStandardWindowHandler) {
    struct Row {
        std::string name;
        macsim::StandardHandler standardFromNib;
        bool installStandard;
        std::optional<OSStatus> windowHandler; // the answer of the window's own close handler
        bool expectDisposed;
    };
    const std::vector<Row> rows = {
        {"no handler, no standard handler: nothing happens", macsim::StandardHandler::No, false,
         std::nullopt, false},
        {"no handler, standard handler from the nib: disposed", macsim::StandardHandler::Yes, false,
         std::nullopt, true},
        {"standard handler installed later: disposed", macsim::StandardHandler::No, true,
         std::nullopt, true},
        {"own handler handles the close: kept", macsim::StandardHandler::Yes, false, noErr, false},
        {"own handler passes it on: disposed", macsim::StandardHandler::Yes, false,
         eventNotHandledErr, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> log;
        Recorder own{"own", row.windowHandler.value_or(noErr), &log};
        const WindowRef window = makeWindow("closing", {}, row.standardFromNib);
        ShowWindow(window);
        if (row.installStandard) {
            EXPECT_EQ(InstallStandardEventHandler(GetWindowEventTarget(window)), noErr);
        }
        if (row.windowHandler)
            install(GetWindowEventTarget(window), recordingHandler, {kWindowClose}, &own);
        macsim::performAction(closeBoxOf(window));
        EXPECT_EQ(server().window(macsim::idOf(window)) == nullptr, row.expectDisposed);
        EXPECT_EQ(log.size(), row.windowHandler ? 1u : 0u);
        TearDown();
        SetUp();
    }
}

// A handler that disposes of its own window and passes the event on: the dispatch goes on to the
// application and never touches the gone window's target (address sanitizer builds catch that).
OSStatus disposeOwnWindow(EventHandlerCallRef, EventRef, void* userData) {
    DisposeWindow(*static_cast<WindowRef*>(userData));
    return eventNotHandledErr;
}

TEST_F(DispatchTest, HandlerThatDisposesOfItsWindowPassesTheEventOn) {
    std::vector<std::string> log;
    Recorder application{"application", noErr, &log};
    Recorder earlier{"window's earlier handler", noErr, &log};
    WindowRef window = makeWindow("self-closing", {}, macsim::StandardHandler::Yes);
    ShowWindow(window);
    install(GetApplicationEventTarget(), recordingHandler, {kControlHit}, &application);
    install(GetWindowEventTarget(window), recordingHandler, {kControlHit}, &earlier);
    ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(window), disposeOwnWindow, 1, &kControlHit,
                                  &window, nullptr),
              noErr);
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &event);
    EXPECT_EQ(SendEventToEventTarget(event, GetWindowEventTarget(window)), noErr);
    ReleaseEvent(event);
    EXPECT_EQ(server().window(macsim::idOf(window)), nullptr);
    // The window's other handler went with it; the application's still ran.
    EXPECT_EQ(log, std::vector<std::string>{"application"});
}

struct CommandLog {
    std::vector<HICommand> commands;
    OSStatus result = eventNotHandledErr;
};

OSStatus commandHandler(EventHandlerCallRef, EventRef event, void* userData) {
    auto& log = *static_cast<CommandLog*>(userData);
    HICommand command{};
    EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr,
                                sizeof command, nullptr, &command),
              noErr);
    log.commands.push_back(command);
    return log.result;
}

class MenuTest : public ToolboxTest {
protected:
    void SetUp() override {
        ToolboxTest::SetUp();
        macsim::Menu app{"App", {{"About", 'ABOU'}, {"", 0, true, false, true}, {"Quit", 'quit'}}};
        macsim::Menu speed{"Speed", {{"Off", 'sdef', false}, {"Keep", 'ausr'}}};
        server().setMenuBar({app, speed});
    }
};

TEST_F(MenuTest, MenuChoiceSendsTheFourteenByteCommand) {
    CommandLog log;
    install(GetApplicationEventTarget(), commandHandler, {kCommand}, &log);
    macsim::performAction(menuCommand('ausr'));
    ASSERT_EQ(log.commands.size(), 1u);
    const HICommand& c = log.commands[0];
    EXPECT_EQ(c.commandID, UInt32('ausr'));
    EXPECT_EQ(c.menu.menuRef, 2u);        // the second menu
    EXPECT_EQ(c.menu.menuItemIndex, 2u);  // its second item
    EXPECT_EQ(server().hilitedMenu(), 2); // until the application takes it down
    HiliteMenu(0);
    EXPECT_EQ(server().hilitedMenu(), 0);

    // A disabled item and an unknown command send nothing.
    macsim::performAction(menuCommand('sdef'));
    macsim::performAction(menuCommand('nope'));
    EXPECT_EQ(log.commands.size(), 1u);
}

TEST_F(MenuTest, QuitEndsTheLoopUnlessAHandlerTakesIt) {
    CommandLog log;
    install(GetApplicationEventTarget(), commandHandler, {kCommand}, &log);

    // Not handled by the application: the standard handler quits.
    fake().act(menuCommand('quit'));
    RunApplicationEventLoop();
    EXPECT_TRUE(fake().done());

    // Handled: the loop goes on to the next step.
    log.result = noErr;
    fake().act(menuCommand('quit'));
    fake().quit();
    RunApplicationEventLoop();
    EXPECT_TRUE(fake().done());
    EXPECT_EQ(log.commands.size(), 2u);
}

TEST_F(DispatchTest, EventParameters) {
    EventRef event = nullptr;
    ASSERT_EQ(CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &event), noErr);
    HICommand in{};
    in.commandID = 'susr';
    ASSERT_EQ(SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof in, &in),
              noErr);

    HICommand out{};
    EventParamType type = 0;
    ByteCount size = 0;
    EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeHICommand, &type, sizeof out,
                                &size, &out),
              noErr);
    EXPECT_EQ(out.commandID, UInt32('susr'));
    EXPECT_EQ(type, EventParamType(typeHICommand));
    EXPECT_EQ(size, 14u);

    // A short buffer gets nothing at all; another type or name is refused.
    unsigned char shortBuffer[13];
    std::memset(shortBuffer, 0xAA, sizeof shortBuffer);
    EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr,
                                sizeof shortBuffer, nullptr, shortBuffer),
              paramErr);
    EXPECT_EQ(shortBuffer[0], 0xAA);
    ControlRef control = nullptr;
    EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr,
                                sizeof control, nullptr, &control),
              errEventTypeMismatch);
    EXPECT_EQ(GetEventParameter(event, 'xxxx', typeHICommand, nullptr, sizeof out, nullptr, &out),
              eventParameterNotFoundErr);
    ReleaseEvent(event);
}

// What user actions on controls become.
struct ControlEvent {
    EventKind kind;
    Id control;
};

OSStatus controlHandler(EventHandlerCallRef, EventRef event, void* userData) {
    ControlRef control = nullptr;
    EXPECT_EQ(GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr,
                                sizeof control, nullptr, &control),
              noErr);
    static_cast<std::vector<ControlEvent>*>(userData)->push_back(
        {GetEventKind(event), macsim::idOf(control)});
    return noErr;
}

TEST_F(DispatchTest, ControlActions) {
    const WindowRef window =
        makeWindow("controls", {button('ok  ', true), button('not!', false, true), button('dona'),
                                slider('mhzm', 1, 21)});
    std::vector<ControlEvent> events;
    install(GetWindowEventTarget(window), controlHandler,
            {{kEventClassControl, kEventControlClick}, {kEventClassControl, kEventControlHit}},
            &events);
    const Id ok = control(window, 'ok  '), cancel = control(window, 'not!'),
             dona = control(window, 'dona'), mhzm = control(window, 'mhzm');

    struct Row {
        std::string name;
        Action action;
        Id expectedControl;
    };
    Action returnKey;
    returnKey.kind = Action::Kind::Key;
    returnKey.window = macsim::idOf(window);
    returnKey.key = Action::KeyCode::Return;
    Action escapeKey = returnKey;
    escapeKey.key = Action::KeyCode::Escape;
    Action move;
    move.kind = Action::Kind::SetSlider;
    move.control = mhzm;
    move.value = 99;
    const std::vector<Row> rows = {
        {"a click", clickOn(dona), dona},
        {"Return chooses the default button", returnKey, ok},
        {"Escape chooses the cancel button", escapeKey, cancel},
        {"a slider moved past its maximum", move, mhzm},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        events.clear();
        macsim::performAction(row.action);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].kind, EventKind(kEventControlClick));
        EXPECT_EQ(events[1].kind, EventKind(kEventControlHit));
        EXPECT_EQ(events[0].control, row.expectedControl);
        EXPECT_EQ(events[1].control, row.expectedControl);
    }
    // The value was moved, kept within the slider's range, before the hit.
    EXPECT_EQ(GetControlValue(macsim::controlRef(mhzm)), 21);
}

} // namespace
} // namespace kreloed::test
