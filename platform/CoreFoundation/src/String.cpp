#include "macsim/CFString.h"

#include "macsim/NoDestructor.h"
#include "macsim/TextEncoding.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

__CFString::__CFString(std::string utf8)
    : utf8_(std::move(utf8)), length_(static_cast<CFIndex>(macsim::utf16Length(utf8_))) {}

namespace macsim {

namespace {

// Constant strings, one object per text for the life of the process.
struct ConstantStrings {
    std::mutex mutex;
    std::unordered_map<std::string, __CFString*> byText;
    // CFSTR passes string literals, which keep their address for the life of the process: a
    // literal seen before is found by its address alone, without decoding its text again.
    std::unordered_map<const char*, __CFString*> byLiteral;
};

std::optional<std::string> decode(std::string_view bytes, CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingMacRoman:
        return macRomanToUtf8(bytes);
    case kCFStringEncodingASCII:
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
        }
        return std::string(bytes);
    case kCFStringEncodingUTF8:
        if (!isValidUtf8(bytes))
            return std::nullopt;
        return std::string(bytes);
    default:
        return std::nullopt;
    }
}

std::optional<std::string> encode(const std::string& utf8, CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingMacRoman:
        return utf8ToMacRoman(utf8);
    case kCFStringEncodingASCII:
        for (char c : utf8) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
        }
        return utf8;
    case kCFStringEncodingUTF8:
        return utf8;
    default:
        return std::nullopt;
    }
}

CFStringRef create(std::string_view bytes, CFStringEncoding encoding) {
    auto utf8 = decode(bytes, encoding);
    if (!utf8)
        return nullptr;
    return new __CFString(std::move(*utf8));
}

} // namespace

CFStringRef makeString(std::string_view utf8) {
    if (!isValidUtf8(utf8))
        return nullptr;
    return new __CFString(std::string(utf8));
}

} // namespace macsim

extern "C" {

// CFSTR
CFStringRef __CFStringMakeConstantString(const char* text) {
    static macsim::NoDestructor<macsim::ConstantStrings> constants;
    std::lock_guard lock(constants->mutex);
    auto& known = constants->byLiteral[text];
    if (known)
        return known;
    std::string utf8 = text ? text : "";
    // A literal that is not UTF-8 can only have been written in the system encoding.
    if (!macsim::isValidUtf8(utf8))
        utf8 = macsim::macRomanToUtf8(utf8);
    auto& entry = constants->byText[utf8];
    if (!entry) {
        entry = new __CFString(utf8);
        entry->makeConstant();
    }
    known = entry;
    return entry;
}

// CFStringCreateWithCString
CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (!text)
        return nullptr;
    return macsim::create(std::string_view(text, std::strlen(text)), encoding);
}

// CFStringCreateWithBytes
CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex length,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
    if (length < 0 || (!bytes && length > 0))
        return nullptr;
    std::string_view text(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    if (isExternalRepresentation && encoding == kCFStringEncodingUTF8 &&
        text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return macsim::create(text, encoding);
}

// CFStringCreateWithPascalString
CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param text,
                                           CFStringEncoding encoding) {
    if (!text)
        return nullptr;
    return macsim::create(std::string_view(reinterpret_cast<const char*>(text + 1), text[0]),
                          encoding);
}

// CFStringGetLength
CFIndex CFStringGetLength(CFStringRef string) {
    return string ? string->length() : 0;
}

// CFStringGetCString. On failure the buffer holds an empty string, so a caller that does not
// look at the result still reads a terminated text.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    if (!buffer || bufferSize <= 0)
        return false;
    buffer[0] = '\0';
    if (!string)
        return false;
    const auto bytes = macsim::encode(string->utf8(), encoding);
    if (!bytes || bytes->size() >= static_cast<std::size_t>(bufferSize))
        return false;
    std::memcpy(buffer, bytes->data(), bytes->size());
    buffer[bytes->size()] = '\0';
    return true;
}

// CFStringGetSystemEncoding
CFStringEncoding CFStringGetSystemEncoding(void) {
    return kCFStringEncodingMacRoman;
}

// Whether two strings hold the same characters (the original compares with CFEqual).
Boolean CFStringEqual(CFStringRef a, CFStringRef b) {
    if (a == b)
        return true;
    return a && b && a->utf8() == b->utf8();
}

} // extern "C"
