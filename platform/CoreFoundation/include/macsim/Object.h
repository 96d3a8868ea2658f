// The reference-counted object model shared by Core Foundation and AppKit: every CFTypeRef and
// every NSObject is a macsim::Object, so a CFStringRef can be used as a string object and back.
#pragma once

#include <atomic>
#include <cstdint>

namespace macsim {

class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    // The object is created with one reference, owned by its creator.
    void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    // Drops one reference; the last one deletes the object.
    void release() noexcept {
        if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    long retainCount() const noexcept { return refs_.load(std::memory_order_relaxed); }

    // A short name of the object's type, for diagnostics ("CFString", "NSMenu" ...).
    virtual const char* typeName() const noexcept = 0;

private:
    std::atomic<long> refs_{1};
};

} // namespace macsim
