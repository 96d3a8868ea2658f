// The terminal screen as laid out from the model: where the menu bar, the status item, menus,
// windows and alerts land, and what they show.
#include "TerminalFixture.h"

namespace kreloed::test {
namespace {

using terminal::Style;

class TerminalLayout : public TerminalFixture {};

TEST_F(TerminalLayout, MenuBarHasTheMenusLeftAndTheStatusTitleAtTheRightEnd) {
    addMenuBar();
    addStatusItem("1000");
    const auto rows = picture(layOut());
    EXPECT_EQ(rows[0].find("Kreloed"), 2u) << rows[0];
    EXPECT_LT(rows[0].find("Kreloed"), rows[0].find("Speed"));
    // The bare number, one blank from the right edge.
    EXPECT_EQ(rows[0].substr(94), " 1000 ") << rows[0];
    EXPECT_EQ(rows[0].find("MHz"), std::string::npos);
}

TEST_F(TerminalLayout, StatusMenuDropsDownWithItsElevenRowsChecksAndDimmedItems) {
    addStatusItem("1000");
    ui.open = terminal::UiState::Open::StatusMenu;
    ui.row = 5;
    const terminal::Scene scene = layOut();
    const auto rows = picture(scene);
    const int about = rowWith(rows, "About Kreloed");
    const int quit = rowWith(rows, "Quit");
    ASSERT_GT(about, 0);
    EXPECT_EQ(quit - about + 1, 11);
    // The box stays on screen although the item sits at the right edge.
    EXPECT_NE(rows[static_cast<std::size_t>(about)].find("About Kreloed"), std::string::npos);
    EXPECT_EQ(rows[static_cast<std::size_t>(about + 1)].find_first_not_of("+- "), std::string::npos)
        << "a separator row";
    EXPECT_NE(rows[static_cast<std::size_t>(rowWith(rows, "Set system default"))].find(
                  "* Set system default CPU speed"),
              std::string::npos);
    EXPECT_TRUE(runWith(scene, "Set user-defined CPU speed ...")->style & Style::Reverse);
    EXPECT_TRUE(runWith(scene, "Always load Krelo.kext")->style & Style::Dim);
    EXPECT_FALSE(runWith(scene, "Quit")->style & Style::Dim);

    // Without a dim attribute, a disabled item still looks disabled.
    const auto plain = picture(layOut({}, 30, 100, {.dimAvailable = false}));
    EXPECT_NE(rowWith(plain, "(Always load Krelo.kext at launch)"), -1);
    EXPECT_EQ(rowWith(plain, "(Quit)"), -1);
}

TEST_F(TerminalLayout, DialogShowsTitleSliderPositionButtonsAndFocus) {
    const Id dialog = addPrefsDialog(1);
    const terminal::Scene scene = layOut();
    const auto rows = picture(scene);
    const int title = rowWith(rows, " User-defined CPU speed ");
    ASSERT_NE(title, -1);
    EXPECT_TRUE(runWith(scene, "User-defined CPU speed")->style & Style::Reverse)
        << "the front window's title stands out";
    // Labels sharing a line in the nib share a row on screen, in their order.
    const int label = rowWith(rows, "System default speed (MHz):");
    EXPECT_EQ(label, rowWith(rows, "1000"));
    EXPECT_LT(title, label);
    // Buttons share their row: Cancel left of the default button, which looks like one.
    const int buttons = rowWith(rows, "[ Cancel ]");
    ASSERT_NE(buttons, -1);
    EXPECT_LT(rows[static_cast<std::size_t>(buttons)].find("[ Cancel ]"),
              rows[static_cast<std::size_t>(buttons)].find("[[ OK ]]"));
    // The slider at its minimum; it has the focus (first in reading order).
    const terminal::TextRun* slider = runWith(scene, "[#");
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->text.find_first_not_of("[-#]"), std::string::npos) << slider->text;
    EXPECT_TRUE(slider->style & Style::Reverse);
    EXPECT_EQ(terminal::focusedControl(server, ui, dialog), control(dialog, kSlider));
    // No close box on a dialog that has none.
    EXPECT_EQ(rowWith(rows, "[x]"), -1);
}

TEST_F(TerminalLayout, SliderKnobFollowsTheValue) {
    const Id dialog = addPrefsDialog();
    struct Row {
        const char* name;
        int value;
        double position; // 0 at the left end of the track, 1 at the right
    } table[] = {{"minimum", 1, 0.0}, {"middle", 11, 0.5}, {"maximum", 21, 1.0}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        server.setControlValue(control(dialog, kSlider), row.value);
        const terminal::Scene scene = layOut();
        const terminal::TextRun* slider = runWith(scene, "#");
        ASSERT_NE(slider, nullptr);
        const auto steps = static_cast<double>(slider->text.size() - 3);
        EXPECT_NEAR(static_cast<double>(slider->text.find('#') - 1) / steps, row.position, 0.03);
        EXPECT_EQ(std::count(slider->text.begin(), slider->text.end(), '#'), 1);
    }
}

TEST_F(TerminalLayout, AlertKeepsTheResourceOrderTopToBottom) {
    addAlert("Can't create bundle");
    const auto rows = picture(layOut());
    const int heading = rowWith(rows, "Error");
    const int message = rowWith(rows, "Can't create bundle");
    const int buttons = rowWith(rows, "[[ OK ]]");
    ASSERT_NE(heading, -1);
    EXPECT_LT(heading, message);
    EXPECT_LT(message, buttons);
    EXPECT_EQ(buttons, rowWith(rows, "[ Cancel ]"));
}

TEST_F(TerminalLayout, BackWindowIsCoveredAndStackedWindowsStepAside) {
    const Id first = addAlert("first");
    const Id second = addAlert("second");
    const terminal::Scene scene = layOut();
    std::vector<terminal::Frame> frames;
    for (const terminal::Paint& p : scene.paints)
        if (const auto* f = std::get_if<terminal::Frame>(&p))
            frames.push_back(*f);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NE(std::pair(frames[0].y, frames[0].x), std::pair(frames[1].y, frames[1].x));
    // The front one is painted last, in bold; the one behind is dimmed.
    EXPECT_TRUE(frames[1].style & Style::Bold);
    EXPECT_TRUE(frames[0].style & Style::Dim);
    EXPECT_EQ(server.frontWindow(), second);
    // Its message is hidden under the front alert.
    EXPECT_EQ(rowWith(picture(scene), "first"), -1);
    server.showWindow(second, false);
    EXPECT_NE(rowWith(picture(layOut()), "first"), -1);
    (void)first;
}

TEST_F(TerminalLayout, LongTextWrapsInsideItsWindow) {
    const std::string words =
        "Kreloed cannot change the processor speed: its helper tool loader is missing from the "
        "application's Resources folder. Please install Kreloed again.";
    addAlert(words);
    const terminal::Scene scene = layOut({}, 30, 60);
    const auto rows = picture(scene);
    const int first = rowWith(rows, "Kreloed cannot");
    const int last = rowWith(rows, "install Kreloed again.");
    ASSERT_NE(first, -1);
    ASSERT_NE(last, -1);
    EXPECT_GT(last, first);
    for (const auto& row : rows)
        EXPECT_LE(row.size(), 60u);
}

TEST_F(TerminalLayout, EveryScreenSizeStaysOnScreen) {
    addMenuBar();
    addStatusItem("1000");
    addPrefsDialog();
    ui.open = terminal::UiState::Open::StatusMenu;
    ui.row = 0;
    ui.showLog = true;
    ui.logLines = {"one", "two"};
    ui.message = std::string(500, 'x');
    struct Row {
        const char* name;
        int rows, cols;
    } table[] = {{"one cell", 1, 1}, {"one line", 1, 80}, {"narrow", 30, 8},  {"short", 4, 100},
                 {"small", 10, 30},  {"classic", 24, 80}, {"large", 60, 250}, {"zero", 0, 0}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const terminal::Scene scene = layOut({}, row.rows, row.cols);
        for (const terminal::Paint& p : scene.paints) {
            if (const auto* t = std::get_if<terminal::TextRun>(&p)) {
                EXPECT_GE(t->y, 0);
                EXPECT_LT(t->y, scene.rows);
                EXPECT_GE(t->x, 0);
            } else if (const auto* f = std::get_if<terminal::Frame>(&p)) {
                EXPECT_GE(f->y, 0);
                EXPECT_GE(f->x, 0);
                EXPECT_LE(f->x + f->width, scene.cols);
                EXPECT_LE(f->y + f->height, scene.rows);
            }
        }
        if (row.cols >= 10 && row.rows >= 1) {
            EXPECT_NE(picture(scene)[0].find("1000"), std::string::npos) << "the speed stays";
        }
    }
}

TEST_F(TerminalLayout, HelpLineNamesTheKeysThatWorkNow) {
    addStatusItem();
    struct Row {
        const char* name;
        bool dialog, modal;
        std::vector<std::string> shown, hidden;
    } table[] = {
        {"idle", false, false, {"m:menus", "s:status menu", "l:system log"}, {"Tab"}},
        {"window", true, false, {"Tab:next", "Left/Right:move slider", "s:status"}, {"w:close"}},
        {"modal", true, true, {"Tab:next", "Esc:cancel"}, {"s:status", "m:menus"}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        macsim::WaitContext context;
        Id dialog = 0;
        if (row.dialog)
            dialog = addPrefsDialog();
        if (row.modal)
            context.modalWindow = dialog;
        const std::string help = picture(layOut(context)).back();
        for (const std::string& s : row.shown)
            EXPECT_NE(help.find(s), std::string::npos) << help;
        for (const std::string& s : row.hidden)
            EXPECT_EQ(help.find(s), std::string::npos) << help;
        if (dialog)
            server.showWindow(dialog, false);
    }
}

TEST_F(TerminalLayout, LogPanelShowsTheLastLinesAndAddressLineStaysWhole) {
    ui.showLog = true;
    for (int i = 0; i < 40; ++i)
        ui.logLines.push_back("line " + std::to_string(i));
    ui.message = "Open this address in a web browser: http://example.com/kreloed";
    const auto rows = picture(layOut({}, 30, 100));
    EXPECT_NE(rowWith(rows, "System log"), -1);
    EXPECT_NE(rowWith(rows, "line 39"), -1);
    EXPECT_EQ(rowWith(rows, "line 3 "), -1);
    EXPECT_EQ(rowWith(rows, "http://example.com/kreloed"), 28) << "just above the help line";
}

TEST(TerminalText, ScreenTextIsPrintableAscii) {
    struct Row {
        const char* name;
        std::string in, out;
    } table[] = {
        {"ascii", "Set user-defined CPU speed ...", "Set user-defined CPU speed ..."},
        {"ellipsis", "Speed\xE2\x80\xA6", "Speed..."},
        {"accents", "Macintosh HD \xC3\xA9", "Macintosh HD e"},
        {"copyright", "\xC2\xA9 2004", "(c) 2004"},
        {"escape sequence", "a\x1b[2Jb", "a?[2Jb"},
        {"controls", std::string("a\0b\x7f", 4), "a?b?"},
        {"malformed", "a\xC3(\xFF", "a?(?"},
        {"truncated", "ab\xE2\x80", "ab??"},
        {"other script", "\xE6\x97\xA5", "?"},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(terminal::screenText(row.in), row.out);
    }
}

TEST(TerminalText, WrapBreaksAtSpacesKeepsBreaksAndSplitsLongWords) {
    struct Row {
        const char* name;
        std::string in;
        int width;
        std::vector<std::string> out;
    } table[] = {
        {"fits", "two words", 20, {"two words"}},
        {"at a space", "two words", 5, {"two", "words"}},
        {"long word", "abcdefghij", 4, {"abcd", "efgh", "ij"}},
        {"line breaks", "a\rb\r\nc\nd", 10, {"a", "b", "c", "d"}},
        {"empty", "", 10, {""}},
        {"zero width", "ab", 0, {"a", "b"}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(terminal::wrapText(row.in, row.width), row.out);
    }
}

} // namespace
} // namespace kreloed::test
