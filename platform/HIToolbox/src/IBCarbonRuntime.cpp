// Nib references: a nib read whole from the main bundle's resources, and the menu bars and windows
// made from it.
#include "Toolbox.h"

#include <macsim/CFString.h>
#include <macsim/Nib.h>
#include <macsim/Object.h>

#include <climits>

namespace macsim {

namespace {

class NibReference : public Object {
public:
    explicit NibReference(Nib nib) : nib(std::move(nib)) {}
    const char* typeName() const noexcept override { return "IBNibRef"; }
    const Nib nib;

    IBNibRef ref() { return reinterpret_cast<IBNibRef>(static_cast<Object*>(this)); }
    static NibReference* from(IBNibRef ref) {
        return static_cast<NibReference*>(reinterpret_cast<Object*>(ref));
    }
};

std::optional<std::string> utf8(CFStringRef string) {
    if (!string)
        return std::nullopt;
    return stringText(string);
}

OSStatus missing(const Nib& nib, const std::string& name) {
    return nib.hasObject(name) ? kIBCarbonRuntimeObjectNotOfRequestedType
                               : kIBCarbonRuntimeCantFindObject;
}

} // namespace

} // namespace macsim

using namespace macsim;

extern "C" {

OSStatus CreateNibReference(CFStringRef name, IBNibRef* nibRef) {
    if (!nibRef)
        return paramErr;
    *nibRef = nullptr;
    if (!name)
        return paramErr;
    CFBundleRef bundle = CFBundleGetMainBundle();
    CFURLRef url = bundle ? CFBundleCopyResourceURL(bundle, name, CFSTR("nib"), nullptr) : nullptr;
    if (!url)
        return kIBCarbonRuntimeCantFindNibFile;
    UInt8 path[PATH_MAX];
    const bool havePath = CFURLGetFileSystemRepresentation(url, true, path, sizeof path);
    CFRelease(url);
    if (!havePath)
        return kIBCarbonRuntimeCantFindNibFile;
    NibError error;
    std::optional<Nib> nib = loadNibFile(reinterpret_cast<const char*>(path), &error);
    if (!nib)
        return error.status;
    *nibRef = (new NibReference(std::move(*nib)))->ref();
    return noErr;
}

void DisposeNibReference(IBNibRef nibRef) {
    if (nibRef)
        NibReference::from(nibRef)->release();
}

OSStatus SetMenuBarFromNib(IBNibRef nibRef, CFStringRef name) {
    const auto wanted = utf8(name);
    if (!nibRef || !wanted)
        return paramErr;
    const Nib& nib = NibReference::from(nibRef)->nib;
    const NibMenuBar* bar = nib.menuBar(*wanted);
    if (!bar)
        return missing(nib, *wanted);
    WindowServer::shared().setMenuBar(bar->menus);
    return noErr;
}

OSStatus CreateWindowFromNib(IBNibRef nibRef, CFStringRef name, WindowRef* window) {
    if (!window)
        return paramErr;
    *window = nullptr;
    const auto wanted = utf8(name);
    if (!nibRef || !wanted)
        return paramErr;
    const Nib& nib = NibReference::from(nibRef)->nib;
    const NibWindow* w = nib.window(*wanted);
    if (!w)
        return missing(nib, *wanted);
    *window = windowRef(createToolboxWindow(
        w->window, w->controls, w->standardHandler ? StandardHandler::Yes : StandardHandler::No));
    return noErr;
}

} // extern "C"
