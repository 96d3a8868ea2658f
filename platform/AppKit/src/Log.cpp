// NSLog and NSApplicationLoad.
#include <AppKit/AppKit.h>
#include <macsim/CFString.h>
#include <macsim/Disk.h>
#include <macsim/WindowServer.h>

#include <cerrno>
#include <cstdarg>

// FIXME: only the conversions %@ (a string object) and %% are carried out; others stand as written.
extern "C" void NSLog(NSString* format, ...) {
    const std::string pattern = macsim::stringText(format);
    std::string text;
    va_list arguments;
    va_start(arguments, format);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '@') {
            NSString* object = va_arg(arguments, NSString*);
            text += object != nullptr ? macsim::stringText(object) : "(null)";
            ++i;
        } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
            text += '%';
            ++i;
        } else {
            text += pattern[i];
        }
    }
    va_end(arguments);
    macsim::Disk::current().log(program_invocation_short_name, text);
    macsim::WindowServer::shared().logLine(text);
}

// The window server is all that AppKit needs, and it comes up on first use; this makes sure it
// is up before the first AppKit object is made.
extern "C" BOOL NSApplicationLoad(void) {
    macsim::WindowServer::shared();
    return YES;
}
