// In-process tests of the toolbox: a fake front end, and windows, handlers and timers that are
// cleaned up after each test (the window server and the application target live as long as the
// test process).
#pragma once

#include "FakeFrontEnd.h"

#include <Toolbox.h>

#include <memory>
#include <string>
#include <vector>

namespace kreloed::test {

class ToolboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<FakeFrontEnd>();
        fake_ = fake.get();
        server().setFrontEnd(std::move(fake));
    }

    void TearDown() override {
        for (EventHandlerRef h : handlers_)
            RemoveEventHandler(h);
        for (EventLoopTimerRef t : timers_)
            RemoveEventLoopTimer(t);
        for (macsim::Id w : windows_)
            macsim::disposeToolboxWindow(w);
        handlers_.clear();
        timers_.clear();
        windows_.clear();
    }

    static macsim::WindowServer& server() { return macsim::WindowServer::shared(); }
    FakeFrontEnd& fake() { return *fake_; }

    static macsim::Control button(std::uint32_t signature, bool isDefault = false,
                                  bool isCancel = false) {
        macsim::Control c;
        c.kind = macsim::ControlKind::PushButton;
        c.signature = signature;
        c.isDefault = isDefault;
        c.isCancel = isCancel;
        return c;
    }
    static macsim::Control slider(std::uint32_t signature, int minimum, int maximum) {
        macsim::Control c;
        c.kind = macsim::ControlKind::Slider;
        c.signature = signature;
        c.minimum = c.value = minimum;
        c.maximum = maximum;
        return c;
    }

    WindowRef makeWindow(const std::string& name, std::vector<macsim::Control> controls = {},
                         macsim::StandardHandler standard = macsim::StandardHandler::No) {
        macsim::Window w;
        w.name = name;
        const macsim::Id id = macsim::createToolboxWindow(w, std::move(controls), standard);
        windows_.push_back(id);
        return macsim::windowRef(id);
    }

    static macsim::Id control(WindowRef window, std::uint32_t signature) {
        return server().findControlBySignature(macsim::idOf(window), signature);
    }

    void install(EventTargetRef target, EventHandlerUPP proc, std::vector<EventTypeSpec> types,
                 void* userData) {
        EventHandlerRef ref = nullptr;
        ASSERT_EQ(
            InstallEventHandler(target, proc, UInt32(types.size()), types.data(), userData, &ref),
            noErr);
        handlers_.push_back(ref);
    }

    EventLoopTimerRef installTimer(double delay, double interval, EventLoopTimerUPP proc,
                                   void* userData) {
        EventLoopTimerRef t = nullptr;
        EXPECT_EQ(InstallEventLoopTimer(GetCurrentEventLoop(), delay, interval, proc, userData, &t),
                  noErr);
        timers_.push_back(t);
        return t;
    }

    static macsim::Action clickOn(macsim::Id control) {
        macsim::Action a;
        a.kind = macsim::Action::Kind::Click;
        a.control = control;
        a.window = server().control(control) ? server().control(control)->window : 0;
        return a;
    }
    static macsim::Action closeBoxOf(WindowRef window) {
        macsim::Action a;
        a.kind = macsim::Action::Kind::Close;
        a.window = macsim::idOf(window);
        return a;
    }
    static macsim::Action menuCommand(std::uint32_t command) {
        macsim::Action a;
        a.kind = macsim::Action::Kind::MenuCommand;
        a.command = command;
        return a;
    }

private:
    FakeFrontEnd* fake_ = nullptr;
    std::vector<macsim::Id> windows_;
    std::vector<EventHandlerRef> handlers_;
    std::vector<EventLoopTimerRef> timers_;
};

} // namespace kreloed::test
