// A string field that holds its own reference to the string object it shows.
#pragma once

#include <Foundation/Foundation.h>

namespace macsim::appkit {

// Holds value in field and lets go of what the field held before.
inline void replaceString(NSString*& field, NSString* value) {
    if (value == field)
        return;
    if (value != nullptr)
        CFRetain(value);
    if (field != nullptr)
        CFRelease(field);
    field = value;
}

} // namespace macsim::appkit
