#include "TerminalInput.h"

#include <algorithm>

namespace macsim::terminal {

namespace {

constexpr const char* kQuitHint =
    "Quit is in the menus: choose Quit from the status menu (s) or from the menu bar (m).";

bool choosable(const MenuRowView& row) {
    return !row.separator;
}

// The next choosable row from row in direction step (1 or -1), wrapping; -1 when there is none.
int stepRow(const std::vector<MenuRowView>& rows, int row, int step) {
    const int n = static_cast<int>(rows.size());
    for (int i = 1; i <= n; ++i) {
        const int r = ((row + step * i) % n + n) % n;
        if (choosable(rows[static_cast<std::size_t>(r)]))
            return r;
    }
    return -1;
}

int firstRow(const std::vector<MenuRowView>& rows) {
    return stepRow(rows, -1, 1);
}

int lastRow(const std::vector<MenuRowView>& rows) {
    return stepRow(rows, static_cast<int>(rows.size()), -1);
}

std::size_t menuCount(const WindowServer& server, UiState::Open open) {
    return open == UiState::Open::AppMenu ? server.menuBar().size() : server.statusItems().size();
}

class InputHandler {
public:
    InputHandler(const WindowServer& server, UiState& ui, const WaitContext& context,
                 const Scene& scene)
        : server_(server), ui_(ui), context_(context), scene_(scene) {}

    Outcome handle(KeyPress press) {
        if (!ui_.message.empty()) {
            ui_.message.clear();
            out_.redraw = true;
        }
        out_.redraw |= reconcile(server_, ui_, context_);
        if (press.key == Key::ToggleLog) {
            ui_.showLog = !ui_.showLog;
            out_.redraw = true;
        } else if (press.key == Key::Click) {
            click(press.y, press.x);
        } else if (ui_.open != UiState::Open::None) {
            menuKey(press.key);
        } else {
            windowKey(press.key);
        }
        return std::move(out_);
    }

private:
    bool modal() const { return context_.modalWindow != 0; }

    void open(UiState::Open which, std::size_t menu) {
        ui_.open = which;
        ui_.menu = menu;
        ui_.row = firstRow(openMenuRows(server_, ui_));
        out_.redraw = true;
    }

    void closeMenu() {
        ui_.open = UiState::Open::None;
        ui_.row = -1;
        out_.redraw = true;
    }

    // Opens a menu from the menu bar; a menu that is already open closes instead.
    void toggle(UiState::Open which, std::size_t menu) {
        if (modal()) {
            out_.beep = true;
        } else if (ui_.open == which && ui_.menu == menu) {
            closeMenu();
        } else if (menu < menuCount(server_, which)) {
            open(which, menu);
        }
    }

    void choose(int row) {
        const std::vector<MenuRowView> rows = openMenuRows(server_, ui_);
        if (row < 0 || row >= static_cast<int>(rows.size()) ||
            !choosable(rows[static_cast<std::size_t>(row)]))
            return;
        if (!rows[static_cast<std::size_t>(row)].enabled) {
            out_.beep = true;
            return;
        }
        Action action;
        if (ui_.open == UiState::Open::AppMenu) {
            const MenuItem& item = server_.menuBar()[ui_.menu].items[static_cast<std::size_t>(row)];
            action.kind = Action::Kind::MenuCommand;
            action.command = item.command;
        } else {
            action.kind = Action::Kind::StatusRow;
            action.statusItem = server_.statusItems()[ui_.menu];
            action.row = static_cast<std::size_t>(row);
        }
        closeMenu();
        out_.action = action;
    }

    // The menus of the bar in one row: the application's, then the status items.
    void neighbour(int step) {
        const std::size_t apps = server_.menuBar().size();
        const std::size_t total = apps + server_.statusItems().size();
        if (total == 0)
            return;
        const std::size_t at = ui_.open == UiState::Open::AppMenu ? ui_.menu : apps + ui_.menu;
        const std::size_t next = step > 0 ? (at + 1) % total : (at + total - 1) % total;
        if (next < apps)
            open(UiState::Open::AppMenu, next);
        else
            open(UiState::Open::StatusMenu, next - apps);
    }

    void menuKey(Key key) {
        const std::vector<MenuRowView> rows = openMenuRows(server_, ui_);
        switch (key) {
        case Key::Up:
        case Key::Down:
            if (!rows.empty()) {
                ui_.row = stepRow(rows, ui_.row, key == Key::Up ? -1 : 1);
                out_.redraw = true;
            }
            break;
        case Key::Home:
            ui_.row = firstRow(rows);
            out_.redraw = true;
            break;
        case Key::End:
            ui_.row = lastRow(rows);
            out_.redraw = true;
            break;
        case Key::Left:
        case Key::Right:
            neighbour(key == Key::Left ? -1 : 1);
            break;
        case Key::Return:
        case Key::Space:
            choose(ui_.row);
            break;
        case Key::Escape:
            closeMenu();
            break;
        case Key::MenuBar:
            toggle(UiState::Open::AppMenu, 0);
            break;
        case Key::StatusMenu:
            toggle(UiState::Open::StatusMenu, 0);
            break;
        default:
            break;
        }
    }

    void focus(Id window, Id control) {
        if (ui_.focus[window] != control)
            out_.redraw = true;
        ui_.focus[window] = control;
    }

    void moveFocus(Id window, int step) {
        const std::vector<Id> ids = focusableControls(server_, window);
        if (ids.empty())
            return;
        const auto at = std::find(ids.begin(), ids.end(), focusedControl(server_, ui_, window));
        const auto n = static_cast<std::ptrdiff_t>(ids.size());
        const std::ptrdiff_t index = ((at - ids.begin()) + step + n) % n;
        focus(window, ids[static_cast<std::size_t>(index)]);
        out_.redraw = true;
    }

    void setSlider(const Control& slider, std::int64_t value) {
        const auto clamped = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(value, slider.minimum, slider.maximum));
        if (clamped == slider.value)
            return;
        Action action;
        action.kind = Action::Kind::SetSlider;
        action.window = slider.window;
        action.control = slider.id;
        action.value = clamped;
        out_.action = action;
    }

    void press(const Control& button) {
        Action action;
        action.kind = Action::Kind::Click;
        action.window = button.window;
        action.control = button.id;
        out_.action = action;
    }

    void sendKey(Id window, Action::KeyCode code) {
        Action action;
        action.kind = Action::Kind::Key;
        action.window = window;
        action.key = code;
        out_.action = action;
    }

    bool hasDefaultButton(const Window& window) const {
        return server_.keyButton(window.id, WindowServer::KeyButton::Default) != 0;
    }

    void windowKey(Key key) {
        const Id windowId = inputWindow(server_, context_);
        const Window* window = server_.window(windowId);
        const Control* focused = server_.control(focusedControl(server_, ui_, windowId));
        switch (key) {
        case Key::MenuBar:
            toggle(UiState::Open::AppMenu, 0);
            return;
        case Key::StatusMenu:
            toggle(UiState::Open::StatusMenu, 0);
            return;
        case Key::Quit:
            if (modal()) {
                out_.beep = true;
            } else {
                ui_.message = kQuitHint;
                out_.redraw = true;
            }
            return;
        default:
            break;
        }
        if (!window) {
            // Nothing on screen takes the key; in a modal loop that is worth a beep.
            out_.beep = modal();
            return;
        }
        switch (key) {
        case Key::Tab:
        case Key::Down:
            moveFocus(windowId, 1);
            break;
        case Key::BackTab:
        case Key::Up:
            moveFocus(windowId, -1);
            break;
        case Key::Left:
        case Key::Right:
            if (focused && focused->kind == ControlKind::Slider)
                setSlider(*focused, std::int64_t{focused->value} + (key == Key::Left ? -1 : 1));
            else
                moveFocus(windowId, key == Key::Left ? -1 : 1);
            break;
        case Key::Home:
        case Key::End:
            if (focused && focused->kind == ControlKind::Slider)
                setSlider(*focused, key == Key::Home ? focused->minimum : focused->maximum);
            break;
        case Key::Space:
            if (focused && focused->kind == ControlKind::PushButton)
                press(*focused);
            break;
        case Key::Return:
            // Return is the default button's; a window without one lets it press the focused one.
            if (!hasDefaultButton(*window) && focused && focused->kind == ControlKind::PushButton)
                press(*focused);
            else
                sendKey(windowId, Action::KeyCode::Return);
            break;
        case Key::Escape:
            sendKey(windowId, Action::KeyCode::Escape);
            break;
        case Key::CloseWindow:
            if (window->hasCloseBox) {
                Action action;
                action.kind = Action::Kind::Close;
                action.window = windowId;
                out_.action = action;
            } else {
                out_.beep = true;
            }
            break;
        default:
            out_.beep = modal();
            break;
        }
    }

    const Hit* hitAt(int y, int x) const {
        for (auto it = scene_.hits.rbegin(); it != scene_.hits.rend(); ++it)
            if (it->contains(y, x))
                return &*it;
        return nullptr;
    }

    void click(int y, int x) {
        const Hit* hit = hitAt(y, x);
        if (ui_.open != UiState::Open::None) {
            if (hit && hit->kind == Hit::Kind::MenuRow)
                choose(static_cast<int>(hit->index));
            else if (hit && hit->kind == Hit::Kind::MenuTitle)
                toggle(UiState::Open::AppMenu, hit->index);
            else if (hit && hit->kind == Hit::Kind::StatusTitle)
                toggle(UiState::Open::StatusMenu, hit->index);
            else
                closeMenu(); // a click beside an open menu only closes it
            return;
        }
        const Id input = inputWindow(server_, context_);
        if (!hit) {
            out_.beep = modal();
            return;
        }
        switch (hit->kind) {
        case Hit::Kind::MenuTitle:
            toggle(UiState::Open::AppMenu, hit->index);
            return;
        case Hit::Kind::StatusTitle:
            toggle(UiState::Open::StatusMenu, hit->index);
            return;
        case Hit::Kind::CloseBox:
            if (modal() && hit->id != input) {
                out_.beep = true;
            } else {
                Action action;
                action.kind = Action::Kind::Close;
                action.window = hit->id;
                out_.action = action;
            }
            return;
        case Hit::Kind::Control: {
            const Control* c = server_.control(hit->id);
            if (!c || c->window != input) {
                // Only the window that takes input answers clicks.
                out_.beep = modal();
                return;
            }
            if (!c->enabled)
                return;
            focus(c->window, c->id);
            if (c->kind == ControlKind::PushButton) {
                press(*c);
            } else if (c->kind == ControlKind::Slider) {
                const long long range = static_cast<long long>(c->maximum) - c->minimum;
                const long long steps = hit->width - 3; // inside the brackets, less one
                const long long cell = std::clamp<long long>(x - hit->x - 1, 0, steps);
                const long long value =
                    steps > 0 ? c->minimum + (cell * range + steps / 2) / steps : c->value;
                setSlider(*c, value);
            }
            return;
        }
        case Hit::Kind::Window:
            if (modal() && hit->id != input)
                out_.beep = true;
            return;
        case Hit::Kind::MenuRow:
            return;
        }
    }

    const WindowServer& server_;
    UiState& ui_;
    const WaitContext& context_;
    const Scene& scene_;
    Outcome out_;
};

} // namespace

bool reconcile(const WindowServer& server, UiState& ui, const WaitContext& context) {
    if (ui.open == UiState::Open::None)
        return false;
    if (context.modalWindow != 0 || ui.menu >= menuCount(server, ui.open)) {
        ui.open = UiState::Open::None;
        ui.row = -1;
        return true;
    }
    const std::vector<MenuRowView> rows = openMenuRows(server, ui);
    if (ui.row >= 0 && ui.row < static_cast<int>(rows.size()) &&
        choosable(rows[static_cast<std::size_t>(ui.row)]))
        return false;
    const int row = firstRow(rows);
    const bool changed = row != ui.row;
    ui.row = row;
    return changed;
}

Outcome handleKey(const WindowServer& server, UiState& ui, const WaitContext& context,
                  const Scene& scene, KeyPress press) {
    return InputHandler(server, ui, context, scene).handle(press);
}

} // namespace macsim::terminal
