// The object runtime: NSObject and the autorelease pools.
#include <Foundation/Foundation.h>

#include <algorithm>
#include <string>

namespace {

// The pools of this thread, innermost last.
thread_local std::vector<NSAutoreleasePool*> pools;

} // namespace

NSObject::~NSObject() = default;

NSObject* NSObject::autorelease() {
    NSAutoreleasePool::addObject(this);
    return this;
}

NSAutoreleasePool::NSAutoreleasePool() {
    pools.push_back(this);
}

NSAutoreleasePool::~NSAutoreleasePool() {
    // A pool made after this one and never released goes first, as it is inside this one.
    if (std::find(pools.begin(), pools.end(), this) != pools.end()) {
        while (pools.back() != this)
            pools.back()->release();
    }
    // Releasing an object may autorelease others into this pool; they go too.
    while (!objects_.empty()) {
        std::vector<macsim::Object*> batch;
        batch.swap(objects_);
        for (macsim::Object* object : batch)
            object->release();
    }
    std::erase(pools, this);
}

void NSAutoreleasePool::addObject(macsim::Object* object) {
    if (object == nullptr)
        return;
    if (pools.empty()) {
        std::string line = std::string("*** ") + object->typeName() +
                           " autoreleased with no pool in place - just leaking";
        CFStringRef text =
            CFStringCreateWithCString(kCFAllocatorDefault, line.c_str(), kCFStringEncodingUTF8);
        NSLog((NSString*)text);
        CFRelease(text);
        return;
    }
    pools.back()->objects_.push_back(object);
}
