// The application's windows, dialogs and commands in-process, on a fresh copy of the built disk:
// the real About window, user-speed dialog, alerts and menu-bar commands, with recording fakes in
// place of the clock control and the status menu bridge, and the headless front end playing a
// script for whatever waits on the user.
#pragma once

#include "PString.h"

#include <Carbon/Carbon.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kreloed::test {

// What the application asked of the clock control and the status menu, in order:
// "getCurrentClkFromKrelo", "set_speed 1 700", "checkSDEFItem 1", "setMenuItemClockValue 1000" ...
extern std::vector<std::string> calls;
// What getCurrentClkFromKrelo reads as the current speed.
extern UInt16 speedReading;

class TestDisk;
// The copy of the built disk the application runs on.
const TestDisk& testDisk();

// Clears the settings record, err, itemHit and the call log, and hides every window.
void resetApplication();

// Runs body while the headless front end plays script; returns the states that the script's
// `dump` lines took. A script that runs out while the application still waits fails the test.
std::vector<nlohmann::json> withScript(const std::string& script,
                                       const std::function<void()>& body);

// The window server's state now.
nlohmann::json screen();
// The screen's windows named name.
std::vector<nlohmann::json> windowsNamed(const nlohmann::json& state, const std::string& name);
// The control of a dumped window with that signature; null json when there is none.
nlohmann::json controlOf(const nlohmann::json& window, const std::string& signature);

// Sends an event of the class and kind, with control as its direct object, to window's target;
// returns what the handlers answered.
OSStatus sendControlEvent(WindowRef window, EventKind kind, ControlRef control);

} // namespace kreloed::test
