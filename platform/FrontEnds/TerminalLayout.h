// What the terminal front end puts on screen, worked out from the window server's model without
// curses: the menu bar, an open menu, the windows and alerts as boxes, the system log panel and
// the help line, each at its place on a screen of rows x cols cells, plus the regions that take a
// mouse click. The curses side only paints a Scene; tests can look at one directly.
#pragma once

#include <macsim/FrontEnd.h>
#include <macsim/WindowServer.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace macsim::terminal {

// What the person is doing that the model does not hold.
struct UiState {
    enum class Open { None, AppMenu, StatusMenu };
    Open open = Open::None;
    std::size_t menu = 0;   // index into the menu bar, or into the status items
    int row = -1;           // the highlighted row of the open menu
    std::map<Id, Id> focus; // window -> its focused control
    bool showLog = false;
    std::vector<std::string> logLines; // the system log's last lines, oldest first
    std::string message;               // one line above the help line; empty when none
};

enum Style : unsigned {
    Plain = 0,
    Reverse = 1u << 0,
    Bold = 1u << 1,
    Dim = 1u << 2,
    Underline = 1u << 3,
};

// A box: its border, and its inside cleared so that what lies behind does not show through.
struct Frame {
    int y = 0, x = 0, height = 0, width = 0;
    unsigned style = Plain;
};
// A horizontal line inside a box (a menu separator), joined to the box's sides.
struct Rule {
    int y = 0, x = 0, width = 0;
};
struct TextRun {
    int y = 0, x = 0;
    std::string text; // printable ASCII (see screenText)
    unsigned style = Plain;
};
using Paint = std::variant<Frame, Rule, TextRun>;

// A region that takes a click.
struct Hit {
    enum class Kind { MenuTitle, StatusTitle, MenuRow, Control, CloseBox, Window };
    Kind kind = Kind::Window;
    int y = 0, x = 0, height = 1, width = 1;
    std::size_t index = 0; // MenuTitle: menu; StatusTitle: status item; MenuRow: row
    Id id = 0;             // Control: control; CloseBox, Window: window

    bool contains(int row, int col) const {
        return row >= y && row < y + height && col >= x && col < x + width;
    }
};

struct Scene {
    int rows = 0, cols = 0;
    std::vector<Paint> paints; // painted in order, later over earlier
    std::vector<Hit> hits;     // front-most last
};

struct LayoutOptions {
    // Without a dim attribute (some terminals lack one) disabled items are shown in parentheses.
    bool dimAvailable = true;
};

Scene layOut(const WindowServer& server, const UiState& ui, const WaitContext& context, int rows,
             int cols, LayoutOptions options = {});

// The window that takes input: the modal loop's window, else the front window (0 when none).
Id inputWindow(const WindowServer& server, const WaitContext& context);

// The window's enabled push buttons and sliders, in the order Tab visits them: as laid out, top
// to bottom and left to right.
std::vector<Id> focusableControls(const WindowServer& server, Id window);

// The control that has the focus in window: the remembered one while it can still take it, else
// the first focusable one (0 when the window has none).
Id focusedControl(const WindowServer& server, const UiState& ui, Id window);

// The rows of the open menu (menu-bar items or status rows) as titles, checks, states.
struct MenuRowView {
    std::string title;
    bool enabled = true, checked = false, separator = false;
};
std::vector<MenuRowView> openMenuRows(const WindowServer& server, const UiState& ui);

// UTF-8 text as printable ASCII, one cell a character: the terminal may have no Unicode and the
// curses library in use counts bytes. Common punctuation gets an ASCII spelling; control
// characters, malformed bytes and anything else unknown become '?', so hostile text can never
// reach the terminal as an escape sequence.
std::string screenText(std::string_view utf8);

// Breaks text into lines of at most width cells, at spaces where it can; line breaks in the
// text ('\r', '\n') are kept.
std::vector<std::string> wrapText(std::string_view text, int width);

} // namespace macsim::terminal
