// Nibs: what the reader accepts and refuses, what the nib calls make of a nib, and the
// application's own main.nib.
#include "ToolboxFixture.h"

#include <macsim/MainBundle.h>
#include <macsim/Nib.h>

#include <filesystem>
#include <stdlib.h>

#include <fstream>
#include <set>

namespace kreloed::test {
namespace {

namespace fs = std::filesystem;

std::string nib(const std::string& body) {
    return "<nib version=\"1\">" + body + "</nib>";
}

TEST(NibReader, RefusesWhatItDoesNotKnow) {
    struct Row {
        std::string name;
        std::string xml;
        std::string messagePart;
    };
    const std::string window = "<window name=\"W\">";
    const std::vector<Row> rows = {
        {"not XML", "<nib><window name=\"W\"></nib>", "line 1"},
        {"empty file", "", "line 1"},
        {"another root", "<nob/>", "root"},
        {"another version", "<nib version=\"2\"/>", "version"},
        {"unknown object", nib("<dialog name=\"D\"/>"), "<dialog>"},
        {"unknown attribute", nib("<window name=\"W\" colour=\"red\"/>"), "colour"},
        {"object without a name", nib("<window/>"), "name"},
        {"two objects with one name", nib("<window name=\"W\"/><menubar name=\"W\"/>"), "two"},
        {"signature of three characters", nib(window + "<button signature=\"ok \"/></window>"),
         "four"},
        {"signature of five characters", nib(window + "<button signature=\"okay!\"/></window>"),
         "four"},
        {"command ID of two characters",
         nib("<menubar name=\"M\"><menu title=\"A\"><item title=\"Q\" command=\"qu\"/></menu>"
             "</menubar>"),
         "four"},
        {"flag that is not true or false", nib("<window name=\"W\" closebox=\"yes\"/>"),
         "true or false"},
        {"control ID that is not a number",
         nib(window + "<text signature=\"mhzs\" id=\"zero\"/></window>"), "integer"},
        {"control ID beyond 32 bits",
         nib(window + "<text signature=\"mhzs\" id=\"4294967296\"/></window>"), "integer"},
        {"slider value outside its range",
         nib(window + "<slider signature=\"mhzm\" value=\"22\" minimum=\"1\" maximum=\"21\"/>"
                      "</window>"),
         "minimum"},
        {"bounds with three numbers",
         nib(window + "<button signature=\"dona\" bounds=\"1 2 3\"/></window>"), "bounds"},
        {"two default buttons",
         nib(window + "<button signature=\"ok  \" default=\"true\"/>"
                      "<button signature=\"yes!\" default=\"true\"/></window>"),
         "two default"},
        {"element inside a button",
         nib(window + "<button signature=\"dona\"><b>Go</b></button></window>"), "only text"},
        {"text that is not UTF-8",
         nib(window + "<text signature=\"info\">\xC3\x28</text></window>"), "UTF-8"},
        {"larger than the cap", nib("<!--" + std::string(macsim::kMaxNibSize, 'x') + "-->"),
         "larger"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        macsim::NibError error;
        EXPECT_FALSE(macsim::parseNib(row.xml, &error));
        EXPECT_EQ(error.status, kIBCarbonRuntimeMalformedNib);
        EXPECT_NE(error.message.find(row.messagePart), std::string::npos) << error.message;
    }
}

TEST(NibReader, ReadsMenusWindowsAndControls) {
    const auto parsed = macsim::parseNib(nib(R"(
        <menubar name="Bar">
          <menu title="App">
            <item title="About" command="ABOU"/>
            <separator/>
            <item title="Quit" command="quit" enabled="false" checked="true"/>
          </menu>
        </menubar>
        <window name="Dlg" title="Speed" closebox="false" standard-handler="true" bounds="1 2 30 40">
          <text signature="mhzs" id="0">  two
             words  </text>
          <slider signature="mhzm" id="-3" value="9" minimum="1" maximum="21"/>
          <button signature="ok  " default="true">OK</button>
          <button signature="not!" cancel="true" enabled="false">Cancel</button>
        </window>)"));
    ASSERT_TRUE(parsed);
    const macsim::NibMenuBar* bar = parsed->menuBar("Bar");
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->menus.size(), 1u);
    ASSERT_EQ(bar->menus[0].items.size(), 3u);
    EXPECT_EQ(bar->menus[0].items[0].command, UInt32('ABOU'));
    EXPECT_TRUE(bar->menus[0].items[1].separator);
    EXPECT_FALSE(bar->menus[0].items[2].enabled);
    EXPECT_TRUE(bar->menus[0].items[2].checked);

    const macsim::NibWindow* w = parsed->window("Dlg");
    ASSERT_TRUE(w);
    EXPECT_EQ(parsed->window("Bar"), nullptr);
    EXPECT_EQ(w->window.title, "Speed");
    EXPECT_FALSE(w->window.hasCloseBox);
    EXPECT_TRUE(w->standardHandler);
    EXPECT_EQ(w->window.bounds.bottom, 30);
    ASSERT_EQ(w->controls.size(), 4u);
    EXPECT_EQ(w->controls[0].kind, macsim::ControlKind::StaticText);
    EXPECT_EQ(w->controls[0].text, "two words");
    EXPECT_EQ(w->controls[1].number, -3);
    EXPECT_EQ(w->controls[1].value, 9);
    EXPECT_EQ(w->controls[1].maximum, 21);
    EXPECT_EQ(w->controls[2].signature, UInt32('ok  '));
    EXPECT_TRUE(w->controls[2].isDefault);
    EXPECT_TRUE(w->controls[3].isCancel);
    EXPECT_FALSE(w->controls[3].enabled);
}

// Bytes changed at random in a good nib: the reader refuses them or reads them, and never
// crashes or reads out of bounds (run under the sanitizers).
TEST(NibReader, SurvivesDamagedNibs) {
    std::ifstream in(KRELOED_SOURCE_DIR "/resources/main.nib", std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(good.empty());
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = good;
        const int changes = 1 + int(next() % 8);
        for (int i = 0; i < changes; ++i) {
            const std::size_t at = next() % damaged.size();
            switch (next() % 3) {
            case 0:
                damaged[at] = char(next());
                break;
            case 1:
                damaged.erase(at, 1 + next() % 16);
                break;
            default:
                damaged.resize(at); // truncated
                break;
            }
            if (damaged.empty())
                damaged = "<";
        }
        macsim::NibError error;
        if (!macsim::parseNib(damaged, &error)) {
            EXPECT_EQ(error.status, kIBCarbonRuntimeMalformedNib);
            EXPECT_FALSE(error.message.empty());
        }
    }
}

// The nib calls, on a bundle of our own holding a good nib and a broken one.
class NibCallsTest : public ToolboxTest {
protected:
    void SetUp() override {
        ToolboxTest::SetUp();
        char base[] = "/tmp/nib-calls-XXXXXX";
        ASSERT_TRUE(mkdtemp(base));
        base_ = base;
        const fs::path app = base_ / "Nibs.app";
        fs::create_directories(app / "Contents" / "Resources");
        std::ofstream(app / "Contents" / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>org.example.nibs</string>"
               "<key>CFBundlePackageType</key><string>APPL</string></dict></plist>\n";
        std::ofstream(app / "Contents" / "Resources" / "good.nib")
            << nib("<menubar name=\"Bar\"><menu title=\"App\"><item title=\"Quit\" "
                   "command=\"quit\"/></menu></menubar>"
                   "<window name=\"Win\" title=\"T\"><button signature=\"ok  \">OK</button>"
                   "</window>");
        std::ofstream(app / "Contents" / "Resources" / "broken.nib") << "<nib><window";
        macsim::useMainBundle(app);
    }
    void TearDown() override {
        macsim::useMainBundle({});
        fs::remove_all(base_);
        ToolboxTest::TearDown();
    }
    fs::path base_;
};

TEST_F(NibCallsTest, MissingOrBrokenNibsGiveNoReference) {
    struct Row {
        std::string name;
        const char* nibName;
        OSStatus expected;
    };
    const std::vector<Row> rows = {
        {"no such nib", "absent", kIBCarbonRuntimeCantFindNibFile},
        {"a nib that is not well-formed", "broken", kIBCarbonRuntimeMalformedNib},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        IBNibRef ref = reinterpret_cast<IBNibRef>(1);
        CFStringRef name = CFStringCreateWithCString(nullptr, row.nibName, kCFStringEncodingUTF8);
        EXPECT_EQ(CreateNibReference(name, &ref), row.expected);
        EXPECT_EQ(ref, nullptr);
        CFRelease(name);
    }
}

TEST_F(NibCallsTest, ObjectsByNameAndKind) {
    IBNibRef ref = nullptr;
    ASSERT_EQ(CreateNibReference(CFSTR("good"), &ref), noErr);
    const auto windowsBefore = server().windowsFrontToBack().size();

    struct Row {
        std::string name;
        bool menuBar;
        CFStringRef object;
        OSStatus expected;
    };
    const std::vector<Row> rows = {
        {"a window that is not there", false, CFSTR("Prefs"), kIBCarbonRuntimeCantFindObject},
        {"a menu bar asked for as a window", false, CFSTR("Bar"),
         kIBCarbonRuntimeObjectNotOfRequestedType},
        {"a menu bar that is not there", true, CFSTR("MainMenu"), kIBCarbonRuntimeCantFindObject},
        {"a window asked for as a menu bar", true, CFSTR("Win"),
         kIBCarbonRuntimeObjectNotOfRequestedType},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.menuBar) {
            EXPECT_EQ(SetMenuBarFromNib(ref, row.object), row.expected);
        } else {
            WindowRef window = reinterpret_cast<WindowRef>(1);
            EXPECT_EQ(CreateWindowFromNib(ref, row.object, &window), row.expected);
            EXPECT_EQ(window, nullptr);
        }
        EXPECT_EQ(server().windowsFrontToBack().size(), windowsBefore);
    }

    ASSERT_EQ(SetMenuBarFromNib(ref, CFSTR("Bar")), noErr);
    EXPECT_TRUE(server().findMenuCommand('quit'));
    WindowRef window = nullptr;
    ASSERT_EQ(CreateWindowFromNib(ref, CFSTR("Win"), &window), noErr);
    DisposeNibReference(ref);
    // What was made stays after the nib is gone; a new window starts hidden.
    EXPECT_FALSE(IsWindowVisible(window));
    ControlRef ok = nullptr;
    const ControlID okID{'ok  ', 0};
    EXPECT_EQ(GetControlByID(window, &okID, &ok), noErr);
    EXPECT_NE(ok, nullptr);
    DisposeWindow(window);
}

// The application's main.nib holds what the application looks up in it.
TEST(MainNib, HoldsWhatTheApplicationNeeds) {
    macsim::NibError error;
    const auto parsed = macsim::loadNibFile(KRELOED_SOURCE_DIR "/resources/main.nib", &error);
    ASSERT_TRUE(parsed) << error.message;

    const macsim::NibMenuBar* bar = parsed->menuBar("MenuBar");
    ASSERT_TRUE(bar);
    std::set<UInt32> commands;
    for (const auto& menu : bar->menus)
        for (const auto& item : menu.items)
            commands.insert(item.command);
    for (UInt32 command :
         {UInt32('quit'), UInt32('ABOU'), UInt32('ausr'), UInt32('sdef'), UInt32('susr')})
        EXPECT_TRUE(commands.count(command)) << std::hex << command;

    auto find = [](const macsim::NibWindow& w, UInt32 signature) -> const macsim::Control* {
        for (const auto& c : w.controls)
            if (c.signature == signature)
                return &c;
        return nullptr;
    };
    const macsim::NibWindow* about = parsed->window("Window");
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->window.hasCloseBox);
    const auto* dona = find(*about, 'dona');
    ASSERT_TRUE(dona);
    EXPECT_EQ(dona->kind, macsim::ControlKind::PushButton);

    const macsim::NibWindow* prefs = parsed->window("Prefs");
    ASSERT_TRUE(prefs);
    EXPECT_FALSE(prefs->window.hasCloseBox);
    const auto* mhzm = find(*prefs, 'mhzm');
    ASSERT_TRUE(mhzm);
    EXPECT_EQ(mhzm->kind, macsim::ControlKind::Slider);
    EXPECT_EQ(mhzm->number, 0);
    EXPECT_EQ(mhzm->minimum, 1);
    EXPECT_EQ(mhzm->maximum, 21);
    const auto* mhzs = find(*prefs, 'mhzs');
    ASSERT_TRUE(mhzs);
    EXPECT_EQ(mhzs->kind, macsim::ControlKind::StaticText);
    EXPECT_EQ(mhzs->number, 0);
    const auto* ok = find(*prefs, 'ok  ');
    const auto* cancel = find(*prefs, 'not!');
    ASSERT_TRUE(ok && cancel);
    EXPECT_TRUE(ok->isDefault);
    EXPECT_TRUE(cancel->isCancel);

    const macsim::NibWindow* error_loader = parsed->window("Error_loader");
    ASSERT_TRUE(error_loader);
    EXPECT_TRUE(error_loader->window.hasCloseBox);
    EXPECT_TRUE(error_loader->standardHandler);
    ASSERT_FALSE(error_loader->controls.empty());
    EXPECT_NE(error_loader->controls[0].text.find("loader"), std::string::npos);

    EXPECT_TRUE(macsim::loadNibFile(KRELOED_SOURCE_DIR "/resources/MyWindow.nib"));
}

} // namespace
} // namespace kreloed::test
