// The helper tool's input, mutated at random from valid commands (seeded, so a failure repeats):
// nothing crashes, and whatever fails leaves the kernel state as it was and logs one line.
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include <AuthCommandRecord.h>
#include <AuthTool.h>
#include <TestDisk.h>
#include <macsim/Authority.h>

namespace {

namespace fs = std::filesystem;

std::size_t lineCount(const fs::path& file) {
    std::ifstream in(file);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

TEST(AuthToolFuzz, MutatedInputsFailCleanly) {
    kreloed::test::TestDisk disk;
    const macsim::Disk machine(disk.root());
    macsim::AuthorizationBytes authorization;
    std::mt19937 random(20240611);
    for (auto& byte : authorization)
        byte = static_cast<std::uint8_t>(random());
    ASSERT_TRUE(macsim::registerAuthorization(machine, authorization));

    const std::string kext = (disk.resources() / "Krelo.kext").string();
    auto command = [&](std::int32_t code, std::int32_t argument, const std::string& path) {
        std::vector<std::uint8_t> bytes(authorization.begin(), authorization.end());
        AuthCommandRecord record{1, code, argument, {}};
        path.copy(record.path, path.size());
        const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
        bytes.insert(bytes.end(), raw, raw + sizeof record);
        return bytes;
    };
    const std::vector<std::vector<std::uint8_t>> seeds = {command(cmdLoadKext, 0, kext),
                                                          command(cmdUnloadKext, 0, kext),
                                                          command(cmdSetSpeed, 867, "")};
    const fs::path state = disk.root() / "private/var/run/kernel/state";

    for (int round = 0; round < 1500; ++round) {
        std::vector<std::uint8_t> input = seeds[random() % seeds.size()];
        const int mutations = 1 + static_cast<int>(random() % 4);
        for (int m = 0; m < mutations; ++m) {
            switch (random() % 4) {
            case 0: // flip a byte of the record's head or the path's start
                input[32 + random() % 64] ^= static_cast<std::uint8_t>(1 + random() % 255);
                break;
            case 1: // a byte anywhere, the authorization included
                input[random() % input.size()] = static_cast<std::uint8_t>(random());
                break;
            case 2: // truncate
                input.resize(random() % input.size());
                break;
            case 3: // extend
                input.push_back(static_cast<std::uint8_t>(random()));
                break;
            }
            if (input.empty())
                break;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        const auto before = kreloed::test::readBytes(state);
        const std::size_t lines = lineCount(disk.systemLog());
        const AuthToolStatus status = authtool::run(machine, input);
        if (status != kAuthToolDone) {
            ASSERT_EQ(kreloed::test::readBytes(state), before);
            ASSERT_EQ(lineCount(disk.systemLog()), lines + 1);
        } else {
            ASSERT_EQ(lineCount(disk.systemLog()), lines);
        }
    }
}

} // namespace
