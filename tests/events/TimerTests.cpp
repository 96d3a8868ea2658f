// Event-loop timers: when they fire on the loop's clock, and when they do not.
#include "ToolboxFixture.h"

#include <vector>

namespace kreloed::test {
namespace {

struct TimerLog {
    explicit TimerLog(FakeFrontEnd* fake) : fake(fake) {}
    FakeFrontEnd* fake;
    std::vector<double> fired;
    std::function<void(TimerLog&, EventLoopTimerRef)> onFire;
};

void loggingTimer(EventLoopTimerRef timer, void* userData) {
    auto& log = *static_cast<TimerLog*>(userData);
    log.fired.push_back(log.fake->clock);
    if (log.onFire)
        log.onFire(log, timer);
}

class TimerTest : public ToolboxTest {};

TEST_F(TimerTest, FiresAtOnceThenEverySecondOfVirtualTime) {
    TimerLog log(&fake());
    installTimer(0.0, 1.0, loggingTimer, &log);
    fake().waitUntil(3.5);
    fake().quit();
    RunApplicationEventLoop();
    EXPECT_EQ(log.fired, (std::vector<double>{0, 1, 2, 3}));
}

TEST_F(TimerTest, FirstFireAfterTheDelay) {
    TimerLog log(&fake());
    installTimer(2.5, 1.0, loggingTimer, &log);
    fake().waitUntil(5);
    fake().quit();
    RunApplicationEventLoop();
    EXPECT_EQ(log.fired, (std::vector<double>{2.5, 3.5, 4.5}));
}

TEST_F(TimerTest, LateWakeUpsDoNotShiftTheDeadlines) {
    TimerLog log(&fake());
    fake().lateness = 0.25;
    installTimer(0.0, 1.0, loggingTimer, &log);
    fake().waitUntil(3.5);
    fake().quit();
    RunApplicationEventLoop();
    EXPECT_EQ(log.fired, (std::vector<double>{0, 1.25, 2.25, 3.25}));
    std::vector<double> deadlines;
    for (const auto& wait : fake().waits)
        if (wait.deadline)
            deadlines.push_back(*wait.deadline);
    EXPECT_EQ(deadlines, (std::vector<double>{1, 2, 3, 4}));
}

TEST_F(TimerTest, TicksMissedWhileBlockedAreNotBunched) {
    TimerLog log(&fake());
    // The first tick blocks for 3.5 seconds, as a command waiting for a child process does.
    log.onFire = [](TimerLog& l, EventLoopTimerRef) {
        if (l.fired.size() == 1)
            l.fake->clock += 3.5;
    };
    installTimer(0.0, 1.0, loggingTimer, &log);
    fake().waitUntil(5.5);
    fake().quit();
    RunApplicationEventLoop();
    // One late tick at 3.5 for the missed ones, then back on the whole seconds.
    EXPECT_EQ(log.fired, (std::vector<double>{0, 3.5, 4, 5}));
}

TEST_F(TimerTest, OneShotAndRemovedTimers) {
    TimerLog once(&fake());
    installTimer(1.0, 0.0, loggingTimer, &once);
    TimerLog twice(&fake());
    twice.onFire = [](TimerLog& l, EventLoopTimerRef timer) {
        if (l.fired.size() == 2) {
            EXPECT_EQ(RemoveEventLoopTimer(timer), noErr);
        }
    };
    installTimer(0.0, 1.0, loggingTimer, &twice);
    fake().waitUntil(4);
    fake().quit();
    RunApplicationEventLoop();
    EXPECT_EQ(once.fired, (std::vector<double>{1}));
    EXPECT_EQ(twice.fired, (std::vector<double>{0, 1}));
}

TEST_F(TimerTest, BadArgumentsAreRefused) {
    EventLoopTimerRef t = reinterpret_cast<EventLoopTimerRef>(1);
    EXPECT_EQ(InstallEventLoopTimer(GetCurrentEventLoop(), 0, 1, nullptr, nullptr, &t), paramErr);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(InstallEventLoopTimer(nullptr, 0, 1, loggingTimer, nullptr, &t), paramErr);
    EXPECT_EQ(RemoveEventLoopTimer(nullptr), paramErr);
}

// Modal loops: only the modal window takes input, and no timer fires while one runs.
struct ModalState {
    WindowRef window;
    std::function<void()> onHit = {};
};

OSStatus quitModalOnHit(EventHandlerCallRef, EventRef, void* userData) {
    auto& state = *static_cast<ModalState*>(userData);
    if (state.onHit)
        state.onHit();
    QuitAppModalLoopForWindow(state.window);
    return noErr;
}

TEST_F(TimerTest, NoTimerFiresInAModalLoop) {
    TimerLog log(&fake());
    installTimer(0.0, 1.0, loggingTimer, &log);
    server().setMenuBar({macsim::Menu{"App", {{"About", 'ABOU'}}}});
    const WindowRef dialog = makeWindow("dialog", {button('ok  ', true)});
    const WindowRef other = makeWindow("other", {button('dona')});
    ShowWindow(other);
    ShowWindow(dialog);
    ModalState state{dialog};
    install(GetWindowEventTarget(dialog), quitModalOnHit, {{kEventClassControl, kEventControlHit}},
            &state);
    const int beeps = server().beeps();

    // Time passes in the dialog; the menu and the other window only beep.
    fake().waitUntil(5);
    fake().act(menuCommand('ABOU'));
    fake().act(clickOn(control(other, 'dona')));
    fake().act(clickOn(control(dialog, 'ok  ')));
    EXPECT_EQ(RunAppModalLoopForWindow(dialog), noErr);
    EXPECT_TRUE(log.fired.empty());
    EXPECT_EQ(server().beeps(), beeps + 2);
    for (const auto& wait : fake().waits) {
        EXPECT_FALSE(wait.deadline);
        EXPECT_EQ(wait.modalWindow, macsim::idOf(dialog));
    }

    // Back in the application loop the overdue tick fires once, then every second.
    fake().waitUntil(6.5);
    fake().quit();
    RunApplicationEventLoop();
    EXPECT_EQ(log.fired, (std::vector<double>{5, 6}));
}

TEST_F(TimerTest, NestedModalLoopsEndInnermostFirst) {
    const WindowRef outer = makeWindow("outer", {button('ok  ', true), button('more')});
    const WindowRef inner = makeWindow("inner", {button('ok  ', true)});
    std::vector<std::string> order;
    ModalState innerState{inner, [&] { order.push_back("inner ok"); }};
    install(GetWindowEventTarget(inner), quitModalOnHit, {{kEventClassControl, kEventControlHit}},
            &innerState);
    // 'more' opens the inner loop from inside the outer one; 'ok  ' ends the outer one.
    struct Outer {
        WindowRef outer, inner;
        std::vector<std::string>* order;
    } outerState{outer, inner, &order};
    install(
        GetWindowEventTarget(outer),
        [](EventHandlerCallRef, EventRef event, void* userData) -> OSStatus {
            auto& s = *static_cast<Outer*>(userData);
            ControlRef hit = nullptr;
            GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof hit,
                              nullptr, &hit);
            ControlID id{};
            GetControlID(hit, &id);
            if (id.signature == 'more') {
                RunAppModalLoopForWindow(s.inner);
                s.order->push_back("inner returned");
            } else {
                s.order->push_back("outer ok");
                QuitAppModalLoopForWindow(s.outer);
            }
            return noErr;
        },
        {{kEventClassControl, kEventControlHit}}, &outerState);

    fake().act(clickOn(control(outer, 'more')));
    fake().act(clickOn(control(inner, 'ok  ')));
    fake().act(clickOn(control(outer, 'ok  ')));
    EXPECT_EQ(RunAppModalLoopForWindow(outer), noErr);
    EXPECT_EQ(order, (std::vector<std::string>{"inner ok", "inner returned", "outer ok"}));
    EXPECT_EQ(QuitAppModalLoopForWindow(outer), errInvalidWindowRef); // no loop runs now
}

} // namespace
} // namespace kreloed::test
