// A front end driven by the test: a list of steps (user actions, virtual time passing, calls into
// the test) on a virtual clock, recording every wait the event loop makes.
#pragma once

#include <Carbon/Carbon.h>
#include <macsim/FrontEnd.h>
#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace kreloed::test {

class FakeFrontEnd : public macsim::FrontEnd {
public:
    struct Wait {
        std::optional<double> deadline;
        macsim::Id modalWindow;
        double at;
    };

    // Steps.
    void act(macsim::Action action) { steps_.push_back(Step{Step::Act, action, 0, {}}); }
    // Lets virtual time run to `until`, stopping at each timer deadline on the way.
    void waitUntil(double until) { steps_.push_back(Step{Step::WaitUntil, {}, until, {}}); }
    void call(std::function<void()> f) { steps_.push_back(Step{Step::Call, {}, 0, std::move(f)}); }
    void quit() {
        call([] { QuitApplicationEventLoop(); });
    }

    // How late the front end wakes up for a deadline (a busy machine).
    double lateness = 0;
    double clock = 0;
    std::vector<Wait> waits;

    bool done() const { return steps_.empty(); }

    double now() override { return clock; }

    std::optional<macsim::Action> waitForAction(std::optional<double> deadline,
                                                const macsim::WaitContext& context) override {
        waits.push_back(Wait{deadline, context.modalWindow, clock});
        for (;;) {
            if (steps_.empty()) {
                ADD_FAILURE() << "the event loop waited after the last step";
                throw std::runtime_error("no more steps");
            }
            Step& step = steps_.front();
            switch (step.kind) {
            case Step::Act: {
                const macsim::Action action = step.action;
                steps_.pop_front();
                return action;
            }
            case Step::WaitUntil:
                if (deadline && *deadline <= step.until) {
                    clock = std::max(clock, *deadline + lateness);
                    return std::nullopt;
                }
                clock = std::max(clock, step.until);
                steps_.pop_front();
                continue;
            case Step::Call: {
                const auto f = std::move(step.call);
                steps_.pop_front();
                f();
                return std::nullopt;
            }
            }
        }
    }

private:
    struct Step {
        enum Kind { Act, WaitUntil, Call } kind;
        macsim::Action action;
        double until;
        std::function<void()> call;
    };
    std::deque<Step> steps_;
};

} // namespace kreloed::test
