// The reference-counted object model shared by Core Foundation and AppKit: every CFTypeRef and
// every NSObject is a macsim::Object, so a CFStringRef can be used as a string object and back.
// A CFTypeRef is the address of the object's macsim::Object base: derive from Object first (and
// only once), so that the pointer to the derived object and to its base are the same.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>

namespace macsim {

class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    // The object is created with one reference, owned by its creator.
    void retain() noexcept {
        if (!immortal_)
            refs_.fetch_add(1, std::memory_order_relaxed);
    }
    // Drops one reference; the last one deletes the object.
    void release() noexcept {
        if (!immortal_ && refs_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    long retainCount() const noexcept {
        return immortal_ ? LONG_MAX : refs_.load(std::memory_order_relaxed);
    }
    bool immortal() const noexcept { return immortal_; }

    // A short name of the object's type, for diagnostics ("CFString", "NSMenu" ...).
    virtual const char* typeName() const noexcept = 0;

protected:
    // For objects that live as long as the process (constant strings): retain and release do
    // nothing on them, so no unbalanced release by a caller can free them.
    void makeImmortal() noexcept { immortal_ = true; }

private:
    std::atomic<long> refs_{1};
    bool immortal_ = false;
};

} // namespace macsim
