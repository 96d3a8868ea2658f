// The kernel stand-in: sysctl as the application calls it, extensions, the processor, and the
// state shared by several processes.
#include <cerrno>
#include <cstring>
#include <sys/sysctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <macsim/Kernel.h>
#include <macsim/MachineCommand.h>

#include "HelperFixture.h"

namespace helpertest {
namespace {

class KernelTest : public HelperTest {
protected:
    void SetUp() override {
        HelperTest::SetUp();
        machine({"speed", "867"});
        machine({"load", kext().string()});
    }
    macsim::KernelState state() const {
        macsim::KernelState current;
        EXPECT_EQ(macsim::Kernel(macsim::Disk::current()).read(current), macsim::KernelStatus::ok);
        return current;
    }
};

TEST_F(KernelTest, SysctlReadsNeverWriteBeyondTheBuffer) {
    struct Row {
        const char* name;
        std::vector<int> mib;
        bool withBuffer;
        size_t room;
        bool write;
        int result;
        int error;
        size_t size; // *oldlenp afterwards
    };
    const Row rows[] = {
        {"size query", {CTL_HW, 100}, false, 0, false, 0, 0, 4},
        {"exact room", {CTL_HW, 100}, true, 4, false, 0, 0, 4},
        {"more room", {CTL_HW, 100}, true, 12, false, 0, 0, 4},
        {"too little room", {CTL_HW, 100}, true, 2, false, -1, ENOMEM, 2},
        {"no room", {CTL_HW, 100}, true, 0, false, -1, ENOMEM, 0},
        {"a new value", {CTL_HW, 100}, true, 4, true, -1, EPERM, 4},
        {"unknown name", {CTL_HW, 999}, true, 4, false, -1, ENOENT, 4},
        {"one level", {CTL_HW}, true, 4, false, -1, ENOENT, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::uint8_t buffer[16];
        std::memset(buffer, 0xAA, sizeof buffer);
        size_t size = row.room;
        std::uint32_t newValue = 70000;
        std::vector<int> mib = row.mib;
        errno = 0;
        EXPECT_EQ(sysctl(mib.data(), static_cast<unsigned>(mib.size()),
                         row.withBuffer ? buffer : nullptr, &size, row.write ? &newValue : nullptr,
                         row.write ? sizeof newValue : 0),
                  row.result);
        EXPECT_EQ(errno, row.error);
        EXPECT_EQ(size, row.size);
        const std::size_t filled = row.result == 0 && row.withBuffer ? 4 : 0;
        if (filled) {
            std::uint32_t value;
            std::memcpy(&value, buffer, 4);
            EXPECT_EQ(value, 867u);
        }
        for (std::size_t i = filled; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], 0xAA) << "byte " << i;
    }
    EXPECT_EQ(state().sysctls.at(0).value, 867u) << "nothing writes the value";
}

TEST_F(KernelTest, NameToMib) {
    struct Row {
        const char* name;
        const char* sysctlName;
        size_t room;
        int result;
        size_t levels; // *sizep afterwards
        std::vector<int> mib;
    };
    const Row rows[] = {
        {"published name", "hw.cpuspeed", 4, 0, 2, {CTL_HW, 100}},
        {"exactly enough room", "hw.cpuspeed", 2, 0, 2, {CTL_HW, 100}},
        {"too little room", "hw.cpuspeed", 1, -1, 1, {}},
        {"top level", "hw", 4, 0, 1, {CTL_HW}},
        {"unknown name", "hw.nothing", 4, -1, 4, {}},
        {"empty name", "", 4, -1, 4, {}},
        {"three levels", "hw.cpuspeed.x", 4, -1, 4, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int mib[4] = {-7, -7, -7, -7};
        size_t size = row.room;
        EXPECT_EQ(sysctlnametomib(row.sysctlName, mib, &size), row.result);
        EXPECT_EQ(size, row.levels);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(mib[i], i < row.mib.size() ? row.mib[i] : -7) << "entry " << i;
    }
}

TEST_F(KernelTest, ExtensionsAndTheSpeed) {
    using macsim::KernelStatus;
    macsim::Kernel kernel(macsim::Disk::current());
    EXPECT_EQ(state().sysctls.at(0).value, 867u) << "published with the speed of the moment";

    macsim::ExtensionBundle second;
    ASSERT_EQ(macsim::readExtensionBundle(
                  makeKext("Second.kext", kextInfo("org.example.Second", {"hw.busspeed"})), second),
              KernelStatus::ok);
    EXPECT_EQ(kernel.load(second), KernelStatus::ok);
    EXPECT_EQ(state().findSysctl("hw.busspeed")->mib, (std::array<int, 2>{CTL_HW, 101}));

    macsim::Processor processor;
    ASSERT_EQ(macsim::readProcessor(macsim::Disk::current(), processor), KernelStatus::ok);
    EXPECT_EQ(kernel.setSpeedThroughExtension(1300, processor), KernelStatus::ok);
    EXPECT_EQ(kernel.setSpeedThroughExtension(1000, processor), KernelStatus::ok)
        << "the clock rate is always accepted";
    EXPECT_EQ(kernel.setSpeed(0), KernelStatus::speedRejected);
    for (const auto& entry : state().sysctls)
        EXPECT_EQ(entry.value, 1000u) << entry.name;

    EXPECT_EQ(kernel.unload("org.example.Second"), KernelStatus::ok);
    EXPECT_EQ(kernel.unload("org.example.Second"), KernelStatus::notLoaded);
    EXPECT_EQ(state().speedMHz, std::nullopt) << "the processor is back at its clock rate";
    EXPECT_EQ(state().findSysctl("hw.busspeed"), nullptr);
}

TEST_F(KernelTest, CorruptStateIsReportedAndKept) {
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>Sysctls</key>";
    disk.writeText("private/var/run/kernel/state", garbage);
    int mib[4];
    size_t count = 4;
    EXPECT_EQ(sysctlnametomib("hw.cpuspeed", mib, &count), -1);
    EXPECT_EQ(errno, EIO);
    std::string output;
    EXPECT_EQ(macsim::runMachineCommand(macsim::Disk::current(), {"speed", "700"}, output), 1);
    EXPECT_EQ(disk.readText("private/var/run/kernel/state"), garbage);
}

// Several processes change the kernel at once: the lock keeps every change, and a reader never
// sees a half-written state.
TEST_F(KernelTest, ConcurrentChangesAreNeitherLostNorTorn) {
    constexpr int kWriters = 4;
    constexpr int kRounds = 10;
    std::vector<fs::path> bundles;
    for (int writer = 0; writer < kWriters; ++writer)
        for (int round = 0; round < kRounds; ++round) {
            const std::string id =
                "org.example.K" + std::to_string(writer) + "_" + std::to_string(round);
            bundles.push_back(makeKext(id + ".kext", kextInfo(id, {})));
        }

    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = fork();
        if (child == 0) {
            macsim::Kernel kernel(macsim::Disk::current());
            bool ok = true;
            for (int round = 0; round < kRounds; ++round) {
                macsim::ExtensionBundle bundle;
                ok = ok &&
                     macsim::readExtensionBundle(bundles[writer * kRounds + round], bundle) ==
                         macsim::KernelStatus::ok &&
                     kernel.load(bundle) == macsim::KernelStatus::ok &&
                     kernel.setSpeed(300 + writer * 100 + round) == macsim::KernelStatus::ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    int tornReads = 0;
    for (int read = 0; read < 200; ++read) {
        std::uint32_t value;
        size_t size = sizeof value;
        int mib[2] = {CTL_HW, 100};
        if (sysctl(mib, 2, &value, &size, nullptr, 0) != 0)
            ++tornReads;
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(tornReads, 0);
    EXPECT_EQ(state().extensions.size(), 1u + kWriters * kRounds);
}

} // namespace
} // namespace helpertest
