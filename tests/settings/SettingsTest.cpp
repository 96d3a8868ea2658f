// The settings record and its file, in-process on a fresh disk: what reading gives for every kind
// of file, the exact bytes written, round trips, and files that must be left alone.
#include "IndependentReader.h"
#include "OnTestDisk.h"

#include <Prefs.h>
#include <macsim/AppleDouble.h>
#include <macsim/ResourceFork.h>

#include <unistd.h>

using namespace kreloed::test;

namespace {

struct Fields {
    UInt16 defaultClock, userClock, keepUserClock, speedMode, loadAtLaunch, currentClock;
    bool operator==(const Fields&) const = default;
};

Fields current() {
    return {prefs.defaultClock, prefs.userClock,    prefs.keepUserClock,
            prefs.speedMode,    prefs.loadAtLaunch, prefs.currentClock};
}

void set(const Fields& f) {
    prefs = {f.defaultClock, f.userClock,    f.keepUserClock,
             f.speedMode,    f.loadAtLaunch, f.currentClock};
}

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << "{" << f.defaultClock << ", " << f.userClock << ", " << f.keepUserClock << ", "
               << f.speedMode << ", " << f.loadAtLaunch << ", " << f.currentClock << "}";
}

// A fork holding 'SLpr' 128 "prefs" with the given bytes (none: no such resource), and another
// resource if asked.
Bytes forkWith(const std::optional<Bytes>& stored, bool other = false) {
    macsim::ResourceFork fork;
    if (other) {
        macsim::Resource r;
        r.type = 'STR ';
        r.id = 1;
        r.name = "keep me";
        r.data = hex("0468656C6C6F");
        EXPECT_FALSE(fork.add(r));
    }
    if (stored) {
        macsim::Resource record;
        record.type = 'SLpr';
        record.id = 128;
        record.name = "prefs";
        record.data = *stored;
        EXPECT_FALSE(fork.add(record));
    }
    return fork.serialize().value();
}

const Fields startUp{1000, 0, 0, 0, 0, 1000}; // what start-up has set before the file is read

class Settings : public OnTestDisk {
protected:
    void SetUp() override {
        OnTestDisk::SetUp();
        set(startUp);
        err = 0;
        applRes = CurResFile();
    }
    fs::path file() const { return disk.settingsFile(); }
    fs::path companionFile() const { return companionOf("Kreloed Prefs"); }
    // Puts a settings file with that companion on the disk (none: no file at all).
    void place(const std::optional<Bytes>& sidecar) {
        fs::remove(file());
        fs::remove(companionFile());
        if (sidecar) {
            writeAll(file(), {});
            writeAll(companionFile(), *sidecar);
        }
    }
    // The settings resource as the file holds it now.
    std::optional<macsim::Resource> stored() const {
        auto companion = macsim::AppleDouble::parse(readAll(companionFile()));
        if (!companion || !companion->entry(2))
            return std::nullopt;
        auto fork = macsim::ResourceFork::parse(companion->entry(2)->data);
        if (!fork || !fork->find('SLpr', 128))
            return std::nullopt;
        return *fork->find('SLpr', 128);
    }
};

TEST_F(Settings, QuitOnAFreshDiskWritesTheDocumentedFile) {
    set({1000, 800, 1, 1, 0, 1000});
    fileWorks(0);
    EXPECT_EQ(err, noErr);
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u) << "the data fork stays empty";
    const Bytes fork = settingsFork(hex("03E8 0320 0001 0001 0000 03E8"));
    EXPECT_EQ(readAll(companionFile()), companion(fork)); // type 'pref', creator 'SLap'
    EXPECT_EQ(CurResFile(), applRes);

    if (!independentReaderAvailable())
        GTEST_SKIP() << kSystemPython << " has no fontTools (Debian package python3-fonttools)";
    const Bytes written = readAll(companionFile());
    const fs::path extracted = disk.root() / "extracted fork";
    writeAll(extracted, Bytes(written.begin() + 82, written.end()));
    auto listing = listWithIndependentReader(extracted);
    ASSERT_TRUE(listing);
    EXPECT_EQ(*listing, "SLpr|128|\"prefs\"|0|03e8032000010001000003e8\n");
}

TEST_F(Settings, ReadingGivesTheStoredRecordOrTheDefaults) {
    const Fields defaults{1000, 1000, 0, 0, 0, 1000};
    Bytes badFork = settingsFork(hex("0320 0320 0000 0000 0000 0320"));
    badFork[8] = 0x7F; // the data area runs past the end
    struct Row {
        const char* name;
        std::optional<Bytes> sidecar;
        Fields expected;
    };
    const Row rows[] = {
        {"first launch, no file", std::nullopt, defaults},
        {"file without the resource", companion(emptyFork()), defaults},
        {"stored record replaces all six fields",
         companion(settingsFork(hex("0320 03E8 0001 0001 0001 0258"))),
         {800, 1000, 1, 1, 1, 600}},
        {"switches other than 1 read as off; keepUserClock as stored",
         companion(settingsFork(hex("03E8 0320 0002 0002 0007 03E8"))),
         {1000, 800, 2, 0, 0, 1000}},
        {"short resource fills only the fields it holds",
         companion(forkWith(hex("0320 0258"))),
         {800, 600, 0, 0, 0, 1000}},
        {"a half field is not taken",
         companion(forkWith(hex("0320 0258 0001 00"))),
         {800, 600, 1, 0, 0, 1000}},
        {"empty resource: the user speed is the default speed", companion(forkWith(Bytes{})),
         defaults},
        {"only the default speed: the user speed follows it",
         companion(forkWith(hex("0320"))),
         {800, 800, 0, 0, 0, 1000}},
        {"longer resource: its first 12 bytes",
         companion(forkWith(hex("0258 0258 0000 0001 0000 0258 FFFF"))),
         {600, 600, 0, 1, 0, 600}},
        {"companion that is no double file", hex("00051607 00010000 00"), defaults},
        {"malformed fork", companion(badFork), defaults},
        {"zero-byte fork", companion({}), defaults},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        place(row.sidecar);
        set(startUp);
        err = 0;
        fileWorks(1);
        EXPECT_EQ(current(), row.expected);
        EXPECT_EQ(err, noErr);
        EXPECT_EQ(CurResFile(), applRes);
        if (row.sidecar) {
            EXPECT_EQ(readAll(companionFile()), *row.sidecar) << "reading changes nothing";
        }
    }
}

TEST_F(Settings, WritingLeavesExactlyTheTwelveByteRecord) {
    const Fields values{867, 1300, 1, 1, 1, 700};
    const Bytes record = hex("0363 0514 0001 0001 0001 02BC");
    struct Row {
        const char* name;
        std::optional<Bytes> sidecar;
        bool otherKept;
    };
    const Row rows[] = {
        {"no file yet", std::nullopt, false},
        {"file without the resource: added", companion(forkWith(std::nullopt, true)), true},
        {"resource of 4 bytes is grown", companion(forkWith(hex("01020304"), true)), true},
        {"resource of 20 bytes is cut", companion(forkWith(Bytes(20, 0xAB), true)), true},
        {"resource of 12 bytes is overwritten", companion(settingsFork(exampleRecord())), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        place(row.sidecar);
        set(values);
        err = 0;
        fileWorks(0);
        EXPECT_EQ(err, noErr);
        EXPECT_EQ(CurResFile(), applRes);
        auto resource = stored();
        ASSERT_TRUE(resource);
        EXPECT_EQ(resource->data, record);
        EXPECT_EQ(resource->name, "prefs");
        EXPECT_EQ(resource->attributes, 0);
        auto companionNow = macsim::AppleDouble::parse(readAll(companionFile()));
        ASSERT_TRUE(companionNow);
        EXPECT_EQ(companionNow->typeAndCreator(), (std::array<std::uint32_t, 2>{'pref', 'SLap'}));
        auto fork = macsim::ResourceFork::parse(companionNow->entry(2)->data);
        ASSERT_TRUE(fork);
        const bool hasOther = fork->find('STR ', 1) != nullptr;
        EXPECT_EQ(hasOther, row.otherKept);
        if (hasOther) {
            EXPECT_EQ(fork->find('STR ', 1)->data, hex("0468656C6C6F"));
        }
    }
}

TEST_F(Settings, WhatIsWrittenReadsBack) {
    struct Row {
        const char* name;
        Fields written;
        Fields read;
    };
    const Row rows[] = {
        {"user speed kept", {1000, 650, 1, 1, 1, 650}, {1000, 650, 1, 1, 1, 650}},
        {"default speed", {867, 867, 0, 0, 0, 867}, {867, 867, 0, 0, 0, 867}},
        {"odd switches", {1000, 300, 2, 5, 9, 1300}, {1000, 300, 2, 0, 0, 1300}},
        {"extremes", {0xFFFF, 0, 0xFFFF, 1, 1, 0}, {0xFFFF, 0, 0xFFFF, 1, 1, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        set(row.written);
        fileWorks(0);
        EXPECT_EQ(err, noErr);
        set(startUp);
        fileWorks(1);
        EXPECT_EQ(current(), row.read);
    }
}

TEST_F(Settings, AFileThatCannotBeUsedIsLeftAlone) {
    struct Row {
        const char* name;
        Bytes sidecar;
        OSStatus err; // after writing
    };
    Bytes readOnlyMap = companion(emptyFork());
    readOnlyMap[82 + 256 + 23] = 0x80; // mapReadOnly: nothing may be added
    const Row rows[] = {
        {"companion that is no double file", hex("DEADBEEF"), noErr},
        {"malformed fork", companion(hex("00000100 00000100")), noErr},
        {"read-only map", readOnlyMap, addResFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        place(row.sidecar);
        set({1000, 800, 1, 1, 0, 1000});
        err = 0;
        fileWorks(0);
        EXPECT_EQ(err, row.err);
        EXPECT_EQ(readAll(companionFile()), row.sidecar);
        EXPECT_EQ(fs::file_size(file()), 0u);
        EXPECT_EQ(CurResFile(), applRes);
        set(startUp);
        fileWorks(1);
        EXPECT_EQ(current(), (Fields{1000, 1000, 0, 0, 0, 1000}));
    }
}

TEST_F(Settings, WithoutAPreferencesFolderTheWorkingDirectoryIsUsed) {
    fs::remove_all(disk.preferences());
    const fs::path saved = fs::current_path();
    const fs::path work = disk.root() / "work dir";
    fs::create_directories(work);
    fs::current_path(work);
    set({1000, 700, 0, 1, 0, 1000});
    fileWorks(0);
    const OSStatus afterWrite = err;
    set(startUp);
    fileWorks(1);
    const OSStatus afterRead = err;
    fs::current_path(saved);

    EXPECT_EQ(afterWrite, noErr) << "adding the new resource sets err after the lookup";
    EXPECT_EQ(afterRead, fnfErr) << "reading keeps the lookup's status";
    EXPECT_TRUE(fs::exists(work / "Kreloed Prefs"));
    EXPECT_TRUE(fs::exists(work / "._Kreloed Prefs"));
    EXPECT_EQ(current(), (Fields{1000, 700, 0, 1, 0, 1000}));
    EXPECT_FALSE(fs::exists(disk.preferences()));
}

TEST_F(Settings, TheApplicationsResourceFileIsCurrentAgainAfterwards) {
    // A data-fork resource file standing in for the application's own.
    const fs::path appFile = disk.root() / "App.rsrc";
    writeAll(appFile, emptyFork());
    applRes = macsim::openResourceFile(appFile, macsim::ForkLocation::dataFork,
                                       macsim::ResourceAccess::readOnly);
    ASSERT_GT(applRes, 0);
    for (int mode : {1, 0, 1}) {
        SCOPED_TRACE(mode);
        fileWorks(mode);
        EXPECT_EQ(CurResFile(), applRes);
    }
    // When the file can be neither opened nor created, the current file stays as it was.
    fs::remove(file());
    fs::create_directory(file()); // a folder in its place
    fileWorks(0);
    EXPECT_EQ(CurResFile(), applRes);
    EXPECT_EQ(err, noErr);
    EXPECT_EQ(readAll(appFile), emptyFork());
}

} // namespace
