// A fresh copy of the built disk for each test, with this process acting as the application on
// it: the disk's Kreloed.app is the main bundle, and an authorization is created as at start-up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <CoreFoundation/CoreFoundation.h>
#include <Speed.h>
#include <TestDisk.h>

#include "AppDoubles.h"

namespace speedtest {

namespace fs = std::filesystem;

class SpeedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static fs::path loaderRelative() {
        return "Applications/Kreloed.app/Contents/Resources/loader";
    }
    fs::path loader() const { return disk.root() / loaderRelative(); }
    fs::path kext() const { return disk.resources() / "Krelo.kext"; }

    // Puts the recording tool in place of the helper tool.
    void installRecorder() const;
    // Puts an executable text (a script) in place of the helper tool.
    void installTool(const std::string& text) const;
    // The streams the recording tool was given, one per command.
    std::vector<std::vector<std::uint8_t>> recordedStreams() const;
    std::string recordedArgs() const;

    // An application bundle (Info.plist, the recording tool as loader, Krelo.kext) on the disk at a
    // path of at least minLength bytes.
    fs::path makeDeepApp(std::size_t minLength) const;

    // Krelo.kext's path as the application may spell it: in UTF-8 or in Mac Roman.
    std::vector<std::string> kreloPathSpellings() const;

    // Runs a machine command on the disk; the test fails when it does.
    std::string machine(const std::vector<std::string>& args) const;
    // The authorization's external form, as the runner sends it.
    std::vector<std::uint8_t> externalForm() const;

    kreloed::test::TestDisk disk;
};

// The record part of one stream.
AuthCommandRecord recordOf(const std::vector<std::uint8_t>& stream);

} // namespace speedtest
