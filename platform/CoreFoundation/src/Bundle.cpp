#include "macsim/Bundle.h"

#include "macsim/CFString.h"
#include "macsim/CFURL.h"
#include "macsim/MainBundle.h"
#include "macsim/NoDestructor.h"
#include "macsim/Object.h"
#include "macsim/Plist.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Info.plist files are small; anything bigger is not one.
constexpr std::size_t kMaxInfoSize = 1 << 20;

// How the executable of a bundle is reached.
enum class Executable { Named, ThisProcess };

} // namespace

struct __CFBundle : macsim::Object {
    __CFBundle(fs::path folder, macsim::plist::Value info, Executable executable)
        : folder(std::move(folder)), info(std::move(info)), executable(executable) {}
    ~__CFBundle() override {
        // The executable stays loaded: code from it may still be running or referenced.
        for (auto& [key, string] : infoStrings)
            CFRelease(string);
    }
    const char* typeName() const noexcept override { return "CFBundle"; }
    void makePermanent() noexcept { makeImmortal(); }

    fs::path contents() const { return folder / "Contents"; }

    // Contents/MacOS/<CFBundleExecutable>; nothing when Info.plist names none, or names one that
    // is not a plain file name (it must not lead out of the bundle).
    std::optional<fs::path> executablePath() const {
        const auto name = macsim::plist::lookupString(info, "CFBundleExecutable");
        if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." ||
            *name == "..")
            return std::nullopt;
        return contents() / "MacOS" / *name;
    }

    // Opens the executable once; the caller holds the mutex.
    bool load() {
        if (handle)
            return true;
        if (executable == Executable::ThisProcess) {
            handle = dlopen(nullptr, RTLD_NOW);
        } else {
            const auto path = executablePath();
            if (!path) {
                lastError = folder.string() + ": Info.plist names no executable";
                return false;
            }
            handle = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        if (!handle) {
            const char* why = dlerror();
            lastError = why ? why : "the executable could not be loaded";
            return false;
        }
        lastError.clear();
        return true;
    }

    const fs::path folder;
    const macsim::plist::Value info;
    const Executable executable;

    std::mutex mutex;
    void* handle = nullptr;
    std::string lastError;
    std::map<std::string, CFStringRef, std::less<>> infoStrings;
};

namespace macsim {

namespace {

struct MainBundle {
    std::mutex mutex;
    bool found = false;
    CFBundleRef bundle = nullptr;
    // Main bundles replaced by useMainBundle: permanent, so references to them stay valid, and
    // kept here so that they stay reachable (a leak checker would report them otherwise).
    std::vector<CFBundleRef> replaced;
};

MainBundle& mainBundle() {
    static NoDestructor<MainBundle> main;
    return *main;
}

// The bundle at folder; null when folder holds no Contents folder or a malformed Info.plist.
// A missing Info.plist makes a bundle without information.
CFBundleRef openBundle(const fs::path& folder, Executable executable) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder / "Contents", ec))
        return nullptr;
    const fs::path infoFile = folder / "Contents/Info.plist";
    plist::Value info = plist::Dict{};
    if (fs::exists(infoFile, ec)) {
        auto parsed = plist::load(infoFile, nullptr, kMaxInfoSize);
        if (!parsed || !parsed->dict()) {
            if (executable != Executable::ThisProcess)
                return nullptr;
            // A running application is its bundle even when its Info.plist is damaged.
        } else {
            info = std::move(*parsed);
        }
    }
    return new __CFBundle(folder.lexically_normal(), std::move(info), executable);
}

// ".../Name.app/Contents/MacOS/executable" -> ".../Name.app"; empty for anything else.
fs::path folderOfExecutable(const fs::path& executable) {
    const fs::path macOS = executable.parent_path();
    const fs::path contents = macOS.parent_path();
    if (macOS.filename() != "MacOS" || contents.filename() != "Contents")
        return {};
    return contents.parent_path();
}

CFURLRef folderURL(const fs::path& folder) {
    return makeFileURL(folder, true);
}

} // namespace

void useMainBundle(const fs::path& folder) {
    auto& main = mainBundle();
    std::lock_guard lock(main.mutex);
    if (main.bundle)
        main.replaced.push_back(main.bundle);
    main.bundle = openBundle(folder, Executable::Named);
    if (main.bundle)
        main.bundle->makePermanent();
    main.found = true;
}

std::string bundleLastError(CFBundleRef bundle) {
    if (!bundle)
        return "no bundle";
    std::lock_guard lock(bundle->mutex);
    return bundle->lastError;
}

fs::path bundleFolder(CFBundleRef bundle) {
    return bundle ? bundle->folder : fs::path();
}

CFBundleRef bundleForExecutable(const fs::path& path) {
    return openBundle(folderOfExecutable(path), Executable::Named);
}

} // namespace macsim

extern "C" {

// CFBundleGetMainBundle: the bundle that holds this process's executable, or null.
CFBundleRef CFBundleGetMainBundle(void) {
    auto& main = macsim::mainBundle();
    std::lock_guard lock(main.mutex);
    if (!main.found) {
        main.found = true;
        std::error_code ec;
        const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        if (!ec)
            main.bundle =
                macsim::openBundle(macsim::folderOfExecutable(exe), Executable::ThisProcess);
        if (main.bundle)
            main.bundle->makePermanent();
    }
    return main.bundle;
}

// CFBundleCreate
CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef url) {
    const auto folder = macsim::fileURLPath(url);
    if (!folder)
        return nullptr;
    return macsim::openBundle(*folder, Executable::Named);
}

// CFBundleCopyBundleURL
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    return bundle ? macsim::folderURL(bundle->folder) : nullptr;
}

// CFBundleCopyResourcesDirectoryURL. Like the original, the URL comes back whether or not the
// folder exists.
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
    return bundle ? macsim::folderURL(bundle->contents() / "Resources") : nullptr;
}

// CFBundleCopyPrivateFrameworksURL
CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle) {
    return bundle ? macsim::folderURL(bundle->contents() / "Frameworks") : nullptr;
}

// CFBundleCopyExecutableURL
CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
    if (!bundle)
        return nullptr;
    const auto path = bundle->executablePath();
    std::error_code ec;
    if (!path || !fs::is_regular_file(*path, ec))
        return nullptr;
    return macsim::makeFileURL(*path, false);
}

// CFBundleCopyResourceURL. Names that would lead out of the Resources folder find nothing.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef name, CFStringRef type,
                                 CFStringRef subDir) {
    if (!bundle || !name || name->utf8().empty())
        return nullptr;
    std::string file = name->utf8();
    if (type && !type->utf8().empty())
        file += type->utf8().front() == '.' ? type->utf8() : "." + type->utf8();
    fs::path relative = subDir ? fs::path(subDir->utf8()) / file : fs::path(file);
    if (relative.is_absolute())
        return nullptr;
    for (const auto& part : relative) {
        if (part == "..")
            return nullptr;
    }
    const fs::path path = bundle->contents() / "Resources" / relative;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return nullptr;
    return macsim::makeFileURL(path, fs::is_directory(status));
}

// CFBundleGetValueForInfoDictionaryKey
// FIXME: only string values are offered; other types give null.
CFStringRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
    if (!bundle || !key)
        return nullptr;
    std::lock_guard lock(bundle->mutex);
    if (auto it = bundle->infoStrings.find(key->utf8()); it != bundle->infoStrings.end())
        return it->second;
    const auto text = macsim::plist::lookupString(bundle->info, key->utf8());
    if (!text)
        return nullptr;
    CFStringRef string = macsim::makeString(*text);
    if (string)
        bundle->infoStrings.emplace(key->utf8(), string);
    return string;
}

// CFBundleLoadExecutable
Boolean CFBundleLoadExecutable(CFBundleRef bundle) {
    if (!bundle)
        return false;
    std::lock_guard lock(bundle->mutex);
    return bundle->load();
}

// CFBundleGetFunctionPointerForName. Loads the executable on first use; null when it cannot be
// loaded or does not define the name (macsim::bundleLastError says why).
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef name) {
    if (!bundle || !name)
        return nullptr;
    std::lock_guard lock(bundle->mutex);
    if (!bundle->load())
        return nullptr;
    dlerror();
    void* symbol = dlsym(bundle->handle, name->utf8().c_str());
    if (!symbol) {
        const char* why = dlerror();
        bundle->lastError = why ? why : name->utf8() + ": defined as null";
        return nullptr;
    }
    bundle->lastError.clear();
    return symbol;
}

} // extern "C"
