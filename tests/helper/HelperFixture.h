// A fresh copy of the built disk, used in-process (this process is on it) and by running its
// helper tool and machine tool as the application and a person would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <AuthCommandRecord.h>
#include <Security/Authorization.h>
#include <TestDisk.h>

namespace helpertest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class HelperTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    fs::path kext() const { return disk.resources() / "Krelo.kext"; }
    fs::path loader() const { return disk.resources() / "loader"; }
    fs::path stateFile() const { return disk.root() / "private/var/run/kernel/state"; }
    Bytes stateBytes() const { return kreloed::test::readBytes(stateFile()); }
    std::vector<std::string> logLines() const;

    // Runs a machine command; the test fails when it does.
    std::string machine(const std::vector<std::string>& args) const;
    // Makes a kernel-extension bundle on the disk with the given Info.plist text.
    fs::path makeKext(const std::string& name, const std::string& infoPlist) const;

    // The helper tool's input: this process's live authorization, then a command record whose
    // path field starts with pathBytes.
    Bytes input(std::int32_t code, std::int32_t argument, const std::string& pathBytes,
                std::int32_t leadWord = 1) const;
    // Runs the disk's helper tool as the application does (empty environment, input on its
    // standard input); its exit status, or -1 when it did not exit.
    int runLoader(const Bytes& input) const;

    kreloed::test::TestDisk disk;
    AuthorizationRef authorization = nullptr;
};

// The Info.plist of a kernel extension publishing the speed through the given names.
std::string kextInfo(const std::string& bundleId, const std::vector<std::string>& sysctls);

// Runs program with argument, standard input fed from input; its exit status or -1.
int runProgram(const fs::path& program, const Bytes& input, std::string* standardError = nullptr);

} // namespace helpertest
