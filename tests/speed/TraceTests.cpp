// The runner's trace lines, in a build of it with tracing compiled in.
#include "SpeedFixture.h"

namespace speedtest {
namespace {

std::string traced(const std::function<void()>& run) {
    ::testing::internal::CaptureStderr();
    run();
    return ::testing::internal::GetCapturedStderr();
}

TEST_F(SpeedTest, TraceOfACommandWhoseToolExits3) {
    ASSERT_NE(myDebug, 0);
    installTool("#!/bin/sh\n/bin/cat >/dev/null\nexit 3\n");
    EXPECT_EQ(traced([] { EXPECT_EQ(myPerformAuthCommand(cmdSetSpeed, 700, ""), 0); }),
              "searching authtool\n"
              "authtool found.\n"
              "AuthorizationMakeExternalForm done.\n"
              "pipe done.\n"
              "child done.\n"
              "Passing child externalized authref.\n"
              "write done.\n"
              "Passing child command.\n"
              "written != command done.\n"
              "waitpid done.\n"
              "wifexited done.\n"
              "Performing the command returned 3.\n");
}

TEST_F(SpeedTest, TraceOfFailures) {
    disk.removeFile(loaderRelative());
    EXPECT_EQ(traced([] { myPerformAuthCommand(cmdSetSpeed, 700, ""); }),
              "searching authtool\n"
              "The authtool could not be found.\n"
              "Performing the command returned -1.\n");

    installTool("#!/bin/sh\n/bin/cat >/dev/null\nkill -KILL $$\n");
    const std::string killed = traced([] { myPerformAuthCommand(cmdSetSpeed, 700, ""); });
    EXPECT_NE(killed.find("waitpid done.\nPerforming the command returned -1.\n"),
              std::string::npos)
        << killed;
    EXPECT_EQ(killed.find("wifexited done."), std::string::npos) << killed;
}

TEST_F(SpeedTest, TraceOfAnAuthorizationThatCannotBeCreated) {
    myFreeAuthCommand();
    authorizationRef = NULL;
    // The authority cannot register anything when its folder is a file.
    fs::remove_all(disk.root() / "private/var/db/auth");
    disk.writeText("private/var/db/auth", "");
    EXPECT_EQ(traced([] { EXPECT_EQ(myInitAuthCommand(), -1); }),
              "Failed to create the authref: -60008.\n");
    EXPECT_EQ(authorizationRef, nullptr);
}

} // namespace
} // namespace speedtest
