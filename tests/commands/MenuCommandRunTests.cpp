// The built application, run headless on a fresh copy of the disk with a recording helper tool in
// place of "loader": the speeds that menu-bar commands and the user-speed dialog send, and the
// missing-tool window.
#include "AuthCommandRecord.h"
#include "TestDisk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

namespace kreloed::test {
namespace {

const fs::path kLoader = "Applications/Kreloed.app/Contents/Resources/loader";

struct Sent {
    std::int32_t code;
    std::int32_t argument;
    bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sent& s) {
    return out << "{" << s.code << ", " << s.argument << "}";
}

class MenuCommandRun : public ::testing::Test {
protected:
    void SetUp() override { disk_.replaceFile(kLoader, RECORDING_LOADER); }

    // The machine's administrator loads the extension before the application starts.
    void loadExtension() {
        const std::string command = "'" + (disk_.root() / "usr/bin/macsimctl").string() +
                                    "' --disk '" + disk_.root().string() + "' load '" +
                                    (disk_.resources() / "Krelo.kext").string() + "' >/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    }

    // The commands the helper tool was given, in order.
    std::vector<Sent> sent() const {
        const auto bytes = readBytes(disk_.resources() / "loader-input");
        EXPECT_EQ(bytes.size() % kAuthToolInputLength, 0u);
        std::vector<Sent> commands;
        for (std::size_t at = 0; at + kAuthToolInputLength <= bytes.size();
             at += kAuthToolInputLength) {
            AuthCommandRecord record;
            std::memcpy(&record, bytes.data() + at + kAuthExternalFormLength, sizeof record);
            EXPECT_EQ(record.leadWord, 1);
            commands.push_back({record.commandCode, record.argument});
        }
        return commands;
    }

    static std::vector<std::string> titles(const AppRun& run) {
        std::vector<std::string> shown;
        for (const auto& e : run.events("status_title"))
            shown.push_back(e["title"]);
        return shown;
    }

    TestDisk disk_;
};

TEST_F(MenuCommandRun, SpeedCommandsOfTheMenuBar) {
    loadExtension();
    // 'susr' sends 700 MHz and 'sdef' the default speed; turning 'ausr' on with the default speed
    // selected and running sends nothing, and neither does the refresh after it.
    const AppRun run =
        runApp(disk_, "wait 1\nmenu susr\nmenu sdef\nmenu ausr\nwait 2\nmenu quit\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sent(), (std::vector<Sent>{{cmdSetSpeed, 700}, {cmdSetSpeed, 1000}}));
    const auto shown = titles(run);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "700"), shown.end())
        << "the requested speed is shown at once";
}

TEST_F(MenuCommandRun, AUserSpeedChosenInTheDialogIsSentAndKept) {
    loadExtension();
    // The dialog's OK sends 800 MHz; the recording tool changes nothing, so the processor stays
    // at 1000. Turning 'ausr' on sends 800 again at once, and the next refresh sends it again.
    const AppRun run = runApp(disk_, "wait 1\n"
                                     "status \"Set user-defined CPU speed ...\"\n"
                                     "slider mhzm 11\n"
                                     "click \"ok  \"\n"
                                     "menu ausr\n"
                                     "wait 1\n"
                                     "menu quit\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sent(),
              (std::vector<Sent>{{cmdSetSpeed, 800}, {cmdSetSpeed, 800}, {cmdSetSpeed, 800}}));
}

TEST_F(MenuCommandRun, EachCommandWithoutTheToolPutsUpAnotherWindow) {
    loadExtension();
    disk_.removeFile(kLoader);
    const AppRun run = runApp(disk_, "wait 1\nmenu susr\nmenu sdef\ndump\nmenu quit\n");
    ASSERT_EQ(run.status, 0) << run.err;
    int shown = 0;
    const auto state = run.lastDump();
    for (const auto& window : state["windows"])
        if (window["name"] == "Error_loader" && window["visible"] == true)
            ++shown;
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(sent().empty());
}

} // namespace
} // namespace kreloed::test
