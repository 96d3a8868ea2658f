#include "OnTestDisk.h"

#include <macsim/AppleDouble.h>
#include <macsim/Handles.h>
#include <macsim/ResourceFork.h>

#include <cstring>

using namespace kreloed::test;

namespace {

// What HCreate leaves in the companion: Finder Info, then a 0-byte fork entry at the end.
Bytes createdCompanion(std::string_view typeHex, std::string_view creatorHex) {
    return hex("00051607 00020000") + zeros(16) + hex("0002") + hex("00000009 00000032 00000020") +
           hex("00000002 00000052 00000000") + hex(typeHex) + hex(creatorHex) + zeros(24);
}

Handle handleWith(const Bytes& bytes) {
    Handle h = NewHandle(Size(bytes.size()));
    if (h && !bytes.empty())
        std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

Bytes bytesOf(Handle h) {
    return Bytes(reinterpret_cast<std::uint8_t*>(*h),
                 reinterpret_cast<std::uint8_t*>(*h) + GetHandleSize(h));
}

class ResourceManager : public OnTestDisk {
protected:
    // A resource file in the Preferences folder holding the given fork.
    void makeResourceFile(const std::string& name, const Bytes& fork) {
        writeAll(inPreferences(name), {});
        writeAll(companionOf(name), companion(fork));
    }
    ResFileRefNum open(const std::string& name, SInt8 permission) {
        return HOpenResFile(vRefNum, dirID, PString(name), permission);
    }
    // A new file holding resources of the given types, each with ID 1.
    void makeFileWith(const std::string& name,
                      std::initializer_list<std::pair<ResType, Bytes>> resources) {
        makeResourceFile(name, emptyFork());
        ResFileRefNum ref = open(name, fsRdWrPerm);
        ASSERT_NE(ref, -1);
        for (const auto& [type, data] : resources) {
            AddResource(handleWith(data), type, 1, PString(""));
            ASSERT_EQ(ResError(), noErr);
        }
        CloseResFile(ref);
        ASSERT_EQ(ResError(), noErr);
    }
};

TEST_F(ResourceManager, HCreateMakesAnEmptyFileWithTypeAndCreator) {
    ASSERT_EQ(HCreate(vRefNum, dirID, PString("Notes"), 'ttxt', 'TEXT'), noErr);
    EXPECT_TRUE(fs::exists(inPreferences("Notes")));
    EXPECT_EQ(fs::file_size(inPreferences("Notes")), 0u);
    const Bytes expected = createdCompanion("54455854", "74747874");
    EXPECT_EQ(readAll(companionOf("Notes")), expected);

    EXPECT_EQ(HCreate(vRefNum, dirID, PString("Notes"), 'ABCD', 'EFGH'), dupFNErr);
    EXPECT_EQ(readAll(companionOf("Notes")), expected);
}

TEST_F(ResourceManager, AZeroByteForkIsNotAnEmptyFork) {
    ASSERT_EQ(HCreate(vRefNum, dirID, PString("Notes"), 'ttxt', 'TEXT'), noErr);
    EXPECT_EQ(open("Notes", fsRdPerm), -1);
    EXPECT_EQ(ResError(), eofErr);

    HCreateResFile(vRefNum, dirID, PString("Notes"));
    ASSERT_EQ(ResError(), noErr);
    const Bytes expected = companion(emptyFork(), "54455854", "74747874");
    EXPECT_EQ(readAll(companionOf("Notes")), expected);

    const ResFileRefNum ref = open("Notes", fsRdPerm);
    ASSERT_NE(ref, -1);
    EXPECT_EQ(CurResFile(), ref);
    EXPECT_EQ(GetResource('SLpr', 128), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    CloseResFile(ref);

    // A fork that exists is never replaced.
    HCreateResFile(vRefNum, dirID, PString("Notes"));
    EXPECT_EQ(ResError(), dupFNErr);
    EXPECT_EQ(readAll(companionOf("Notes")), expected);
}

TEST_F(ResourceManager, HCreateResFileMakesAMissingFile) {
    HCreateResFile(vRefNum, dirID, PString("Fresh"));
    ASSERT_EQ(ResError(), noErr);
    EXPECT_EQ(fs::file_size(inPreferences("Fresh")), 0u);
    auto parsed = macsim::AppleDouble::parse(readAll(companionOf("Fresh")));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->entry(macsim::AppleDouble::resourceForkId)->data, emptyFork());
    EXPECT_NE(open("Fresh", fsRdPerm), -1);
}

TEST_F(ResourceManager, AddedResourcesAreWrittenAndReadBack) {
    // A companion with an entry we do not know (a comment) that must survive the rewrite.
    const Bytes withComment =
        hex("00051607 00020000") + zeros(16) + hex("0003") + hex("00000009 0000003E 00000020") +
        hex("00000004 0000005E 00000002") + hex("00000002 00000060") + hex("0000011E") +
        hex("70726566 534C6170") + zeros(24) + hex("4869") + emptyFork();
    writeAll(inPreferences("Data"), {});
    writeAll(companionOf("Data"), withComment);

    ResFileRefNum ref = open("Data", fsRdWrPerm);
    ASSERT_NE(ref, -1);
    Handle first = handleWith(hex("0102"));
    AddResource(first, 'DATA', 5, PString("five"));
    ASSERT_EQ(ResError(), noErr);
    // The handle is the truth until the file is written.
    SetHandleSize(first, 3);
    (*first)[2] = 3;
    AddResource(handleWith({}), 'DATA', -7, PString(""));
    ASSERT_EQ(ResError(), noErr);
    CloseResFile(ref);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_FALSE(macsim::isHandle(first)); // closing frees the file's handles

    auto parsed = macsim::AppleDouble::parse(readAll(companionOf("Data")));
    ASSERT_TRUE(parsed);
    ASSERT_NE(parsed->entry(4), nullptr);
    EXPECT_EQ(parsed->entry(4)->data, hex("4869"));
    EXPECT_EQ(parsed->typeAndCreator(), (std::array<std::uint32_t, 2>{'pref', 'SLap'}));
    auto fork = macsim::ResourceFork::parse(parsed->entry(2)->data);
    ASSERT_TRUE(fork);
    ASSERT_EQ(fork->resources().size(), 2u);
    EXPECT_EQ(fork->find('DATA', 5)->name, "five");
    EXPECT_EQ(fork->find('DATA', -7)->name, std::nullopt); // an empty name is no name

    ref = open("Data", fsRdPerm);
    ASSERT_NE(ref, -1);
    Handle h = Get1Resource('DATA', 5);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(bytesOf(h), hex("010203"));
    EXPECT_EQ(GetResourceSizeOnDisk(h), 3);
    EXPECT_EQ(GetResource('DATA', 5), h); // loaded once
    Handle empty = GetResource('DATA', -7);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetHandleSize(empty), 0);
}

TEST_F(ResourceManager, AddResourceRefusals) {
    makeFileWith("Held", {{'DATA', hex("01")}});
    const ResFileRefNum ref = open("Held", fsRdWrPerm);
    ASSERT_NE(ref, -1);
    Handle existing = GetResource('DATA', 1);
    ASSERT_NE(existing, nullptr);
    const Bytes before = readAll(companionOf("Held"));

    struct Row {
        const char* name;
        Handle handle;
        ResID id;
    };
    const Row rows[] = {
        {"type and ID taken", handleWith(hex("02")), 1},
        {"handle is a resource already", existing, 2},
        {"no handle", nullptr, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AddResource(row.handle, 'DATA', row.id, PString("x"));
        EXPECT_EQ(ResError(), addResFailed);
    }
    UseResFile(0);
    AddResource(handleWith(hex("03")), 'DATA', 4, PString(""));
    EXPECT_EQ(ResError(), addResFailed) << "no current file";
    CloseResFile(ref);

    const ResFileRefNum readOnly = open("Held", fsRdPerm);
    ASSERT_NE(readOnly, -1);
    AddResource(handleWith(hex("04")), 'DATA', 5, PString(""));
    EXPECT_EQ(ResError(), addResFailed) << "file open for reading only";
    CloseResFile(readOnly);
    EXPECT_EQ(readAll(companionOf("Held")), before);
}

TEST_F(ResourceManager, SearchesTheChainFromTheCurrentFileDown) {
    makeFileWith("First", {{'AAAA', hex("01")}, {'BOTH', hex("0A")}});
    makeFileWith("Second", {{'BBBB', hex("02")}, {'BOTH', hex("0B")}});
    const ResFileRefNum first = open("First", fsRdPerm);
    const ResFileRefNum second = open("Second", fsRdPerm);
    ASSERT_NE(first, -1);
    ASSERT_NE(second, -1);
    ASSERT_NE(first, second);

    struct Row {
        const char* name;
        ResFileRefNum current;
        ResType type;
        bool chained;      // GetResource finds it
        bool inCurrent;    // Get1Resource finds it
        std::uint8_t byte; // of the one found
    };
    const Row rows[] = {
        {"own resource of the newer file", second, 'BBBB', true, true, 0x02},
        {"older file's resource through the chain", second, 'AAAA', true, false, 0x01},
        {"newer file wins", second, 'BOTH', true, true, 0x0B},
        {"newer file is not below the older", first, 'BBBB', false, false, 0},
        {"older file's own copy", first, 'BOTH', true, true, 0x0A},
        {"no current file finds nothing", 0, 'AAAA', false, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UseResFile(row.current);
        EXPECT_EQ(ResError(), noErr);
        EXPECT_EQ(CurResFile(), row.current);
        Handle chained = GetResource(row.type, 1);
        EXPECT_EQ(chained != nullptr, row.chained);
        if (chained) {
            EXPECT_EQ(bytesOf(chained), Bytes{row.byte});
        }
        EXPECT_EQ(Get1Resource(row.type, 1) != nullptr, row.inCurrent);
    }

    UseResFile(4242);
    EXPECT_EQ(ResError(), resFNotFound);
    EXPECT_EQ(CurResFile(), 0) << "an unknown reference leaves the current file as it was";

    UseResFile(second);
    CloseResFile(second);
    EXPECT_EQ(CurResFile(), first) << "the file opened before the closed one becomes current";
    CloseResFile(second);
    EXPECT_EQ(ResError(), resFNotFound);
}

TEST_F(ResourceManager, ResizesAndWritesPartsStraightIntoTheFile) {
    makeFileWith("Sized", {{'DATA', hex("0102030405")}});
    const ResFileRefNum ref = open("Sized", fsRdWrPerm);
    ASSERT_NE(ref, -1);
    Handle h = GetResource('DATA', 1);
    ASSERT_NE(h, nullptr);

    auto onDisk = [&] {
        auto companion = macsim::AppleDouble::parse(readAll(companionOf("Sized")));
        auto fork = macsim::ResourceFork::parse(companion->entry(2)->data);
        return fork->find('DATA', 1)->data;
    };
    struct Row {
        const char* name;
        Size size; // -1: do not resize
        SInt32 offset;
        Bytes written;
        Bytes expected;
    };
    const Row rows[] = {
        {"cut to two bytes", 2, 0, {}, hex("0102")},
        {"grown with zeros", 4, 0, {}, hex("0102 0000")},
        {"written in place", -1, 1, hex("AA"), hex("01AA 0000")},
        {"written past the end grows it", -1, 6, hex("BBCC"), hex("01AA 0000 0000 BBCC")},
        {"cut to nothing", 0, 0, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.size >= 0)
            SetResourceSize(h, row.size);
        else
            WritePartialResource(h, row.offset, row.written.data(), Size(row.written.size()));
        EXPECT_EQ(ResError(), noErr);
        EXPECT_EQ(onDisk(), row.expected);
        EXPECT_EQ(GetResourceSizeOnDisk(h), Size(row.expected.size()));
    }
    EXPECT_EQ(bytesOf(h), hex("0102030405")) << "the handle keeps what it held";

    const Bytes before = readAll(companionOf("Sized"));
    SetResourceSize(h, -1);
    EXPECT_EQ(ResError(), paramErr);
    WritePartialResource(h, -1, "x", 1);
    EXPECT_EQ(ResError(), paramErr);
    WritePartialResource(h, 0, nullptr, 1);
    EXPECT_EQ(ResError(), paramErr);
    SetResourceSize(h, Size(0x1000000));
    EXPECT_EQ(ResError(), paramErr) << "beyond what a fork can address";
    Handle stranger = NewHandle(4);
    SetResourceSize(stranger, 2);
    EXPECT_EQ(ResError(), resNotFound);
    DisposeHandle(stranger);
    EXPECT_EQ(readAll(companionOf("Sized")), before);
    CloseResFile(ref);

    const ResFileRefNum readOnly = open("Sized", fsRdPerm);
    Handle r = GetResource('DATA', 1);
    SetResourceSize(r, 1);
    EXPECT_EQ(ResError(), wrPermErr);
    WritePartialResource(r, 0, "z", 1);
    EXPECT_EQ(ResError(), wrPermErr);
    CloseResFile(readOnly);
    EXPECT_EQ(readAll(companionOf("Sized")), before);
}

TEST_F(ResourceManager, RefusesFilesThatAreMissingOrMalformedAndLeavesThemAlone) {
    Bytes badFork = settingsFork(exampleRecord());
    badFork[322] = 0x40; // the name runs past the map
    const Bytes whole = companion(emptyFork());
    const Bytes noForkEntry = hex("00051607 00020000") + zeros(16) + hex("0001") +
                              hex("00000009 00000026 00000020") + zeros(32);
    struct Row {
        const char* name;
        bool file;                    // NAME exists
        std::optional<Bytes> sidecar; // the companion, if any
        OSErr error;
    };
    const Row rows[] = {
        {"no file at all", false, std::nullopt, fnfErr},
        {"companion without its file", false, companion(emptyFork()), fnfErr},
        {"file without companion", true, std::nullopt, fnfErr},
        {"companion is not a double file", true, hex("DEADBEEF"), mapReadErr},
        {"companion cut short", true, Bytes(whole.begin(), whole.begin() + 100), mapReadErr},
        {"companion without a fork entry", true, noForkEntry, eofErr},
        {"zero-byte fork", true, companion({}), eofErr},
        {"malformed fork", true, companion(badFork), mapReadErr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(inPreferences("Bad"));
        fs::remove(companionOf("Bad"));
        if (row.file)
            writeAll(inPreferences("Bad"), hex("CAFE"));
        if (row.sidecar)
            writeAll(companionOf("Bad"), *row.sidecar);
        for (SInt8 permission : {fsRdPerm, fsRdWrPerm}) {
            EXPECT_EQ(open("Bad", permission), -1);
            EXPECT_EQ(ResError(), row.error);
            EXPECT_EQ(CurResFile(), 0);
        }
        if (row.sidecar) {
            EXPECT_EQ(readAll(companionOf("Bad")), *row.sidecar);
        }
        if (row.file) {
            EXPECT_EQ(readAll(inPreferences("Bad")), hex("CAFE"));
        }
    }

    // Something that cannot be read is not "a file without a fork" to be given a new one.
    writeAll(companionOf("Bad"), hex("DEADBEEF"));
    HCreateResFile(vRefNum, dirID, PString("Bad"));
    EXPECT_NE(ResError(), noErr);
    EXPECT_EQ(readAll(companionOf("Bad")), hex("DEADBEEF"));
    writeAll(companionOf("Bad"), companion(badFork));
    HCreateResFile(vRefNum, dirID, PString("Bad"));
    EXPECT_NE(ResError(), noErr);
    EXPECT_EQ(readAll(companionOf("Bad")), companion(badFork));
}

TEST_F(ResourceManager, HandlesBelongToTheResourceManager) {
    makeFileWith("Owned", {{'DATA', hex("0102")}});
    const ResFileRefNum ref = open("Owned", fsRdPerm);
    Handle h = GetResource('DATA', 1);
    ASSERT_NE(h, nullptr);

    ReleaseResource(h);
    EXPECT_EQ(ResError(), noErr);
    EXPECT_FALSE(macsim::isHandle(h));
    ReleaseResource(h); // twice: an error, not a double free
    EXPECT_EQ(ResError(), resNotFound);

    Handle again = GetResource('DATA', 1);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(bytesOf(again), hex("0102"));
    // Disposing of a resource's handle directly makes the manager forget it, not free it twice.
    DisposeHandle(again);
    EXPECT_EQ(MemError(), noErr);
    Handle third = GetResource('DATA', 1);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(bytesOf(third), hex("0102"));
    CloseResFile(ref);
    EXPECT_FALSE(macsim::isHandle(third));
}

TEST_F(ResourceManager, OpeningTheSameFileTwiceGivesTheSameReference) {
    makeFileWith("Twice", {{'DATA', hex("01")}});
    const ResFileRefNum ref = open("Twice", fsRdPerm);
    ASSERT_NE(ref, -1);
    EXPECT_EQ(open("Twice", fsRdPerm), ref);
    CloseResFile(ref);
    EXPECT_EQ(CurResFile(), 0);
}

class ApplicationResourceFile : public ResourceManager {
protected:
    // A small application bundle with its executable and, if given, its resource file.
    fs::path makeBundle(const std::optional<Bytes>& rsrc) {
        const fs::path app = disk.root() / "Applications" / "Tiny Tool.app";
        fs::create_directories(app / "Contents" / "MacOS");
        fs::create_directories(app / "Contents" / "Resources");
        std::ofstream(app / "Contents" / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleExecutable</key><string>Tiny</string>"
               "<key>CFBundleIdentifier</key><string>org.example.tiny</string>"
               "</dict></plist>\n";
        writeAll(app / "Contents" / "MacOS" / "Tiny", {});
        fs::permissions(app / "Contents" / "MacOS" / "Tiny", fs::perms::owner_all);
        if (rsrc)
            writeAll(app / "Contents" / "Resources" / "Tiny.rsrc", *rsrc);
        return app;
    }
    void startAs(const fs::path& app) {
        macsim::useMainBundle(app);
        macsim::resetResourceManager();
    }
};

TEST_F(ApplicationResourceFile, IsCurrentFromTheFirstCall) {
    macsim::ResourceFork fork;
    macsim::Resource dlog;
    dlog.type = 'DLOG';
    dlog.id = 128;
    dlog.data = hex("0028 0028 00C8 0190 0001 0100 0000 00000000 0080 00");
    ASSERT_FALSE(fork.add(dlog));
    const fs::path app = makeBundle(fork.serialize().value());
    const Bytes before = readAll(app / "Contents" / "Resources" / "Tiny.rsrc");
    startAs(app);

    const ResFileRefNum applRes = CurResFile();
    ASSERT_NE(applRes, 0);
    Handle h = GetResource('DLOG', 128);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(bytesOf(h), dlog.data);

    // A settings file is used and closed; the application's file is made current again.
    makeFileWith("Other", {{'DATA', hex("01")}});
    const ResFileRefNum other = open("Other", fsRdPerm);
    EXPECT_EQ(CurResFile(), other);
    EXPECT_NE(GetResource('DLOG', 128), nullptr) << "found through the chain";
    CloseResFile(other);
    UseResFile(applRes);
    EXPECT_EQ(CurResFile(), applRes);

    // It is open for reading only.
    AddResource(NewHandle(1), 'DATA', 1, PString(""));
    EXPECT_EQ(ResError(), addResFailed);
    macsim::resetResourceManager();
    EXPECT_EQ(readAll(app / "Contents" / "Resources" / "Tiny.rsrc"), before);
}

TEST_F(ApplicationResourceFile, WithoutOneThereIsNoCurrentFile) {
    struct Row {
        const char* name;
        bool bundle;
        std::optional<Bytes> rsrc;
    };
    const Row rows[] = {
        {"no main bundle", false, std::nullopt},
        {"bundle without a resource file", true, std::nullopt},
        {"resource file that is no fork", true, hex("0102")},
        {"resource file of zero bytes", true, Bytes{}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        startAs(row.bundle ? makeBundle(row.rsrc) : fs::path());
        EXPECT_EQ(CurResFile(), 0);
        EXPECT_EQ(GetResource('DLOG', 128), nullptr);
        UseResFile(0);
        EXPECT_EQ(ResError(), noErr);
        fs::remove_all(disk.root() / "Applications" / "Tiny Tool.app");
    }
}

} // namespace
