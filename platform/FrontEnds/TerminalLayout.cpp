#include "TerminalLayout.h"

#include <macsim/TextEncoding.h>

#include <algorithm>
#include <cmath>

namespace macsim::terminal {

namespace {

// Mac windows are measured in pixels; a cell of a terminal is roughly seven pixels of the
// system font wide.
constexpr int kPixelsPerColumn = 7;
// A vertical gap this large between two lines of controls stays visible as an empty row.
constexpr int kPixelGapForBlankRow = 8;
constexpr int kMinWindowWidth = 16;
constexpr int kMinMenuWidth = 12;
constexpr int kMaxSliderWidth = 43;
constexpr int kMaxMessageLines = 3;

// Latin-1 letters U+00C0..U+00FF without their accents.
constexpr std::string_view kLatin1Letters =
    "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";

void appendScreenChar(std::string& out, char32_t c) {
    if (c >= 0x20 && c < 0x7f) {
        out += static_cast<char>(c);
        return;
    }
    switch (c) {
    case U'\t':
    case 0x00a0: // no-break space
        out += ' ';
        return;
    case 0x2026:
        out += "...";
        return;
    case 0x2018:
    case 0x2019:
        out += '\'';
        return;
    case 0x201c:
    case 0x201d:
        out += '"';
        return;
    case 0x2013:
    case 0x2014:
        out += '-';
        return;
    case 0x00a9:
        out += "(c)";
        return;
    case 0x00ae:
        out += "(R)";
        return;
    case 0x2122:
        out += "TM";
        return;
    default:
        break;
    }
    if (c >= 0xc0 && c <= 0xff)
        out += kLatin1Letters[c - 0xc0];
    else
        out += '?';
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

int width(const std::string& text) {
    return static_cast<int>(text.size());
}

std::string padded(std::string text, int cells) {
    if (cells <= 0)
        return {};
    if (width(text) > cells)
        text.resize(static_cast<std::size_t>(cells));
    else
        text.append(static_cast<std::size_t>(cells - width(text)), ' ');
    return text;
}

// Controls of a window in lines: controls whose pixel rows overlap share a line, lines run top
// to bottom and each runs left to right. Controls without bounds get a line each, in item order.
struct ControlLine {
    std::vector<const Control*> controls;
    int top = 0, bottom = 0;
    int gapAbove = 0; // pixels between this line and the one above
};

std::vector<ControlLine> controlLines(const WindowServer& server, const Window& window) {
    std::vector<const Control*> controls;
    for (Id id : window.controls)
        if (const Control* c = server.control(id))
            controls.push_back(c);
    std::stable_sort(controls.begin(), controls.end(), [](const Control* a, const Control* b) {
        return a->bounds.top < b->bounds.top;
    });
    std::vector<ControlLine> lines;
    for (const Control* c : controls) {
        if (!lines.empty() && c->bounds.top < lines.back().bottom &&
            c->bounds.bottom > lines.back().top) {
            lines.back().controls.push_back(c);
            lines.back().bottom = std::max(lines.back().bottom, c->bounds.bottom);
            continue;
        }
        ControlLine line;
        line.controls.push_back(c);
        line.top = c->bounds.top;
        line.bottom = c->bounds.bottom;
        line.gapAbove = lines.empty() ? 0 : c->bounds.top - lines.back().bottom;
        lines.push_back(std::move(line));
    }
    for (ControlLine& line : lines)
        std::stable_sort(
            line.controls.begin(), line.controls.end(),
            [](const Control* a, const Control* b) { return a->bounds.left < b->bounds.left; });
    return lines;
}

bool focusable(const Control& c) {
    return c.enabled && c.kind != ControlKind::StaticText;
}

std::string buttonLabel(const Control& c) {
    const std::string title = screenText(trimmed(c.text));
    return c.isDefault ? "[[ " + title + " ]]" : "[ " + title + " ]";
}

int sliderCells(const Control& c) {
    const long long range = static_cast<long long>(c.maximum) - c.minimum;
    return static_cast<int>(std::clamp<long long>(range + 3, 7, kMaxSliderWidth));
}

int naturalWidth(const Control& c) {
    switch (c.kind) {
    case ControlKind::PushButton:
        return width(buttonLabel(c));
    case ControlKind::Slider:
        return sliderCells(c);
    case ControlKind::StaticText: {
        int longest = 0;
        for (const std::string& line : wrapText(screenText(c.text), 1 << 20))
            longest = std::max(longest, width(line));
        return std::max(longest, 1);
    }
    }
    return 1;
}

std::string sliderTrack(const Control& c, int cells) {
    if (cells < 3)
        return std::string(static_cast<std::size_t>(std::max(cells, 0)), '#');
    std::string track = "[" + std::string(static_cast<std::size_t>(cells - 2), '-') + "]";
    const long long range = static_cast<long long>(c.maximum) - c.minimum;
    const long long steps = cells - 3;
    const long long knob =
        range > 0 ? ((static_cast<long long>(c.value) - c.minimum) * steps + range / 2) / range : 0;
    track[static_cast<std::size_t>(1 + std::clamp<long long>(knob, 0, steps))] = '#';
    return track;
}

// One control at its place inside the window's content area.
struct PlacedControl {
    const Control* control = nullptr;
    int row = 0, col = 0, width = 0;
    std::vector<std::string> lines; // what it shows, one string a screen row
};

struct WindowPlan {
    int width = 0, height = 0;
    std::vector<PlacedControl> controls;
};

int pixelWidth(const Window& window, const std::vector<ControlLine>& lines) {
    int pw = window.bounds.right - window.bounds.left;
    if (pw > 0)
        return pw;
    for (const ControlLine& line : lines)
        for (const Control* c : line.controls)
            pw = std::max(pw, c->bounds.right + 20);
    return pw;
}

WindowPlan planWindow(const WindowServer& server, const Window& window, int cols) {
    const std::vector<ControlLine> lines = controlLines(server, window);
    const int pw = pixelWidth(window, lines);
    const auto scale = [pw](int pixels, int cells) {
        return pw > 0 ? static_cast<int>(std::lround(static_cast<double>(pixels) * cells / pw)) : 0;
    };

    // As wide as its widest line of controls wants, its pixel width, and its title.
    constexpr int kWidestWrappedText = 60;
    int need = 0;
    for (const ControlLine& line : lines) {
        int sum = -1;
        for (const Control* c : line.controls)
            sum += 1 + (c->kind == ControlKind::StaticText
                            ? std::min(naturalWidth(*c), kWidestWrappedText)
                            : naturalWidth(*c));
        need = std::max(need, sum);
    }
    need = std::max({need, pw / kPixelsPerColumn, width(screenText(window.title)) + 10});
    WindowPlan plan;
    plan.width = std::clamp(need + 4, std::min(kMinWindowWidth, cols), std::max(cols, 1));
    const int inner = std::max(plan.width - 4, 1);

    int row = 0;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const ControlLine& line = lines[l];
        if (l > 0 && line.gapAbove >= kPixelGapForBlankRow)
            ++row;
        int height = 1;
        int nextCol = 0;
        for (std::size_t i = 0; i < line.controls.size(); ++i) {
            const Control& c = *line.controls[i];
            int reserve = 0; // room kept for the controls to its right
            for (std::size_t j = i + 1; j < line.controls.size(); ++j)
                reserve += 1 + std::min(naturalWidth(*line.controls[j]), inner / 4 + 1);
            PlacedControl placed;
            placed.control = &c;
            placed.row = row;
            placed.col = std::min(std::max(scale(c.bounds.left, inner), nextCol), inner - 1);
            const int room = std::max(1, inner - placed.col - reserve);
            const int spanned = scale(c.bounds.right - c.bounds.left, inner);
            switch (c.kind) {
            case ControlKind::PushButton:
                placed.width = std::min(naturalWidth(c), std::max(1, inner - placed.col));
                placed.lines = {buttonLabel(c).substr(0, static_cast<std::size_t>(placed.width))};
                break;
            case ControlKind::Slider:
                placed.width = std::min(std::max(naturalWidth(c), spanned), room);
                placed.lines = {sliderTrack(c, placed.width)};
                break;
            case ControlKind::StaticText:
                placed.width = std::min(std::max(naturalWidth(c), spanned), room);
                placed.lines = wrapText(screenText(c.text), placed.width);
                break;
            }
            height = std::max(height, static_cast<int>(placed.lines.size()));
            nextCol = placed.col + placed.width + 1;
            plan.controls.push_back(std::move(placed));
        }
        row += height;
    }
    plan.height = row + 4; // border and a blank row inside it, above and below
    return plan;
}

struct MenuBarPlace {
    int x = 0, width = 0;
};

} // namespace

std::string screenText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        if (const auto c = decodeUtf8(utf8, pos)) {
            appendScreenChar(out, *c);
        } else {
            out += '?';
            ++pos;
        }
    }
    return out;
}

std::vector<std::string> wrapText(std::string_view text, int cells) {
    cells = std::max(cells, 1);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find_first_of("\r\n", start);
        const std::string_view paragraph = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        std::string line;
        std::size_t pos = 0;
        bool any = false;
        while (pos < paragraph.size()) {
            if (paragraph[pos] == ' ') {
                ++pos;
                continue;
            }
            std::size_t wordEnd = paragraph.find(' ', pos);
            if (wordEnd == std::string_view::npos)
                wordEnd = paragraph.size();
            std::string_view word = paragraph.substr(pos, wordEnd - pos);
            pos = wordEnd;
            while (!word.empty()) {
                const int room = line.empty() ? cells : cells - width(line) - 1;
                if (static_cast<int>(word.size()) <= room) {
                    if (!line.empty())
                        line += ' ';
                    line += word;
                    word = {};
                } else if (line.empty()) {
                    line = word.substr(0, static_cast<std::size_t>(cells));
                    word.remove_prefix(static_cast<std::size_t>(cells));
                    lines.push_back(std::move(line));
                    line.clear();
                } else {
                    lines.push_back(std::move(line));
                    line.clear();
                }
            }
            any = true;
        }
        if (!line.empty() || !any)
            lines.push_back(std::move(line));
        if (end == std::string_view::npos)
            break;
        // "\r\n" is one break.
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

Id inputWindow(const WindowServer& server, const WaitContext& context) {
    if (context.modalWindow != 0) {
        const Window* w = server.window(context.modalWindow);
        return w && w->visible ? context.modalWindow : 0;
    }
    return server.frontWindow();
}

std::vector<Id> focusableControls(const WindowServer& server, Id windowId) {
    std::vector<Id> ids;
    if (const Window* window = server.window(windowId))
        for (const ControlLine& line : controlLines(server, *window))
            for (const Control* c : line.controls)
                if (focusable(*c))
                    ids.push_back(c->id);
    return ids;
}

Id focusedControl(const WindowServer& server, const UiState& ui, Id window) {
    const std::vector<Id> ids = focusableControls(server, window);
    if (ids.empty())
        return 0;
    if (const auto it = ui.focus.find(window); it != ui.focus.end())
        if (std::find(ids.begin(), ids.end(), it->second) != ids.end())
            return it->second;
    return ids.front();
}

std::vector<MenuRowView> openMenuRows(const WindowServer& server, const UiState& ui) {
    std::vector<MenuRowView> rows;
    if (ui.open == UiState::Open::AppMenu) {
        const auto& menus = server.menuBar();
        if (ui.menu < menus.size())
            for (const MenuItem& item : menus[ui.menu].items)
                rows.push_back({item.title, item.enabled, item.checked, item.separator});
    } else if (ui.open == UiState::Open::StatusMenu) {
        const std::vector<Id> items = server.statusItems();
        if (ui.menu < items.size())
            if (const StatusItem* item = server.statusItem(items[ui.menu]))
                for (const StatusRow& row : item->rows)
                    rows.push_back({row.title, row.enabled, row.checked, row.separator});
    }
    return rows;
}

namespace {

class SceneBuilder {
public:
    SceneBuilder(const WindowServer& server, const UiState& ui, const WaitContext& context,
                 int rows, int cols, LayoutOptions options)
        : server_(server), ui_(ui), context_(context), options_(options) {
        scene_.rows = std::max(rows, 1);
        scene_.cols = std::max(cols, 1);
        input_ = inputWindow(server, context);
    }

    Scene build() {
        menuBar();
        windows();
        logPanel();
        openMenu();
        bottomLines();
        return std::move(scene_);
    }

private:
    int rows() const { return scene_.rows; }
    int cols() const { return scene_.cols; }

    void text(int y, int x, std::string s, unsigned style) {
        scene_.paints.push_back(TextRun{y, x, std::move(s), style});
    }
    void cover(int y, int x, int height, int width) {
        scene_.hits.push_back(Hit{Hit::Kind::Window, y, x, height, width, 0, 0});
    }

    void menuBar() {
        text(0, 0, std::string(static_cast<std::size_t>(cols()), ' '), Reverse);
        // Status items from the right end, the last one rightmost.
        const std::vector<Id> items = server_.statusItems();
        int right = cols();
        std::vector<MenuBarPlace> statusPlaces(items.size());
        for (std::size_t i = items.size(); i-- > 0;) {
            const StatusItem* item = server_.statusItem(items[i]);
            const std::string title = " " + screenText(item ? item->title : "") + " ";
            statusPlaces[i] = {std::max(right - width(title), 0), width(title)};
            right = statusPlaces[i].x;
            const bool open = ui_.open == UiState::Open::StatusMenu && ui_.menu == i;
            text(0, statusPlaces[i].x, title, open ? Plain : Reverse);
            scene_.hits.push_back(
                Hit{Hit::Kind::StatusTitle, 0, statusPlaces[i].x, 1, width(title), i, items[i]});
        }
        // The application's menus from the left, as far as the status items leave room.
        const auto& menus = server_.menuBar();
        int x = 1;
        for (std::size_t i = 0; i < menus.size(); ++i) {
            std::string title = " " + screenText(menus[i].title) + " ";
            const int room = right - 1 - x;
            placesOfMenus_.push_back({std::min(x, std::max(right - 1, 0)), width(title)});
            if (room <= 0)
                continue;
            if (width(title) > room)
                title.resize(static_cast<std::size_t>(room));
            const bool open = ui_.open == UiState::Open::AppMenu && ui_.menu == i;
            text(0, x, title, open ? Plain : Reverse);
            scene_.hits.push_back(Hit{Hit::Kind::MenuTitle, 0, x, 1, width(title), i, 0});
            x += width(title);
        }
        statusPlaces_ = std::move(statusPlaces);
    }

    void windows() {
        if (rows() < 3)
            return; // no room between the menu bar and the help line
        // Back to front, so that the front window is painted last.
        std::vector<Id> ids = server_.windowsFrontToBack();
        std::reverse(ids.begin(), ids.end());
        std::vector<std::pair<int, int>> origins;
        for (Id id : ids) {
            const Window* w = server_.window(id);
            if (w && w->visible)
                window(*w, origins);
        }
    }

    void window(const Window& w, std::vector<std::pair<int, int>>& origins) {
        const WindowPlan plan = planWindow(server_, w, cols());
        const int areaTop = 1, areaHeight = std::max(rows() - 2, 1);
        const int height = std::min(plan.height, areaHeight);
        int y = areaTop + std::max(0, (areaHeight - height) / 2);
        int x = std::max(0, (cols() - plan.width) / 2);
        // Windows that would open on top of each other step down and right, as stacked windows do.
        while (std::find(origins.begin(), origins.end(), std::pair{y, x}) != origins.end()) {
            y = std::min(y + 1, std::max(areaTop, areaTop + areaHeight - height));
            x = std::min(x + 2, std::max(0, cols() - plan.width));
            if (std::find(origins.begin(), origins.end(), std::pair{y, x}) != origins.end() &&
                y + height >= areaTop + areaHeight && x + plan.width >= cols())
                break;
        }
        origins.emplace_back(y, x);

        const bool active = w.id == input_;
        const unsigned borderStyle = active ? Bold : (options_.dimAvailable ? Dim : Plain);
        scene_.paints.push_back(Frame{y, x, height, plan.width, borderStyle});
        cover(y, x, height, plan.width);

        int titleRoom = plan.width - 4;
        int titleLeft = x + 2;
        if (w.hasCloseBox && plan.width >= 8) {
            text(y, x + 2, "[x]", borderStyle);
            scene_.hits.push_back(Hit{Hit::Kind::CloseBox, y, x + 2, 1, 3, 0, w.id});
            titleLeft = x + 6;
            titleRoom = plan.width - 12;
        }
        std::string title = screenText(w.title);
        if (!title.empty() && titleRoom > 2) {
            title = " " + title.substr(0, static_cast<std::size_t>(titleRoom - 2)) + " ";
            const int centred = x + (plan.width - width(title)) / 2;
            text(y, std::max(centred, titleLeft), title, active ? Reverse : Plain);
        }

        const Id focus = active ? focusedControl(server_, ui_, w.id) : 0;
        const int top = y + 2, left = x + 2, bottom = y + height - 1;
        for (const PlacedControl& placed : plan.controls) {
            const Control& c = *placed.control;
            unsigned style = Plain;
            if (!c.enabled && options_.dimAvailable)
                style |= Dim;
            if (c.kind == ControlKind::StaticText) {
                if (c.face & 1)
                    style |= Bold;
                if (c.face & 4)
                    style |= Underline;
            }
            if (c.kind == ControlKind::PushButton && c.isDefault)
                style |= Bold;
            if (c.id == focus)
                style |= Reverse;
            int shown = 0;
            for (std::size_t i = 0; i < placed.lines.size(); ++i) {
                const int row = top + placed.row + static_cast<int>(i);
                if (row >= bottom)
                    break;
                text(row, left + placed.col, placed.lines[i], style);
                ++shown;
            }
            if (shown > 0 && c.kind != ControlKind::StaticText)
                scene_.hits.push_back(Hit{Hit::Kind::Control, top + placed.row, left + placed.col,
                                          shown, placed.width, 0, c.id});
        }
    }

    void logPanel() {
        if (!ui_.showLog || rows() < 8)
            return;
        const int height = std::clamp(rows() / 3, 3, 12);
        const int y = rows() - 1 - static_cast<int>(messageLines().size()) - height;
        if (y < 1)
            return;
        scene_.paints.push_back(Frame{y, 0, height, cols(), Plain});
        cover(y, 0, height, cols());
        if (cols() > 16)
            text(y, 2, " System log ", Bold);
        if (ui_.logLines.empty())
            text(y + 1, 2, "(nothing in the log)", options_.dimAvailable ? Dim : Plain);
        const int shown = height - 2;
        const std::size_t first =
            ui_.logLines.size() > static_cast<std::size_t>(shown) ? ui_.logLines.size() - shown : 0;
        for (std::size_t i = first; i < ui_.logLines.size(); ++i)
            text(y + 1 + static_cast<int>(i - first), 2,
                 screenText(ui_.logLines[i])
                     .substr(0, static_cast<std::size_t>(std::max(cols() - 4, 0))),
                 Plain);
    }

    void openMenu() {
        if (ui_.open == UiState::Open::None)
            return;
        const std::vector<MenuRowView> rowsOfMenu = openMenuRows(server_, ui_);
        MenuBarPlace place;
        if (ui_.open == UiState::Open::AppMenu && ui_.menu < placesOfMenus_.size())
            place = placesOfMenus_[ui_.menu];
        else if (ui_.open == UiState::Open::StatusMenu && ui_.menu < statusPlaces_.size())
            place = statusPlaces_[ui_.menu];
        else
            return;
        const int n = static_cast<int>(rowsOfMenu.size());
        const int visible = std::min(n, rows() - 4); // below the bar, above the help line
        if (visible <= 0)
            return;
        int widest = 0;
        for (const MenuRowView& r : rowsOfMenu)
            widest = std::max(widest, width(rowText(r)));
        const int boxWidth = std::min(std::max(widest + 2, kMinMenuWidth), cols());
        const int x = std::max(0, std::min(place.x, cols() - boxWidth));
        const int first = std::clamp(ui_.row - visible / 2, 0, n - visible);
        scene_.paints.push_back(Frame{1, x, visible + 2, boxWidth, Plain});
        cover(1, x, visible + 2, boxWidth);
        for (int i = 0; i < visible; ++i) {
            const int r = first + i;
            const MenuRowView& row = rowsOfMenu[static_cast<std::size_t>(r)];
            if (row.separator) {
                scene_.paints.push_back(Rule{2 + i, x, boxWidth});
                continue;
            }
            unsigned style = Plain;
            if (r == ui_.row)
                style |= Reverse;
            if (!row.enabled && options_.dimAvailable)
                style |= Dim;
            text(2 + i, x + 1, padded(rowText(row), boxWidth - 2), style);
            scene_.hits.push_back(Hit{Hit::Kind::MenuRow, 2 + i, x + 1, 1, boxWidth - 2,
                                      static_cast<std::size_t>(r), 0});
        }
    }

    std::string rowText(const MenuRowView& row) const {
        std::string title = screenText(row.title);
        if (!row.enabled && !options_.dimAvailable)
            title = "(" + title + ")";
        return std::string(row.checked ? " * " : "   ") + title + " ";
    }

    std::vector<std::string> messageLines() const {
        std::vector<std::string> lines;
        const std::string message = screenText(ui_.message);
        for (std::size_t pos = 0; pos < message.size() && lines.size() < kMaxMessageLines;
             pos += static_cast<std::size_t>(cols()))
            lines.push_back(message.substr(pos, static_cast<std::size_t>(cols())));
        return lines;
    }

    // Only the keys that work now, so that the line fits a narrow terminal.
    std::string helpText() const {
        if (ui_.open != UiState::Open::None)
            return " Up/Down:move  Left/Right:next menu  Return:choose  Esc:close  l:log";
        const bool modal = context_.modalWindow != 0;
        if (input_ == 0)
            return modal ? " l:system log"
                         : " F10/m:menus  s:status menu  l:system log  (quit is in the menus)";
        std::string help = " Tab:next";
        if (const Control* focus = server_.control(focusedControl(server_, ui_, input_))) {
            if (focus->kind == ControlKind::Slider)
                help += "  Left/Right:move slider";
            else
                help += "  Space:press";
        }
        help += "  Return:default  Esc:cancel";
        if (const Window* w = server_.window(input_); w && w->hasCloseBox)
            help += "  w:close";
        if (!modal)
            help += "  m:menus  s:status";
        return help + "  l:log";
    }

    void bottomLines() {
        if (rows() < 2)
            return;
        const std::vector<std::string> message = messageLines();
        int y = rows() - 1 - static_cast<int>(message.size());
        for (const std::string& line : message) {
            if (y >= 1) {
                text(y, 0, padded(line, cols()), Bold);
                cover(y, 0, 1, cols());
            }
            ++y;
        }
        text(rows() - 1, 0, padded(helpText(), cols()), Reverse);
        cover(rows() - 1, 0, 1, cols());
    }

    const WindowServer& server_;
    const UiState& ui_;
    const WaitContext& context_;
    LayoutOptions options_;
    Id input_ = 0;
    Scene scene_;
    std::vector<MenuBarPlace> placesOfMenus_, statusPlaces_;
};

} // namespace

Scene layOut(const WindowServer& server, const UiState& ui, const WaitContext& context, int rows,
             int cols, LayoutOptions options) {
    return SceneBuilder(server, ui, context, rows, cols, options).build();
}

} // namespace macsim::terminal
