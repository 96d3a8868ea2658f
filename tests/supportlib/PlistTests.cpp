#include "TempFolder.h"

#include "macsim/Plist.h"

#include <cstring>
#include <gtest/gtest.h>

namespace plist = macsim::plist;
using macsim::test::TempFolder;

namespace {

// Written by hand from the format, not by our writer.
const std::string kHardware = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist SYSTEM "PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>ProcessorClockRate</key>
	<integer>1000000000</integer>
	<key>ProcessorMinimumSpeed</key>
	<integer>300</integer>
	<key>Name</key>
	<string>Caf&#xE9; &amp; <![CDATA[<b>]]></string>
	<key>Padded</key>
	<string>  </string>
	<key>Empty</key>
	<string/>
	<!-- a comment between members -->
	<key>Speeds</key>
	<array>
		<real>-1.5e3</real>
		<true/>
		<false></false>
		<data>
			AAEC
			/w==
		</data>
		<date>2004-05-01T12:00:00Z</date>
		<dict/>
	</array>
</dict>
</plist>
)";

} // namespace

TEST(Plist, ParsesEveryKindOfValue) {
    std::string error;
    const auto value = plist::parse(kHardware, &error);
    ASSERT_TRUE(value) << error;
    EXPECT_EQ(plist::lookupInteger(*value, "ProcessorClockRate"), 1000000000);
    EXPECT_EQ(plist::lookupString(*value, "Name"), "Caf\xC3\xA9 & <b>");
    EXPECT_EQ(plist::lookupString(*value, "Padded"), "  ");
    EXPECT_EQ(plist::lookupString(*value, "Empty"), "");
    EXPECT_EQ(plist::lookupString(*value, "ProcessorMinimumSpeed"), std::nullopt); // not a string
    EXPECT_EQ(plist::lookupInteger(*value, "Missing"), std::nullopt);

    const plist::Array* speeds = value->find("Speeds")->array();
    ASSERT_TRUE(speeds);
    ASSERT_EQ(speeds->size(), 6u);
    EXPECT_EQ(*(*speeds)[0].real(), -1500.0);
    EXPECT_EQ(*(*speeds)[1].boolean(), true);
    EXPECT_EQ(*(*speeds)[2].boolean(), false);
    EXPECT_EQ((*speeds)[3], plist::Value(plist::Data{{0, 1, 2, 0xFF}}));
    EXPECT_EQ((*speeds)[4], plist::Value(plist::Date{"2004-05-01T12:00:00Z"}));
    EXPECT_EQ((*speeds)[5], plist::Value(plist::Dict{}));
}

TEST(Plist, RefusesMalformedInputWithAReason) {
    const std::string deep = std::string(1000, 'x');
    std::string nested;
    for (int i = 0; i < 200; ++i)
        nested += "<array>";
    for (int i = 0; i < 200; ++i)
        nested += "</array>";

    struct Row {
        const char* name;
        std::string text;
    } rows[] = {
        {"empty", ""},
        {"not XML", "ProcessorClockRate = 1000000000"},
        {"binary", std::string("bplist00\0\x01\x02", 11)},
        {"another root", "<dict><key>a</key><string>b</string></dict>"},
        {"two roots", "<plist><string/></plist><plist><string/></plist>"},
        {"no value", "<plist></plist>"},
        {"two values", "<plist><string>a</string><string>b</string></plist>"},
        {"text beside the value", "<plist>oops<string>a</string></plist>"},
        {"unknown element", "<plist><number>1</number></plist>"},
        {"element inside a string", "<plist><string>a<b/>c</string></plist>"},
        {"key without value", "<plist><dict><key>a</key></dict></plist>"},
        {"two keys in a row", "<plist><dict><key>a</key><key>b</key><true/></dict></plist>"},
        {"value without key", "<plist><dict><true/></dict></plist>"},
        {"duplicate key", "<plist><dict><key>a</key><true/><key>a</key><false/></dict></plist>"},
        {"text in a dict", "<plist><dict>a<key>a</key><true/></dict></plist>"},
        {"integer with letters", "<plist><integer>12abc</integer></plist>"},
        {"empty integer", "<plist><integer></integer></plist>"},
        {"integer overflow", "<plist><integer>9223372036854775808</integer></plist>"},
        {"hexadecimal integer", "<plist><integer>0x10</integer></plist>"},
        {"integer with two signs", "<plist><integer>+-5</integer></plist>"},
        {"bad real", "<plist><real>1.5.5</real></plist>"},
        {"bad base64 character", "<plist><data>AA*=</data></plist>"},
        {"base64 of one sextet", "<plist><data>A</data></plist>"},
        {"data after padding", "<plist><data>AA==AA</data></plist>"},
        {"true with content", "<plist><true>1</true></plist>"},
        {"text that is not UTF-8", "<plist><string>caf\x8E</string></plist>"},
        {"nesting too deep", "<plist>" + nested + "</plist>"},
        {"unclosed element", "<plist><string>" + deep},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        EXPECT_FALSE(plist::parse(row.text, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// A file cut short anywhere (a crash while it was written by something less careful than us)
// is refused, never half-read.
TEST(Plist, RefusesEveryTruncationOfAValidFile) {
    const std::size_t end = kHardware.rfind("</plist>");
    for (std::size_t length = 0; length < end + std::strlen("</plist>"); ++length) {
        std::string error;
        if (plist::parse(std::string_view(kHardware).substr(0, length), &error)) {
            ADD_FAILURE() << "accepted the first " << length << " bytes";
            break;
        }
    }
}

TEST(Plist, RefusesInputLargerThanTheCap) {
    const std::string text = "<plist><string>" + std::string(100, 'x') + "</string></plist>";
    std::string error;
    EXPECT_TRUE(plist::parse(text, &error, text.size()));
    EXPECT_FALSE(plist::parse(text, &error, text.size() - 1));
    EXPECT_NE(error.find("larger than"), std::string::npos);

    TempFolder folder;
    const auto file = folder.write("big.plist", text);
    EXPECT_TRUE(plist::load(file, &error, text.size()));
    EXPECT_FALSE(plist::load(file, &error, text.size() - 1));
    EXPECT_FALSE(plist::load(folder / "missing.plist", &error));
    EXPECT_NE(error.find("missing.plist"), std::string::npos);
}

TEST(Plist, WhatIsSavedReadsBackTheSame) {
    plist::Value value = plist::Dict{};
    value.set("ProductVersion", "10.3.9");
    value.set("Markup", "<a href=\"x\">&amp;</a>");
    value.set("Spaces", "  both ends  ");
    value.set("Empty", "");
    value.set("Unicode", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    value.set("Big", std::int64_t{-9000000000});
    value.set("Real", 0.1);
    value.set("Flags", plist::Array{true, false});
    value.set("Bytes", plist::Data{{0, 0xFF, 0x10, 0x20, 0x30}});
    value.set("Nested", plist::Dict{{"k", plist::Value(plist::Array{})}});
    value.set("ProductVersion", "10.4"); // replaces, keeping its place

    TempFolder folder;
    const auto file = folder / "SystemVersion.plist";
    ASSERT_TRUE(plist::save(file, value));
    std::string error;
    const auto read = plist::load(file, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(*read, value);
    EXPECT_EQ(read->dict()->front().key, "ProductVersion");
    EXPECT_EQ(plist::lookupString(*read, "ProductVersion"), "10.4");
}
