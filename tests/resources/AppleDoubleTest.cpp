#include "ForkFixtures.h"

#include <macsim/AppleDouble.h>

#include <gtest/gtest.h>

using namespace kreloed::test;
using macsim::AppleDouble;

TEST(AppleDouble, ReadsAndWritesTheSimpleForm) {
    const Bytes fork = settingsFork(exampleRecord());
    const Bytes expected = companion(fork);
    ASSERT_EQ(expected.size(), 410u);

    std::string error;
    auto parsed = AppleDouble::parse(expected, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->typeAndCreator(), (std::array<std::uint32_t, 2>{'pref', 'SLap'}));
    ASSERT_NE(parsed->entry(AppleDouble::resourceForkId), nullptr);
    EXPECT_EQ(parsed->entry(AppleDouble::resourceForkId)->data, fork);

    AppleDouble made;
    made.setEntry(AppleDouble::resourceForkId, fork);
    made.setEntry(AppleDouble::finderInfoId, AppleDouble::finderInfo('pref', 'SLap'));
    EXPECT_EQ(made.serialize(), expected); // Finder Info first, whatever order it was set in
}

TEST(AppleDouble, RewritingKeepsUnknownEntriesAndPutsTheForkLast) {
    // Fork first, a comment (4) and a long Finder Info such as newer systems write (its extended
    // attributes follow the 32 bytes), with a gap between entries.
    const Bytes longInfo = hex("70726566 534C6170") + zeros(24) + hex("41545452 0000");
    const Bytes in = hex("00051607 00020000") + zeros(16) + hex("0003") +
                     hex("00000002 00000068 00000002") + hex("00000004 0000003E 00000003") +
                     hex("00000009 00000042 00000026") + hex("434F4D") + hex("00") + longInfo +
                     hex("ABCD");
    std::string error;
    auto parsed = AppleDouble::parse(in, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->typeAndCreator(), (std::array<std::uint32_t, 2>{'pref', 'SLap'}));

    ASSERT_TRUE(parsed->setEntry(AppleDouble::resourceForkId, hex("0102030405")));
    const Bytes expected = hex("00051607 00020000") + zeros(16) + hex("0003") +
                           hex("00000009 0000003E 00000026") + hex("00000004 00000064 00000003") +
                           hex("00000002 00000067 00000005") + longInfo + hex("434F4D") +
                           hex("0102030405");
    EXPECT_EQ(parsed->serialize(), expected);
}

TEST(AppleDouble, RefusesMalformedCompanionsWithAReason) {
    const Bytes header = hex("00051607 00020000") + zeros(16);
    const Bytes info = hex("70726566 534C6170") + zeros(24);
    struct Row {
        const char* name;
        Bytes bytes;
    };
    const Row rows[] = {
        {"nothing", {}},
        {"cut inside the header", header},
        {"wrong magic", hex("00051606 00020000") + zeros(16) + hex("0001") +
                            hex("00000009 00000026 00000020") + info},
        {"single-file magic", hex("00051600 00020000") + zeros(16) + hex("0001") +
                                  hex("00000009 00000026 00000020") + info},
        {"version 1", hex("00051607 00010000") + zeros(16) + hex("0001") +
                          hex("00000009 00000026 00000020") + info},
        {"no entries", header + hex("0000")},
        {"sixteen entries", header + hex("0010") + zeros(16 * 12)},
        {"descriptors cut off", header + hex("0002") + hex("00000009 00000032 00000020")},
        {"entry ID 0", header + hex("0001") + hex("00000000 00000026 00000020") + info},
        {"entry inside the descriptors",
         header + hex("0001") + hex("00000009 00000010 00000020") + info},
        {"entry past the end", header + hex("0001") + hex("00000009 00000026 00000021") + info},
        {"offset and length overflowing",
         header + hex("0001") + hex("00000002 00000026 FFFFFFFF") + info},
        {"short Finder Info", header + hex("0001") + hex("00000009 00000026 0000001F") + info},
        {"overlapping entries", header + hex("0002") + hex("00000009 00000032 00000020") +
                                    hex("00000002 00000040 00000010") + info},
        {"an entry twice", header + hex("0002") + hex("00000002 00000032 00000010") +
                               hex("00000002 00000042 00000010") + info},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        EXPECT_FALSE(AppleDouble::parse(row.bytes, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(AppleDouble, AnEmptyForkEntryAtTheEndIsValid) {
    // What HCreate leaves: Finder Info, then a 0-byte fork entry at the very end of the file.
    const Bytes bytes = hex("00051607 00020000") + zeros(16) + hex("0002") +
                        hex("00000009 00000032 00000020") + hex("00000002 00000052 00000000") +
                        hex("70726566 534C6170") + zeros(24);
    auto parsed = AppleDouble::parse(bytes);
    ASSERT_TRUE(parsed);
    ASSERT_NE(parsed->entry(AppleDouble::resourceForkId), nullptr);
    EXPECT_TRUE(parsed->entry(AppleDouble::resourceForkId)->data.empty());
    EXPECT_EQ(parsed->serialize(), bytes);
}
