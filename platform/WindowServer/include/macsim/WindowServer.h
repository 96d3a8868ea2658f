// The window server: the one model of what is on screen. The menu bar (the application's menus
// and the status items), windows with their controls, alerts, beeps, opened web addresses and
// system log lines. Carbon and AppKit both act on it; front ends only show it and turn input into
// user actions, which the event loop carries out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace macsim {

using Id = std::uint32_t; // windows, controls, status items; 0 is none

class FrontEnd;
template <typename T> class NoDestructor;

struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
};

enum class ControlKind { PushButton, Slider, StaticText };

struct Control {
    Id id = 0;
    Id window = 0;
    ControlKind kind = ControlKind::PushButton;
    std::uint32_t signature = 0; // control ID signature ('ok  ')
    std::int32_t number = 0;     // control ID number
    std::string text;            // button title or static text (UTF-8)
    std::int32_t value = 0, minimum = 0, maximum = 0;
    bool enabled = true;
    Rect bounds;
    // Font style as SetControlFontStyle gave it (0 = the system font).
    std::int16_t font = 0, size = 0, face = 0;
    bool isDefault = false; // Return chooses it
    bool isCancel = false;  // Escape chooses it
};

enum class WindowKind { Document, Alert };

struct Window {
    Id id = 0;
    std::string name;  // the nib object name ("Prefs"), or "DLOG 128" for an alert
    std::string title; // UTF-8
    WindowKind kind = WindowKind::Document;
    bool visible = false;
    bool hasCloseBox = true;
    Rect bounds;
    std::vector<Id> controls; // in item order
};

struct MenuItem {
    std::string title;
    std::uint32_t command = 0; // command ID ('quit'), 0 for none
    bool enabled = true;
    bool checked = false;
    bool separator = false;
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
};

// One row of a status item's menu; its action is carried out through the status item's chooser.
struct StatusRow {
    std::string title;
    bool enabled = true;
    bool checked = false;
    bool separator = false;
};

struct StatusItem {
    Id id = 0;
    std::string title;
    bool highlightMode = false;
    std::vector<StatusRow> rows;
    std::function<void(std::size_t row)> choose; // set by the toolkit that owns the item
};

// Something visible changed. event names the kind ("status_title", "window_shown" ...); json is
// the whole trace object without its time, e.g. {"event":"beep"}.
struct Change {
    std::string event;
    std::string json;
};

class ChangeObserver {
public:
    virtual ~ChangeObserver() = default;
    virtual void changed(const Change& change) = 0;
};

class WindowServer {
public:
    // The one window server of this process.
    static WindowServer& shared();

    // The front end, chosen on first use (MACSIM_FRONTEND, else terminal when standard input and
    // output are a terminal, else headless).
    FrontEnd& frontEnd();
    void setFrontEnd(std::unique_ptr<FrontEnd> frontEnd); // tests
    // Seconds on the front end's clock (virtual in the headless front end); 0 before one is chosen.
    double now();

    void addObserver(ChangeObserver* observer);
    void removeObserver(ChangeObserver* observer);

    // Menu bar.
    void setMenuBar(std::vector<Menu> menus);
    const std::vector<Menu>& menuBar() const { return menus_; }
    void hiliteMenu(int menuIndex); // 0: no menu highlighted
    int hilitedMenu() const { return hilited_; }
    // The item that carries command; null when none.
    const MenuItem* findMenuCommand(std::uint32_t command) const;

    // Windows, front to back among the visible ones.
    Id createWindow(Window window); // hidden; returns its id
    void disposeWindow(Id window);  // with its controls
    void showWindow(Id window, bool visible);
    void selectWindow(Id window); // brings it to the front
    const Window* window(Id window) const;
    Id frontWindow() const;                     // the frontmost visible window, 0 when none
    std::vector<Id> windowsFrontToBack() const; // every window, visible or not

    // Controls.
    Id addControl(Id window, Control control);
    const Control* control(Id control) const;
    Id findControl(Id window, std::uint32_t signature, std::int32_t number) const;
    Id findControlBySignature(Id window, std::uint32_t signature) const;
    // The enabled button that Return (KeyButton::Default) or Escape (KeyButton::Cancel) presses;
    // 0 when there is none.
    enum class KeyButton { Default, Cancel };
    Id keyButton(Id window, KeyButton which) const;
    void setControlValue(Id control, std::int32_t value); // clamped to minimum..maximum
    void setControlText(Id control, std::string text);
    void setControlFontStyle(Id control, std::int16_t font, std::int16_t size, std::int16_t face);
    // Makes control the window's only default (Return) or cancel (Escape) button; 0 clears it.
    void setDefaultControl(Id window, Id control);
    void setCancelControl(Id window, Id control);

    // Status items, left to right.
    Id addStatusItem();
    void removeStatusItem(Id item);
    void setStatusTitle(Id item, std::string title);
    void setStatusHighlightMode(Id item, bool on);
    // Replaces the rows; each row field that differs is reported as its own change.
    void setStatusRows(Id item, std::vector<StatusRow> rows);
    void setStatusChooser(Id item, std::function<void(std::size_t row)> choose);
    const StatusItem* statusItem(Id item) const;
    std::vector<Id> statusItems() const;

    // Things that happen once.
    void beep();
    int beeps() const { return beeps_; }
    void openURL(std::string url);
    const std::vector<std::string>& urls() const { return urls_; }
    void logLine(std::string text); // a line written to the system log by this process

    // The process ended with status; reported to the observers (the trace's last line).
    void processExit(int status);

    // The whole state as one JSON object (status_items, menubar, windows, alerts, beeps, urls).
    std::string dumpJson() const;
    // Tells the observers the whole state: a "dump" change whose "state" is dumpJson().
    void reportDump();

private:
    // The one server lives until the process ends and is never destroyed, so that changes made
    // while the process exits (its exit status among them) still reach the observers.
    template <typename T> friend class NoDestructor;
    WindowServer();
    void notify(const Change& change);
    std::string staticTexts(const Window& window) const;

    std::vector<ChangeObserver*> observers_;
    std::unique_ptr<FrontEnd> frontEnd_;
    std::vector<Menu> menus_;
    int hilited_ = 0;
    std::vector<Window> windows_; // front to back
    std::vector<Control> controls_;
    std::vector<StatusItem> statusItems_;
    int beeps_ = 0;
    std::vector<std::string> urls_;
    Id nextId_ = 1;
};

} // namespace macsim
