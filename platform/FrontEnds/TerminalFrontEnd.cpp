#include "TerminalFrontEnd.h"

#include "TerminalInput.h"
#include "TerminalLayout.h"
#include "TerminalSystem.h"

#include <macsim/Disk.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <curses.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace macsim {

namespace {

// The terminal is restored on every way out, and only by the process that took it over: a child
// forked to run the helper tool carries these handlers until it executes the tool.
pid_t gOwner = 0;
std::atomic<bool> gCursesActive{false};

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                                 SIGBUS, SIGFPE,  SIGILL, SIGABRT};
struct sigaction gPreviousActions[NSIG];

void restoreTerminal() {
    if (getpid() == gOwner && gCursesActive.exchange(false))
        endwin();
}

extern "C" void restoreTerminalAtExit() {
    restoreTerminal();
}

extern "C" void restoreTerminalOnSignal(int signal) {
    restoreTerminal();
    // Then whatever would have happened without us: the previous handler, or the default action.
    sigaction(signal, &gPreviousActions[signal], nullptr);
    raise(signal);
}

void installRestorers() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    std::atexit(restoreTerminalAtExit);
    for (int signal : kFatalSignals) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN)
            continue; // ignored on purpose (nohup): leave it so
        struct sigaction action {};
        action.sa_handler = restoreTerminalOnSignal;
        sigemptyset(&action.sa_mask);
        gPreviousActions[signal] = previous;
        sigaction(signal, &action, nullptr);
    }
}

chtype attributes(unsigned style) {
    chtype a = A_NORMAL;
    if (style & terminal::Reverse)
        a |= A_REVERSE;
    if (style & terminal::Bold)
        a |= A_BOLD;
    if (style & terminal::Dim)
        a |= A_DIM;
    if (style & terminal::Underline)
        a |= A_UNDERLINE;
    return a;
}

terminal::KeyPress translate(int ch) {
    using terminal::Key;
    switch (ch) {
    case KEY_UP:
        return {Key::Up};
    case KEY_DOWN:
        return {Key::Down};
    case KEY_LEFT:
        return {Key::Left};
    case KEY_RIGHT:
        return {Key::Right};
    case KEY_HOME:
        return {Key::Home};
    case KEY_END:
        return {Key::End};
    case '\n':
    case '\r':
    case KEY_ENTER:
        return {Key::Return};
    case 27:
        return {Key::Escape};
    case '\t':
        return {Key::Tab};
    case KEY_BTAB:
        return {Key::BackTab};
    case ' ':
        return {Key::Space};
    case 'm':
    case 'M':
    case KEY_F(10):
        return {Key::MenuBar};
    case 's':
    case 'S':
        return {Key::StatusMenu};
    case 'w':
    case 'W':
        return {Key::CloseWindow};
    case 'l':
    case 'L':
        return {Key::ToggleLog};
    case 'q':
    case 'Q':
        return {Key::Quit};
    default:
        return {Key::Other};
    }
}

class TerminalFrontEnd final : public FrontEnd {
public:
    explicit TerminalFrontEnd(WindowServer& server) : server_(server) {
        const char* flash = tigetstr(const_cast<char*>("flash"));
        canFlash_ = flash != nullptr && flash != reinterpret_cast<char*>(-1);
        options_.dimAvailable = (termattrs() & A_DIM) != 0;
        urlsSeen_ = server.urls().size();
        enableMouse(true);
    }

    ~TerminalFrontEnd() override { restoreTerminal(); }

    double now() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }

    std::optional<Action> waitForAction(std::optional<double> deadline,
                                        const WaitContext& context) override {
        if (context.modalWindow != context_.modalWindow)
            dirty_ = true;
        context_ = context;
        while (gCursesActive) {
            // Keys that curses has read already come first: poll() cannot see its buffer. Curses
            // is asked only when there may be some, so that an idle tick costs one poll().
            if (keysPending_) {
                for (int ch = getch(); ch != ERR; ch = getch())
                    if (std::optional<Action> action = take(ch)) {
                        show();
                        return action; // more keys may follow in curses' buffer
                    }
                keysPending_ = false;
            }
            show();
            int timeout = -1;
            if (deadline) {
                const double left = *deadline - now();
                if (left <= 0)
                    return std::nullopt;
                timeout = static_cast<int>(std::ceil(left * 1000));
            }
            pollfd input{STDIN_FILENO, POLLIN, 0};
            const int ready = poll(inputGone_ ? nullptr : &input, inputGone_ ? 0 : 1, timeout);
            if (ready == 0) {
                if (deadline)
                    return std::nullopt;
            } else if (ready > 0 && (input.revents & (POLLHUP | POLLERR | POLLNVAL))) {
                // The terminal is gone: what it sent last is still read, then only the timers
                // wake the loop (a hung-up terminal would otherwise be ready forever).
                inputGone_ = true;
                keysPending_ = (input.revents & POLLIN) != 0;
            } else if (ready < 0 || (input.revents & POLLIN)) {
                // Input, or a signal: a resized terminal is reported by curses as a key.
                keysPending_ = true;
            }
        }
        // The terminal was given back (the process is leaving): only the timers remain.
        if (deadline) {
            const double left = *deadline - now();
            if (left > 0)
                poll(nullptr, 0, static_cast<int>(std::ceil(left * 1000)));
        } else {
            pause();
        }
        return std::nullopt;
    }

    void changed(const Change& change) override {
        if (!gCursesActive)
            return;
        if (change.event == "beep") {
            ring();
        } else if (change.event == "url") {
            openLatestURL();
        } else if (change.event == "log") {
            logChanged_ = true;
        } else if (change.event == "exit") {
            // The process is about to end: give the terminal back now, before the last output.
            restoreTerminal();
        } else if (change.event != "dump") {
            dirty_ = true;
        }
    }

private:
    std::optional<Action> take(int ch) {
        if (ch == KEY_RESIZE) {
            dirty_ = true;
            return std::nullopt;
        }
        terminal::KeyPress press = translate(ch);
        if (ch == KEY_MOUSE) {
            MEVENT event{};
            if (getmouse(&event) != OK || !(event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
                return std::nullopt;
            press = {terminal::Key::Click, event.y, event.x};
        }
        terminal::Outcome outcome = terminal::handleKey(server_, ui_, context_, scene_, press);
        if (outcome.beep)
            ring();
        if (outcome.redraw)
            dirty_ = true;
        // While an address is shown, the mouse belongs to the terminal so that it can be copied.
        enableMouse(ui_.message.empty() || !showingAddress_);
        if (ui_.message.empty())
            showingAddress_ = false;
        return std::move(outcome.action);
    }

    // Paints the model when something changed since the last time; curses sends only the cells
    // that differ.
    void show() {
        refreshLog();
        if (!dirty_ || !gCursesActive)
            return;
        dirty_ = false;
        terminal::reconcile(server_, ui_, context_);
        int rows = 0, cols = 0;
        getmaxyx(stdscr, rows, cols);
        scene_ = terminal::layOut(server_, ui_, context_, rows, cols, options_);
        werase(stdscr);
        for (const terminal::Paint& paint : scene_.paints)
            std::visit([this](const auto& p) { draw(p); }, paint);
        wnoutrefresh(stdscr);
        doupdate();
    }

    void put(int y, int x, chtype ch) {
        if (y >= 0 && y < scene_.rows && x >= 0 && x < scene_.cols)
            mvwaddch(stdscr, y, x, ch);
    }

    void draw(const terminal::Frame& f) {
        if (f.height < 2 || f.width < 2)
            return;
        const chtype a = attributes(f.style);
        for (int y = f.y + 1; y < f.y + f.height - 1; ++y)
            for (int x = f.x + 1; x < f.x + f.width - 1; ++x)
                put(y, x, ' ');
        const int bottom = f.y + f.height - 1, right = f.x + f.width - 1;
        for (int x = f.x + 1; x < right; ++x) {
            put(f.y, x, ACS_HLINE | a);
            put(bottom, x, ACS_HLINE | a);
        }
        for (int y = f.y + 1; y < bottom; ++y) {
            put(y, f.x, ACS_VLINE | a);
            put(y, right, ACS_VLINE | a);
        }
        put(f.y, f.x, ACS_ULCORNER | a);
        put(f.y, right, ACS_URCORNER | a);
        put(bottom, f.x, ACS_LLCORNER | a);
        put(bottom, right, ACS_LRCORNER | a);
    }

    void draw(const terminal::Rule& r) {
        put(r.y, r.x, ACS_LTEE);
        for (int x = r.x + 1; x < r.x + r.width - 1; ++x)
            put(r.y, x, ACS_HLINE);
        put(r.y, r.x + r.width - 1, ACS_RTEE);
    }

    void draw(const terminal::TextRun& t) {
        const chtype a = attributes(t.style);
        for (std::size_t i = 0; i < t.text.size(); ++i)
            put(t.y, t.x + static_cast<int>(i), static_cast<unsigned char>(t.text[i]) | a);
    }

    void ring() {
        beep();
        if (canFlash_)
            flash();
    }

    void enableMouse(bool on) {
        if (on == mouseOn_)
            return;
        mouseOn_ = on;
        mousemask(on ? BUTTON1_PRESSED | BUTTON1_CLICKED : 0, nullptr);
    }

    void openLatestURL() {
        const auto& urls = server_.urls();
        if (urls.size() <= urlsSeen_)
            return;
        const std::string url = urls.back();
        urlsSeen_ = urls.size();
        ui_.message = terminal::openInBrowser(url) ? "Opened in the web browser: " + url
                                                   : "Open this address in a web browser: " + url;
        showingAddress_ = true;
        enableMouse(false);
        dirty_ = true;
    }

    // Reads the log's last lines again when the panel is shown and the file changed: the helper
    // tool writes to it from its own process, so only the file tells.
    void refreshLog() {
        if (!ui_.showLog) {
            logKnown_ = false;
            return;
        }
        const std::filesystem::path file = Disk::current().systemLogFile();
        struct stat st {};
        const bool exists = stat(file.c_str(), &st) == 0;
        const std::pair<long long, long long> signature{
            exists ? st.st_size : -1,
            exists ? st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec : -1};
        if (logKnown_ && !logChanged_ && signature == logSignature_)
            return;
        logKnown_ = true;
        logChanged_ = false;
        logSignature_ = signature;
        ui_.logLines = terminal::lastLines(file, 50);
        dirty_ = true;
    }

    WindowServer& server_;
    terminal::UiState ui_;
    terminal::Scene scene_;
    terminal::LayoutOptions options_;
    WaitContext context_;
    bool dirty_ = true;
    bool keysPending_ = true;
    bool inputGone_ = false;
    bool canFlash_ = false;
    bool mouseOn_ = false;
    bool showingAddress_ = false;
    std::size_t urlsSeen_ = 0;
    bool logKnown_ = false, logChanged_ = false;
    std::pair<long long, long long> logSignature_{-1, -1};
};

} // namespace

std::unique_ptr<FrontEnd> makeTerminalFrontEnd(WindowServer& server) {
    if (gCursesActive)
        return nullptr; // one terminal, one front end
    // Ours before curses starts: curses leaves handlers alone that the program has set, and the
    // previous actions we hand a signal on to are then the program's, not curses' own exit.
    gOwner = getpid();
    installRestorers();
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (!screen) {
        const char* term = std::getenv("TERM");
        std::fprintf(stderr, "The terminal front end cannot use the terminal \"%s\".\n",
                     term ? term : "");
        return nullptr;
    }
    set_term(screen);
    gCursesActive = true;
    cbreak(); // Control-C still interrupts, and restores the terminal on its way out
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    intrflush(stdscr, FALSE);
    leaveok(stdscr, TRUE);
    curs_set(0);
    set_escdelay(25);
    mouseinterval(0);
    return std::make_unique<TerminalFrontEnd>(server);
}

} // namespace macsim
