// Prints what the process finds as its main bundle: its folder and the path of the resource
// named on the command line ("-" when there is none).
#include <CoreFoundation/CoreFoundation.h>

#include "macsim/Bundle.h"

#include <cstdio>

int main(int argc, char** argv) {
    CFBundleRef main = CFBundleGetMainBundle();
    if (!main) {
        std::puts("no main bundle");
        return 0;
    }
    std::printf("%s\n", macsim::bundleFolder(main).c_str());
    if (argc > 1) {
        CFStringRef name =
            CFStringCreateWithCString(kCFAllocatorDefault, argv[1], kCFStringEncodingUTF8);
        CFURLRef url = CFBundleCopyResourceURL(main, name, nullptr, nullptr);
        UInt8 path[1024];
        std::printf("%s\n", url && CFURLGetFileSystemRepresentation(url, true, path, sizeof path)
                                ? reinterpret_cast<const char*>(path)
                                : "-");
        if (url)
            CFRelease(url);
        CFRelease(name);
    }
    return 0;
}
