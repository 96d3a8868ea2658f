#include <LaunchServices/LaunchServices.h>

#include <macsim/WindowServer.h>

#include <string>
#include <string_view>

namespace macsim {
namespace {

// The address as UTF-8 text; empty when it cannot be had.
std::string addressOf(CFURLRef url) {
    CFStringRef text = CFURLGetString(url);
    if (!text)
        return {};
    std::string buffer(std::size_t(CFStringGetLength(text)) * 4 + 1, '\0');
    if (!CFStringGetCString(text, buffer.data(), CFIndex(buffer.size()), kCFStringEncodingUTF8))
        return {};
    buffer.resize(std::string_view(buffer.c_str()).size());
    return buffer;
}

bool isWebAddress(std::string_view address) {
    return address.starts_with("http://") || address.starts_with("https://");
}

} // namespace
} // namespace macsim

// Stands in for LSOpenCFURLRef.
extern "C" OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL) {
    if (outLaunchedURL)
        *outLaunchedURL = nullptr;
    if (!inURL)
        return paramErr;
    std::string address = macsim::addressOf(inURL);
    if (!macsim::isWebAddress(address))
        return kLSApplicationNotFoundErr;
    // The window server records the address and tells the front end, which may open it.
    macsim::WindowServer::shared().openURL(std::move(address));
    if (outLaunchedURL)
        *outLaunchedURL = static_cast<CFURLRef>(CFRetain(inURL));
    return noErr;
}
