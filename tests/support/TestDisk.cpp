#include "TestDisk.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <regex>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kreloed::test {

namespace {

std::string login() {
    if (const passwd* pw = getpwuid(geteuid()))
        return pw->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "root";
}

bool isBinary(const fs::directory_entry& entry) {
    return entry.is_regular_file() &&
           (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
}

void setPlistValue(const fs::path& file, const std::string& key, const std::string& element,
                   const std::string& value) {
    std::string text = test::readText(file);
    const std::regex pattern("(<key>" + key + "</key>\\s*<" + element + ">)[^<]*(</" + element +
                             ">)");
    if (!std::regex_search(text, pattern))
        throw std::runtime_error("no key " + key + " in " + file.string());
    // Two-digit group numbers: a value starting with a digit would extend "$1" to "$11".
    text = std::regex_replace(text, pattern, "$01" + value + "$02");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

} // namespace

fs::path builtDisk() {
    return KRELOED_BUILT_DISK;
}

TestDisk::TestDisk() {
    std::string pattern = (fs::temp_directory_path() / "kreloed-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
    base_ = pattern;
    root_ = base_ / "Macintosh HD é";
    const fs::path from = builtDisk();
    fs::create_directories(root_);
    for (auto it = fs::recursive_directory_iterator(from); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path to = root_ / fs::relative(it->path(), from);
        if (it->is_symlink())
            fs::copy_symlink(it->path(), to);
        else if (it->is_directory())
            fs::create_directories(to);
        else if (isBinary(*it))
            fs::create_hard_link(it->path(), to);
        else
            fs::copy_file(it->path(), to);
    }
    // A fresh machine: nothing of the built disk's own runs carries over.
    for (const char* state : {"private/var/run/kernel", "private/var/db/auth"}) {
        fs::remove_all(root_ / state);
        fs::create_directories(root_ / state);
    }
    fs::remove_all(preferences());
    fs::create_directories(preferences());
    std::ofstream(systemLog(), std::ios::trunc);
}

TestDisk::~TestDisk() {
    if (std::getenv("KRELOED_KEEP_TEST_DISK"))
        return;
    std::error_code ignored;
    fs::remove_all(base_, ignored);
}

fs::path TestDisk::app() const {
    return root_ / "Applications/Kreloed.app";
}
fs::path TestDisk::executable() const {
    return app() / "Contents/MacOS/Kreloed";
}
fs::path TestDisk::resources() const {
    return app() / "Contents/Resources";
}
fs::path TestDisk::preferences() const {
    return root_ / "Users" / login() / "Library/Preferences";
}
fs::path TestDisk::settingsFile() const {
    return preferences() / "Kreloed Prefs";
}
fs::path TestDisk::systemLog() const {
    return root_ / "private/var/log/system.log";
}

void TestDisk::replaceFile(const fs::path& relative, const fs::path& from) const {
    const fs::path to = root_ / relative;
    fs::remove_all(to);
    fs::create_directories(to.parent_path());
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void TestDisk::removeFile(const fs::path& relative) const {
    fs::remove_all(root_ / relative);
}

void TestDisk::writeText(const fs::path& relative, const std::string& text) const {
    const fs::path to = root_ / relative;
    fs::remove(to); // never write through a hard link into the built disk
    fs::create_directories(to.parent_path());
    std::ofstream(to, std::ios::binary) << text;
}

std::string TestDisk::readText(const fs::path& relative) const {
    return test::readText(root_ / relative);
}

void TestDisk::setSystemVersion(const std::string& version) const {
    setPlistValue(root_ / "System/Library/CoreServices/SystemVersion.plist", "ProductVersion",
                  "string", version);
}

void TestDisk::setClockRate(long long hertz) const {
    setPlistValue(root_ / "Library/Hardware.plist", "ProcessorClockRate", "integer",
                  std::to_string(hertz));
}

std::vector<nlohmann::json> AppRun::events(const std::string& event) const {
    std::vector<nlohmann::json> found;
    for (const auto& line : trace)
        if (line.value("event", "") == event)
            found.push_back(line);
    return found;
}

nlohmann::json AppRun::lastDump() const {
    const auto dumps = events("dump");
    if (dumps.empty())
        return nlohmann::json();
    const auto& last = dumps.back();
    return last.contains("state") ? last["state"] : last;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<unsigned char> readBytes(const fs::path& path) {
    const std::string text = readText(path);
    return std::vector<unsigned char>(text.begin(), text.end());
}

AppRun runApp(const TestDisk& disk, const std::string& script,
              const std::map<std::string, std::string>& environment, int timeoutSeconds) {
    const fs::path work = disk.root().parent_path();
    static int runs = 0;
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(++runs);
    const fs::path scriptFile = work / ("script-" + tag + ".txt");
    const fs::path traceFile = work / ("trace-" + tag + ".jsonl");
    const fs::path outFile = work / ("out-" + tag + ".txt");
    const fs::path errFile = work / ("err-" + tag + ".txt");
    std::ofstream(scriptFile, std::ios::binary) << script;

    std::map<std::string, std::string> env;
    for (const char* keep :
         {"PATH", "HOME", "USER", "LANG", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(keep))
            env[keep] = value;
    env["MACSIM_FRONTEND"] = "headless";
    env["MACSIM_SCRIPT"] = scriptFile.string();
    env["MACSIM_TRACE"] = traceFile.string();
    for (const auto& [key, value] : environment)
        env[key] = value;
    std::vector<std::string> envStrings;
    for (const auto& [key, value] : env)
        envStrings.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    const std::string exe = disk.executable().string();

    AppRun run;
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(work.c_str()) != 0)
            _exit(126);
        char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
        execve(exe.c_str(), argv, envp.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            run.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.status = WIFEXITED(status) && !run.timedOut ? WEXITSTATUS(status) : -1;
    run.out = test::readText(outFile);
    run.err = test::readText(errFile);
    std::ifstream trace(traceFile);
    for (std::string line; std::getline(trace, line);)
        if (!line.empty())
            run.trace.push_back(nlohmann::json::parse(line, nullptr, false));
    return run;
}

} // namespace kreloed::test
