// NSLog and NSApplicationLoad.
#include <AppKit/AppKit.h>
#include <macsim/CFString.h>
#include <macsim/Disk.h>
#include <macsim/WindowServer.h>

#include <cerrno>

extern "C" void NSLog(NSString* format, ...) {
    std::string text = macsim::stringText(format);
    macsim::Disk::current().log(program_invocation_short_name, text);
    macsim::WindowServer::shared().logLine(text);
}

// The window server is all that AppKit needs, and it comes up on first use; this makes sure it
// is up before the first AppKit object is made.
extern "C" BOOL NSApplicationLoad(void) {
    macsim::WindowServer::shared();
    return YES;
}
