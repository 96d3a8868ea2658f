// The application's resource file as the build makes it with rsrcbuild, checked with our parsers
// and with an independent reader, and the tool's refusal of bad sources.
#include "TestDisk.h"

#include <macsim/DialogResources.h>
#include <macsim/ResourceFork.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

namespace kreloed::test {
namespace {

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Runs a shell command; its exit status, or -1.
int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BuiltResourceFile : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = readBytes(disk_.resources() / "Kreloed.rsrc");
        std::string error;
        auto fork = macsim::ResourceFork::parse(bytes_, &error);
        ASSERT_TRUE(fork) << error;
        fork_ = std::move(*fork);
    }

    TestDisk disk_;
    std::vector<unsigned char> bytes_;
    macsim::ResourceFork fork_;
};

TEST_F(BuiltResourceFile, HoldsTheErrorAlert) {
    const macsim::Resource* dlog = fork_.find('DLOG', 128);
    const macsim::Resource* ditl = fork_.find('DITL', 128);
    ASSERT_TRUE(dlog && ditl);
    EXPECT_EQ(fork_.resources().size(), 2u);
    EXPECT_EQ(dlog->attributes, 0x20) << "purgeable";
    EXPECT_EQ(ditl->attributes, 0x20) << "purgeable";

    auto dialog = macsim::parseDialogTemplate(dlog->data);
    ASSERT_TRUE(dialog) << dialog.error;
    EXPECT_EQ(dialog.value->itemsID, 128);
    EXPECT_TRUE(dialog.value->procID == macsim::DialogProc::DBox ||
                dialog.value->procID == macsim::DialogProc::MovableDBox);
    EXPECT_FALSE(dialog.value->title.empty());
    EXPECT_FALSE(dialog.value->visible) << "showError shows it once it is filled in";

    auto items = macsim::parseDialogItemList(ditl->data);
    ASSERT_TRUE(items) << items.error;
    ASSERT_GE(items.value->size(), 5u);
    for (std::size_t i : {0u, 1u}) {
        EXPECT_EQ((*items.value)[i].kind, macsim::DialogItemKind::Button);
        EXPECT_TRUE((*items.value)[i].enabled);
    }
    std::string texts;
    for (const auto& item : *items.value)
        if (item.kind == macsim::DialogItemKind::StaticText)
            texts += std::string(item.data.begin(), item.data.end()) + "|";
    for (const char* slot : {"^1", "^2", "^3"})
        EXPECT_NE(texts.find(slot), std::string::npos) << slot;
}

TEST_F(BuiltResourceFile, ReadsTheSameThroughAnIndependentReader) {
    if (run("/usr/bin/python3 -c 'import fontTools.misc.macRes' 2>/dev/null") != 0)
        GTEST_SKIP() << "/usr/bin/python3 has no fontTools (Debian package python3-fonttools)";
    const fs::path listing =
        fs::temp_directory_path() / ("kreloed-rsrc-" + std::to_string(::getpid()) + ".txt");
    const std::string script = "import sys\n"
                               "from fontTools.misc.macRes import ResourceReader\n"
                               "r = ResourceReader(sys.argv[1])\n"
                               "for t in sorted(r.keys()):\n"
                               "    for res in r.get(t):\n"
                               "        print(t, res.id, res.attr, res.data.hex())\n";
    ASSERT_EQ(run("/usr/bin/python3 -c \"" + script + "\" " +
                  quoted(disk_.resources() / "Kreloed.rsrc") + " > " + quoted(listing)),
              0);
    std::ostringstream expected;
    const std::pair<const char*, std::uint32_t> types[] = {{"DITL", 'DITL'}, {"DLOG", 'DLOG'}};
    for (const auto& [type, code] : types) {
        const macsim::Resource* r = fork_.find(code, 128);
        ASSERT_TRUE(r);
        expected << type << " 128 32 ";
        for (std::uint8_t b : r->data) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", b);
            expected << hex;
        }
        expected << "\n";
    }
    EXPECT_EQ(kreloed::test::readText(listing), expected.str());
    fs::remove(listing);
}

TEST(RsrcBuild, RefusesABadSourceAndLeavesTheOutputAlone) {
    const std::string dlog = R"(<dlog id="128" top="0" left="0" bottom="10" right="10" proc="1"
                                     items="128" title="T"/>)";
    const std::string ok =
        R"(<item kind="button" top="0" left="0" bottom="10" right="10">OK</item>)";
    struct Row {
        const char* name;
        std::string source;
    };
    const Row rows[] = {
        {"not well-formed", "<resources>"},
        {"another document", "<nib/>"},
        {"unknown resource kind", "<resources><snd id=\"1\"/></resources>"},
        {"missing attribute", R"(<resources><dlog id="128" top="0" left="0" bottom="10"
                                 right="10" proc="1" title="T"/></resources>)"},
        {"misspelt attribute", R"(<resources><dlog id="128" top="0" left="0" bottom="10"
                                 right="10" proc="1" itmes="128" title="T"/></resources>)"},
        {"ID beyond 16 bits", "<resources><ditl id=\"40000\">" + ok + "</ditl></resources>"},
        {"not a number", "<resources><ditl id=\"12x\">" + ok + "</ditl></resources>"},
        {"inverted rectangle", R"(<resources><ditl id="1"><item kind="button" top="10" left="0"
                                 bottom="0" right="10">OK</item></ditl></resources>)"},
        {"text Mac Roman lacks", "<resources><ditl id=\"1\"><item kind=\"button\" top=\"0\" "
                                 "left=\"0\" bottom=\"1\" right=\"1\">\u2713</item></ditl>"
                                 "</resources>"},
        {"text over 255 bytes", "<resources><ditl id=\"1\"><item kind=\"static-text\" top=\"0\" "
                                "left=\"0\" bottom=\"1\" right=\"1\">" +
                                    std::string(256, 'x') + "</item></ditl></resources>"},
        {"unknown item kind", R"(<resources><ditl id="1"><item kind="icon" top="0" left="0"
                                 bottom="1" right="1"/></ditl></resources>)"},
        {"no items", "<resources><ditl id=\"1\"/></resources>"},
        {"the same resource twice", "<resources>" + dlog + dlog + "</resources>"},
    };
    TestDisk scratch; // a fresh folder to work in
    const fs::path source = scratch.root() / "source.xml";
    const fs::path output = scratch.root() / "Out.rsrc";
    const fs::path errors = scratch.root() / "errors.txt";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        scratch.writeText("source.xml", row.source);
        scratch.writeText("Out.rsrc", "earlier contents");
        EXPECT_EQ(run(quoted(RSRCBUILD) + " " + quoted(source) + " " + quoted(output) + " 2> " +
                      quoted(errors)),
                  1);
        EXPECT_EQ(kreloed::test::readText(output), "earlier contents");
        EXPECT_NE(kreloed::test::readText(errors).find("rsrcbuild: "), std::string::npos)
            << kreloed::test::readText(errors);
    }
}

TEST(RsrcBuild, BuildsTheApplicationsSourceAsTheBuildDid) {
    TestDisk scratch;
    const fs::path output = scratch.root() / "Kreloed.rsrc";
    ASSERT_EQ(run(quoted(RSRCBUILD) + " " + quoted(KRELOED_DIALOG_SOURCE) + " " + quoted(output)),
              0);
    EXPECT_EQ(readBytes(output), readBytes(scratch.resources() / "Kreloed.rsrc"));
}

} // namespace
} // namespace kreloed::test
