#include "SpeedFixture.h"

#include <cstring>

#include <macsim/Disk.h>
#include <macsim/MachineCommand.h>
#include <macsim/MainBundle.h>
#include <macsim/TextEncoding.h>

namespace speedtest {

void SpeedTest::SetUp() {
    macsim::Disk::use(disk.root());
    macsim::useMainBundle(disk.app());
    doubles::reset();
    authorizationRef = NULL;
    ASSERT_EQ(myInitAuthCommand(), 0);
}

void SpeedTest::TearDown() {
    if (authorizationRef)
        myFreeAuthCommand();
    authorizationRef = NULL;
}

void SpeedTest::installRecorder() const {
    disk.replaceFile(loaderRelative(), SPEED_STDIN_RECORDER);
}

void SpeedTest::installTool(const std::string& text) const {
    disk.writeText(loaderRelative(), text);
    fs::permissions(loader(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::vector<std::vector<std::uint8_t>> SpeedTest::recordedStreams() const {
    const auto bytes = kreloed::test::readBytes(loader().string() + ".stdin");
    EXPECT_EQ(bytes.size() % kAuthToolInputLength, 0u) << "a stream that is not whole commands";
    std::vector<std::vector<std::uint8_t>> streams;
    for (std::size_t at = 0; at + kAuthToolInputLength <= bytes.size(); at += kAuthToolInputLength)
        streams.emplace_back(bytes.begin() + at, bytes.begin() + at + kAuthToolInputLength);
    return streams;
}

std::string SpeedTest::recordedArgs() const {
    const auto bytes = kreloed::test::readBytes(loader().string() + ".args");
    return std::string(bytes.begin(), bytes.end());
}

fs::path SpeedTest::makeDeepApp(std::size_t minLength) const {
    fs::path folder = disk.root() / "deep";
    while (folder.native().size() + std::strlen("/Kreloed.app") < minLength)
        folder /= std::string(std::min<std::size_t>(100, minLength - folder.native().size()), 'd');
    const fs::path app = folder / "Kreloed.app";
    fs::create_directories(app / "Contents/Resources");
    fs::copy_file(disk.app() / "Contents/Info.plist", app / "Contents/Info.plist");
    fs::copy_file(SPEED_STDIN_RECORDER, app / "Contents/Resources/loader");
    fs::copy(kreloed::test::builtDisk() / fs::relative(kext(), disk.root()),
             app / "Contents/Resources/Krelo.kext", fs::copy_options::recursive);
    return app;
}

std::vector<std::string> SpeedTest::kreloPathSpellings() const {
    const std::string utf8 = kext().string();
    const auto macRoman = macsim::utf8ToMacRoman(utf8);
    EXPECT_TRUE(macRoman);
    EXPECT_NE(macRoman.value_or(utf8), utf8) << "the disk's path should hold a non-ASCII character";
    return {utf8, macRoman.value_or(utf8)};
}

std::string SpeedTest::machine(const std::vector<std::string>& args) const {
    std::string output;
    EXPECT_EQ(macsim::runMachineCommand(macsim::Disk::current(), args, output), 0) << output;
    return output;
}

std::vector<std::uint8_t> SpeedTest::externalForm() const {
    AuthorizationExternalForm form;
    EXPECT_EQ(AuthorizationMakeExternalForm(authorizationRef, &form), errAuthorizationSuccess);
    return std::vector<std::uint8_t>(form.bytes, form.bytes + sizeof form.bytes);
}

AuthCommandRecord recordOf(const std::vector<std::uint8_t>& stream) {
    AuthCommandRecord record;
    std::memcpy(&record, stream.data() + kAuthExternalFormLength, sizeof record);
    return record;
}

} // namespace speedtest
