#include <macsim/FrontEnd.h>
#include <macsim/NoDestructor.h>
#include <macsim/WindowServer.h>

#include "JsonText.h"
#include <macsim/Json.h>

#include <algorithm>

namespace macsim {

namespace {

std::string field(std::string_view name, const std::string& jsonValue) {
    std::string out = ",";
    json::appendQuoted(out, name);
    out += ':';
    out += jsonValue;
    return out;
}

std::string number(long long value) {
    return std::to_string(value);
}
std::string boolean(bool value) {
    return value ? "true" : "false";
}

const char* kindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::PushButton:
        return "push_button";
    case ControlKind::Slider:
        return "slider";
    case ControlKind::StaticText:
        return "static_text";
    }
    return "unknown";
}

// {"event":"<event>"<fields>}
Change makeChange(std::string event, const std::string& fields = {}) {
    std::string text = "{\"event\":";
    json::appendQuoted(text, event);
    text += fields;
    text += '}';
    return Change{std::move(event), std::move(text)};
}

} // namespace

WindowServer::WindowServer() = default;

WindowServer& WindowServer::shared() {
    static NoDestructor<WindowServer> server;
    return *server;
}

FrontEnd& WindowServer::frontEnd() {
    if (!frontEnd_)
        setFrontEnd(makeFrontEnd(*this));
    return *frontEnd_;
}

void WindowServer::setFrontEnd(std::unique_ptr<FrontEnd> frontEnd) {
    if (frontEnd_)
        removeObserver(frontEnd_.get());
    frontEnd_ = std::move(frontEnd);
    if (frontEnd_)
        addObserver(frontEnd_.get());
}

double WindowServer::now() {
    return frontEnd_ ? frontEnd_->now() : 0.0;
}

void WindowServer::addObserver(ChangeObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void WindowServer::removeObserver(ChangeObserver* observer) {
    std::erase(observers_, observer);
}

void WindowServer::notify(const Change& change) {
    // An observer may remove itself (or another) while being told; work on a copy.
    const auto observers = observers_;
    for (ChangeObserver* observer : observers)
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
            observer->changed(change);
}

// Menu bar.

void WindowServer::setMenuBar(std::vector<Menu> menus) {
    menus_ = std::move(menus);
    hilited_ = 0;
    std::string titles = "[";
    for (std::size_t i = 0; i < menus_.size(); ++i) {
        if (i)
            titles += ',';
        json::appendQuoted(titles, menus_[i].title);
    }
    titles += ']';
    notify(makeChange("menubar", field("menus", titles)));
}

void WindowServer::hiliteMenu(int menuIndex) {
    if (menuIndex == hilited_)
        return;
    hilited_ = menuIndex;
    notify(makeChange("menu_hilite", field("menu", number(menuIndex))));
}

const MenuItem* WindowServer::findMenuCommand(std::uint32_t command) const {
    if (command == 0)
        return nullptr;
    for (const Menu& menu : menus_)
        for (const MenuItem& item : menu.items)
            if (!item.separator && item.command == command)
                return &item;
    return nullptr;
}

// Windows.

namespace {

std::string windowFields(const Window& w) {
    return field("window", number(w.id)) + field("name", json::quote(w.name)) +
           field("title", json::quote(w.title));
}

} // namespace

Id WindowServer::createWindow(Window window) {
    window.id = nextId_++;
    window.visible = false;
    window.controls.clear();
    windows_.insert(windows_.begin(), std::move(window));
    return windows_.front().id;
}

void WindowServer::disposeWindow(Id id) {
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const Window& w) { return w.id == id; });
    if (it == windows_.end())
        return;
    const Window gone = std::move(*it);
    windows_.erase(it);
    std::erase_if(controls_, [id](const Control& c) { return c.window == id; });
    if (gone.visible)
        notify(makeChange(gone.kind == WindowKind::Alert ? "alert_closed" : "window_hidden",
                          windowFields(gone)));
}

void WindowServer::showWindow(Id id, bool visible) {
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const Window& w) { return w.id == id; });
    if (it == windows_.end())
        return;
    if (visible) {
        // Showing brings the window to the front, as a newly shown window is.
        std::rotate(windows_.begin(), it, it + 1);
        Window& w = windows_.front();
        if (w.visible)
            return;
        w.visible = true;
        if (w.kind == WindowKind::Alert) {
            notify(makeChange("alert_shown", windowFields(w) + field("texts", staticTexts(w))));
        } else {
            notify(makeChange("window_shown", windowFields(w)));
        }
    } else {
        Window& w = *it;
        if (!w.visible)
            return;
        w.visible = false;
        notify(makeChange(w.kind == WindowKind::Alert ? "alert_closed" : "window_hidden",
                          windowFields(w)));
    }
}

void WindowServer::selectWindow(Id id) {
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const Window& w) { return w.id == id; });
    if (it != windows_.end())
        std::rotate(windows_.begin(), it, it + 1);
}

const Window* WindowServer::window(Id id) const {
    if (id == 0)
        return nullptr;
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [id](const Window& w) { return w.id == id; });
    return it == windows_.end() ? nullptr : &*it;
}

Id WindowServer::frontWindow() const {
    for (const Window& w : windows_)
        if (w.visible)
            return w.id;
    return 0;
}

std::vector<Id> WindowServer::windowsFrontToBack() const {
    std::vector<Id> ids;
    for (const Window& w : windows_)
        ids.push_back(w.id);
    return ids;
}

// Controls.

Id WindowServer::addControl(Id windowId, Control control) {
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [windowId](const Window& w) { return w.id == windowId; });
    if (it == windows_.end())
        return 0;
    control.id = nextId_++;
    control.window = windowId;
    if (control.maximum < control.minimum)
        control.maximum = control.minimum;
    control.value = std::clamp(control.value, control.minimum, control.maximum);
    it->controls.push_back(control.id);
    controls_.push_back(std::move(control));
    return controls_.back().id;
}

const Control* WindowServer::control(Id id) const {
    if (id == 0)
        return nullptr;
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [id](const Control& c) { return c.id == id; });
    return it == controls_.end() ? nullptr : &*it;
}

Id WindowServer::findControl(Id window, std::uint32_t signature, std::int32_t number) const {
    for (const Control& c : controls_)
        if (c.window == window && c.signature == signature && c.number == number)
            return c.id;
    return 0;
}

Id WindowServer::findControlBySignature(Id windowId, std::uint32_t signature) const {
    // In item order, so that the first of two controls with one signature is found.
    if (const Window* w = window(windowId))
        for (Id id : w->controls)
            if (const Control* c = control(id); c && c->signature == signature)
                return id;
    return 0;
}

Id WindowServer::keyButton(Id windowId, KeyButton which) const {
    if (const Window* w = window(windowId))
        for (Id id : w->controls)
            if (const Control* c = control(id);
                c && c->enabled && (which == KeyButton::Default ? c->isDefault : c->isCancel))
                return id;
    return 0;
}

namespace {

std::string controlFields(const Control& c) {
    return field("window", number(c.window)) + field("control", number(c.id)) +
           field("signature", jsontext::fourCharCode(c.signature));
}

} // namespace

void WindowServer::setControlValue(Id id, std::int32_t value) {
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [id](const Control& c) { return c.id == id; });
    if (it == controls_.end())
        return;
    value = std::clamp(value, it->minimum, it->maximum);
    if (value == it->value)
        return;
    it->value = value;
    notify(makeChange("control_value", controlFields(*it) + field("value", number(value))));
}

void WindowServer::setControlText(Id id, std::string text) {
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [id](const Control& c) { return c.id == id; });
    if (it == controls_.end() || it->text == text)
        return;
    it->text = std::move(text);
    notify(makeChange("control_text", controlFields(*it) + field("text", json::quote(it->text))));
}

void WindowServer::setControlFontStyle(Id id, std::int16_t font, std::int16_t size,
                                       std::int16_t face) {
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [id](const Control& c) { return c.id == id; });
    if (it == controls_.end() || (it->font == font && it->size == size && it->face == face))
        return;
    it->font = font;
    it->size = size;
    it->face = face;
    notify(makeChange("control_font", controlFields(*it) + field("font", number(font)) +
                                          field("size", number(size)) +
                                          field("face", number(face))));
}

void WindowServer::setDefaultControl(Id windowId, Id controlId) {
    for (Control& c : controls_)
        if (c.window == windowId)
            c.isDefault = c.id == controlId;
}

void WindowServer::setCancelControl(Id windowId, Id controlId) {
    for (Control& c : controls_)
        if (c.window == windowId)
            c.isCancel = c.id == controlId;
}

// Status items.

Id WindowServer::addStatusItem() {
    StatusItem item;
    item.id = nextId_++;
    statusItems_.push_back(std::move(item));
    notify(makeChange("status_item_added", field("item", number(statusItems_.back().id))));
    return statusItems_.back().id;
}

void WindowServer::removeStatusItem(Id id) {
    const auto it = std::find_if(statusItems_.begin(), statusItems_.end(),
                                 [id](const StatusItem& s) { return s.id == id; });
    if (it == statusItems_.end())
        return;
    statusItems_.erase(it);
    notify(makeChange("status_item_removed", field("item", number(id))));
}

void WindowServer::setStatusTitle(Id id, std::string title) {
    const auto it = std::find_if(statusItems_.begin(), statusItems_.end(),
                                 [id](const StatusItem& s) { return s.id == id; });
    if (it == statusItems_.end() || it->title == title)
        return;
    it->title = std::move(title);
    notify(makeChange("status_title",
                      field("item", number(id)) + field("title", json::quote(it->title))));
}

void WindowServer::setStatusHighlightMode(Id id, bool on) {
    const auto it = std::find_if(statusItems_.begin(), statusItems_.end(),
                                 [id](const StatusItem& s) { return s.id == id; });
    if (it != statusItems_.end())
        it->highlightMode = on;
}

void WindowServer::setStatusRows(Id id, std::vector<StatusRow> rows) {
    const auto it = std::find_if(statusItems_.begin(), statusItems_.end(),
                                 [id](const StatusItem& s) { return s.id == id; });
    if (it == statusItems_.end())
        return;
    const std::vector<StatusRow> old = std::move(it->rows);
    it->rows = std::move(rows);
    // Copied: an observer may change the rows again while being told.
    const std::vector<StatusRow> now = it->rows;
    const std::string item = field("item", number(id));
    for (std::size_t i = 0; i < now.size(); ++i) {
        const std::string row = item + field("row", number(static_cast<long long>(i)));
        const StatusRow& n = now[i];
        if (i >= old.size()) {
            notify(makeChange("status_row_added", row + field("title", json::quote(n.title)) +
                                                      field("enabled", boolean(n.enabled)) +
                                                      field("checked", boolean(n.checked)) +
                                                      field("separator", boolean(n.separator))));
            continue;
        }
        const StatusRow& o = old[i];
        if (o.separator != n.separator)
            notify(
                makeChange("status_row_separator", row + field("separator", boolean(n.separator))));
        if (o.title != n.title)
            notify(makeChange("status_row_title", row + field("title", json::quote(n.title))));
        if (o.enabled != n.enabled)
            notify(makeChange("status_row_enabled", row + field("enabled", boolean(n.enabled))));
        if (o.checked != n.checked)
            notify(makeChange("status_row_checked", row + field("checked", boolean(n.checked))));
    }
    for (std::size_t i = old.size(); i > now.size(); --i)
        notify(makeChange("status_row_removed",
                          item + field("row", number(static_cast<long long>(i - 1)))));
}

void WindowServer::setStatusChooser(Id id, std::function<void(std::size_t row)> choose) {
    const auto it = std::find_if(statusItems_.begin(), statusItems_.end(),
                                 [id](const StatusItem& s) { return s.id == id; });
    if (it != statusItems_.end())
        it->choose = std::move(choose);
}

const StatusItem* WindowServer::statusItem(Id id) const {
    const auto it = std::find_if(statusItems_.begin(), statusItems_.end(),
                                 [id](const StatusItem& s) { return s.id == id; });
    return it == statusItems_.end() ? nullptr : &*it;
}

std::vector<Id> WindowServer::statusItems() const {
    std::vector<Id> ids;
    for (const StatusItem& s : statusItems_)
        ids.push_back(s.id);
    return ids;
}

// Things that happen once.

void WindowServer::beep() {
    ++beeps_;
    notify(makeChange("beep"));
}

void WindowServer::openURL(std::string url) {
    urls_.push_back(url);
    notify(makeChange("url", field("url", json::quote(url))));
}

void WindowServer::logLine(std::string text) {
    notify(makeChange("log", field("text", json::quote(text))));
}

void WindowServer::processExit(int status) {
    notify(makeChange("exit", field("status", number(status))));
}

// The whole state.

void WindowServer::reportDump() {
    notify(makeChange("dump", field("state", dumpJson())));
}

// The texts an alert shows: its static texts in item order, as a JSON array.
std::string WindowServer::staticTexts(const Window& window) const {
    json::Array texts;
    for (Id c : window.controls)
        if (const Control* control = this->control(c);
            control && control->kind == ControlKind::StaticText)
            texts.add(std::string_view(control->text));
    return texts.str();
}

std::string WindowServer::dumpJson() const {
    std::string out = "{\"status_items\":[";
    for (std::size_t i = 0; i < statusItems_.size(); ++i) {
        const StatusItem& s = statusItems_[i];
        if (i)
            out += ',';
        out += "{\"item\":" + number(s.id) + field("title", json::quote(s.title)) + ",\"menu\":[";
        for (std::size_t r = 0; r < s.rows.size(); ++r) {
            const StatusRow& row = s.rows[r];
            if (r)
                out += ',';
            if (row.separator)
                out += "{\"separator\":true}";
            else
                out += "{\"title\":" + json::quote(row.title) +
                       field("enabled", boolean(row.enabled)) +
                       field("checked", boolean(row.checked)) + "}";
        }
        out += "]}";
    }
    out += "],\"menubar\":[";
    for (std::size_t m = 0; m < menus_.size(); ++m) {
        if (m)
            out += ',';
        out += "{\"title\":" + json::quote(menus_[m].title) + ",\"items\":[";
        for (std::size_t i = 0; i < menus_[m].items.size(); ++i) {
            const MenuItem& item = menus_[m].items[i];
            if (i)
                out += ',';
            if (item.separator)
                out += "{\"separator\":true}";
            else
                out +=
                    "{\"title\":" + json::quote(item.title) +
                    field("command", item.command ? jsontext::fourCharCode(item.command) : "null") +
                    field("enabled", boolean(item.enabled)) +
                    field("checked", boolean(item.checked)) + "}";
        }
        out += "]}";
    }
    out += "],\"menu_hilite\":" + number(hilited_);
    std::string alerts = "[";
    out += ",\"windows\":[";
    bool firstAlert = true;
    for (std::size_t w = 0; w < windows_.size(); ++w) {
        const Window& win = windows_[w];
        if (w)
            out += ',';
        out += "{\"window\":" + number(win.id) + field("name", json::quote(win.name)) +
               field("title", json::quote(win.title)) +
               field("kind", win.kind == WindowKind::Alert ? "\"alert\"" : "\"document\"") +
               field("visible", boolean(win.visible)) +
               field("close_box", boolean(win.hasCloseBox)) + ",\"controls\":[";
        bool firstControl = true;
        for (Id c : win.controls) {
            const Control* control = this->control(c);
            if (!control)
                continue;
            if (!firstControl)
                out += ',';
            firstControl = false;
            out += "{\"signature\":" + jsontext::fourCharCode(control->signature) +
                   field("id", number(control->number)) +
                   field("kind", json::quote(kindName(control->kind))) +
                   field("value", number(control->value)) +
                   field("minimum", number(control->minimum)) +
                   field("maximum", number(control->maximum)) +
                   field("text", json::quote(control->text)) +
                   field("enabled", boolean(control->enabled)) +
                   field("font", number(control->font)) + field("size", number(control->size)) +
                   field("face", number(control->face)) +
                   field("default", boolean(control->isDefault)) +
                   field("cancel", boolean(control->isCancel)) + "}";
        }
        out += "]}";
        if (win.kind == WindowKind::Alert && win.visible) {
            if (!firstAlert)
                alerts += ',';
            firstAlert = false;
            alerts += "{\"window\":" + number(win.id) + field("name", json::quote(win.name)) +
                      field("texts", staticTexts(win)) + "}";
        }
    }
    alerts += ']';
    out += "],\"alerts\":" + alerts;
    out += ",\"beeps\":" + number(beeps_) + ",\"urls\":[";
    for (std::size_t u = 0; u < urls_.size(); ++u) {
        if (u)
            out += ',';
        json::appendQuoted(out, urls_[u]);
    }
    out += "]}";
    return out;
}

} // namespace macsim
