// The window server's model: what it reports as changes and what its state dump holds.
#include <macsim/WindowServer.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kreloed::test {
namespace {

using macsim::StatusRow;
using macsim::WindowServer;

class Recorder : public macsim::ChangeObserver {
public:
    Recorder() { WindowServer::shared().addObserver(this); }
    ~Recorder() override { WindowServer::shared().removeObserver(this); }
    void changed(const macsim::Change& change) override {
        events.push_back(change.event);
        parsed.push_back(nlohmann::json::parse(change.json));
    }
    std::vector<std::string> events;
    std::vector<nlohmann::json> parsed;
};

TEST(WindowServerModel, StatusRowsAreReportedFieldByField) {
    WindowServer& server = WindowServer::shared();
    const macsim::Id item = server.addStatusItem();
    server.setStatusRows(
        item, {{"About"}, {"", true, false, true}, {"Load", true, false}, {"Keep", true, false}});
    struct Row {
        std::string name;
        std::vector<StatusRow> rows;
        std::vector<std::string> events;
    };
    const std::vector<Row> rows = {
        {"nothing changed", {{"About"}, {"", true, false, true}, {"Load"}, {"Keep"}}, {}},
        {"one title",
         {{"About"}, {"", true, false, true}, {"Unload"}, {"Keep"}},
         {"status_row_title"}},
        {"a check mark and an availability",
         {{"About", false}, {"", true, false, true}, {"Unload"}, {"Keep", true, true}},
         {"status_row_enabled", "status_row_checked"}},
        {"a row less",
         {{"About", false}, {"", true, false, true}, {"Unload"}},
         {"status_row_removed"}},
        {"a row more",
         {{"About", false}, {"", true, false, true}, {"Unload"}, {"Keep"}},
         {"status_row_added"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Recorder recorder;
        server.setStatusRows(item, row.rows);
        EXPECT_EQ(recorder.events, row.events);
    }
    server.removeStatusItem(item);
}

TEST(WindowServerModel, ChangesAndDumpAreValidJsonWhateverTheText) {
    WindowServer& server = WindowServer::shared();
    Recorder recorder;
    const macsim::Id item = server.addStatusItem();
    // A quote, a backslash, a control character and bytes that are not UTF-8.
    const std::string awkward = "say \"1\\2\"\t\x01 \xFF\xC3";
    server.setStatusTitle(item, awkward);
    server.setStatusRows(item, {{awkward, true, true}});
    macsim::Window w;
    w.name = awkward;
    w.kind = macsim::WindowKind::Alert;
    const macsim::Id window = server.createWindow(w);
    macsim::Control text;
    text.kind = macsim::ControlKind::StaticText;
    text.signature = 0xA5'00'7F'41; // bytes outside ASCII
    text.text = "Can't create bundle";
    server.addControl(window, text);
    server.showWindow(window, true);
    server.openURL("https://example.org/?a=\"b\"");

    ASSERT_FALSE(recorder.parsed.empty());
    const auto& alert = recorder.parsed[recorder.parsed.size() - 2];
    EXPECT_EQ(alert["event"], "alert_shown");
    EXPECT_EQ(alert["texts"], nlohmann::json::array({"Can't create bundle"}));

    const auto state = nlohmann::json::parse(server.dumpJson());
    bool foundItem = false;
    for (const auto& s : state["status_items"])
        if (s["item"] == item) {
            foundItem = true;
            EXPECT_EQ(s["menu"][0]["checked"], true);
        }
    EXPECT_TRUE(foundItem);
    bool foundAlert = false;
    for (const auto& a : state["alerts"])
        if (a["window"] == window) {
            foundAlert = true;
            EXPECT_EQ(a["texts"], nlohmann::json::array({"Can't create bundle"}));
        }
    EXPECT_TRUE(foundAlert);
    EXPECT_EQ(state["urls"].back(), "https://example.org/?a=\"b\"");

    server.disposeWindow(window);
    EXPECT_EQ(recorder.events.back(), "alert_closed");
    server.removeStatusItem(item);
}

} // namespace
} // namespace kreloed::test
