// Authorizations and the disk's authority: live while the creator runs and until destroyed.
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <macsim/Authority.h>

#include "HelperFixture.h"

namespace helpertest {
namespace {

macsim::AuthorizationBytes bytesOf(AuthorizationRef authorization) {
    AuthorizationExternalForm form;
    EXPECT_EQ(AuthorizationMakeExternalForm(authorization, &form), errAuthorizationSuccess);
    macsim::AuthorizationBytes bytes;
    std::memcpy(bytes.data(), form.bytes, bytes.size());
    return bytes;
}

// The external form of an authorization made by a child process that then ends without freeing.
macsim::AuthorizationBytes madeByAnEndedProcess() {
    int channel[2];
    EXPECT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    if (child == 0) {
        AuthorizationRef ref = nullptr;
        AuthorizationCreate(nullptr, kAuthorizationEmptyEnvironment, kAuthorizationFlagDefaults,
                            &ref);
        AuthorizationExternalForm form{};
        if (ref)
            AuthorizationMakeExternalForm(ref, &form);
        _exit(write(channel[1], &form, sizeof form) == sizeof form ? 0 : 1);
    }
    close(channel[1]);
    macsim::AuthorizationBytes bytes{};
    EXPECT_EQ(read(channel[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(channel[0]);
    waitpid(child, nullptr, 0);
    return bytes;
}

TEST_F(HelperTest, AuthorizationLifetime) {
    const macsim::Disk& d = macsim::Disk::current();
    const auto ours = bytesOf(authorization);
    EXPECT_TRUE(macsim::isAuthorizationLive(d, ours));
    EXPECT_EQ(fs::status(macsim::authorizationFile(d, ours)).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    AuthorizationRef kept = nullptr;
    ASSERT_EQ(AuthorizationCreate(nullptr, nullptr, 0, &kept), errAuthorizationSuccess);
    const auto keptBytes = bytesOf(kept);
    EXPECT_NE(keptBytes, ours);
    EXPECT_EQ(AuthorizationFree(kept, kAuthorizationFlagDefaults), errAuthorizationSuccess);
    EXPECT_TRUE(macsim::isAuthorizationLive(d, keptBytes))
        << "without destroying rights it lives as long as its creator";

    EXPECT_EQ(AuthorizationFree(authorization, kAuthorizationFlagDestroyRights),
              errAuthorizationSuccess);
    authorization = nullptr;
    EXPECT_FALSE(macsim::isAuthorizationLive(d, ours));
    EXPECT_EQ(AuthorizationFree(nullptr, 0), errAuthorizationInvalidRef);
}

TEST_F(HelperTest, AuthorizationOfAnEndedOrImpostorProcessIsNotLive) {
    const macsim::Disk& d = macsim::Disk::current();
    const auto ended = madeByAnEndedProcess();
    EXPECT_TRUE(fs::exists(macsim::authorizationFile(d, ended)));
    EXPECT_FALSE(macsim::isAuthorizationLive(d, ended));

    // A registration naming this very process with another start time: a recycled process id.
    const auto ours = bytesOf(authorization);
    const auto start = macsim::processStartTime(getpid());
    ASSERT_TRUE(start);
    struct Row {
        const char* name;
        std::string registration;
    };
    const Row rows[] = {
        {"recycled process id", std::to_string(getpid()) + " " + std::to_string(*start + 1) + "\n"},
        {"no start time", std::to_string(getpid()) + "\n"},
        {"not numbers", "me and my start\n"},
        {"trailing text", std::to_string(getpid()) + " " + std::to_string(*start) + "\nmore"},
        {"empty", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(macsim::authorizationFile(d, ours), std::ios::trunc) << row.registration;
        EXPECT_FALSE(macsim::isAuthorizationLive(d, ours));
    }

    // Making a new authorization forgets those whose creators have ended.
    AuthorizationRef another = nullptr;
    ASSERT_EQ(AuthorizationCreate(nullptr, nullptr, 0, &another), errAuthorizationSuccess);
    EXPECT_FALSE(fs::exists(macsim::authorizationFile(d, ended)));
    AuthorizationFree(another, kAuthorizationFlagDestroyRights);
}

} // namespace
} // namespace helpertest
