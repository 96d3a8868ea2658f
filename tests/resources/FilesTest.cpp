#include "OnTestDisk.h"

#include <macsim/Folders.h>

#include <cstdlib>
#include <unistd.h>

using namespace kreloed::test;

using Files = OnTestDisk;

TEST_F(Files, FindFolderGivesThePreferencesFolderOfTheDisk) {
    OSErr err = noErr;
    auto folder = macsim::folderFor(vRefNum, dirID, err);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(fs::equivalent(*folder, disk.preferences()));
    EXPECT_EQ(vRefNum, macsim::kDiskVolume);

    FSVolumeRefNum v2 = 0;
    SInt32 d2 = 0;
    EXPECT_EQ(FindFolder(kUserDomain, kPreferencesFolderType, kDontCreateFolder, &v2, &d2), noErr);
    EXPECT_EQ(d2, dirID) << "a folder keeps its directory ID";
}

TEST_F(Files, FindFolderFailuresLeaveTheOutputsAlone) {
    struct Row {
        const char* name;
        FSVolumeRefNum volume;
        OSType type;
        OSErr expected;
    };
    const Row rows[] = {
        {"another folder type", kOnAppropriateDisk, 'desk', fnfErr},
        {"another volume", 3, kPreferencesFolderType, nsvErr},
        {"missing folder, not to be created", kOnAppropriateDisk, kPreferencesFolderType, fnfErr},
    };
    fs::remove_all(disk.preferences());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FSVolumeRefNum v = 0;
        SInt32 d = 0;
        EXPECT_EQ(FindFolder(row.volume, row.type, kDontCreateFolder, &v, &d), row.expected);
        EXPECT_EQ(v, 0);
        EXPECT_EQ(d, 0);
    }
    EXPECT_FALSE(fs::exists(disk.preferences()));

    FSVolumeRefNum v = 0;
    SInt32 d = 0;
    EXPECT_EQ(FindFolder(kOnAppropriateDisk, kPreferencesFolderType, kCreateFolder, &v, &d), noErr);
    EXPECT_TRUE(fs::is_directory(disk.preferences()));
    EXPECT_EQ(d, dirID);
}

TEST_F(Files, VolumeAndDirectoryZeroNameTheWorkingDirectory) {
    const fs::path saved = fs::current_path();
    const fs::path work = disk.root() / "work dir";
    fs::create_directories(work);
    fs::current_path(work);
    const OSErr err = HCreate(0, 0, PString("Here"), 'ttxt', 'TEXT');
    fs::current_path(saved);
    EXPECT_EQ(err, noErr);
    EXPECT_TRUE(fs::exists(work / "Here"));
    EXPECT_TRUE(fs::exists(work / "._Here"));

    EXPECT_EQ(HCreate(0, 12345, PString("Nowhere"), 'ttxt', 'TEXT'), dirNFErr);
    EXPECT_EQ(HCreate(7, dirID, PString("Nowhere"), 'ttxt', 'TEXT'), nsvErr);
}

TEST_F(Files, MacNamesBecomeFileNames) {
    struct Row {
        const char* name;
        std::string macName;
        const char* fileName; // null: refused with bdNamErr
    };
    const Row rows[] = {
        {"plain", "Kreloed Prefs", "Kreloed Prefs"},
        {"Mac Roman letters", "Caf\x8E \xA5", "Café •"},
        {"slash shows as colon", "A/B", "A:B"},
        {"empty", "", nullptr},
        {"colon is a path separator", "a:b", nullptr},
        {"dot", ".", nullptr},
        {"dot dot", "..", nullptr},
        {"NUL", std::string("a\0b", 3), nullptr},
        {"longer than the file system holds with its companion", std::string(254, 'n'), nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const OSErr err = HCreate(vRefNum, dirID, PString(row.macName), 'ttxt', 'TEXT');
        if (row.fileName) {
            EXPECT_EQ(err, noErr);
            EXPECT_TRUE(fs::exists(inPreferences(row.fileName)));
            EXPECT_TRUE(fs::exists(companionOf(row.fileName)));
        } else {
            EXPECT_EQ(err, bdNamErr);
        }
    }
    EXPECT_EQ(HCreate(vRefNum, dirID, nullptr, 'ttxt', 'TEXT'), bdNamErr);
    EXPECT_EQ(
        FindFolder(kOnAppropriateDisk, kPreferencesFolderType, kDontCreateFolder, nullptr, nullptr),
        paramErr);
}
