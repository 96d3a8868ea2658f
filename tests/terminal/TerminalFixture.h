// A small screen's worth of model in the process's window server (a menu bar, a status item
// with its eleven rows, the user-speed dialog, an alert), taken away again after each test, and
// a plain-text picture of a laid-out Scene to assert on.
#pragma once

#include "TerminalInput.h"
#include "TerminalLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kreloed::test {

using macsim::Id;
namespace terminal = macsim::terminal;

inline constexpr std::uint32_t kOK = 'ok  ', kCancel = 'not!', kSlider = 'mhzm';

class TerminalFixture : public ::testing::Test {
protected:
    void TearDown() override {
        for (Id w : windows_)
            server.disposeWindow(w);
        for (Id i : items_)
            server.removeStatusItem(i);
        server.setMenuBar({});
    }

    // The application's two menus.
    void addMenuBar() {
        macsim::Menu app{"Kreloed", {}};
        app.items = {
            {"About Kreloed", 'ABOU'}, {"", 0, true, false, true}, {"Quit Kreloed", 'quit'}};
        macsim::Menu speed{"Speed", {}};
        speed.items = {{"Always keep user-defined CPU speed", 'ausr', true, true},
                       {"", 0, true, false, true},
                       {"Set system default CPU speed", 'sdef'},
                       {"Set CPU speed to 700 MHz", 'susr', false}};
        server.setMenuBar({app, speed});
    }

    // The status item as the plug-in builds it: eleven rows, four of them separators.
    Id addStatusItem(const std::string& title = "1000") {
        const Id item = server.addStatusItem();
        items_.push_back(item);
        server.setStatusTitle(item, title);
        const auto row = [](std::string t, bool enabled = true, bool checked = false) {
            return macsim::StatusRow{std::move(t), enabled, checked, false};
        };
        const macsim::StatusRow separator{"", true, false, true};
        server.setStatusRows(
            item,
            {row("About Kreloed"), separator, row("Load Krelo.kext into kernel"), separator,
             row("Set system default CPU speed", true, true), row("Set user-defined CPU speed ..."),
             separator, row("Always load Krelo.kext at launch", false),
             row("Always keep user-defined CPU speed", false), separator, row("Quit")});
        return item;
    }

    // The user-speed dialog, laid out as in the nib.
    Id addPrefsDialog(int sliderValue = 15) {
        macsim::Window w;
        w.name = "Prefs";
        w.title = "User-defined CPU speed";
        w.hasCloseBox = false;
        w.bounds = {80, 120, 260, 500};
        const Id id = server.createWindow(w);
        windows_.push_back(id);
        text(id, "System default speed (MHz):", {16, 20, 36, 260});
        text(id, "1000", {16, 270, 36, 360});
        macsim::Control slider;
        slider.kind = macsim::ControlKind::Slider;
        slider.signature = kSlider;
        slider.minimum = 1;
        slider.maximum = 21;
        slider.value = sliderValue;
        slider.bounds = {56, 20, 80, 360};
        server.addControl(id, slider);
        text(id, "300 MHz", {84, 20, 100, 100});
        text(id, "1300 MHz", {84, 280, 100, 360});
        button(id, kCancel, "Cancel", {140, 180, 160, 260}, false, true);
        button(id, kOK, "OK", {140, 280, 160, 360}, true, false);
        server.showWindow(id, true);
        return id;
    }

    // The error alert: the heading (third text) stands on top though it comes last.
    Id addAlert(const std::string& message) {
        macsim::Window w;
        w.name = "DLOG 128";
        w.title = "Kreloed";
        w.kind = macsim::WindowKind::Alert;
        w.hasCloseBox = false;
        w.bounds = {80, 100, 220, 460};
        const Id id = server.createWindow(w);
        windows_.push_back(id);
        button(id, kOK, "OK", {108, 270, 128, 340}, true, false);
        button(id, kCancel, "Cancel", {108, 190, 128, 260}, false, true);
        text(id, message, {34, 20, 66, 340});
        text(id, "", {70, 20, 100, 340});
        text(id, "Error", {10, 20, 28, 340});
        server.showWindow(id, true);
        return id;
    }

    // A window with a close box and one button that is not a default button.
    Id addAboutWindow() {
        macsim::Window w;
        w.name = "Window";
        w.title = "About Kreloed";
        w.bounds = {80, 120, 250, 480};
        const Id id = server.createWindow(w);
        windows_.push_back(id);
        text(id, "Kreloed 1.0", {16, 20, 36, 340});
        button(id, 'dona', "Visit the Web Site", {124, 190, 144, 340}, false, false);
        server.showWindow(id, true);
        return id;
    }

    Id control(Id window, std::uint32_t signature) const {
        return server.findControlBySignature(window, signature);
    }

    terminal::Scene layOut(const macsim::WaitContext& context = {}, int rows = 30, int cols = 100,
                           terminal::LayoutOptions options = {}) const {
        return terminal::layOut(server, ui, context, rows, cols, options);
    }

    terminal::Outcome press(terminal::Key key, const macsim::WaitContext& context = {}) {
        return terminal::handleKey(server, ui, context, layOut(context), {key});
    }

    terminal::Outcome click(int y, int x, const macsim::WaitContext& context = {}) {
        return terminal::handleKey(server, ui, context, layOut(context),
                                   {terminal::Key::Click, y, x});
    }

    macsim::WindowServer& server = macsim::WindowServer::shared();
    terminal::UiState ui;

private:
    void text(Id window, const std::string& t, macsim::Rect bounds) {
        macsim::Control c;
        c.kind = macsim::ControlKind::StaticText;
        c.text = t;
        c.bounds = bounds;
        server.addControl(window, c);
    }

    void button(Id window, std::uint32_t signature, const std::string& title, macsim::Rect bounds,
                bool isDefault, bool isCancel) {
        macsim::Control c;
        c.kind = macsim::ControlKind::PushButton;
        c.signature = signature;
        c.text = title;
        c.bounds = bounds;
        c.isDefault = isDefault;
        c.isCancel = isCancel;
        server.addControl(window, c);
    }

    std::vector<Id> windows_, items_;
};

// The scene as plain text, one string a row: boxes in + - |, text as it is.
inline std::vector<std::string> picture(const terminal::Scene& scene) {
    std::vector<std::string> rows(static_cast<std::size_t>(scene.rows),
                                  std::string(static_cast<std::size_t>(scene.cols), ' '));
    const auto put = [&](int y, int x, char c) {
        if (y >= 0 && y < scene.rows && x >= 0 && x < scene.cols)
            rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = c;
    };
    for (const terminal::Paint& paint : scene.paints) {
        if (const auto* f = std::get_if<terminal::Frame>(&paint)) {
            for (int y = f->y; y < f->y + f->height; ++y)
                for (int x = f->x; x < f->x + f->width; ++x) {
                    const bool top = y == f->y || y == f->y + f->height - 1;
                    const bool side = x == f->x || x == f->x + f->width - 1;
                    put(y, x, top && side ? '+' : top ? '-' : side ? '|' : ' ');
                }
        } else if (const auto* r = std::get_if<terminal::Rule>(&paint)) {
            for (int x = r->x; x < r->x + r->width; ++x)
                put(r->y, x, x == r->x || x == r->x + r->width - 1 ? '+' : '-');
        } else if (const auto* t = std::get_if<terminal::TextRun>(&paint)) {
            for (std::size_t i = 0; i < t->text.size(); ++i)
                put(t->y, t->x + static_cast<int>(i), t->text[i]);
        }
    }
    return rows;
}

// The last text run (the one painted on top) that holds text; null when none does.
inline const terminal::TextRun* runWith(const terminal::Scene& scene, const std::string& text) {
    const terminal::TextRun* found = nullptr;
    for (const terminal::Paint& paint : scene.paints)
        if (const auto* t = std::get_if<terminal::TextRun>(&paint);
            t && t->text.find(text) != std::string::npos)
            found = t;
    return found;
}

// The row of the picture that holds text, or -1.
inline int rowWith(const std::vector<std::string>& rows, const std::string& text) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

} // namespace kreloed::test
