#include "OnTestDisk.h"

using namespace kreloed::test;

using GestaltOnDisk = OnTestDisk;

TEST_F(GestaltOnDisk, SystemVersionOneHexDigitPerDecimal) {
    struct Row {
        const char* version;
        SInt32 expected;
    };
    const Row rows[] = {
        {"10.3.9", 0x1039}, {"10.1.5", 0x1015},  {"10.2.8", 0x1028},
        {"10.4", 0x1040},   {"10.4.11", 0x104B}, {"10.27.3", 0x10F3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        disk.setSystemVersion(row.version);
        SInt32 response = 0;
        EXPECT_EQ(Gestalt(gestaltSystemVersion, &response), noErr);
        EXPECT_EQ(response, row.expected);
    }
}

TEST_F(GestaltOnDisk, ProcessorClockRateInHertz) {
    struct Row {
        long long hertz;
        SInt32 expected;
    };
    const Row rows[] = {
        {1000000000, 1000000000},
        {1999999999, 1999999999},
        {3000000000LL, 2147483647}, // beyond 32 bits: the largest it can say
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hertz);
        disk.setClockRate(row.hertz);
        SInt32 response = 0;
        EXPECT_EQ(Gestalt(gestaltProcClkSpeed, &response), noErr);
        EXPECT_EQ(response, row.expected);
    }
}

TEST_F(GestaltOnDisk, FailuresLeaveTheResponseAlone) {
    SInt32 response = 77;
    EXPECT_EQ(Gestalt('zzzz', &response), gestaltUndefSelectorErr);
    EXPECT_EQ(response, 77);

    disk.setSystemVersion("unknown");
    EXPECT_EQ(Gestalt(gestaltSystemVersion, &response), gestaltUnknownErr);
    fs::remove(disk.root() / "Library" / "Hardware.plist");
    EXPECT_EQ(Gestalt(gestaltProcClkSpeed, &response), gestaltUnknownErr);
    EXPECT_EQ(response, 77);
}
