// Basic types of the classic toolbox, shared by every framework of the simulated Mac.
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint8_t UInt8;
typedef std::int8_t SInt8;
typedef std::uint16_t UInt16;
typedef std::int16_t SInt16;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;
typedef std::uint64_t UInt64;
typedef std::int64_t SInt64;
typedef float Float32;
typedef double Float64;

typedef unsigned char Boolean;
typedef std::int16_t OSErr;
typedef std::int32_t OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef UInt32 OptionBits;
typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str31[32];
typedef unsigned char* StringPtr;
typedef const unsigned char* ConstStringPtr;
typedef const unsigned char* ConstStr255Param;
typedef char* Ptr;
typedef Ptr* Handle;
typedef long Size;
typedef SInt16 ResID;
typedef SInt16 ResFileRefNum;
typedef std::int16_t FSVolumeRefNum;
typedef std::int32_t DirID;
typedef double EventTime;
typedef void* LogicalAddress;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

enum : OSStatus {
    noErr = 0,
    paramErr = -50,
    memFullErr = -108,
    fnfErr = -43,
    dirNFErr = -120,
    ioErr = -36,
    eofErr = -39,
    dupFNErr = -48,
    permErr = -54,
    resNotFound = -192,
    resFNotFound = -193,
    addResFailed = -194,
    mapReadErr = -199,
    eventNotHandledErr = -9874,
    errAuthorizationSuccess = 0,
};

// Builds a four-character code from its characters: FOUR_CHAR_CODE('p','r','e','f').
constexpr FourCharCode FOUR_CHAR_CODE(char a, char b, char c, char d) {
    return (FourCharCode(std::uint8_t(a)) << 24) | (FourCharCode(std::uint8_t(b)) << 16) |
           (FourCharCode(std::uint8_t(c)) << 8) | FourCharCode(std::uint8_t(d));
}
