#include <CoreFoundation/CoreFoundation.h>

#include "macsim/Object.h"

struct __CFAllocator {};

namespace {

__CFAllocator systemAllocator;

macsim::Object* object(CFTypeRef ref) {
    return static_cast<macsim::Object*>(const_cast<void*>(ref));
}

} // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = &systemAllocator;

// CFRetain
CFTypeRef CFRetain(CFTypeRef ref) {
    if (ref)
        object(ref)->retain();
    return ref;
}

// CFRelease. Releasing null is a caller's mistake the original punishes with a crash; here it
// does nothing.
void CFRelease(CFTypeRef ref) {
    if (ref)
        object(ref)->release();
}

// CFGetRetainCount
CFIndex CFGetRetainCount(CFTypeRef ref) {
    return ref ? object(ref)->retainCount() : 0;
}

} // extern "C"
