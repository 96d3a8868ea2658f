// The Dialog Manager on resource files of the test's own making: which resources give a dialog,
// how ParamText reaches its texts, and that a disposed or absent dialog is harmless.
#include "AppHarness.h"
#include "Prefs.h"

#include <macsim/ResourceFiles.h>
#include <macsim/ResourceFork.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kreloed::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, int value) {
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}

// A movable dialog titled "Test" whose items are in 'DITL' itemsID.
Bytes dlog(int itemsID) {
    Bytes out;
    for (int v : {50, 50, 150, 250, 5})
        put16(out, v);
    out.insert(out.end(), {0, 0, 0, 0, 0, 0, 0, 0});
    put16(out, itemsID);
    out.insert(out.end(), {4, 'T', 'e', 's', 't'});
    return out;
}

struct Item {
    std::uint8_t type;
    std::string data; // Mac Roman
};

Bytes ditl(const std::vector<Item>& items) {
    Bytes out;
    put16(out, int(items.size()) - 1);
    for (const Item& item : items) {
        out.insert(out.end(), {0, 0, 0, 0});
        for (int v : {10, 10, 30, 90})
            put16(out, v);
        out.push_back(item.type);
        out.push_back(std::uint8_t(item.data.size()));
        out.insert(out.end(), item.data.begin(), item.data.end());
        if (item.data.size() % 2)
            out.push_back(0);
    }
    return out;
}

macsim::Resource resource(ResType type, ResID id, Bytes data) {
    macsim::Resource r;
    r.type = type;
    r.id = id;
    r.data = std::move(data);
    return r;
}

const unsigned char kX[] = {1, 'X'}, kY[] = {1, 'Y'}, kZ[] = {1, 'Z'}, kQ[] = {1, 'Q'};
// "é" is 0x8E in Mac Roman.
const unsigned char kAccent[] = {1, 0x8E};

class DialogManager : public ::testing::Test {
protected:
    void SetUp() override {
        resetApplication();
        std::string pattern = (fs::temp_directory_path() / "kreloed-dialogs-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        folder_ = pattern;
    }
    void TearDown() override {
        if (file_ > 0)
            CloseResFile(file_);
        UseResFile(applRes);
        fs::remove_all(folder_);
    }

    // Opens a resource file that holds the resources; it is current for the rest of the test,
    // in front of the application's own.
    void useResources(std::vector<macsim::Resource> resources) {
        macsim::ResourceFork fork;
        for (auto& r : resources)
            ASSERT_FALSE(fork.add(std::move(r)));
        auto bytes = fork.serialize();
        ASSERT_TRUE(bytes);
        const fs::path path = folder_ / "Test.rsrc";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes->data()), std::streamsize(bytes->size()));
        file_ = macsim::openResourceFile(path, macsim::ForkLocation::dataFork,
                                         macsim::ResourceAccess::readOnly);
        ASSERT_GT(file_, 0);
    }

    // The text of an item as the screen shows it; items are the window's controls in order.
    std::string itemText(DialogRef dialog, std::size_t item) {
        const auto window = std::uintptr_t(GetDialogWindow(dialog));
        const auto state = screen();
        for (const auto& w : state["windows"])
            if (w["window"] == window)
                return w["controls"].at(item - 1)["text"];
        return "<no such dialog>";
    }

    fs::path folder_;
    ResFileRefNum file_ = 0;
};

TEST_F(DialogManager, MissingOrMalformedResourcesGiveNoDialog) {
    Bytes truncatedDlog = dlog(200);
    truncatedDlog.resize(18);
    Bytes truncatedDitl = ditl({{4, "OK"}});
    truncatedDitl.pop_back();
    struct Row {
        const char* name;
        std::vector<macsim::Resource> resources;
    };
    const Row rows[] = {
        {"no 'DLOG'", {resource('DITL', 200, ditl({{4, "OK"}}))}},
        {"'DLOG' cut short", {resource('DLOG', 200, truncatedDlog)}},
        {"'DITL' it names is missing", {resource('DLOG', 200, dlog(201))}},
        {"'DITL' cut short",
         {resource('DLOG', 200, dlog(200)), resource('DITL', 200, truncatedDitl)}},
        {"no items", {resource('DLOG', 200, dlog(200)), resource('DITL', 200, {0xFF, 0xFF})}},
        {"an item kind dialogs here cannot show",
         {resource('DLOG', 200, dlog(200)),
          resource('DITL', 200, ditl({{4, "OK"}, {32, "\x01\x00"}}))}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        useResources(row.resources);
        const auto windowsBefore = screen()["windows"].size();
        EXPECT_EQ(GetNewDialog(200, nullptr, WindowRef(-1)), nullptr);
        EXPECT_EQ(screen()["windows"].size(), windowsBefore);
        CloseResFile(file_);
        file_ = 0;
    }
}

TEST_F(DialogManager, StaticTextsShowTheSlotsAsTheyStoodWhenDrawn) {
    useResources(
        {resource('DLOG', 200, dlog(200)),
         resource('DITL', 200, ditl({{4, "Go"}, {0x88, "a^0b^1c^2d^3e^4f^"}, {4, "Stop"}}))});
    ParamText(kX, kY, kZ, kAccent);
    DialogRef dialog = GetNewDialog(200, nullptr, WindowRef(-1));
    ASSERT_NE(dialog, nullptr);
    DrawDialog(dialog);
    EXPECT_EQ(itemText(dialog, 2), "aXbYcZdée^4f^");
    EXPECT_EQ(itemText(dialog, 1), "Go");

    // A null text keeps its slot; nothing changes on screen before the next drawing.
    ParamText(nullptr, kQ, nullptr, nullptr);
    EXPECT_EQ(itemText(dialog, 2), "aXbYcZdée^4f^");
    DrawDialog(dialog);
    EXPECT_EQ(itemText(dialog, 2), "aXbQcZdée^4f^");

    const auto alerts = screen()["alerts"];
    EXPECT_EQ(alerts.size(), 0u) << "a hidden dialog is not on screen";
    ShowWindow(GetDialogWindow(dialog));
    EXPECT_EQ(windowsNamed(screen(), "DLOG 200").at(0)["title"], "Test");
    EXPECT_EQ(screen()["alerts"].size(), 1u);
    DisposeDialog(dialog);
}

TEST_F(DialogManager, ItemNumbersOutsideTheListAreRefused) {
    useResources({resource('DLOG', 200, dlog(200)), resource('DITL', 200, ditl({{4, "OK"}}))});
    DialogRef dialog = GetNewDialog(200, nullptr, WindowRef(-1));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(CountDITL(dialog), 1);
    ControlRef control = nullptr;
    for (SInt16 item : {0, 2, -1}) {
        SCOPED_TRACE(item);
        EXPECT_EQ(GetDialogItemAsControl(dialog, item, &control), paramErr);
        EXPECT_EQ(control, nullptr);
    }
    EXPECT_EQ(SetDialogDefaultItem(dialog, 2), paramErr);
    EXPECT_EQ(SetDialogCancelItem(dialog, -1), paramErr);
    EXPECT_EQ(SetDialogDefaultItem(dialog, 1), noErr);
    DisposeDialog(dialog);
}

TEST_F(DialogManager, ADisposedDialogIsForgotten) {
    useResources({resource('DLOG', 200, dlog(200)), resource('DITL', 200, ditl({{4, "OK"}}))});
    DialogRef dialog = GetNewDialog(200, nullptr, WindowRef(-1));
    ASSERT_NE(dialog, nullptr);
    DisposeDialog(dialog);
    EXPECT_TRUE(windowsNamed(screen(), "DLOG 200").empty());
    EXPECT_EQ(CountDITL(dialog), 0);
    EXPECT_EQ(GetDialogWindow(dialog), nullptr);
    EXPECT_EQ(GetDialogPort(dialog), nullptr);
    DrawDialog(dialog);
    DisposeDialog(dialog);
}

TEST_F(DialogManager, ModalDialogAnswersTheItemChosen) {
    struct Row {
        const char* action;
        DialogItemIndex item;
    };
    const Row rows[] = {{"key return", 1}, {"key escape", 2}, {"click 2", 2}, {"click 1", 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        DialogRef alert = GetNewDialog(128, nullptr, WindowRef(-1));
        ASSERT_NE(alert, nullptr);
        SetDialogDefaultItem(alert, 1);
        SetDialogCancelItem(alert, 2);
        DialogItemIndex hit = 0;
        withScript(std::string(row.action) + "\n", [&] { ModalDialog(nullptr, &hit); });
        EXPECT_EQ(hit, row.item);
        DisposeDialog(alert);
    }
}

TEST_F(DialogManager, ModalDialogWithoutADialogReturnsAtOnce) {
    DialogItemIndex hit = 99;
    withScript("", [&] { ModalDialog(nullptr, &hit); });
    EXPECT_EQ(hit, 0);
}

} // namespace
} // namespace kreloed::test
