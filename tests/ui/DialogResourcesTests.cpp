// 'DLOG' and 'DITL' bytes, written here from the documented layout, read by the Dialog Manager's
// parsers: what a good resource yields, and that every malformed one is refused.
#include <macsim/DialogResources.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, int value) {
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}

// A 'DLOG': bounds, procID, visible and filler, goAway and filler, refCon, itemsID, title; the
// position word follows at the next even offset when given.
Bytes dlog(std::string title, int position = -1, int proc = 5, int top = 80, int bottom = 220) {
    Bytes out;
    put16(out, top);
    put16(out, 100);
    put16(out, bottom);
    put16(out, 460);
    put16(out, proc);
    out.insert(out.end(), {1, 0, 0, 0});
    out.insert(out.end(), {0, 0, 0, 7});
    put16(out, 128);
    out.push_back(std::uint8_t(title.size()));
    out.insert(out.end(), title.begin(), title.end());
    if (position >= 0) {
        if (out.size() % 2)
            out.push_back(0);
        put16(out, position);
    }
    return out;
}

// One 'DITL' item: placeholder, rectangle, type, data length, data, pad to even.
Bytes item(std::uint8_t type, Bytes data, bool pad = true, int top = 10, int bottom = 30) {
    Bytes out = {0, 0, 0, 0};
    put16(out, top);
    put16(out, 20);
    put16(out, bottom);
    put16(out, 80);
    out.push_back(type);
    out.push_back(std::uint8_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (pad && data.size() % 2)
        out.push_back(0);
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// An item list of countMinusOne + 1 items as stored, followed by the given items' bytes.
Bytes ditl(int countMinusOne, std::initializer_list<Bytes> items) {
    Bytes out;
    put16(out, countMinusOne);
    for (const Bytes& i : items)
        out.insert(out.end(), i.begin(), i.end());
    return out;
}

TEST(DialogTemplate, ReadsEveryField) {
    auto parsed = macsim::parseDialogTemplate(dlog("Err", 0x300A));
    ASSERT_TRUE(parsed) << parsed.error;
    const auto& d = *parsed.value;
    EXPECT_EQ(d.bounds.top, 80);
    EXPECT_EQ(d.bounds.left, 100);
    EXPECT_EQ(d.bounds.bottom, 220);
    EXPECT_EQ(d.bounds.right, 460);
    EXPECT_EQ(d.procID, macsim::DialogProc::MovableDBox);
    EXPECT_TRUE(d.visible);
    EXPECT_FALSE(d.goAway);
    EXPECT_EQ(d.refCon, 7);
    EXPECT_EQ(d.itemsID, 128);
    EXPECT_EQ(d.title, "Err");
    EXPECT_EQ(d.position, 0x300A);
}

TEST(DialogTemplate, PositionWordIsReadOnlyWhereItFits) {
    struct Row {
        const char* name;
        Bytes bytes;
        std::optional<std::uint16_t> position;
    };
    Bytes halfWord = dlog("Err");
    halfWord.push_back(0x30);
    const Row rows[] = {
        // A title of even length leaves the word at an odd offset: a pad byte comes first.
        {"after a pad byte", dlog("Ab", 0x280A), 0x280A},
        {"right after the title", dlog("Abc", 0x280A), 0x280A},
        {"none", dlog("Abc"), std::nullopt},
        {"half a word", halfWord, std::nullopt},
        {"empty title", dlog("", 0), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto parsed = macsim::parseDialogTemplate(row.bytes);
        ASSERT_TRUE(parsed) << parsed.error;
        EXPECT_EQ(parsed.value->position, row.position);
    }
}

TEST(DialogTemplate, MalformedOnesAreRefused) {
    Bytes titlePastEnd = dlog("Abc");
    titlePastEnd[20] = 10;
    Bytes shortOfFixedPart = dlog("");
    shortOfFixedPart.resize(20);
    struct Row {
        const char* name;
        Bytes bytes;
    };
    const Row rows[] = {
        {"empty", {}},
        {"shorter than the fixed part", shortOfFixedPart},
        {"title runs past the end", titlePastEnd},
        {"unknown window kind", dlog("Abc", -1, 6)},
        {"negative window kind", dlog("Abc", -1, -1)},
        {"inverted bounds", dlog("Abc", -1, 5, 220, 80)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto parsed = macsim::parseDialogTemplate(row.bytes);
        EXPECT_FALSE(parsed);
        EXPECT_FALSE(parsed.error.empty());
    }
}

TEST(DialogItemList, ReadsItemsOfEachShape) {
    auto parsed = macsim::parseDialogItemList(ditl(3, {
                                                          item(4, text("OK")),
                                                          item(0x88, text("^1x")),
                                                          item(7, {0x00, 0x80}),
                                                          item(0, {}),
                                                      }));
    ASSERT_TRUE(parsed) << parsed.error;
    const auto& items = *parsed.value;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].kind, macsim::DialogItemKind::Button);
    EXPECT_TRUE(items[0].enabled);
    EXPECT_EQ(items[0].data, text("OK"));
    EXPECT_EQ(items[0].bounds.top, 10);
    EXPECT_EQ(items[0].bounds.right, 80);
    // The disabled bit is not part of the kind, and the pad byte is not part of the text.
    EXPECT_EQ(items[1].kind, macsim::DialogItemKind::StaticText);
    EXPECT_FALSE(items[1].enabled);
    EXPECT_EQ(items[1].data, text("^1x"));
    EXPECT_EQ(items[2].kind, macsim::DialogItemKind::Control);
    EXPECT_EQ(items[2].data, (Bytes{0x00, 0x80}));
    EXPECT_EQ(items[3].kind, macsim::DialogItemKind::User);
}

TEST(DialogItemList, EdgesOfTheCount) {
    auto empty = macsim::parseDialogItemList(Bytes{0xFF, 0xFF});
    ASSERT_TRUE(empty) << empty.error;
    EXPECT_TRUE(empty.value->empty()) << "0xFFFF stands for no items";

    auto lastUnpadded = macsim::parseDialogItemList(ditl(0, {item(8, text("a"), false)}));
    ASSERT_TRUE(lastUnpadded) << lastUnpadded.error;
    EXPECT_EQ(lastUnpadded.value->at(0).data, text("a"));
}

TEST(DialogItemList, MalformedOnesAreRefused) {
    Bytes dataPastEnd = ditl(0, {item(8, text("abcde"))});
    dataPastEnd.resize(dataPastEnd.size() - 4);
    Bytes headerCut = ditl(0, {item(4, text("OK"))});
    headerCut.resize(2 + 10);
    struct Row {
        const char* name;
        Bytes bytes;
    };
    const Row rows[] = {
        {"empty", {}},
        {"one byte", {0x00}},
        {"fewer items than counted", ditl(1, {item(4, text("OK"))})},
        {"item header cut short", headerCut},
        {"data runs past the end", dataPastEnd},
        {"unknown kind", ditl(0, {item(9, {})})},
        {"control ID of three bytes", ditl(0, {item(7, {0, 1, 2})})},
        {"icon without its ID", ditl(0, {item(32, {})})},
        {"user item with data", ditl(0, {item(0, {1, 2})})},
        {"help item of five bytes", ditl(0, {item(1, {0, 1, 0, 2, 3})})},
        {"inverted rectangle", ditl(0, {item(4, text("OK"), true, 30, 10)})},
        // 65535 items claimed by a two-byte resource: refused without reading or reserving them.
        {"huge count, no items", {0xFF, 0xFE}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto parsed = macsim::parseDialogItemList(row.bytes);
        EXPECT_FALSE(parsed);
        EXPECT_FALSE(parsed.error.empty());
    }
}

} // namespace

namespace {

// Every cut and every single-bit flip of good resources: refused or read, never a read outside
// the bytes (the sanitizer build sees to that) and never an item whose data lies outside them.
TEST(DialogResourcesFuzz, CutsAndFlipsAreHarmless) {
    const Bytes goodDlog = dlog("Kreloed", 0x300A);
    const Bytes goodDitl =
        ditl(2, {item(4, text("OK")), item(0x88, text("^1 and ^2")), item(7, {0, 1})});
    auto check = [](const Bytes& bytes) {
        macsim::parseDialogTemplate(bytes);
        auto items = macsim::parseDialogItemList(bytes);
        if (items) {
            std::size_t total = 0;
            for (const auto& i : *items.value)
                total += 14 + i.data.size();
            EXPECT_LE(total, bytes.size());
        }
    };
    for (const Bytes* good : {&goodDlog, &goodDitl}) {
        for (std::size_t n = 0; n <= good->size(); ++n)
            check(Bytes(good->begin(), good->begin() + std::ptrdiff_t(n)));
        for (std::size_t bit = 0; bit < good->size() * 8; ++bit) {
            Bytes flipped = *good;
            flipped[bit / 8] ^= std::uint8_t(1u << (bit % 8));
            check(flipped);
        }
    }
}

} // namespace
