#include <macsim/HeadlessFrontEnd.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace macsim {

namespace {

struct Words {
    std::vector<std::string> words;
    std::string error;
};

// Splits a line into words. A double-quoted word keeps its spaces (\" and \\ stand for a quote
// and a backslash in it); # outside quotes starts a comment.
Words split(std::string_view line) {
    Words out;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
                    d = line[i++];
                word += d;
            }
            if (!closed) {
                out.error = "a quoted word has no closing quote";
                return out;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                out.error = "a closing quote must end its word";
                return out;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '#') {
                if (line[i] == '"') {
                    out.error = "a quote inside a word";
                    return out;
                }
                word += line[i++];
            }
        }
        out.words.push_back(std::move(word));
    }
    return out;
}

std::optional<std::uint32_t> fourCharCode(const std::string& word) {
    if (word.size() != 4)
        return std::nullopt;
    return (std::uint32_t(std::uint8_t(word[0])) << 24) |
           (std::uint32_t(std::uint8_t(word[1])) << 16) |
           (std::uint32_t(std::uint8_t(word[2])) << 8) | std::uint32_t(std::uint8_t(word[3]));
}

std::optional<std::int32_t> integer(const std::string& word) {
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

std::optional<double> seconds(const std::string& word) {
    double value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool allDigits(const std::string& word) {
    if (word.empty())
        return false;
    for (char c : word)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string codeText(std::uint32_t code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>(code >> shift);
    return "'" + s + "'";
}

} // namespace

ScriptLine parseScriptLine(std::string_view line) {
    ScriptLine out;
    if (line.size() > kMaxScriptLine) {
        out.error = "the line is longer than " + std::to_string(kMaxScriptLine) + " bytes";
        return out;
    }
    Words split = macsim::split(line);
    if (!split.error.empty()) {
        out.error = split.error;
        return out;
    }
    auto& w = split.words;
    if (w.empty())
        return out;
    const std::string& verb = w[0];
    auto arguments = [&](std::size_t n, const char* usage) {
        if (w.size() == n + 1)
            return true;
        out.error = std::string("usage: ") + usage;
        return false;
    };
    ScriptCommand c;
    if (verb == "wait") {
        if (!arguments(1, "wait SECONDS"))
            return out;
        const auto s = seconds(w[1]);
        if (!s || *s < 0 || *s > kMaxScriptWait) {
            out.error = "wait takes a number of seconds from 0 to " +
                        std::to_string(static_cast<long>(kMaxScriptWait));
            return out;
        }
        c.kind = ScriptCommand::Kind::Wait;
        c.seconds = *s;
    } else if (verb == "menu") {
        if (!arguments(1, "menu CMDID"))
            return out;
        const auto code = fourCharCode(w[1]);
        if (!code) {
            out.error = "a command ID has four characters: " + quoted(w[1]);
            return out;
        }
        c.kind = ScriptCommand::Kind::Menu;
        c.command = *code;
    } else if (verb == "status") {
        if (!arguments(1, "status \"ROW TITLE\""))
            return out;
        c.kind = ScriptCommand::Kind::Status;
        c.text = w[1];
    } else if (verb == "click") {
        if (!arguments(1, "click SIG (or an item number)"))
            return out;
        c.kind = ScriptCommand::Kind::Click;
        if (w[1].size() != 4 && allDigits(w[1])) {
            const auto item = integer(w[1]);
            if (!item || *item < 1) {
                out.error = "item numbers count from 1: " + quoted(w[1]);
                return out;
            }
            c.item = *item;
        } else if (!fourCharCode(w[1])) {
            out.error = "a control signature has four characters: " + quoted(w[1]);
            return out;
        } else {
            c.text = w[1];
        }
    } else if (verb == "slider") {
        if (!arguments(2, "slider SIG VALUE"))
            return out;
        if (!fourCharCode(w[1])) {
            out.error = "a control signature has four characters: " + quoted(w[1]);
            return out;
        }
        const auto value = integer(w[2]);
        if (!value) {
            out.error = "a slider value is a whole number: " + quoted(w[2]);
            return out;
        }
        c.kind = ScriptCommand::Kind::Slider;
        c.text = w[1];
        c.value = *value;
    } else if (verb == "key") {
        if (!arguments(1, "key return|escape"))
            return out;
        c.kind = ScriptCommand::Kind::Key;
        if (w[1] == "return")
            c.key = Action::KeyCode::Return;
        else if (w[1] == "escape")
            c.key = Action::KeyCode::Escape;
        else {
            out.error = "usage: key return|escape";
            return out;
        }
    } else if (verb == "close") {
        if (!arguments(0, "close"))
            return out;
        c.kind = ScriptCommand::Kind::Close;
    } else if (verb == "dump") {
        if (!arguments(0, "dump"))
            return out;
        c.kind = ScriptCommand::Kind::Dump;
    } else if (verb == "machine") {
        if (w.size() < 2) {
            out.error = "usage: machine COMMAND ...";
            return out;
        }
        c.kind = ScriptCommand::Kind::Machine;
        c.words.assign(w.begin() + 1, w.end());
    } else {
        out.error = "unknown command " + quoted(verb);
        return out;
    }
    out.command = std::move(c);
    return out;
}

HeadlessFrontEnd::HeadlessFrontEnd(WindowServer& server, std::unique_ptr<std::istream> script,
                                   Options options)
    : server_(server), script_(std::move(script)), options_(std::move(options)) {}

void HeadlessFrontEnd::stop(int status, const std::string& message) {
    if (options_.stop)
        options_.stop(status, message);
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    std::exit(status);
}

void HeadlessFrontEnd::fail(const std::string& message) {
    stop(kScriptError, "script line " + std::to_string(line_) + ": " + message);
}

Id HeadlessFrontEnd::frontWindow(const WaitContext& context) const {
    return context.modalWindow ? context.modalWindow : server_.frontWindow();
}

std::optional<Action> HeadlessFrontEnd::waitForAction(std::optional<double> deadline,
                                                      const WaitContext& context) {
    for (;;) {
        if (waitUntil_) {
            // Virtual time runs up to the next timer deadline within the wait, and no further.
            if (deadline && *deadline <= *waitUntil_) {
                now_ = std::max(now_, *deadline);
                return std::nullopt;
            }
            now_ = *waitUntil_;
            waitUntil_.reset();
        }
        // A timer that is due runs before the next line is read.
        if (deadline && *deadline <= now_)
            return std::nullopt;

        if (!script_ || !*script_)
            stop(kScriptEnded, "the script ended while the application was still running");
        std::string text;
        if (!std::getline(*script_, text))
            stop(kScriptEnded, "the script ended while the application was still running");
        ++line_;
        const ScriptLine parsed = parseScriptLine(text);
        if (!parsed.error.empty())
            fail(parsed.error);
        if (!parsed.command)
            continue;
        if (auto action = carryOut(*parsed.command, context))
            return action;
    }
}

std::optional<Action> HeadlessFrontEnd::carryOut(const ScriptCommand& c,
                                                 const WaitContext& context) {
    Action action;
    switch (c.kind) {
    case ScriptCommand::Kind::Wait:
        waitUntil_ = now_ + c.seconds;
        return std::nullopt;

    case ScriptCommand::Kind::Dump: {
        server_.reportDump();
        std::ostream& out = options_.dumpOut ? *options_.dumpOut : std::cout;
        out << server_.dumpJson() << std::endl;
        return std::nullopt;
    }

    case ScriptCommand::Kind::Machine: {
        if (!options_.machine)
            fail("machine commands are not available");
        const std::string error = options_.machine(c.words);
        if (!error.empty())
            fail(error);
        return std::nullopt;
    }

    case ScriptCommand::Kind::Menu: {
        if (context.modalWindow)
            fail("the menu bar cannot be used while a modal window is open");
        const MenuItem* item = server_.findMenuCommand(c.command);
        if (!item)
            fail("no menu item has the command " + codeText(c.command));
        if (!item->enabled)
            fail("the menu item " + quoted(item->title) + " is disabled");
        action.kind = Action::Kind::MenuCommand;
        action.command = c.command;
        return action;
    }

    case ScriptCommand::Kind::Status: {
        if (context.modalWindow)
            fail("the status menu cannot be used while a modal window is open");
        bool disabled = false;
        for (Id id : server_.statusItems()) {
            const StatusItem* item = server_.statusItem(id);
            for (std::size_t row = 0; item && row < item->rows.size(); ++row) {
                const StatusRow& r = item->rows[row];
                if (r.separator || r.title != c.text)
                    continue;
                if (!r.enabled) {
                    disabled = true;
                    continue;
                }
                action.kind = Action::Kind::StatusRow;
                action.statusItem = id;
                action.row = row;
                return action;
            }
        }
        fail(disabled ? "the status-menu row " + quoted(c.text) + " is disabled"
                      : "no status-menu row is titled " + quoted(c.text));
    }

    case ScriptCommand::Kind::Click:
    case ScriptCommand::Kind::Slider: {
        const Id window = frontWindow(context);
        const Window* w = server_.window(window);
        if (!w)
            fail("no window is open");
        Id control = 0;
        if (c.item > 0) {
            if (static_cast<std::size_t>(c.item) > w->controls.size())
                fail("the front window has no item " + std::to_string(c.item));
            control = w->controls[static_cast<std::size_t>(c.item) - 1];
        } else {
            const auto sig = fourCharCode(c.text);
            control = sig ? server_.findControlBySignature(window, *sig) : 0;
            if (!control)
                fail("the front window " + quoted(w->name) + " has no control " + quoted(c.text));
        }
        const Control* ctl = server_.control(control);
        if (!ctl->enabled)
            fail("the control " + quoted(c.text) + " is disabled");
        if (c.kind == ScriptCommand::Kind::Slider) {
            if (ctl->kind != ControlKind::Slider)
                fail("the control " + quoted(c.text) + " is not a slider");
            action.kind = Action::Kind::SetSlider;
            action.value = c.value;
        } else {
            action.kind = Action::Kind::Click;
        }
        action.window = window;
        action.control = control;
        return action;
    }

    case ScriptCommand::Kind::Key: {
        const Id window = frontWindow(context);
        const Window* w = server_.window(window);
        if (!w)
            fail("no window is open");
        if (!server_.keyButton(window, c.key == Action::KeyCode::Return
                                           ? WindowServer::KeyButton::Default
                                           : WindowServer::KeyButton::Cancel))
            fail(std::string("the front window ") + quoted(w->name) + " has no " +
                 (c.key == Action::KeyCode::Return ? "default" : "cancel") + " button");
        action.kind = Action::Kind::Key;
        action.window = window;
        action.key = c.key;
        return action;
    }

    case ScriptCommand::Kind::Close: {
        const Id window = frontWindow(context);
        const Window* w = server_.window(window);
        if (!w)
            fail("no window is open");
        if (!w->hasCloseBox)
            fail("the front window " + quoted(w->name) + " has no close box");
        action.kind = Action::Kind::Close;
        action.window = window;
        return action;
    }
    }
    return std::nullopt;
}

std::unique_ptr<FrontEnd> makeHeadlessFrontEnd(WindowServer& server,
                                               HeadlessFrontEnd::MachineHandler machine) {
    HeadlessFrontEnd::Options options;
    options.machine = std::move(machine);
    std::unique_ptr<std::istream> script;
    const char* path = std::getenv("MACSIM_SCRIPT");
    if (path && *path) {
        auto file = std::make_unique<std::ifstream>(path);
        if (!*file) {
            std::fprintf(stderr, "cannot read the script %s\n", path);
            std::exit(HeadlessFrontEnd::kScriptError);
        }
        script = std::move(file);
    } else {
        // Standard input, without taking ownership of it.
        script = std::make_unique<std::istream>(std::cin.rdbuf());
    }
    return std::make_unique<HeadlessFrontEnd>(server, std::move(script), std::move(options));
}

} // namespace macsim
