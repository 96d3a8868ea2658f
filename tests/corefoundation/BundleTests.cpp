#include "TempFolder.h"

#include <CoreFoundation/CoreFoundation.h>

#include "Owned.h"

#include "macsim/Bundle.h"
#include "macsim/CFString.h"
#include "macsim/CFURL.h"
#include "macsim/MainBundle.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using macsim::test::TempFolder;

namespace {

std::string infoPlist(const std::string& executable) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleExecutable</key><string>" +
           executable +
           "</string>"
           "<key>CFBundleIdentifier</key><string>com.example.test</string>"
           "<key>CFBundleVersion</key><integer>3</integer>"
           "</dict></plist>\n";
}

// A plug-in bundle in a temporary folder: Info.plist, the test shared object as its executable,
// and a few resources.
class BundleTest : public testing::Test {
protected:
    void SetUp() override {
        bundle_ = folder_ / "Plug In \xC3\xA9.bundle";
        folder_.write(bundle_ / "Contents/Info.plist", infoPlist("PlugIn"));
        fs::create_directories(bundle_ / "Contents/MacOS");
        fs::copy_file(CF_TEST_PLUGIN, bundle_ / "Contents/MacOS/PlugIn");
        folder_.write(bundle_ / "Contents/Resources/MyWindow.nib", "<nib/>");
        folder_.write(bundle_ / "Contents/Resources/loader", "#!/bin/sh\n");
        folder_.write(bundle_ / "Contents/Resources/Krelo.kext/Contents/Info.plist", "<plist/>");
        folder_.write(bundle_ / "Contents/Resources/English.lproj/Strings.txt", "x");
        folder_.write("outside.txt", "secret");
    }

    // The bundle at a path below the temporary folder, or null.
    static CFBundleRef open(const fs::path& path) {
        Owned url(macsim::makeFileURL(path, true));
        return CFBundleCreate(kCFAllocatorDefault, url.url());
    }

    static std::string pathOf(CFURLRef url) {
        const auto path = macsim::fileURLPath(url);
        return path ? path->string() : "<null>";
    }

    TempFolder folder_;
    fs::path bundle_;
};

CFStringRef utf8(const char* text) {
    return text ? CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8)
                : nullptr;
}

} // namespace

TEST_F(BundleTest, FoldersOfABundle) {
    Owned bundle(open(bundle_));
    ASSERT_TRUE(bundle.ref);
    Owned url(CFBundleCopyBundleURL(bundle.bundle()));
    Owned resources(CFBundleCopyResourcesDirectoryURL(bundle.bundle()));
    Owned frameworks(CFBundleCopyPrivateFrameworksURL(bundle.bundle()));
    Owned executable(CFBundleCopyExecutableURL(bundle.bundle()));
    EXPECT_EQ(pathOf(url.url()), bundle_.string());
    EXPECT_EQ(pathOf(resources.url()), (bundle_ / "Contents/Resources").string());
    EXPECT_EQ(pathOf(frameworks.url()), (bundle_ / "Contents/Frameworks").string());
    EXPECT_EQ(pathOf(executable.url()), (bundle_ / "Contents/MacOS/PlugIn").string());
    EXPECT_TRUE(CFStringEqual(
        CFBundleGetValueForInfoDictionaryKey(bundle.bundle(), CFSTR("CFBundleIdentifier")),
        CFSTR("com.example.test")));
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle.bundle(), CFSTR("CFBundleVersion")),
              nullptr); // not a string
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle.bundle(), CFSTR("Missing")), nullptr);
}

TEST_F(BundleTest, ResourceLookUp) {
    Owned bundle(open(bundle_));
    const fs::path resources = bundle_ / "Contents/Resources";
    struct Row {
        const char* name;
        const char* resource;
        const char* type;
        const char* subDir;
        std::string path; // empty: not found
    } rows[] = {
        {"no type", "loader", nullptr, nullptr, (resources / "loader").string()},
        {"a folder", "Krelo.kext", nullptr, nullptr, (resources / "Krelo.kext").string()},
        {"with a type", "MyWindow", "nib", nullptr, (resources / "MyWindow.nib").string()},
        {"type with its dot", "MyWindow", ".nib", nullptr, (resources / "MyWindow.nib").string()},
        {"in a subfolder", "Strings", "txt", "English.lproj",
         (resources / "English.lproj/Strings.txt").string()},
        {"missing", "authtool", nullptr, nullptr, ""},
        {"wrong type", "MyWindow", "xib", nullptr, ""},
        {"empty name", "", nullptr, nullptr, ""},
        {"climbing out", "../../../outside", "txt", nullptr, ""},
        {"climbing out through the subfolder", "outside", "txt", "../../..", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned name(utf8(row.resource)), type(utf8(row.type)), subDir(utf8(row.subDir));
        Owned url(CFBundleCopyResourceURL(bundle.bundle(), static_cast<CFStringRef>(name.ref),
                                          static_cast<CFStringRef>(type.ref),
                                          static_cast<CFStringRef>(subDir.ref)));
        EXPECT_EQ(url.ref ? pathOf(url.url()) : "", row.path);
    }
    // A folder resource is a directory URL.
    Owned kext(CFBundleCopyResourceURL(bundle.bundle(), CFSTR("Krelo.kext"), nullptr, nullptr));
    EXPECT_EQ(CFURLGetString(kext.url())->utf8().back(), '/');
}

TEST_F(BundleTest, FunctionsAreFoundByName) {
    Owned bundle(open(bundle_));
    using Answer = int (*)();
    const auto answer = reinterpret_cast<Answer>(
        CFBundleGetFunctionPointerForName(bundle.bundle(), CFSTR("macsimTestAnswer")));
    ASSERT_NE(answer, nullptr) << macsim::bundleLastError(bundle.bundle());
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(macsim::bundleLastError(bundle.bundle()), "");

    EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle.bundle(), CFSTR("setMenuItemClk")), nullptr);
    EXPECT_NE(macsim::bundleLastError(bundle.bundle()).find("setMenuItemClk"), std::string::npos);

    // The executable stays loaded: a later look-up finds the same function.
    EXPECT_EQ(reinterpret_cast<Answer>(
                  CFBundleGetFunctionPointerForName(bundle.bundle(), CFSTR("macsimTestAnswer"))),
              answer);
}

TEST_F(BundleTest, AnExecutableThatCannotBeLoadedGivesNullAndTheReason) {
    struct Row {
        const char* name;
        std::string info;
        const char* executableBytes; // null: no file
        std::string reason;          // part of the error
    } rows[] = {
        {"missing file", infoPlist("PlugIn"), nullptr, "PlugIn"},
        {"not a shared object", infoPlist("PlugIn"), "#!/bin/sh\n", "PlugIn"},
        {"Info.plist names none", "<plist><dict/></plist>", nullptr, "no executable"},
        {"name leads out of the bundle", infoPlist("../../../outside.txt"), nullptr,
         "no executable"},
    };
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path path = folder_ / ("Broken " + std::to_string(index++) + ".bundle");
        folder_.write(path / "Contents/Info.plist", row.info);
        if (row.executableBytes)
            folder_.write(path / "Contents/MacOS/PlugIn", row.executableBytes);
        Owned bundle(open(path));
        ASSERT_TRUE(bundle.ref);
        EXPECT_FALSE(CFBundleLoadExecutable(bundle.bundle()));
        EXPECT_EQ(CFBundleGetFunctionPointerForName(bundle.bundle(), CFSTR("macsimTestAnswer")),
                  nullptr);
        EXPECT_NE(macsim::bundleLastError(bundle.bundle()).find(row.reason), std::string::npos)
            << macsim::bundleLastError(bundle.bundle());
        Owned executable(CFBundleCopyExecutableURL(bundle.bundle()));
        EXPECT_EQ(executable.ref != nullptr, row.executableBytes != nullptr);
    }
}

TEST_F(BundleTest, WhatIsNoBundle) {
    folder_.write("No Contents.bundle/Info.plist", infoPlist("x"));
    folder_.write("Malformed.bundle/Contents/Info.plist", "<plist><dict><key>a</key></dict>");
    folder_.write("Truncated.bundle/Contents/Info.plist", infoPlist("x").substr(0, 60));
    folder_.write("Array.bundle/Contents/Info.plist", "<plist><array/></plist>");
    folder_.write("File.bundle", "not a folder");
    fs::create_directories(folder_ / "Bare.bundle/Contents");

    struct Row {
        const char* name;
        const char* folder;
        bool isBundle;
    } rows[] = {
        {"missing", "Missing.bundle", false},
        {"a file", "File.bundle", false},
        {"no Contents folder", "No Contents.bundle", false},
        {"malformed Info.plist", "Malformed.bundle", false},
        {"truncated Info.plist", "Truncated.bundle", false},
        {"Info.plist that is no dictionary", "Array.bundle", false},
        {"Contents without Info.plist", "Bare.bundle", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned bundle(open(folder_ / row.folder));
        EXPECT_EQ(bundle.ref != nullptr, row.isBundle);
    }
    EXPECT_EQ(CFBundleCreate(kCFAllocatorDefault, nullptr), nullptr);
    Owned web(CFURLCreateWithString(kCFAllocatorDefault, CFSTR("http://example.invalid/x.bundle"),
                                    nullptr));
    EXPECT_EQ(CFBundleCreate(kCFAllocatorDefault, web.url()), nullptr);
}

TEST_F(BundleTest, TheMainBundleCanBeChosenForInProcessTests) {
    folder_.write("Kreloed.app/Contents/Info.plist", infoPlist("Kreloed"));
    folder_.write("Kreloed.app/Contents/Resources/loader", "");

    macsim::useMainBundle(folder_ / "Kreloed.app");
    CFBundleRef first = CFBundleGetMainBundle();
    ASSERT_TRUE(first);
    EXPECT_EQ(macsim::bundleFolder(first), folder_ / "Kreloed.app");
    CFRelease(first); // an unbalanced release does not free the main bundle
    Owned loader(CFBundleCopyResourceURL(first, CFSTR("loader"), nullptr, nullptr));
    EXPECT_EQ(pathOf(loader.url()), (folder_ / "Kreloed.app/Contents/Resources/loader").string());

    macsim::useMainBundle(bundle_);
    EXPECT_EQ(macsim::bundleFolder(CFBundleGetMainBundle()), bundle_);
    // The reference handed out before is still a bundle.
    EXPECT_EQ(macsim::bundleFolder(first), folder_ / "Kreloed.app");

    macsim::useMainBundle({});
    EXPECT_EQ(CFBundleGetMainBundle(), nullptr);
}

// The real path: a program inside Name.app/Contents/MacOS finds Name.app as its main bundle; one
// anywhere else has none.
TEST_F(BundleTest, TheMainBundleIsTheOneHoldingTheExecutable) {
    const fs::path app = folder_ / "Kreloed \xC3\xA9.app";
    folder_.write(app / "Contents/Info.plist", infoPlist("Kreloed"));
    folder_.write(app / "Contents/Resources/Krelo.kext/Contents/Info.plist", "<plist/>");
    fs::create_directories(app / "Contents/MacOS");
    fs::copy_file(CF_MAIN_BUNDLE_PROBE, app / "Contents/MacOS/Kreloed");
    fs::copy_file(CF_MAIN_BUNDLE_PROBE, folder_ / "probe");

    auto run = [](const fs::path& program) {
        const std::string command = "'" + program.string() + "' Krelo.kext";
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        while (pipe && fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        const int status = pipe ? pclose(pipe) : -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return out;
    };
    EXPECT_EQ(run(app / "Contents/MacOS/Kreloed"),
              app.string() + "\n" + (app / "Contents/Resources/Krelo.kext").string() + "\n");
    EXPECT_EQ(run(folder_ / "probe"), "no main bundle\n");
}
