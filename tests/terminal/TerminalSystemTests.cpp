// The terminal front end's dealings outside its screen: the web-address opener and the log tail.
#include "TempFolder.h"
#include "TerminalSystem.h"
#include "TestDisk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace kreloed::test {
namespace {

namespace fs = std::filesystem;
using macsim::terminal::lastLines;
using macsim::terminal::openInBrowser;

using macsim::test::TempFolder;

// Waits (a bounded while) for path to exist.
bool appears(const fs::path& path) {
    for (int i = 0; i < 100; ++i) {
        if (fs::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(TerminalLog, LastLinesOfTheLog) {
    TempFolder folder;
    const fs::path log = folder.path() / "system.log";
    struct Row {
        const char* name;
        std::string text;
        std::size_t count, maxBytes;
        std::vector<std::string> lines;
    } table[] = {
        {"fewer than asked", "a\nb\n", 5, 1024, {"a", "b"}},
        {"the last ones", "a\nb\nc\nd\n", 2, 1024, {"c", "d"}},
        {"no final newline", "a\nb", 5, 1024, {"a", "b"}},
        {"empty", "", 5, 1024, {}},
        {"cut at a line break", "first line\nsecond\nthird\n", 5, 14, {"second", "third"}},
        {"cut line left out", "first line\nsecond\nthird\n", 5, 12, {"third"}},
        {"none asked", "a\n", 0, 1024, {}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        std::ofstream(log, std::ios::trunc) << row.text;
        EXPECT_EQ(lastLines(log, row.count, row.maxBytes), row.lines);
    }
    EXPECT_TRUE(lastLines(folder.path() / "missing.log", 5).empty());
}

class TerminalOpener : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        record_ = folder_.path() / "record";
        release_ = folder_.path() / "release";
        done_ = folder_.path() / "done";
        // The opener notes its arguments, parent, session and output, then stays until released.
        std::ofstream script(folder_.path() / "xdg-open");
        script << "#!/bin/sh\n"
               << "out=$(readlink /proc/$$/fd/1)\n"
               << "{ echo \"args:$#:$1\"; echo \"parent:$PPID\";"
               << " echo \"session:$(cut -d' ' -f6 /proc/$$/stat)\";"
               << " echo \"out:$out\"; } > '" << record_.string() << ".tmp' && mv '"
               << record_.string() << ".tmp' '" << record_.string() << "'\n"
               << "i=0; while [ ! -e '" << release_.string()
               << "' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
               << "touch '" << done_.string() << "'\n";
        script.close();
        fs::permissions(folder_.path() / "xdg-open", fs::perms::owner_all);
        setenv("PATH", (folder_.path().string() + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override {
        std::ofstream(release_.string());
        setenv("PATH", oldPath_.c_str(), 1);
        if (fs::exists(record_))
            appears(done_);
    }

    TempFolder folder_;
    std::string oldPath_;
    fs::path record_, release_, done_;
};

TEST_F(TerminalOpener, WebAddressGoesToTheOpenerDetached) {
    ASSERT_TRUE(openInBrowser("http://example.com/a b?c=1&d"));
    ASSERT_TRUE(appears(record_));
    // Back while the opener still runs: nothing waits for a browser.
    EXPECT_FALSE(fs::exists(done_));
    const std::string record = kreloed::test::readText(record_);
    EXPECT_NE(record.find("args:1:http://example.com/a b?c=1&d\n"), std::string::npos) << record;
    EXPECT_EQ(record.find("parent:" + std::to_string(getpid()) + "\n"), std::string::npos)
        << "not our child";
    EXPECT_EQ(record.find("session:" + std::to_string(getsid(0)) + "\n"), std::string::npos)
        << "a session of its own";
    EXPECT_NE(record.find("out:/dev/null"), std::string::npos) << record;
    std::ofstream(release_.string());
    EXPECT_TRUE(appears(done_));
}

TEST_F(TerminalOpener, AnythingButAWebAddressStaysHome) {
    for (const char* url : {"", "http://", "-n http://example.com", "file:///etc/passwd",
                            "javascript:alert(1)", "HTTP//example.com"}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(openInBrowser(url));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(record_));
}

TEST(TerminalOpenerMissing, WithoutAnOpenerNothingStarts) {
    const char* path = std::getenv("PATH");
    const std::string old = path ? path : "";
    TempFolder empty;
    setenv("PATH", empty.path().c_str(), 1);
    EXPECT_FALSE(openInBrowser("https://example.com/"));
    setenv("PATH", old.c_str(), 1);
}

} // namespace
} // namespace kreloed::test
