// The machine commands, as macsimctl and the headless script's "machine" lines run them.
#include <nlohmann/json.hpp>

#include <macsim/MachineCommand.h>

#include "HelperFixture.h"

namespace helpertest {
namespace {

int run(const std::vector<std::string>& args, std::string& output) {
    return macsim::runMachineCommand(macsim::Disk::current(), args, output);
}

TEST_F(HelperTest, MachineStateReportsKernelAndHardware) {
    machine({"load", kext().string()});
    machine({"speed", "867"});
    machine({"sysctl", "hw.cpuspeed", "-1"});
    const auto state = nlohmann::json::parse(machine({"state"}));
    EXPECT_EQ(state["systemVersion"], "10.3.9");
    EXPECT_EQ(state["processor"]["clockRate"], 1000000000);
    EXPECT_EQ(state["processor"]["minimumSpeed"], 300);
    EXPECT_EQ(state["processor"]["maximumSpeed"], 1300);
    EXPECT_EQ(state["processor"]["speed"], 867);
    EXPECT_EQ(state["extensions"][0]["bundleId"], "org.kreloed.kext.Krelo");
    EXPECT_EQ(state["extensions"][0]["path"], kext().string());
    EXPECT_EQ(state["sysctls"][0]["name"], "hw.cpuspeed");
    EXPECT_EQ(state["sysctls"][0]["mib"], nlohmann::json::array({6, 100}));
    EXPECT_EQ(state["sysctls"][0]["value"], 4294967295u) << "the raw bits of -1";

    machine({"unload", "org.kreloed.kext.Krelo"});
    EXPECT_TRUE(nlohmann::json::parse(machine({"state"}))["extensions"].empty());
}

TEST_F(HelperTest, MachineRewritesSystemFilesKeepingTheirOtherKeys) {
    machine({"version", "10.1.5"});
    machine({"clock", "1999999999"});
    const std::string version = disk.readText("System/Library/CoreServices/SystemVersion.plist");
    EXPECT_NE(version.find("<string>10.1.5</string>"), std::string::npos) << version;
    EXPECT_NE(version.find("<string>Mac OS X</string>"), std::string::npos) << version;
    const std::string hardware = disk.readText("Library/Hardware.plist");
    EXPECT_NE(hardware.find("<integer>1999999999</integer>"), std::string::npos) << hardware;
    EXPECT_NE(hardware.find("ProcessorMaximumSpeed"), std::string::npos) << hardware;
    EXPECT_EQ(nlohmann::json::parse(machine({"state"}))["processor"]["speed"], 1999);
}

TEST_F(HelperTest, MachineCommandErrorsChangeNothing) {
    disk.writeText("Library/Hardware.plist", "<plist><dict><key>Processor");
    const std::string hardware = disk.readText("Library/Hardware.plist");
    const std::string version = disk.readText("System/Library/CoreServices/SystemVersion.plist");
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int status;
    };
    const Row rows[] = {
        {"nothing", {}, 2},
        {"unknown command", {"reboot"}, 2},
        {"missing argument", {"speed"}, 2},
        {"extra argument", {"state", "now"}, 2},
        {"speed not a number", {"speed", "fast"}, 2},
        {"speed with trailing text", {"speed", "867MHz"}, 2},
        {"sysctl value past 32 bits", {"sysctl", "hw.cpuspeed", "4294967296"}, 2},
        {"version with one component", {"version", "10"}, 2},
        {"version with letters", {"version", "10.x.5"}, 2},
        {"clock below 1 MHz", {"clock", "999999"}, 2},
        {"unload what is not loaded", {"unload", "org.kreloed.kext.Krelo"}, 1},
        {"sysctl nobody publishes", {"sysctl", "hw.cpuspeed", "1"}, 1},
        {"load a plain folder", {"load", disk.root().string()}, 1},
        {"clock on a malformed hardware file", {"clock", "1000000000"}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string output;
        EXPECT_EQ(run(row.args, output), row.status);
        EXPECT_FALSE(output.empty());
        EXPECT_EQ(output.find('\n'), std::string::npos) << "one line: " << output;
    }
    EXPECT_EQ(disk.readText("Library/Hardware.plist"), hardware);
    EXPECT_EQ(disk.readText("System/Library/CoreServices/SystemVersion.plist"), version);
    EXPECT_TRUE(stateBytes().empty()) << "the kernel state was never written";
}

} // namespace
} // namespace helpertest
