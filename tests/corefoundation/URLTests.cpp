#include <CoreFoundation/CoreFoundation.h>

#include "Owned.h"

#include "macsim/CFString.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

CFStringRef utf8(const std::string& text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

CFURLRef fileURL(const std::string& path, bool isDirectory) {
    Owned string(utf8(path));
    return CFURLCreateWithFileSystemPath(kCFAllocatorDefault, string.string(), kCFURLPOSIXPathStyle,
                                         isDirectory);
}

CFURLRef urlFromString(const std::string& text) {
    Owned string(utf8(text));
    return CFURLCreateWithString(kCFAllocatorDefault, string.string(), nullptr);
}

std::string stringOf(CFURLRef url) {
    return url ? CFURLGetString(url)->utf8() : "<null>";
}

std::string pathOf(CFURLRef url) {
    Owned path(CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle));
    return path.ref ? path.string()->utf8() : "<null>";
}

} // namespace

TEST(URL, FileURLsFromPaths) {
    struct Row {
        const char* name;
        std::string path;
        bool isDirectory;
        std::string string; // the URL's string form
        std::string posix;  // and its path back
    } rows[] = {
        {"plain file", "/Applications/Kreloed.app/Contents/Resources/loader", false,
         "file:///Applications/Kreloed.app/Contents/Resources/loader",
         "/Applications/Kreloed.app/Contents/Resources/loader"},
        {"folder", "/Applications/Kreloed.app", true, "file:///Applications/Kreloed.app/",
         "/Applications/Kreloed.app"},
        {"folder given with its slash", "/a/b/", true, "file:///a/b/", "/a/b"},
        {"root", "/", true, "file:///", "/"},
        {"space and non-ASCII", "/Volumes/Mac HD/Caf\xC3\xA9", false,
         "file:///Volumes/Mac%20HD/Caf%C3%A9", "/Volumes/Mac HD/Caf\xC3\xA9"},
        {"characters with a meaning in URLs", "/a%b/c#d?e", false, "file:///a%25b/c%23d%3Fe",
         "/a%b/c#d?e"},
        {"doubled slashes", "//a///b", false, "file:///a/b", "/a/b"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned url(fileURL(row.path, row.isDirectory));
        ASSERT_TRUE(url.ref);
        EXPECT_EQ(stringOf(url.url()), row.string);
        EXPECT_EQ(pathOf(url.url()), row.posix);
        // The string form leads back to the same file.
        Owned again(urlFromString(row.string));
        EXPECT_EQ(pathOf(again.url()), row.posix);
    }
}

TEST(URL, RelativePathsAreTakenFromTheCurrentFolder) {
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    Owned url(fileURL("sub/file", false));
    EXPECT_EQ(pathOf(url.url()), std::string(cwd) + "/sub/file");
    EXPECT_EQ(fileURL("", false), nullptr);
}

TEST(URL, StringsThatAreNoUsableURL) {
    struct Row {
        const char* name;
        const char* text;
    } rows[] = {
        {"empty", ""},
        {"a space", "http://example.invalid/a b"},
        {"non-ASCII", "http://example.invalid/caf\xC3\xA9"},
        {"bad escape", "file:///a%2"},
        {"escape that is no hex", "file:///a%zz"},
        {"an escaped NUL", "file:///a%00b"},
        {"relative", "Resources/loader"},
        {"file on another host", "file://server/share"},
        {"file without slashes", "file:loader"},
        {"bad scheme", "1http://x"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(urlFromString(row.text), nullptr);
    }
    EXPECT_EQ(CFURLCreateWithString(kCFAllocatorDefault, nullptr, nullptr), nullptr);
}

TEST(URL, WebAddressesAreKeptAsGiven) {
    const std::string address = "http://www.example.invalid/kreloed/index.html?lang=en#top";
    Owned url(urlFromString(address));
    ASSERT_TRUE(url.ref);
    EXPECT_EQ(stringOf(url.url()), address);
    EXPECT_EQ(CFURLCopyFileSystemPath(url.url(), kCFURLPOSIXPathStyle), nullptr);
    UInt8 buffer[256];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url.url(), true, buffer, sizeof buffer));

    Owned folder(urlFromString("http://www.example.invalid/docs/"));
    Owned name(utf8("read me.html"));
    Owned page(CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, folder.url(),
                                                     name.string(), false));
    EXPECT_EQ(stringOf(page.url()), "http://www.example.invalid/docs/read%20me.html");
}

TEST(URL, AppendingPathComponents) {
    struct Row {
        const char* name;
        std::string folder;
        std::string component;
        bool isDirectory;
        std::string string;
    } rows[] = {
        {"tool in Resources", "/A B.app/Contents/Resources", "loader", false,
         "file:///A%20B.app/Contents/Resources/loader"},
        {"bundle in Frameworks", "/A/Contents/Frameworks", "StatusMenu.bundle", true,
         "file:///A/Contents/Frameworks/StatusMenu.bundle/"},
        {"to the root", "/", "Applications", true, "file:///Applications/"},
        {"non-ASCII name", "/x", "\xC3\xA9t\xC3\xA9", false, "file:///x/%C3%A9t%C3%A9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned folder(fileURL(row.folder, true));
        Owned component(utf8(row.component));
        Owned url(CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, folder.url(),
                                                        component.string(), row.isDirectory));
        EXPECT_EQ(stringOf(url.url()), row.string);
    }
    EXPECT_EQ(
        CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, nullptr, CFSTR("x"), false),
        nullptr);
}

// The path and its terminator must fit in maxLength; the limit is exact, and a path that does
// not fit leaves an empty string, never a partial path (the tool runner does not look at the
// result before it uses the buffer).
TEST(URL, FileSystemRepresentationFitsExactlyOrNotAtAll) {
    const std::string path = "/Volumes/Mac HD/Caf\xC3\xA9/loader";
    Owned url(fileURL(path, false));
    const auto size = static_cast<CFIndex>(path.size());

    UInt8 buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url.url(), true, buffer, size + 1));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer)), path);
    EXPECT_EQ(buffer[size + 1], 'x');

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url.url(), true, buffer, size));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer) + 1, sizeof buffer - 1),
              std::string(sizeof buffer - 1, 'x'));
    buffer[0] = 'x';
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url.url(), true, buffer, 0));
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url.url(), true, nullptr, 64));
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(nullptr, true, buffer, 64));

    // A folder's representation has no trailing slash.
    Owned folder(fileURL("/a/b", true));
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(folder.url(), true, buffer, sizeof buffer));
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), "/a/b");
}

TEST(URL, FromFileSystemRepresentation) {
    const std::string path = "/tmp/a b/\xC3\xA9";
    Owned url(CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault,
                                                      reinterpret_cast<const UInt8*>(path.data()),
                                                      static_cast<CFIndex>(path.size()), false));
    EXPECT_EQ(stringOf(url.url()), "file:///tmp/a%20b/%C3%A9");

    const std::string withNul("/tmp/a\0b", 8);
    EXPECT_EQ(CFURLCreateFromFileSystemRepresentation(
                  kCFAllocatorDefault, reinterpret_cast<const UInt8*>(withNul.data()),
                  static_cast<CFIndex>(withNul.size()), false),
              nullptr);
}
