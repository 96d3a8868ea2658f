// What the tests share: a fresh copy of the built simulated Mac for each test, and a way to run the
// built application on it with a headless script.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kreloed::test {

namespace fs = std::filesystem;

// The disk the build laid out (build/mac).
fs::path builtDisk();

// A copy of the built disk in a fresh temporary folder whose path holds a space and a non-ASCII
// character, as real Mac volumes do. Binaries are hard links, everything else is copied, so the
// copy can be changed freely; replace a binary with replaceFile(), never by writing into it.
// Removed with everything in it when the object goes (unless $KRELOED_KEEP_TEST_DISK is set).
class TestDisk {
public:
    TestDisk();
    TestDisk(const TestDisk&) = delete;
    TestDisk& operator=(const TestDisk&) = delete;
    ~TestDisk();

    const fs::path& root() const { return root_; }
    fs::path app() const;          // Applications/Kreloed.app
    fs::path executable() const;   // Applications/Kreloed.app/Contents/MacOS/Kreloed
    fs::path resources() const;    // Applications/Kreloed.app/Contents/Resources
    fs::path preferences() const;  // Users/<login>/Library/Preferences
    fs::path settingsFile() const; // the Preferences folder's "Kreloed Prefs"
    fs::path systemLog() const;

    // Puts a copy of from at the disk-relative path, replacing what was there (a link is cut).
    void replaceFile(const fs::path& relative, const fs::path& from) const;
    void removeFile(const fs::path& relative) const;
    void writeText(const fs::path& relative, const std::string& text) const;
    std::string readText(const fs::path& relative) const;
    // Sets ProductVersion in SystemVersion.plist ("10.1.5").
    void setSystemVersion(const std::string& version) const;
    // Sets ProcessorClockRate in the hardware description.
    void setClockRate(long long hertz) const;

private:
    fs::path base_; // the temporary folder
    fs::path root_; // the disk inside it
};

// One run of the built application.
struct AppRun {
    int status = -1; // exit status, or -1 when it did not exit normally
    bool timedOut = false;
    std::string out, err;              // standard output and error
    std::vector<nlohmann::json> trace; // the MACSIM_TRACE lines, parsed

    // The trace entries whose "event" is event, in order.
    std::vector<nlohmann::json> events(const std::string& event) const;
    // The last "dump" entry's state.
    nlohmann::json lastDump() const;
};

// Runs the disk's application with the headless front end on script (the script language of
// docs/headless-script.md). Extra environment variables may be given; it is killed after
// timeoutSeconds of real time.
AppRun runApp(const TestDisk& disk, const std::string& script,
              const std::map<std::string, std::string>& environment = {}, int timeoutSeconds = 60);

// The whole file; empty when it is missing.
std::vector<unsigned char> readBytes(const fs::path& path);
std::string readText(const fs::path& path);

} // namespace kreloed::test
