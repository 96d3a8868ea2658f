// Foundation of the simulated Mac: the object runtime (NSObject, reference counting, autorelease
// pools, action messages), strings shared with Core Foundation, bundles and NSLog.
//
// There is no Objective-C here. A class is a C++ class deriving from NSObject, a message is a
// member function named after its selector (initWithTitle:action:keyEquivalent: is
// initWithTitle_action_keyEquivalent), and an action message is a SEL made from a member function
// of the target's class.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <MacTypes.h>
#include <macsim/Object.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

// The stand-in's classes are used across shared objects (StatusMenu is built with hidden
// visibility), so their type information and vtables must stay visible.
#define MACSIM_VISIBLE __attribute__((visibility("default")))

typedef signed char BOOL;
constexpr BOOL YES = 1;
constexpr BOOL NO = 0;
typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef double CGFloat;

class NSObject;
typedef NSObject* id;
constexpr std::nullptr_t nil = nullptr;

// A string object is the Core Foundation string itself: a CFStringRef is used as an NSString*
// and back, with a plain cast.
typedef struct __CFString NSString;
#define NSSTR(text) ((NSString*)CFSTR(text))

// A class, as [object class] gives it: the C++ type information of the object's dynamic type,
// which lies in the shared object that defines the class.
typedef const std::type_info* Class;

// Memory zones are accepted and ignored: every object comes from the one object model.
struct NSZone;

class MACSIM_VISIBLE NSObject : public macsim::Object {
public:
    NSObject() = default;
    ~NSObject() override;

    // The superclass's init; subclasses call it first and go on with what it returns.
    NSObject* init() { return this; }
    // Hands one reference to the innermost autorelease pool, which releases it when it goes.
    NSObject* autorelease();
    // [self class]
    Class getClass() const { return &typeid(*this); }

    const char* typeName() const noexcept override { return "NSObject"; }
};

// [T alloc] and [T allocWithZone:]: a new object with one reference, owned by the caller, not yet
// initialised.
template <class T> T* alloc() {
    return new T();
}
template <class T> T* allocWithZone(NSZone*) {
    return new T();
}

// An action message: a member function of the target's class that takes the sender. Performing it
// on a target of another class does nothing.
class SEL {
public:
    SEL() = default;
    template <class T> SEL(void (T::*method)(id sender)) : perform_(&performOn<T>) {
        static_assert(sizeof(method) <= sizeof(method_), "member function pointer too large");
        std::memcpy(method_, &method, sizeof(method));
    }

    explicit operator bool() const { return perform_ != nullptr; }
    // Sends the message to target with sender as its argument; false when nothing was sent.
    bool perform(id target, id sender) const {
        return perform_ != nullptr && target != nullptr && perform_(*this, target, sender);
    }
    bool operator==(const SEL& other) const {
        return perform_ == other.perform_ &&
               std::memcmp(method_, other.method_, sizeof(method_)) == 0;
    }

private:
    template <class T> static bool performOn(const SEL& self, id target, id sender) {
        T* receiver = dynamic_cast<T*>(target);
        if (receiver == nullptr)
            return false;
        void (T::*method)(id);
        std::memcpy(&method, self.method_, sizeof(method));
        (receiver->*method)(sender);
        return true;
    }

    bool (*perform_)(const SEL&, id, id) = nullptr;
    alignas(void*) unsigned char method_[2 * sizeof(void*)] = {};
};

// A stack of pools per thread: autorelease hands objects to the innermost one, and releasing a
// pool releases what was autoreleased into it (and first any pool made after it and still alive).
class MACSIM_VISIBLE NSAutoreleasePool : public NSObject {
public:
    NSAutoreleasePool();
    ~NSAutoreleasePool() override;
    NSAutoreleasePool* init() { return this; }

    // Into the innermost pool; with no pool in place the object is leaked and a line is logged.
    static void addObject(macsim::Object* object);

    const char* typeName() const noexcept override { return "NSAutoreleasePool"; }

private:
    std::vector<macsim::Object*> objects_;
};

class MACSIM_VISIBLE NSBundle : public NSObject {
public:
    ~NSBundle() override;

    // The bundle of the running application; null when the executable is in none.
    static NSBundle* mainBundle();
    // The bundle whose executable defines cls; the main bundle for a class outside any bundle.
    // Autoreleased.
    static NSBundle* bundleForClass(Class cls);
    // Loads the nib name.nib from the Resources of the bundle that defines owner's class.
    // FIXME: the nib is read and checked, but no objects are made and no outlets connected.
    static BOOL loadNibNamed(NSString* name, id owner);

    // The translation of key in the string table (Localizable when table is nil), else value
    // when it is not empty, else key. The result is owned by the bundle or the caller.
    // FIXME: string tables are read as UTF-8 only, and there are no .lproj localizations.
    NSString* localizedStringForKey_value_table(NSString* key, NSString* value, NSString* table);

    const char* typeName() const noexcept override { return "NSBundle"; }

private:
    explicit NSBundle(std::filesystem::path path);
    static NSBundle* bundleAt(const std::filesystem::path& path); // autoreleased

    std::filesystem::path path_;
    // Tables read so far, by name; the strings belong to the bundle.
    std::map<std::string, std::map<std::string, CFStringRef>> tables_;
};

extern "C" {

// Writes one line to the system log.
// FIXME: only the conversions %@ (a string object) and %% are carried out; others stand as written.
void NSLog(NSString* format, ...);

} // extern "C"
