// Damaged forks and companions of every kind are refused or read, never a crash or a read outside
// the bytes (run under the sanitizer preset to see the latter). Whatever is read must write back.
#include "ForkFixtures.h"

#include <macsim/AppleDouble.h>
#include <macsim/ResourceFork.h>

#include <gtest/gtest.h>

#include <random>

using namespace kreloed::test;
using macsim::AppleDouble;
using macsim::ResourceFork;

namespace {

// Inputs stay small: the point is every damaged shape, not big inputs.
constexpr std::size_t kMaxInput = 4096;

void checkFork(const Bytes& bytes) {
    ASSERT_LE(bytes.size(), kMaxInput);
    auto fork = ResourceFork::parse(bytes);
    if (!fork)
        return;
    // Nothing read can hold more data than the input had.
    std::size_t total = 0;
    for (const auto& r : fork->resources())
        total += r.data.size();
    EXPECT_LE(total, bytes.size());
    auto again = fork->serialize();
    ASSERT_TRUE(again);
    EXPECT_TRUE(ResourceFork::parse(*again));
}

void checkCompanion(const Bytes& bytes) {
    ASSERT_LE(bytes.size(), kMaxInput);
    auto companion = AppleDouble::parse(bytes);
    if (!companion)
        return;
    EXPECT_TRUE(AppleDouble::parse(companion->serialize()));
}

std::vector<Bytes> validForks() {
    return {emptyFork(), settingsFork(exampleRecord()), unconventionalFork()};
}

} // namespace

TEST(ForkRobustness, EveryTruncation) {
    for (const Bytes& fork : validForks()) {
        for (std::size_t n = 0; n <= fork.size(); ++n) {
            checkFork(Bytes(fork.begin(), fork.begin() + long(n)));
            checkCompanion(companion(Bytes(fork.begin(), fork.begin() + long(n))));
            const Bytes whole = companion(fork);
            checkCompanion(Bytes(whole.begin(), whole.begin() + long(std::min(n, whole.size()))));
        }
    }
}

TEST(ForkRobustness, EveryBitFlip) {
    for (const Bytes& fork : validForks()) {
        for (std::size_t bit = 0; bit < fork.size() * 8; ++bit) {
            Bytes damaged = fork;
            damaged[bit / 8] ^= std::uint8_t(1 << (bit % 8));
            checkFork(damaged);
        }
        const Bytes whole = companion(fork);
        for (std::size_t bit = 0; bit < 82 * 8; ++bit) { // header, descriptors, Finder Info
            Bytes damaged = whole;
            damaged[bit / 8] ^= std::uint8_t(1 << (bit % 8));
            checkCompanion(damaged);
        }
    }
}

TEST(ForkRobustness, RandomDamage) {
    std::mt19937 random(20240611); // fixed, so a failure can be replayed
    const auto forks = validForks();
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes = forks[std::size_t(round) % forks.size()];
        const int edits = 1 + int(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 3) {
            case 0:
                bytes[at] = std::uint8_t(random());
                break;
            case 1:
                bytes[at] = (random() % 2) ? 0xFF : 0x00;
                break;
            default:
                bytes.resize(std::max<std::size_t>(1, at));
                break;
            }
        }
        checkFork(bytes);
        checkCompanion(companion(bytes));
    }
}
