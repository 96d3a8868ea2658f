// In-process tests of the file and resource managers on a fresh copy of the built disk.
#pragma once

#include "ForkFixtures.h"

#include <Carbon/Carbon.h>
#include <TestDisk.h>
#include <macsim/Disk.h>
#include <macsim/MainBundle.h>
#include <macsim/ResourceFiles.h>

#include <gtest/gtest.h>

#include "PString.h"
#include <array>

#include <fstream>
#include <string_view>

namespace kreloed::test {

inline Bytes readAll(const fs::path& path) {
    auto bytes = readBytes(path);
    return Bytes(bytes.begin(), bytes.end());
}

inline void writeAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class OnTestDisk : public ::testing::Test {
protected:
    void SetUp() override {
        macsim::Disk::use(disk.root());
        macsim::useMainBundle({});
        macsim::resetResourceManager();
        ASSERT_EQ(FindFolder(kOnAppropriateDisk, kPreferencesFolderType, kDontCreateFolder,
                             &vRefNum, &dirID),
                  noErr);
    }
    void TearDown() override { macsim::resetResourceManager(); }

    fs::path inPreferences(const std::string& name) const { return disk.preferences() / name; }
    fs::path companionOf(const std::string& name) const {
        return disk.preferences() / ("._" + name);
    }

    TestDisk disk;
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0; // the Preferences folder
};

} // namespace kreloed::test
