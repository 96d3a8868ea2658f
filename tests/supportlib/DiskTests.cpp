#include "TempFolder.h"

#include "macsim/Disk.h"

#include <csignal>
#include <gtest/gtest.h>
#include <regex>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using macsim::Disk;
using macsim::test::TempFolder;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A folder that is a disk: it holds the system version file.
void makeDisk(const TempFolder& folder, const fs::path& relativeRoot) {
    folder.write(relativeRoot / "System/Library/CoreServices/SystemVersion.plist", "<plist/>");
}

} // namespace

TEST(Disk, FindWalksUpToTheFirstFolderHoldingTheSystemVersionFile) {
    TempFolder folder;
    makeDisk(folder, "outer");
    makeDisk(folder, "outer/Applications/inner disk");
    fs::create_directories(folder / "outer/Applications/inner disk/Users/x/Deep");
    fs::create_directories(folder / "outer/Library");
    folder.write("outer/Applications/file", "");

    struct Row {
        const char* name;
        fs::path start;
        std::optional<fs::path> root;
    } rows[] = {
        {"the root itself", folder / "outer", folder / "outer"},
        {"a folder below", folder / "outer/Library", folder / "outer"},
        {"a file below", folder / "outer/Applications/file", folder / "outer"},
        {"the nearest of two nested disks", folder / "outer/Applications/inner disk/Users/x/Deep",
         folder / "outer/Applications/inner disk"},
        {"a path that does not exist yet", folder / "outer/Library/missing/x", folder / "outer"},
        {"outside any disk", folder.path(), std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Disk::find(row.start), row.root);
    }
}

TEST(Disk, FoldersAreTheDocumentedPlacesBelowTheRoot) {
    const Disk disk("/d");
    EXPECT_EQ(disk.systemVersionFile(), "/d/System/Library/CoreServices/SystemVersion.plist");
    EXPECT_EQ(disk.preferencesFolder(), "/d/Users/" + macsim::loginName() + "/Library/Preferences");
    EXPECT_EQ(disk.systemLogFile(), "/d/private/var/log/system.log");
    EXPECT_FALSE(macsim::loginName().empty());
    EXPECT_EQ(macsim::loginName().find('/'), std::string::npos);
}

TEST(Disk, AProcessOnNoDiskStopsWithOneLineAndStatus70) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The test program lies in the build tree, on no disk.
    unsetenv("MACSIM_DISK");
    EXPECT_EXIT(Disk::current(), testing::ExitedWithCode(70),
                "^[^\n]*: not on a simulated Mac disk \\(no "
                "System/Library/CoreServices/SystemVersion.plist above [^\n]*\\)\n$");
}

TEST(Disk, TheEnvironmentNamesTheDiskAndMustNameARealOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    makeDisk(folder, "disk");
    EXPECT_EXIT(
        {
            setenv("MACSIM_DISK", (folder / "disk").c_str(), 1);
            std::exit(Disk::current().root() == folder / "disk" ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            setenv("MACSIM_DISK", folder.path().c_str(), 1);
            Disk::current();
        },
        testing::ExitedWithCode(70), "MACSIM_DISK=.* is not a simulated Mac disk");
}

TEST(Disk, UseReplacesTheCurrentDiskInPlace) {
    Disk::use("/first");
    Disk& current = Disk::current();
    Disk::use("/second");
    EXPECT_EQ(current.root(), "/second");
    EXPECT_EQ(&Disk::current(), &current);
}

TEST(Disk, LogAppendsOneDatedLinePerMessage) {
    TempFolder folder;
    const Disk disk(folder.path());
    fs::create_directories(disk.systemLogFile().parent_path());
    disk.log("Kreloed", "first");
    disk.log("authtool", "two\nlines");

    const std::string log = TempFolder::read(disk.systemLogFile());
    const std::string pid = std::to_string(getpid());
    const std::regex expected("[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} Kreloed\\[" +
                              pid +
                              "\\]: first\n"
                              "[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} authtool\\[" +
                              pid + "\\]: two lines\n");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST(Files, ReadFileRefusesWhatIsMissingNotAFileOrTooLarge) {
    TempFolder folder;
    const auto file = folder.write("ten", "0123456789");
    EXPECT_EQ(macsim::readFile(file, 10)->size(), 10u);
    EXPECT_FALSE(macsim::readFile(file, 9));
    EXPECT_FALSE(macsim::readFile(folder / "missing", 100));
    EXPECT_FALSE(macsim::readFile(folder.path(), 100));
    // A FIFO with no writer must not hang the reader.
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0);
    EXPECT_FALSE(macsim::readFile(folder / "fifo", 100));
    EXPECT_EQ(macsim::readFile(folder.write("empty", ""), 0)->size(), 0u);
}

TEST(Files, WriteFileAtomicallyReplacesTheFileWithItsPermissions) {
    TempFolder folder;
    const auto file = folder.write("settings", "old");
    ASSERT_TRUE(macsim::writeFileAtomically(file, bytesOf("new and longer"),
                                            fs::perms::owner_read | fs::perms::owner_write));
    EXPECT_EQ(TempFolder::read(file), "new and longer");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);
}

TEST(Files, AFailedAtomicWriteLeavesTheOldFileAndNoLeftovers) {
    TempFolder folder;
    const auto file = folder.write("settings", "old");
    const std::string big(4096, 'x');

    // A file size limit makes the write itself fail half-way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = macsim::writeFileAtomically(file, bytesOf(big));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(TempFolder::read(file), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);

    // No folder to write in.
    EXPECT_FALSE(macsim::writeFileAtomically(folder / "missing/settings", bytesOf("x")));
}

TEST(Files, AppendToFileAddsToTheEnd) {
    TempFolder folder;
    const auto file = folder / "log";
    EXPECT_TRUE(macsim::appendToFile(file, "one\n"));
    EXPECT_TRUE(macsim::appendToFile(file, "two\n"));
    EXPECT_EQ(TempFolder::read(file), "one\ntwo\n");
    EXPECT_FALSE(macsim::appendToFile(folder / "missing/log", "x"));
}

TEST(Files, FileLockExcludesOtherProcessesUntilReleased) {
    TempFolder folder;
    const auto lockFile = folder / "state.lock";
    // Whether another process can take the lock right now.
    auto otherCanLock = [&] {
        const pid_t child = fork();
        if (child == 0) {
            const int fd = open(lockFile.c_str(), O_RDWR);
            _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    {
        macsim::FileLock lock(lockFile);
        ASSERT_TRUE(lock.held());
        EXPECT_FALSE(otherCanLock());
    }
    EXPECT_TRUE(otherCanLock());
    EXPECT_FALSE(macsim::FileLock(folder / "missing/state.lock").held());
}
