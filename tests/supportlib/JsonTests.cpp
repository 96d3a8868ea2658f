#include "macsim/Json.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>

using macsim::json::Array;
using macsim::json::Object;

// Every string must come back, through an independent JSON reader, as the text it was (or with
// U+FFFD for each byte that is not UTF-8).
TEST(Json, StringsSurviveAnIndependentReader) {
    std::string allControls;
    for (int c = 0; c < 0x20; ++c)
        allControls += static_cast<char>(c);
    allControls += '\x7F';

    struct Row {
        const char* name;
        std::string text;
        std::string expected;
    } rows[] = {
        {"plain", "Set user-defined CPU speed ...", "Set user-defined CPU speed ..."},
        {"quotes and backslashes", "say \"\\hi\\\"", "say \"\\hi\\\""},
        {"every control character", allControls, allControls},
        {"a NUL inside", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"UTF-8 of every length", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
         "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"line and paragraph separators", "\xE2\x80\xA8\xE2\x80\xA9", "\xE2\x80\xA8\xE2\x80\xA9"},
        {"a Mac Roman byte", "caf\x8E", "caf\xEF\xBF\xBD"},
        {"a truncated sequence at the end", "x\xE2\x82", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"an overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"an encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string line = Object().add("text", row.text).str();
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const auto parsed = nlohmann::json::parse(line);
        EXPECT_EQ(parsed["text"].get<std::string>(), row.expected);
    }
}

TEST(Json, NumbersAndOtherValuesKeepTheirTypeAndValue) {
    const auto parsed = nlohmann::json::parse(
        Object()
            .add("min", std::numeric_limits<std::int64_t>::min())
            .add("max", std::numeric_limits<std::uint64_t>::max())
            .add("int", 867)
            .add("short", static_cast<std::uint16_t>(65535))
            .add("real", 0.1)
            .add("nan", std::nan(""))
            .add("infinity", std::numeric_limits<double>::infinity())
            .add("yes", true)
            .add("nothing", nullptr)
            .add("literal", "text")
            .add("list", Array().add(1).add("two").add(Object().add("k", false)))
            .addRaw("raw", "[1,2]")
            .add("empty", Object())
            .str());
    EXPECT_EQ(parsed["min"].get<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(parsed["max"].get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(parsed["int"], 867);
    EXPECT_EQ(parsed["short"], 65535);
    EXPECT_EQ(parsed["real"].get<double>(), 0.1);
    EXPECT_TRUE(parsed["nan"].is_null());
    EXPECT_TRUE(parsed["infinity"].is_null());
    EXPECT_EQ(parsed["yes"], true);
    EXPECT_TRUE(parsed["nothing"].is_null());
    EXPECT_EQ(parsed["literal"], "text");
    EXPECT_EQ(parsed["list"], nlohmann::json::parse(R"([1,"two",{"k":false}])"));
    EXPECT_EQ(parsed["raw"], nlohmann::json::parse("[1,2]"));
    EXPECT_TRUE(parsed["empty"].is_object() && parsed["empty"].empty());
}
