#include "ForkFixtures.h"
#include "IndependentReader.h"

#include <macsim/ResourceFork.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>

using namespace kreloed::test;
using macsim::Resource;
using macsim::ResourceFork;

namespace {

Resource resource(std::uint32_t type, std::int16_t id, std::optional<std::string> name,
                  std::uint8_t attributes, Bytes data) {
    Resource r;
    r.type = type;
    r.id = id;
    r.name = std::move(name);
    r.attributes = attributes;
    r.data = std::move(data);
    return r;
}

void expectSame(const Resource& actual, const Resource& expected) {
    EXPECT_EQ(actual.type, expected.type);
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.name, expected.name);
    EXPECT_EQ(actual.attributes, expected.attributes);
    EXPECT_EQ(actual.data, expected.data);
}

ResourceFork forkOf(std::vector<Resource> resources) {
    ResourceFork fork;
    for (auto& r : resources)
        EXPECT_FALSE(fork.add(std::move(r)).has_value());
    return fork;
}

} // namespace

TEST(ResourceFork, ReadsTheSettingsForkOfTheWorkedExample) {
    std::string error;
    auto fork = ResourceFork::parse(settingsFork(exampleRecord()), &error);
    ASSERT_TRUE(fork) << error;
    ASSERT_EQ(fork->resources().size(), 1u);
    expectSame(fork->resources()[0], resource('SLpr', 128, "prefs", 0, exampleRecord()));
}

TEST(ResourceFork, WritesTheConventionalFormByteForByte) {
    struct Row {
        const char* name;
        std::vector<Resource> resources;
        Bytes expected;
    };
    const Row rows[] = {
        {"empty fork, 286 bytes", {}, emptyFork()},
        {"settings fork, 328 bytes",
         {resource('SLpr', 128, "prefs", 0, exampleRecord())},
         settingsFork(exampleRecord())},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto bytes = forkOf(row.resources).serialize();
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, row.expected);
    }
    EXPECT_EQ(emptyFork().size(), 286u);
    EXPECT_EQ(settingsFork(exampleRecord()).size(), 328u);
}

TEST(ResourceFork, EmptyForkHasNoResources) {
    auto fork = ResourceFork::parse(emptyFork());
    ASSERT_TRUE(fork);
    EXPECT_TRUE(fork->resources().empty());
    EXPECT_EQ(fork->find('SLpr', 128), nullptr);
}

TEST(ResourceFork, ReadsAValidForkInAnyLayoutAndRewritesItConventionally) {
    std::string error;
    auto fork = ResourceFork::parse(unconventionalFork(), &error);
    ASSERT_TRUE(fork) << error;
    ASSERT_EQ(fork->resources().size(), 3u);
    expectSame(*fork->find('DLOG', 128), resource('DLOG', 128, "Alert", 0x20, hex("AABBCC")));
    expectSame(*fork->find('DITL', 128), resource('DITL', 128, std::nullopt, 0x20, {}));
    expectSame(*fork->find('DITL', -1), resource('DITL', -1, "", 0, hex("0000")));

    auto rewritten = fork->serialize();
    ASSERT_TRUE(rewritten);
    // Conventional: data at 256, the map right after it and last in the fork.
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t((*rewritten)[at]) << 24 | std::uint32_t((*rewritten)[at + 1]) << 16 |
               std::uint32_t((*rewritten)[at + 2]) << 8 | (*rewritten)[at + 3];
    };
    EXPECT_EQ(u32(0), 256u);
    EXPECT_EQ(u32(4), 256u + u32(8));
    EXPECT_EQ(u32(4) + u32(12), rewritten->size());
    auto again = ResourceFork::parse(*rewritten);
    ASSERT_TRUE(again);
    ASSERT_EQ(again->resources().size(), 3u);
    for (const Resource& r : fork->resources())
        expectSame(*again->find(r.type, r.id), r);
    EXPECT_EQ(again->serialize(), rewritten);
}

TEST(ResourceFork, RefusesMalformedForksWithAReason) {
    struct Row {
        const char* name;
        Bytes base;
        std::size_t at; // where patch goes
        Bytes patch;
        std::size_t truncate; // keep this many bytes (0: all)
    };
    const Bytes settings = settingsFork(exampleRecord());
    const Bytes odd = unconventionalFork();
    const Row rows[] = {
        {"nothing", {}, 0, {}, 0},
        {"shorter than the header", settings, 0, {}, 15},
        {"map cut off", settings, 0, {}, 327},
        {"data area past the end", settings, 8, hex("00001000"), 0},
        {"absurd data length", settings, 8, hex("FFFFFFFF"), 0},
        {"map offset overflowing", settings, 4, hex("FFFFFFF0"), 0},
        {"map shorter than 30 bytes", settings, 12, hex("0000001D"), 0},
        {"data area and map overlap", settings, 4, hex("00000108"), 0},
        {"type list past the map", settings, 296, hex("FFFF"), 0},
        {"type count past the map", settings, 300, hex("0FFF"), 0},
        {"reference list overlapping the type list", settings, 300, hex("0001"), 0},
        {"reference list past the map", settings, 308, hex("FFF0"), 0},
        {"resource count past the map", settings, 306, hex("00FF"), 0},
        {"data offset outside the data area", settings, 315, hex("000020"), 0},
        {"block longer than the data area", settings, 256, hex("0000000D"), 0},
        {"absurd block length", settings, 256, hex("FFFFFFFF"), 0},
        {"name offset past the map", settings, 312, hex("0010"), 0},
        {"name length past the map", settings, 322, hex("20"), 0},
        {"name list past the map", settings, 298, hex("FFF0"), 0},
        {"two resources sharing one data block", odd, 91, hex("000000"), 0},
        {"two types sharing one reference list", odd, 52, hex("0012"), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes bytes = row.base;
        ASSERT_LE(row.at + row.patch.size(), std::max(bytes.size(), row.patch.size()));
        std::copy(row.patch.begin(), row.patch.end(), bytes.begin() + long(row.at));
        if (row.truncate)
            bytes.resize(row.truncate);
        std::string error;
        EXPECT_FALSE(ResourceFork::parse(bytes, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(ResourceFork, CountsOfMinusOneMeanNone) {
    // A type whose count word is 0xFFFF holds no resources rather than 65536.
    Bytes bytes = settingsFork(exampleRecord());
    bytes[306] = 0xFF;
    bytes[307] = 0xFF;
    auto fork = ResourceFork::parse(bytes);
    ASSERT_TRUE(fork);
    EXPECT_TRUE(fork->resources().empty());
}

TEST(ResourceFork, AddRefusesDuplicatesAndWhatTheFormatCannotHold) {
    ResourceFork fork = forkOf({resource('SLpr', 128, "prefs", 0, exampleRecord())});
    EXPECT_TRUE(fork.add(resource('SLpr', 128, std::nullopt, 0, {})).has_value());
    EXPECT_TRUE(fork.add(resource('SLpr', 129, std::string(256, 'x'), 0, {})).has_value());
    // The second block would start past the 24-bit offsets of the map.
    EXPECT_FALSE(fork.add(resource('BIG ', 1, std::nullopt, 0, Bytes(0xFFFFFF))).has_value());
    EXPECT_TRUE(fork.add(resource('BIG ', 2, std::nullopt, 0, {})).has_value());
    EXPECT_EQ(fork.resources().size(), 2u);
    EXPECT_TRUE(fork.serialize());

    // A name grown in place past 255 bytes is caught when writing.
    fork.resources()[0].name = std::string(300, 'n');
    std::string error;
    EXPECT_FALSE(fork.serialize(&error));
    EXPECT_FALSE(error.empty());
}

TEST(ResourceFork, IndependentReaderReadsWhatWeWrite) {
    if (!independentReaderAvailable())
        GTEST_SKIP() << kSystemPython << " has no fontTools (Debian package python3-fonttools)";
    const ResourceFork fork = forkOf({
        resource('SLpr', 128, "prefs", 0, exampleRecord()),
        resource('DLOG', 128, std::nullopt, 0x20, hex("0028 0028 00C8 0190 0001 0100 0000")),
        resource('DITL', 128, "Items", 0x30, hex("0000")),
        resource('DITL', -5, "caf\x8E", 0, {}),
    });
    auto bytes = fork.serialize();
    ASSERT_TRUE(bytes);
    const auto file = std::filesystem::temp_directory_path() /
                      ("kreloed-fork-check-" + std::to_string(getpid()) + ".rsrc");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()), std::streamsize(bytes->size()));
    auto listing = listWithIndependentReader(file);
    std::filesystem::remove(file);
    ASSERT_TRUE(listing);
    EXPECT_EQ(*listing, "SLpr|128|\"prefs\"|0|03e8032000010001000003e8\n"
                        "DLOG|128|null|32|0028002800c80190000101000000\n"
                        "DITL|128|\"Items\"|48|0000\n"
                        "DITL|-5|\"caf\\u00e9\"|0|\n");
}
