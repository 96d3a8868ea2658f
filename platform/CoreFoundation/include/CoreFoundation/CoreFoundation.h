// Core Foundation of the simulated Mac: reference-counted objects, strings, URLs and bundles.
#pragma once

#include <MacTypes.h>

extern "C" {

typedef const void* CFTypeRef;
typedef long CFIndex;
typedef unsigned long CFOptionFlags;
typedef UInt32 CFStringEncoding;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFBundle* CFBundleRef;
typedef const struct __CFDictionary* CFDictionaryRef;

struct CFRange {
    CFIndex location;
    CFIndex length;
};
inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
    return CFRange{location, length};
}

enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
};

enum CFURLPathStyle { kCFURLPOSIXPathStyle = 0 };

// The allocators are accepted and ignored: every object comes from the one object model.
extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFAllocatorRef kCFAllocatorSystemDefault;

// Objects: one reference on creation ("Create" and "Copy" calls), released with CFRelease.
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);

// Strings. Characters are held as Unicode; Mac Roman and UTF-8 convert both ways.
CFStringRef __CFStringMakeConstantString(const char* utf8);
#define CFSTR(text) __CFStringMakeConstantString("" text "")
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* text,
                                      CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex length,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param text,
                                           CFStringEncoding encoding);
CFIndex CFStringGetLength(CFStringRef string);
// Writes the text and its terminator; false when it does not fit or cannot be encoded.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
CFStringEncoding CFStringGetSystemEncoding(void);
Boolean CFStringEqual(CFStringRef a, CFStringRef b);

// URLs: file URLs ("file:///...") and web addresses.
CFURLRef CFURLCreateWithString(CFAllocatorRef alloc, CFStringRef text, CFURLRef base);
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef alloc, CFStringRef path, CFURLPathStyle style,
                                       Boolean isDirectory);
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef alloc, const UInt8* path,
                                                 CFIndex length, Boolean isDirectory);
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef alloc, CFURLRef url,
                                               CFStringRef component, Boolean isDirectory);
// The file-system path, NUL-terminated, in at most maxLength bytes; false when it does not fit.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxLength);
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style);
CFStringRef CFURLGetString(CFURLRef url);

// Bundles: a folder with Contents/Info.plist, Contents/MacOS/<executable> and Contents/Resources.
// The main bundle is the one that holds the running executable.
CFBundleRef CFBundleGetMainBundle(void);
// Null when nothing at url is a bundle.
CFBundleRef CFBundleCreate(CFAllocatorRef alloc, CFURLRef url);
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle);
CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);
// The URL of resource name[.type] in the bundle's Resources (or subDir of it); null when absent.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef name, CFStringRef type,
                                 CFStringRef subDir);
// A string value of the bundle's Info.plist; not retained (owned by the bundle). Null when absent.
CFStringRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
// Loads the bundle's executable (dlopen) on first use and looks the name up (dlsym).
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef name);
Boolean CFBundleLoadExecutable(CFBundleRef bundle);

} // extern "C"
