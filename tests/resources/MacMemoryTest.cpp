#include <Carbon/Carbon.h>

#include <gtest/gtest.h>

#include <cstring>

TEST(MacMemory, HandlesGrowAndShrinkKeepingTheirBytes) {
    Handle h = NewHandle(4);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 4);
    EXPECT_EQ(std::memcmp(*h, "\0\0\0\0", 4), 0) << "new blocks are zeroed";

    BlockMoveData("abcd", *h, 4);
    SetHandleSize(h, 1000);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 1000);
    EXPECT_EQ(std::memcmp(*h, "abcd", 4), 0);
    EXPECT_EQ((*h)[999], 0);
    SetHandleSize(h, 2);
    EXPECT_EQ(GetHandleSize(h), 2);
    EXPECT_EQ(std::memcmp(*h, "ab", 2), 0);
    DisposeHandle(h);
    EXPECT_EQ(MemError(), noErr);

    Handle empty = NewHandle(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(*empty, nullptr);
    EXPECT_EQ(GetHandleSize(empty), 0);
    DisposeHandle(empty);
}

TEST(MacMemory, ALockedBlockDoesNotMove) {
    Handle h = NewHandle(8);
    HLock(h);
    Ptr before = *h;
    SetHandleSize(h, 1 << 20);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(*h, before);
    EXPECT_EQ(GetHandleSize(h), 8);
    HUnlock(h);
    SetHandleSize(h, 1 << 20);
    EXPECT_EQ(MemError(), noErr);
    DisposeHandle(h);
}

TEST(MacMemory, BadRequestsAreErrorsNotCrashes) {
    EXPECT_EQ(NewHandle(-1), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewHandle(Size(1) << 40), nullptr);
    EXPECT_EQ(MemError(), memFullErr);

    DisposeHandle(nullptr);
    EXPECT_EQ(MemError(), nilHandleErr);
    Ptr notAMasterPointer = nullptr;
    DisposeHandle(&notAMasterPointer);
    EXPECT_EQ(MemError(), memWZErr);
    EXPECT_EQ(GetHandleSize(&notAMasterPointer), 0);

    Handle h = NewHandle(2);
    DisposeHandle(h);
    DisposeHandle(h); // the second time it is no handle any more
    EXPECT_EQ(MemError(), memWZErr);

    char overlap[] = "abcdef";
    BlockMoveData(overlap, overlap + 2, 4);
    EXPECT_STREQ(overlap, "ababcd");
    BlockMoveData(nullptr, overlap, 0);
}
