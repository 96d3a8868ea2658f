// Text utilities of the simulated Mac: length-prefixed strings and 8-bit text from strings.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <MacTypes.h>

typedef UInt32 ByteCount;
typedef UInt8* BytePtr;
// A text encoding; the values of Mac Roman (0) and UTF-8 equal the string encodings of
// Core Foundation (kCFStringEncodingMacRoman, kCFStringEncodingUTF8).
typedef UInt32 TextEncoding;

enum : TextEncoding { kTextEncodingMacRoman = 0 };

enum : OSStatus { kTECOutputBufferFullStatus = -8785 };

extern "C" {

// NumToString: the decimal text of number as a length-prefixed string.
void NumToString(long number, Str255 text);
// p2cstrcpy: the characters of a length-prefixed string, then a terminator (dst needs len + 1).
void p2cstrcpy(char* dst, ConstStr255Param src);
// c2pstrcpy: a C string as a length-prefixed string; cut at 255 characters.
void c2pstrcpy(Str255 dst, const char* src);
// PLstrcpy: copies a length-prefixed string; returns dst.
StringPtr PLstrcpy(StringPtr dst, ConstStr255Param src);

// GetTextAndEncodingFromCFString: the string's text, with no terminator: plain ASCII in Mac Roman,
// anything beyond ASCII in UTF-8 (the encoding file paths are spelled in here). At most
// maxLen bytes are written; text that does not fit gives kTECOutputBufferFullStatus, *outLen 0
// and nothing to rely on in outText. outLen and outEncoding may be null.
OSStatus GetTextAndEncodingFromCFString(CFStringRef string, BytePtr outText, ByteCount maxLen,
                                        ByteCount* outLen, TextEncoding* outEncoding);

} // extern "C"
