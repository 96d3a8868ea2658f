#include <CarbonCore/TextUtils.h>
#include <macsim/CFString.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// NumToString
void NumToString(long number, Str255 text) {
    if (!text)
        return;
    const std::string digits = std::to_string(number);
    text[0] = static_cast<unsigned char>(digits.size());
    std::memcpy(text + 1, digits.data(), digits.size());
}

// p2cstrcpy
void p2cstrcpy(char* dst, ConstStr255Param src) {
    if (!dst || !src)
        return;
    const std::size_t length = src[0];
    std::memmove(dst, src + 1, length);
    dst[length] = '\0';
}

// c2pstrcpy
void c2pstrcpy(Str255 dst, const char* src) {
    if (!dst || !src)
        return;
    const std::size_t length = std::min<std::size_t>(std::strlen(src), 255);
    std::memmove(dst + 1, src, length);
    dst[0] = static_cast<unsigned char>(length);
}

// PLstrcpy
StringPtr PLstrcpy(StringPtr dst, ConstStr255Param src) {
    if (dst && src)
        std::memmove(dst, src, std::size_t(src[0]) + 1);
    return dst;
}

// GetTextAndEncodingFromCFString
OSStatus GetTextAndEncodingFromCFString(CFStringRef string, BytePtr outText, ByteCount maxLen,
                                        ByteCount* outLen, TextEncoding* outEncoding) {
    if (outLen)
        *outLen = 0;
    if (!string || (!outText && maxLen > 0))
        return paramErr;
    // Plain ASCII is the same bytes in Mac Roman; anything beyond it goes out in UTF-8, the
    // encoding this file system spells paths in, so a path converted here names the same file.
    const std::string& text = macsim::stringText(string);
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const TextEncoding encoding =
        ascii ? TextEncoding(kTextEncodingMacRoman) : TextEncoding(kCFStringEncodingUTF8);
    if (text.size() > maxLen)
        return kTECOutputBufferFullStatus;
    if (!text.empty())
        std::memcpy(outText, text.data(), text.size());
    if (outLen)
        *outLen = ByteCount(text.size());
    if (outEncoding)
        *outEncoding = encoding;
    return noErr;
}
