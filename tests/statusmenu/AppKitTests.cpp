// The AppKit and Foundation stand-in below StatusMenu: reference counting with autorelease pools,
// action messages, string tables, and status items mirrored into the window server.
#include "StringsTable.h"
#include "TestDisk.h"

#include <AppKit/AppKit.h>
#include <macsim/Disk.h>
#include <macsim/WindowServer.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// Counts the objects of its kind that have gone.
class Probe : public NSObject {
public:
    explicit Probe(int* gone = nullptr) : gone_(gone) {}
    ~Probe() override {
        if (gone_ != nullptr)
            ++*gone_;
    }
    void hit(id sender) { hits.push_back(sender); }
    std::vector<id> hits;

private:
    int* gone_;
};

class OtherTarget : public NSObject {
public:
    void hit(id) { ++hits; }
    int hits = 0;
};

TEST(AutoreleasePool, ReleasesWhatWasAutoreleasedIntoIt) {
    int gone = 0;
    NSAutoreleasePool* outer = alloc<NSAutoreleasePool>()->init();
    (new Probe(&gone))->autorelease();
    NSAutoreleasePool* inner = alloc<NSAutoreleasePool>()->init();
    (new Probe(&gone))->autorelease();
    auto* kept = new Probe(&gone);
    kept->retain();
    kept->autorelease();
    inner->release();
    EXPECT_EQ(gone, 1); // the inner pool's, not the outer's, and not the one still held
    outer->release();
    EXPECT_EQ(gone, 2);
    kept->release();
    EXPECT_EQ(gone, 3);
}

TEST(AutoreleasePool, OuterPoolTakesInnerPoolsLeftBehind) {
    int gone = 0;
    NSAutoreleasePool* outer = alloc<NSAutoreleasePool>()->init();
    alloc<NSAutoreleasePool>()->init(); // never released by its maker
    (new Probe(&gone))->autorelease();
    outer->release();
    EXPECT_EQ(gone, 1);
    // No pool is left: a new one is the innermost and drains on its own.
    NSAutoreleasePool* next = alloc<NSAutoreleasePool>()->init();
    (new Probe(&gone))->autorelease();
    next->release();
    EXPECT_EQ(gone, 2);
}

TEST(AutoreleasePool, WithoutAPoolTheObjectLeaksAndIsLogged) {
    kreloed::test::TestDisk disk;
    macsim::Disk::use(disk.root());
    int gone = 0;
    auto* probe = new Probe(&gone);
    probe->autorelease();
    EXPECT_EQ(gone, 0);
    EXPECT_NE(disk.readText("private/var/log/system.log").find("autoreleased with no pool"),
              std::string::npos);
    probe->release(); // what the missing pool would have done
    EXPECT_EQ(gone, 1);
}

TEST(Log, FillsInStringObjectsAndLeavesTheirTextAlone) {
    kreloed::test::TestDisk disk;
    macsim::Disk::use(disk.root());
    // A string object's own text is never read as a format, whatever it holds.
    CFStringRef detail = CFStringCreateWithCString(
        kCFAllocatorDefault, "no symbol %s%n in 100% of cases", kCFStringEncodingUTF8);
    NSLog((NSString*)CFSTR("bundle: %@ (%%d stays %d)"), (NSString*)detail);
    NSLog((NSString*)CFSTR("nothing: %@"), static_cast<NSString*>(nullptr));
    CFRelease(detail);
    const std::string log = disk.readText("private/var/log/system.log");
    EXPECT_NE(log.find("bundle: no symbol %s%n in 100% of cases (%d stays %d)"), std::string::npos)
        << log;
    EXPECT_NE(log.find("nothing: (null)"), std::string::npos) << log;
}

TEST(ActionMessage, GoesOnlyToATargetOfItsClass) {
    auto* probe = new Probe();
    auto* other = new OtherTarget();
    auto* sender = new Probe();
    SEL action(&Probe::hit);

    EXPECT_TRUE(action.perform(probe, sender));
    ASSERT_EQ(probe->hits.size(), 1u);
    EXPECT_EQ(probe->hits[0], sender);

    EXPECT_FALSE(action.perform(other, sender));
    EXPECT_EQ(other->hits, 0);
    EXPECT_FALSE(action.perform(nil, sender));
    EXPECT_FALSE(SEL().perform(probe, sender));
    EXPECT_EQ(probe->hits.size(), 1u);

    EXPECT_TRUE(SEL(&Probe::hit) == action);
    EXPECT_FALSE(SEL(&OtherTarget::hit) == action);
    for (NSObject* object : {static_cast<NSObject*>(probe), static_cast<NSObject*>(other),
                             static_cast<NSObject*>(sender)})
        object->release();
}

TEST(StringsTable, ReadsEntriesAndSkipsWhatIsMalformed) {
    struct Case {
        const char* name;
        std::string text;
        std::map<std::string, std::string> expected;
    };
    const Case cases[] = {
        {"plain entries",
         "\"Quit\" = \"Beenden\";\n\"About\"=\"Über\";",
         {{"Quit", "Beenden"}, {"About", "Über"}}},
        {"comments and byte-order mark",
         "\xEF\xBB\xBF/* a\n \"x\" = \"y\"; */\n// \"z\" = \"w\";\n\"a\" = \"b\"; // tail\n",
         {{"a", "b"}}},
        {"escapes",
         R"("say \"hi\"" = "back\\slash\nnew\tline";)",
         {{"say \"hi\"", "back\\slash\nnew\tline"}}},
        {"missing semicolon skips its line only", "\"a\" = \"b\"\n\"c\" = \"d\";\n", {{"c", "d"}}},
        {"missing equals sign", "\"a\" \"b\";\n\"c\" = \"d\";", {{"c", "d"}}},
        {"unterminated quote", "\"a\" = \"b;\n\"c\" = \"d\";", {{"c", "d"}}},
        {"garbage between entries",
         "junk\n\"a\" = \"b\"; junk\n;;\n\"c\" = \"d\";",
         {{"a", "b"}, {"c", "d"}}},
        {"later entry wins", "\"a\" = \"1\";\n\"a\" = \"2\";", {{"a", "2"}}},
        {"not UTF-8",
         "\"\xFF\" = \"x\";\n\"a\" = \"\xC3\";\n\"ok\" = \"\xC3\xA9\";",
         {{"ok", "\xC3\xA9"}}},
        {"truncated at the end", "\"a\" = \"b\";\n\"c\" = \"", {{"a", "b"}}},
        {"unclosed comment", "\"a\" = \"b\"; /* \"c\" = \"d\";", {{"a", "b"}}},
        {"empty", "", {}},
        {"embedded NUL", "\"a\" = \"x\0y\";"s, {{"a", "x\0y"s}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(macsim::parseStringsTable(c.text), c.expected);
    }
}

class StatusItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        pool = alloc<NSAutoreleasePool>()->init();
        macsim::Disk::use(disk.root());
        NSApplicationLoad();
    }
    void TearDown() override { pool->release(); }

    const macsim::StatusItem* shown(NSStatusItem* item) {
        return macsim::WindowServer::shared().statusItem(item->serverId());
    }

    kreloed::test::TestDisk disk;
    NSAutoreleasePool* pool = nullptr;
};

TEST_F(StatusItemTest, MenuChangesAreShownAndChoicesReachTheTarget) {
    NSStatusBar* bar = NSStatusBar::systemStatusBar();
    NSStatusItem* item = bar->statusItemWithLength(NSVariableStatusItemLength);
    ASSERT_NE(shown(item), nullptr);
    item->setTitle(NSSTR("1000"));

    NSMenu* menu = alloc<NSMenu>()->initWithTitle(NSSTR("m"));
    auto* target = new Probe();
    NSMenuItem* first =
        alloc<NSMenuItem>()->initWithTitle_action_keyEquivalent(NSSTR("one"), SEL(), NSSTR(""));
    first->setTarget(target);
    first->setAction(&Probe::hit);
    menu->addItem(first);
    item->setMenu(menu);
    menu->release(); // the status item holds it now
    menu->addItem(NSMenuItem::separatorItem());

    const macsim::StatusItem* model = shown(item);
    EXPECT_EQ(model->title, "1000");
    ASSERT_EQ(model->rows.size(), 2u);
    EXPECT_EQ(model->rows[0].title, "one");
    EXPECT_TRUE(model->rows[1].separator);

    first->setState(NSOnState);
    first->setTitle(NSSTR("uno"));
    EXPECT_TRUE(model->rows[0].checked);
    EXPECT_EQ(model->rows[0].title, "uno");

    model->choose(0);
    ASSERT_EQ(target->hits.size(), 1u);
    EXPECT_EQ(target->hits[0], first);
    model->choose(1); // a separator
    first->setEnabled(NO);
    model->choose(0);
    EXPECT_EQ(target->hits.size(), 1u);

    // An item is in one menu only.
    NSMenu* second = alloc<NSMenu>()->initWithTitle(NSSTR("second"));
    second->addItem(first);
    EXPECT_EQ(second->numberOfItems(), 0);
    EXPECT_EQ(first->menu(), menu);
    second->release();

    macsim::Id id = item->serverId();
    bar->removeStatusItem(item); // the bar's reference was the only one
    EXPECT_EQ(macsim::WindowServer::shared().statusItem(id), nullptr);
    first->release();
    target->release();
}

} // namespace
