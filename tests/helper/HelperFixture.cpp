#include "HelperFixture.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <macsim/Disk.h>
#include <macsim/MachineCommand.h>

namespace helpertest {

void HelperTest::SetUp() {
    macsim::Disk::use(disk.root());
    ASSERT_EQ(AuthorizationCreate(nullptr, kAuthorizationEmptyEnvironment,
                                  kAuthorizationFlagDefaults, &authorization),
              errAuthorizationSuccess);
}

void HelperTest::TearDown() {
    if (authorization)
        AuthorizationFree(authorization, kAuthorizationFlagDestroyRights);
}

std::vector<std::string> HelperTest::logLines() const {
    std::ifstream in(disk.systemLog());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string HelperTest::machine(const std::vector<std::string>& args) const {
    std::string output;
    EXPECT_EQ(macsim::runMachineCommand(macsim::Disk::current(), args, output), 0) << output;
    return output;
}

fs::path HelperTest::makeKext(const std::string& name, const std::string& infoPlist) const {
    const fs::path bundle = disk.root() / "Extensions" / name;
    fs::create_directories(bundle / "Contents");
    std::ofstream(bundle / "Contents/Info.plist", std::ios::binary) << infoPlist;
    return bundle;
}

Bytes HelperTest::input(std::int32_t code, std::int32_t argument, const std::string& pathBytes,
                        std::int32_t leadWord) const {
    AuthorizationExternalForm form;
    EXPECT_EQ(AuthorizationMakeExternalForm(authorization, &form), errAuthorizationSuccess);
    AuthCommandRecord record{};
    record.leadWord = leadWord;
    record.commandCode = code;
    record.argument = argument;
    std::memcpy(record.path, pathBytes.data(), std::min(pathBytes.size(), sizeof record.path));
    Bytes bytes(reinterpret_cast<const std::uint8_t*>(&form),
                reinterpret_cast<const std::uint8_t*>(&form) + sizeof form);
    bytes.insert(bytes.end(), reinterpret_cast<const std::uint8_t*>(&record),
                 reinterpret_cast<const std::uint8_t*>(&record) + sizeof record);
    return bytes;
}

int HelperTest::runLoader(const Bytes& input) const {
    return runProgram(loader(), input);
}

std::string kextInfo(const std::string& bundleId, const std::vector<std::string>& sysctls) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "<key>CFBundleIdentifier</key><string>" +
        bundleId +
        "</string>\n<key>CFBundlePackageType</key><string>KEXT</string>\n"
        "<key>MacsimSpeedSysctls</key><array>";
    for (const std::string& name : sysctls)
        text += "<string>" + name + "</string>";
    return text + "</array>\n</dict>\n</plist>\n";
}

int runProgram(const fs::path& program, const Bytes& input, std::string* standardError) {
    // A tool that ends before reading must not end the test with it.
    std::signal(SIGPIPE, SIG_IGN);
    char errorFile[] = "/tmp/helper-stderr-XXXXXX";
    const int err = mkstemp(errorFile);
    int in[2];
    if (err < 0 || pipe(in) != 0)
        return -2;
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(err, STDERR_FILENO);
        close(in[0]);
        close(in[1]);
        close(err);
        char* const environment[] = {nullptr};
        execle(program.c_str(), program.c_str(), static_cast<char*>(nullptr), environment);
        _exit(127);
    }
    close(in[0]);
    close(err);
    // The input is small enough for the pipe's buffer, whether the tool reads it or not.
    const ssize_t written = write(in[1], input.data(), input.size());
    (void)written;
    close(in[1]);
    // A tool that hangs is killed, and reported as not having exited.
    int status = 0;
    bool exited = true;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 2000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            exited = false;
            break;
        }
        usleep(10000);
    }
    const auto errors = kreloed::test::readBytes(errorFile);
    unlink(errorFile);
    if (standardError)
        standardError->assign(errors.begin(), errors.end());
    return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace helpertest
