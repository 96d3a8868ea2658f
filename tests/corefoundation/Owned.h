// Holds the one reference a test got from a Create or Copy call, and releases it at the end.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

template <typename Ref> struct Owned {
    Ref ref;
    explicit Owned(Ref r) : ref(r) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (ref)
            CFRelease(ref);
    }
    CFURLRef url() const { return static_cast<CFURLRef>(raw()); }
    CFStringRef string() const { return static_cast<CFStringRef>(raw()); }
    CFBundleRef bundle() const { return static_cast<CFBundleRef>(const_cast<void*>(raw())); }

private:
    CFTypeRef raw() const { return ref; }
};
