#include <CoreFoundation/CoreFoundation.h>

#include "Owned.h"

#include "macsim/CFString.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

CFStringRef fromBytes(const std::string& bytes, CFStringEncoding encoding) {
    return CFStringCreateWithBytes(kCFAllocatorDefault,
                                   reinterpret_cast<const UInt8*>(bytes.data()),
                                   static_cast<CFIndex>(bytes.size()), encoding, false);
}

// The text of string in encoding, or nothing when CFStringGetCString refuses.
std::optional<std::string> text(CFStringRef string, CFStringEncoding encoding) {
    char buffer[1024];
    if (!CFStringGetCString(string, buffer, sizeof buffer, encoding))
        return std::nullopt;
    return std::string(buffer);
}

} // namespace

// Rows taken from the published Mac OS Roman table, not from our own.
TEST(String, MacRomanBytesMeanTheirPublishedCharacters) {
    struct Row {
        const char* name;
        unsigned char byte;
        const char* utf8;
    } rows[] = {
        {"first of the upper half", 0x80, "\xC3\x84"}, // A with diaeresis
        {"dagger", 0xA0, "\xE2\x80\xA0"},              // U+2020
        {"bullet", 0xA5, "\xE2\x80\xA2"},              // U+2022
        {"not equal", 0xAD, "\xE2\x89\xA0"},           // U+2260
        {"pi", 0xB9, "\xCF\x80"},                      // U+03C0
        {"no-break space", 0xCA, "\xC2\xA0"},          // U+00A0
        {"left double quote", 0xD2, "\xE2\x80\x9C"},   // U+201C
        {"euro sign", 0xDB, "\xE2\x82\xAC"},           // U+20AC
        {"fi ligature", 0xDE, "\xEF\xAC\x81"},         // U+FB01
        {"logo", 0xF0, "\xEF\xA3\xBF"},                // U+F8FF
        {"dotless i", 0xF5, "\xC4\xB1"},               // U+0131
        {"last, caron", 0xFF, "\xCB\x87"},             // U+02C7
        {"ASCII stays", 'A', "A"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned string(
            fromBytes(std::string(1, static_cast<char>(row.byte)), kCFStringEncodingMacRoman));
        ASSERT_TRUE(string.ref);
        EXPECT_EQ(string.ref->utf8(), row.utf8);
        EXPECT_EQ(CFStringGetLength(string.ref), 1);
        EXPECT_EQ(text(string.ref, kCFStringEncodingMacRoman),
                  std::string(1, static_cast<char>(row.byte)));
    }
}

TEST(String, EveryMacRomanByteRoundTripsThroughUnicode) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all += static_cast<char>(byte);
    Owned string(fromBytes(all, kCFStringEncodingMacRoman));
    ASSERT_TRUE(string.ref);
    EXPECT_EQ(CFStringGetLength(string.ref), 255);
    // Through UTF-8 and back: no two bytes share a character.
    const auto utf8 = text(string.ref, kCFStringEncodingUTF8);
    ASSERT_TRUE(utf8);
    Owned again(
        CFStringCreateWithCString(kCFAllocatorDefault, utf8->c_str(), kCFStringEncodingUTF8));
    EXPECT_EQ(text(again.ref, kCFStringEncodingMacRoman), all);
}

TEST(String, CharactersAnEncodingLacksMakeGetCStringFail) {
    struct Row {
        const char* name;
        const char* utf8;
        CFStringEncoding encoding;
    } rows[] = {
        {"CJK in Mac Roman", "\xE6\x97\xA5\xE6\x9C\xAC", kCFStringEncodingMacRoman},
        {"emoji in Mac Roman", "a\xF0\x9F\x98\x80", kCFStringEncodingMacRoman},
        {"currency sign, replaced by the euro", "\xC2\xA4", kCFStringEncodingMacRoman},
        {"e acute in ASCII", "caf\xC3\xA9", kCFStringEncodingASCII},
        {"an unknown encoding", "plain", 0x0500},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned string(
            CFStringCreateWithCString(kCFAllocatorDefault, row.utf8, kCFStringEncodingUTF8));
        ASSERT_TRUE(string.ref);
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_FALSE(CFStringGetCString(string.ref, buffer, sizeof buffer, row.encoding));
        // A caller that ignores the result still reads a terminated, empty text.
        EXPECT_STREQ(buffer, "");
    }
}

TEST(String, IllFormedUtf8AndNonAsciiBytesMakeNoString) {
    struct Row {
        const char* name;
        std::string bytes;
        CFStringEncoding encoding;
    } rows[] = {
        {"lone continuation byte", "a\x80", kCFStringEncodingUTF8},
        {"overlong slash", "\xC0\xAF", kCFStringEncodingUTF8},
        {"encoded surrogate", "\xED\xA0\x80", kCFStringEncodingUTF8},
        {"past U+10FFFF", "\xF4\x90\x80\x80", kCFStringEncodingUTF8},
        {"truncated at the end", "\xE2\x82", kCFStringEncodingUTF8},
        {"Mac Roman byte as UTF-8", "caf\x8E", kCFStringEncodingUTF8},
        {"high byte as ASCII", "caf\x8E", kCFStringEncodingASCII},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(fromBytes(row.bytes, row.encoding), nullptr);
        EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, row.bytes.c_str(), row.encoding),
                  nullptr);
    }
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, nullptr, kCFStringEncodingUTF8),
              nullptr);
    EXPECT_EQ(
        CFStringCreateWithBytes(kCFAllocatorDefault, nullptr, 3, kCFStringEncodingUTF8, false),
        nullptr);
}

// The buffer must hold the text and its terminator; one byte less is a clean failure.
TEST(String, GetCStringNeedsRoomForTheTerminatorExactly) {
    struct Row {
        const char* name;
        const char* utf8;
        CFStringEncoding encoding;
        CFIndex bytes; // encoded size without the terminator
    } rows[] = {
        {"ASCII", "1300", kCFStringEncodingMacRoman, 4},
        {"two-byte UTF-8, one Mac Roman byte", "caf\xC3\xA9", kCFStringEncodingMacRoman, 4},
        {"two-byte UTF-8 as UTF-8", "caf\xC3\xA9", kCFStringEncodingUTF8, 5},
        {"empty", "", kCFStringEncodingUTF8, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned string(
            CFStringCreateWithCString(kCFAllocatorDefault, row.utf8, kCFStringEncodingUTF8));
        char buffer[16];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(CFStringGetCString(string.ref, buffer, row.bytes + 1, row.encoding));
        EXPECT_EQ(std::strlen(buffer), static_cast<std::size_t>(row.bytes));
        std::memset(buffer, 'x', sizeof buffer);
        if (row.bytes > 0) {
            EXPECT_FALSE(CFStringGetCString(string.ref, buffer, row.bytes, row.encoding));
            EXPECT_STREQ(buffer, "");
        }
        EXPECT_EQ(buffer[row.bytes + 1], 'x'); // nothing written past the size given
    }
    Owned string(CFStringCreateWithCString(kCFAllocatorDefault, "x", kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(string.ref, nullptr, 10, kCFStringEncodingUTF8));
    char one[1] = {'x'};
    EXPECT_FALSE(CFStringGetCString(string.ref, one, 0, kCFStringEncodingUTF8));
    EXPECT_EQ(one[0], 'x');
}

TEST(String, LengthCountsUtf16Units) {
    struct Row {
        const char* name;
        const char* utf8;
        CFIndex length;
    } rows[] = {
        {"empty", "", 0},
        {"ASCII", "867", 3},
        {"two- and three-byte characters", "\xC3\xA9\xE2\x82\xAC", 2},
        {"outside the basic plane", "\xF0\x9F\x98\x80", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Owned string(
            CFStringCreateWithCString(kCFAllocatorDefault, row.utf8, kCFStringEncodingUTF8));
        EXPECT_EQ(CFStringGetLength(string.ref), row.length);
    }
}

TEST(String, PascalStringsAndExternalRepresentations) {
    const unsigned char pascal[] = "\x05"
                                   "Krelo\x8E"
                                   "trailing";
    Owned fromPascal(
        CFStringCreateWithPascalString(kCFAllocatorDefault, pascal, kCFStringEncodingMacRoman));
    EXPECT_EQ(fromPascal.ref->utf8(), "Krelo");
    const unsigned char empty[] = "\x00";
    Owned fromEmpty(
        CFStringCreateWithPascalString(kCFAllocatorDefault, empty, kCFStringEncodingMacRoman));
    EXPECT_EQ(CFStringGetLength(fromEmpty.ref), 0);

    const std::string bom = "\xEF\xBB\xBFtext";
    Owned external(
        CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bom.data()),
                                static_cast<CFIndex>(bom.size()), kCFStringEncodingUTF8, true));
    EXPECT_EQ(external.ref->utf8(), "text");
}

TEST(String, ConstantStringsAreSharedAndImmortal) {
    CFStringRef a = CFSTR("Load Krelo.kext into kernel");
    EXPECT_EQ(a, CFSTR("Load Krelo.kext into kernel"));
    EXPECT_NE(a, CFSTR("Unload Krelo.kext from kernel"));
    const CFIndex count = CFGetRetainCount(a);
    CFRetain(a);
    for (int i = 0; i < 5; ++i)
        CFRelease(a); // more releases than references: must not free it
    EXPECT_EQ(CFGetRetainCount(a), count);
    EXPECT_EQ(a->utf8(), "Load Krelo.kext into kernel");
    EXPECT_EQ(CFSTR("caf\xC3\xA9")->utf8(), "caf\xC3\xA9");
}

TEST(String, ReferenceCountingOfOrdinaryStrings) {
    CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, "867", 0);
    EXPECT_EQ(CFGetRetainCount(string), 1);
    EXPECT_EQ(CFRetain(string), string);
    EXPECT_EQ(CFGetRetainCount(string), 2);
    CFRelease(string);
    EXPECT_EQ(CFGetRetainCount(string), 1);
    CFRelease(string);

    CFRelease(nullptr);
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    EXPECT_EQ(CFGetRetainCount(nullptr), 0);
}

TEST(String, EqualComparesCharacters) {
    Owned made(
        CFStringCreateWithCString(kCFAllocatorDefault, "caf\x8E", kCFStringEncodingMacRoman));
    EXPECT_TRUE(CFStringEqual(made.ref, CFSTR("caf\xC3\xA9")));
    EXPECT_FALSE(CFStringEqual(made.ref, CFSTR("cafe")));
    EXPECT_FALSE(CFStringEqual(made.ref, nullptr));
    EXPECT_EQ(CFStringGetSystemEncoding(), kCFStringEncodingMacRoman);
}
