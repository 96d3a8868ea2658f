// The wire format between the application's command runner and the helper tool "loader".
// Both sides include this header: change it, and both change together.
//
// The tool reads, on its standard input and in this order, the authorization's 32-byte external
// form and one AuthCommandRecord, then end of file.
#pragma once

#include <cstddef>
#include <cstdint>

enum : std::int32_t {
    cmdLoadKext = 1,   // load the kernel extension bundle at path
    cmdUnloadKext = 2, // unload the kernel extension at path
    cmdSetSpeed = 3,   // set the processor speed to argument MHz
};

constexpr std::size_t kAuthCommandPathSize = 500;

struct AuthCommandRecord {
    std::int32_t leadWord;           // always 1
    std::int32_t commandCode;        // cmdLoadKext, cmdUnloadKext or cmdSetSpeed
    std::int32_t argument;           // MHz for cmdSetSpeed, else 0
    char path[kAuthCommandPathSize]; // NUL-terminated, at most 499 bytes before the terminator
};

static_assert(sizeof(AuthCommandRecord) == 512);
static_assert(offsetof(AuthCommandRecord, leadWord) == 0);
static_assert(offsetof(AuthCommandRecord, commandCode) == 4);
static_assert(offsetof(AuthCommandRecord, argument) == 8);
static_assert(offsetof(AuthCommandRecord, path) == 12);

constexpr std::size_t kAuthExternalFormLength = 32;
constexpr std::size_t kAuthToolInputLength = kAuthExternalFormLength + sizeof(AuthCommandRecord);
