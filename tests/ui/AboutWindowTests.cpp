// The About window: hidden on close and shown again as the same window, and its button opening
// the maker's web page once a hit.
#include "AppHarness.h"
#include "Core.h"
#include "UI.h"

#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

namespace kreloed::test {
namespace {

const char kMakersPage[] = "https://kreloed.example.org/";

class AboutWindow : public ::testing::Test {
protected:
    void SetUp() override { resetApplication(); }

    static ControlRef control(OSType signature) {
        const ControlID id = {signature, 0};
        ControlRef found = nullptr;
        EXPECT_EQ(GetControlByID(infoWind, &id, &found), noErr);
        return found;
    }
    static std::size_t urlCount() { return macsim::WindowServer::shared().urls().size(); }
};

TEST_F(AboutWindow, ClosingHidesItAndAboutShowsTheSameWindowAgain) {
    const auto states = withScript("menu ABOU\ndump\nclose\ndump\nmenu ABOU\ndump\nmenu quit\n",
                                   [] { RunApplicationEventLoop(); });
    ASSERT_EQ(states.size(), 3u);
    std::vector<bool> visible;
    for (const auto& state : states) {
        const auto windows = windowsNamed(state, "Window");
        ASSERT_EQ(windows.size(), 1u);
        EXPECT_EQ(windows[0]["window"], std::uintptr_t(infoWind));
        visible.push_back(windows[0]["visible"]);
    }
    EXPECT_EQ(visible, (std::vector<bool>{true, false, true}));
}

TEST_F(AboutWindow, EachHitOnTheButtonOpensThePageOnce) {
    const std::size_t before = urlCount();
    withScript("menu ABOU\nclick dona\nclick dona\nmenu quit\n", [] { RunApplicationEventLoop(); });
    const auto& urls = macsim::WindowServer::shared().urls();
    ASSERT_EQ(urls.size(), before + 2);
    EXPECT_EQ(urls[before], kMakersPage);
    EXPECT_EQ(urls[before + 1], kMakersPage);
    EXPECT_EQ(err, noErr);
}

TEST_F(AboutWindow, EveryListedEventIsHandledAndOnlyTheButtonOpensThePage) {
    struct Row {
        const char* name;
        EventKind kind;
        ControlRef control;
        std::size_t urls;
        OSStatus err;
    };
    const Row rows[] = {
        {"hit on the button", kEventControlHit, control('dona'), 1, noErr},
        {"click on the button", kEventControlClick, control('dona'), 0, noErr},
        {"hit on a text", kEventControlHit, control('name'), 0, noErr},
        // A control whose ID cannot be read is not taken for the button.
        {"hit without a control", kEventControlHit, nullptr, 0, errUnknownControl},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        err = noErr;
        const std::size_t before = urlCount();
        EXPECT_EQ(sendControlEvent(infoWind, row.kind, row.control), noErr);
        EXPECT_EQ(urlCount(), before + row.urls);
        EXPECT_EQ(err, row.err);
    }

    EventRef update = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kEventWindowUpdate, 0, kEventAttributeNone, &update);
    EXPECT_EQ(myAboutWinEvtHndlr(nullptr, update, nullptr), noErr);
    ReleaseEvent(update);
}

} // namespace
} // namespace kreloed::test
