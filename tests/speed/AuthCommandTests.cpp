// The privileged command runner: the bytes the helper tool receives, how it is started, and what
// the runner makes of every way a command can fail.
#include <csignal>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include <gmock/gmock.h>

#include <macsim/MainBundle.h>

#include "SpeedFixture.h"

namespace speedtest {
namespace {

// The documented stream, built byte by byte rather than through AuthCommandRecord, so that the
// runner and a mistaken record layout cannot agree on a wrong stream.
std::vector<std::uint8_t> documentedStream(const std::vector<std::uint8_t>& form, std::int32_t code,
                                           std::int32_t argument, const std::string& pathField) {
    std::vector<std::uint8_t> stream(544, 0);
    std::memcpy(stream.data(), form.data(), 32);
    const std::int32_t lead = 1;
    std::memcpy(stream.data() + 32, &lead, 4);
    std::memcpy(stream.data() + 36, &code, 4);
    std::memcpy(stream.data() + 40, &argument, 4);
    std::memcpy(stream.data() + 44, pathField.data(), pathField.size());
    return stream;
}

TEST_F(SpeedTest, LoadThenSetSpeedSendTheDocumentedStreams) {
    installRecorder();
    load_kext(1);
    loaded = 1; // the recorder loads nothing; the speed goes out as if it had
    set_speed(1, 700);

    const auto streams = recordedStreams();
    ASSERT_EQ(streams.size(), 2u);
    // The path is in the 8-bit encoding the text conversion chose for the disk's non-ASCII name.
    const std::string path = recordOf(streams[0]).path;
    EXPECT_THAT(kreloPathSpellings(), ::testing::Contains(path));
    EXPECT_EQ(streams[0], documentedStream(externalForm(), 1, 0, path));
    // The set-speed path is empty, and the rest of the load's path is still behind its terminator.
    std::string leftOver = path;
    leftOver[0] = '\0';
    EXPECT_EQ(streams[1], documentedStream(externalForm(), 3, 700, leftOver));
}

TEST_F(SpeedTest, ToolGetsItsPathAsOnlyArgumentAndAnEmptyEnvironment) {
    installRecorder();
    EXPECT_EQ(performCommand(authorizationRef, myCommand), 0);
    EXPECT_EQ(recordedArgs(), "argc 1\nargv " + loader().string() + "\nenvironment 0\n");
}

TEST_F(SpeedTest, ToolGetsItsInputWhenTheApplicationHasNoStandardInput) {
    installRecorder();
    const int saved = dup(STDIN_FILENO);
    close(STDIN_FILENO);
    const int result = performCommand(authorizationRef, myCommand);
    dup2(saved, STDIN_FILENO);
    close(saved);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(recordedStreams().size(), 1u);
}

enum class Tool { missing, notExecutable, recorder, script };

struct FailureRow {
    const char* name;
    Tool tool;
    const char* script;
    bool authorized;
    std::vector<int> results; // performCommand's result, for each of two commands
    int errorWindows;         // showError_loader calls per command
    bool toolRuns;            // whether the recording tool saw anything
};

TEST_F(SpeedTest, RunnerFailures) {
    const FailureRow rows[] = {
        {"tool missing", Tool::missing, "", true, {-1}, 1, false},
        {"tool not executable", Tool::notExecutable, "", true, {-1}, 1, false},
        {"authorization missing", Tool::recorder, "", false, {-1}, 0, false},
        // The child's exit status 1, unless it has already ended when the runner writes: the
        // write then fails (SIGPIPE is ignored) and the runner gives up. Which comes first is
        // up to the scheduler.
        {"tool cannot be started",
         Tool::script,
         "#!/nonexistent/interpreter\n",
         true,
         {1, -1},
         0,
         false},
        // The scripts read their input first, so that they end only after the runner has written.
        {"tool exits 3",
         Tool::script,
         "#!/bin/sh\n/bin/cat >/dev/null\nexit 3\n",
         true,
         {3},
         0,
         false},
        {"tool killed by a signal",
         Tool::script,
         "#!/bin/sh\n/bin/cat >/dev/null\nkill -KILL $$\n",
         true,
         {-1},
         0,
         false},
        {"tool does its work", Tool::recorder, "", true, {0}, 0, true},
    };
    const AuthorizationRef authorization = authorizationRef;
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        doubles::reset();
        disk.removeFile(loaderRelative());
        disk.removeFile(loaderRelative().string() + ".stdin");
        switch (row.tool) {
        case Tool::missing:
            break;
        case Tool::notExecutable:
            disk.writeText(loaderRelative(), "#!/bin/sh\nexit 0\n");
            break;
        case Tool::recorder:
            installRecorder();
            break;
        case Tool::script:
            installTool(row.script);
            break;
        }
        authorizationRef = row.authorized ? authorization : NULL;

        for (int command = 1; command <= 2; ++command) {
            EXPECT_THAT(row.results,
                        ::testing::Contains(performCommand(authorizationRef, myCommand)));
            EXPECT_EQ(myPerformAuthCommand(cmdSetSpeed, 700, ""), 0);
            EXPECT_EQ(doubles::calls.errorLoader, 2 * command * row.errorWindows);
        }
        EXPECT_EQ(fs::exists(loader().string() + ".stdin"), row.toolRuns);
    }
    authorizationRef = authorization;
}

TEST_F(SpeedTest, SigpipeIsIgnoredFromTheFirstCommandThatStartsTheTool) {
    std::signal(SIGPIPE, SIG_DFL);
    disk.removeFile(loaderRelative());
    myPerformAuthCommand(cmdSetSpeed, 700, "");
    EXPECT_EQ(std::signal(SIGPIPE, SIG_DFL), SIG_DFL) << "no tool was started";

    installTool("#!/bin/sh\nexit 0\n");
    myPerformAuthCommand(cmdSetSpeed, 700, "");
    EXPECT_EQ(std::signal(SIGPIPE, SIG_IGN), SIG_IGN);
}

TEST_F(SpeedTest, NothingOnStandardErrorWithoutTracing) {
    ASSERT_EQ(myDebug, 0);
    installTool("#!/bin/sh\n/bin/cat >/dev/null\nexit 3\n");
    ::testing::internal::CaptureStderr();
    myPerformAuthCommand(cmdSetSpeed, 700, "");
    disk.removeFile(loaderRelative());
    myPerformAuthCommand(cmdSetSpeed, 700, "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// A main bundle whose resources folder lies deeper than the runner's 1024-byte path buffer.
TEST_F(SpeedTest, ToolPathTooLongForTheBufferIsNotLookedAt) {
    macsim::useMainBundle(makeDeepApp(1100));

    // Filled with the path of an executable, so that a look at the unfilled buffer would succeed.
    char path[1024];
    std::strcpy(path, "/bin/sh");
    EXPECT_FALSE(pathForTool(CFSTR("loader"), path));
    EXPECT_EQ(performCommand(authorizationRef, myCommand), -1);
    EXPECT_EQ(doubles::calls.errorLoader, 1);
}

TEST_F(SpeedTest, PathThatDoesNotFitTheRecordIsNotSent) {
    installRecorder();
    const std::string tooLong(500, 'p');
    myPerformAuthCommand(cmdLoadKext, 0, tooLong.c_str());
    EXPECT_TRUE(recordedStreams().empty());

    const std::string longest(499, 'p');
    myPerformAuthCommand(cmdLoadKext, 0, longest.c_str());
    ASSERT_EQ(recordedStreams().size(), 1u);
    EXPECT_EQ(std::string(recordOf(recordedStreams()[0]).path), longest);
}

} // namespace
} // namespace speedtest
