// The helper tool "loader", run as a separate process exactly as the application runs it.
#include <sys/stat.h>
#include <sys/sysctl.h>

#include <AuthToolStatus.h>
#include <macsim/Authority.h>
#include <macsim/TextEncoding.h>

#include "HelperFixture.h"

namespace helpertest {
namespace {

std::uint32_t readSpeedSysctl() {
    int mib[4];
    size_t count = 4;
    std::uint32_t value = 0;
    size_t size = sizeof value;
    if (sysctlnametomib("hw.cpuspeed", mib, &count) != 0 || count != 2 ||
        sysctl(mib, 2, &value, &size, nullptr, 0) != 0)
        return 0;
    return value;
}

TEST_F(HelperTest, LoadsSetsTheSpeedAndUnloads) {
    EXPECT_EQ(runLoader(input(cmdLoadKext, 0, kext().string())), kAuthToolDone);
    EXPECT_EQ(readSpeedSysctl(), 1000u);
    EXPECT_EQ(runLoader(input(cmdSetSpeed, 867, "")), kAuthToolDone);
    EXPECT_EQ(readSpeedSysctl(), 867u);
    EXPECT_EQ(runLoader(input(cmdUnloadKext, 0, kext().string())), kAuthToolDone);
    EXPECT_EQ(readSpeedSysctl(), 0u) << "hw.cpuspeed is gone";
    EXPECT_NE(machine({"state"}).find("\"speed\":1000"), std::string::npos)
        << "unloading returns the processor to its clock rate";
    EXPECT_TRUE(logLines().empty());
}

TEST_F(HelperTest, TakesThePathInMacRomanToo) {
    const auto macRoman = macsim::utf8ToMacRoman(kext().string());
    ASSERT_TRUE(macRoman);
    ASSERT_NE(*macRoman, kext().string()) << "the disk's path should hold a non-ASCII character";
    EXPECT_EQ(runLoader(input(cmdLoadKext, 0, *macRoman)), kAuthToolDone);
    EXPECT_EQ(readSpeedSysctl(), 1000u);
    EXPECT_EQ(runLoader(input(cmdUnloadKext, 0, *macRoman)), kAuthToolDone);
}

// Every bad input leaves the kernel state as it was, byte for byte, and writes one log line.
TEST_F(HelperTest, BadInputsChangeNothingAndLogOneLine) {
    const std::string other =
        makeKext("Other.kext", kextInfo("org.example.Other", {"hw.otherspeed"})).string();
    const std::string rival =
        makeKext("Rival.kext", kextInfo("org.example.Rival", {"hw.cpuspeed"})).string();
    const std::string noPlist = makeKext("NoPlist.kext", "").string();
    fs::remove(fs::path(noPlist) / "Contents/Info.plist");
    const std::string truncated =
        makeKext("Truncated.kext", kextInfo("org.example.T", {}).substr(0, 90)).string();
    const std::string notKext =
        makeKext("App.kext",
                 "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                 "<string>x</string><key>CFBundlePackageType</key><string>APPL</string></dict>"
                 "</plist>")
            .string();
    const std::string badName =
        makeKext("BadName.kext", kextInfo("org.example.Bad", {"cpuspeed"})).string();
    // A named pipe in the Info.plist's place must not leave the privileged tool waiting.
    const std::string fifo = makeKext("Fifo.kext", "").string();
    fs::remove(fs::path(fifo) / "Contents/Info.plist");
    ASSERT_EQ(mkfifo((fs::path(fifo) / "Contents/Info.plist").c_str(), 0644), 0);
    fs::create_directories(disk.root() / "Plain");
    const std::string plainFolder = (disk.root() / "Plain").string();

    AuthorizationExternalForm unknown;
    std::memset(unknown.bytes, 0x5A, sizeof unknown.bytes);
    auto withForm = [](Bytes bytes, const void* form) {
        std::memcpy(bytes.data(), form, 32);
        return bytes;
    };
    const Bytes load = input(cmdLoadKext, 0, kext().string());

    struct Row {
        const char* name;
        Bytes input;
        AuthToolStatus status;
    };
    const std::vector<Row> rows = {
        {"no input", {}, kAuthToolShortInput},
        {"one byte short", Bytes(load.begin(), load.end() - 1), kAuthToolShortInput},
        {"one byte long",
         [&] {
             Bytes b = load;
             b.push_back(0);
             return b;
         }(),
         kAuthToolLongInput},
        {"unknown authorization", withForm(load, unknown.bytes), kAuthToolNotAuthorized},
        {"lead word 0", input(cmdLoadKext, 0, kext().string(), 0), kAuthToolBadLeadWord},
        {"command 0", input(0, 0, ""), kAuthToolUnknownCommand},
        {"command 4", input(4, 0, ""), kAuthToolUnknownCommand},
        {"command -1", input(-1, 0, ""), kAuthToolUnknownCommand},
        {"path without terminator", input(cmdLoadKext, 0, std::string(500, 'a')),
         kAuthToolUnterminatedPath},
        {"relative path", input(cmdLoadKext, 0, "Krelo.kext"), kAuthToolNotABundle},
        {"empty path", input(cmdUnloadKext, 0, ""), kAuthToolNotABundle},
        {"a plain folder", input(cmdLoadKext, 0, plainFolder), kAuthToolNotABundle},
        {"no such bundle", input(cmdLoadKext, 0, kext().string() + "x"), kAuthToolNotABundle},
        {"bundle without Info.plist", input(cmdLoadKext, 0, noPlist), kAuthToolBadInfoPlist},
        {"truncated Info.plist", input(cmdLoadKext, 0, truncated), kAuthToolBadInfoPlist},
        {"Info.plist is a named pipe", input(cmdLoadKext, 0, fifo), kAuthToolBadInfoPlist},
        {"not a kernel extension", input(cmdLoadKext, 0, notKext), kAuthToolBadInfoPlist},
        {"publishes a one-level name", input(cmdLoadKext, 0, badName), kAuthToolBadInfoPlist},
        {"load twice", load, kAuthToolAlreadyLoaded},
        {"unload what is not loaded", input(cmdUnloadKext, 0, other), kAuthToolNotLoaded},
        {"publishes a name already published", input(cmdLoadKext, 0, rival), kAuthToolSysctlTaken},
        {"speed below the range", input(cmdSetSpeed, 299, ""), kAuthToolSpeedRejected},
        {"speed above the range", input(cmdSetSpeed, 1301, ""), kAuthToolSpeedRejected},
        {"negative speed", input(cmdSetSpeed, -867, ""), kAuthToolSpeedRejected},
    };

    ASSERT_EQ(runLoader(load), kAuthToolDone);
    ASSERT_EQ(runLoader(input(cmdSetSpeed, 867, "")), kAuthToolDone);
    const Bytes state = stateBytes();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t linesBefore = logLines().size();
        EXPECT_EQ(runLoader(row.input), row.status);
        EXPECT_EQ(stateBytes(), state);
        const auto lines = logLines();
        ASSERT_EQ(lines.size(), linesBefore + 1);
        EXPECT_NE(lines.back().find("authtool["), std::string::npos) << lines.back();
        EXPECT_NE(lines.back().find("]: authtool: "), std::string::npos) << lines.back();
    }
}

TEST_F(HelperTest, FailuresThatDependOnTheMachine) {
    struct Row {
        const char* name;
        void (*prepare)(const kreloed::test::TestDisk&);
        std::int32_t code;
        std::int32_t argument;
        AuthToolStatus status;
    };
    const Row rows[] = {
        {"set speed with nothing loaded", [](const kreloed::test::TestDisk&) {}, cmdSetSpeed, 867,
         kAuthToolNoSpeedControl},
        {"kernel state corrupt",
         [](const kreloed::test::TestDisk& d) {
             d.writeText("private/var/run/kernel/state", "<plist><dict><key>Exten");
         },
         cmdLoadKext, 0, kAuthToolStateUnreadable},
        {"hardware description malformed",
         [](const kreloed::test::TestDisk& d) { d.writeText("Library/Hardware.plist", "<plist>"); },
         cmdSetSpeed, 867, kAuthToolHardwareUnreadable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(stateFile());
        row.prepare(disk);
        const Bytes state = stateBytes();
        const std::size_t linesBefore = logLines().size();
        EXPECT_EQ(runLoader(input(row.code, row.argument,
                                  row.code == cmdSetSpeed ? "" : kext().string())),
                  row.status);
        EXPECT_EQ(stateBytes(), state);
        EXPECT_EQ(logLines().size(), linesBefore + 1);
    }
}

TEST_F(HelperTest, AuthorizationMustBeLive) {
    const Bytes load = input(cmdLoadKext, 0, kext().string());
    AuthorizationFree(authorization, kAuthorizationFlagDestroyRights);
    authorization = nullptr;
    EXPECT_EQ(runLoader(load), kAuthToolNotAuthorized);
    EXPECT_TRUE(stateBytes().empty());
}

TEST_F(HelperTest, OffTheDiskItStopsWithOneLine) {
    const fs::path elsewhere = disk.root().parent_path() / "loader";
    fs::copy_file(loader(), elsewhere);
    std::string errors;
    EXPECT_EQ(runProgram(elsewhere, input(cmdSetSpeed, 867, ""), &errors), kAuthToolNoDisk);
    EXPECT_NE(errors.find("not on a simulated Mac disk"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

} // namespace
} // namespace helpertest
