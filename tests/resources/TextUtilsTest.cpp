#include <Carbon/Carbon.h>

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

namespace {

std::string text(const unsigned char* p) {
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

} // namespace

TEST(TextUtils, NumToStringWritesDecimalText) {
    struct Row {
        long number;
        const char* expected;
    };
    const Row rows[] = {{0, "0"}, {1000, "1000"}, {-32768, "-32768"}, {INT_MIN, "-2147483648"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        Str255 out;
        NumToString(row.number, out);
        EXPECT_EQ(text(out), row.expected);
    }
}

TEST(TextUtils, LengthPrefixedCopies) {
    Str255 p;
    c2pstrcpy(p, "Kreloed Prefs");
    EXPECT_EQ(p[0], 13);
    EXPECT_EQ(text(p), "Kreloed Prefs");

    char c[256];
    std::fill(std::begin(c), std::end(c), 'x');
    p2cstrcpy(c, p);
    EXPECT_STREQ(c, "Kreloed Prefs");

    Str255 copy;
    EXPECT_EQ(PLstrcpy(copy, p), copy);
    EXPECT_EQ(text(copy), "Kreloed Prefs");

    // Longer C strings are cut at the 255 characters a length byte can count.
    const std::string longText(300, 'a');
    c2pstrcpy(p, longText.c_str());
    EXPECT_EQ(p[0], 255);
    p2cstrcpy(c, p);
    EXPECT_EQ(std::string(c), std::string(255, 'a'));
}

TEST(TextUtils, TextAndEncodingFromAString) {
    struct Row {
        const char* name;
        const char* utf8;
        std::string expected;
        TextEncoding encoding;
    };
    const Row rows[] = {
        {"ASCII path", "/Volumes/Macintosh HD/Krelo.kext", "/Volumes/Macintosh HD/Krelo.kext",
         kTextEncodingMacRoman},
        {"beyond ASCII: UTF-8, as the file system spells it", "/Caf\xC3\xA9", "/Caf\xC3\xA9",
         kCFStringEncodingUTF8},
        {"beyond Mac Roman: UTF-8", "/\xE2\x86\x92 \xC3\xA9", "/\xE2\x86\x92 \xC3\xA9",
         kCFStringEncodingUTF8},
        {"empty", "", "", kTextEncodingMacRoman},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CFStringRef s = CFStringCreateWithCString(nullptr, row.utf8, kCFStringEncodingUTF8);
        ASSERT_NE(s, nullptr);
        std::array<UInt8, 64> out{};
        ByteCount length = 99;
        TextEncoding encoding = 99;
        EXPECT_EQ(GetTextAndEncodingFromCFString(s, out.data(), ByteCount(out.size()), &length,
                                                 &encoding),
                  noErr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data()), length), row.expected);
        EXPECT_EQ(encoding, row.encoding);
        // Without asking for the encoding.
        EXPECT_EQ(
            GetTextAndEncodingFromCFString(s, out.data(), ByteCount(out.size()), &length, nullptr),
            noErr);
        CFRelease(s);
    }
}

TEST(TextUtils, TextThatDoesNotFitIsRefusedWithoutWritingPastTheLimit) {
    CFStringRef s =
        CFStringCreateWithCString(nullptr, "/Caf\xC3\xA9 \xE2\x86\x92", kCFStringEncodingUTF8);
    // UTF-8 (the arrow has no Mac Roman code): 10 bytes.
    std::array<UInt8, 16> out;
    out.fill(0xEE);
    ByteCount length = 99;
    EXPECT_EQ(GetTextAndEncodingFromCFString(s, out.data(), 9, &length, nullptr),
              kTECOutputBufferFullStatus);
    EXPECT_EQ(length, 0u);
    for (std::size_t i = 9; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "byte " << i;

    EXPECT_EQ(GetTextAndEncodingFromCFString(s, out.data(), 10, &length, nullptr), noErr);
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(out[10], 0xEE);
    CFRelease(s);

    EXPECT_EQ(GetTextAndEncodingFromCFString(nullptr, out.data(), 10, &length, nullptr), paramErr);
}
