// The string object behind CFStringRef. AppKit's string is this same object, so a CFStringRef
// passed to the status menu is used as its string object, and the other way round.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include "macsim/Object.h"

#include <string>
#include <string_view>

struct __CFString : macsim::Object {
public:
    // utf8 must be well-formed UTF-8 (see macsim::isValidUtf8).
    explicit __CFString(std::string utf8);

    const std::string& utf8() const noexcept { return utf8_; }
    // The length in UTF-16 code units, as strings report it.
    CFIndex length() const noexcept { return length_; }
    const char* typeName() const noexcept override { return "CFString"; }

protected:
    friend CFStringRef __CFStringMakeConstantString(const char*);
    void makeConstant() noexcept { makeImmortal(); }

private:
    std::string utf8_;
    CFIndex length_;
};

namespace macsim {

// A new string (one reference, owned by the caller) from UTF-8 text; null when the text is not
// well-formed UTF-8.
CFStringRef makeString(std::string_view utf8);
// The text of a string; empty for null.
inline const std::string& stringText(CFStringRef string) {
    static const std::string empty;
    return string ? string->utf8() : empty;
}

} // namespace macsim
