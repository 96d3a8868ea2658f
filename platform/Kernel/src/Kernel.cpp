#include <macsim/Kernel.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <unistd.h>

#include <macsim/Plist.h>
#include <macsim/TextEncoding.h>

namespace macsim {

namespace {

// Far more than a kernel state or an Info.plist ever holds.
constexpr std::size_t kMaxStateSize = 1 << 20;
constexpr std::size_t kMaxInfoPlistSize = 1 << 16;
// Numbers given to published names under each top level start here, as on the original kernel.
constexpr int kFirstDynamicNumber = 100;
constexpr std::size_t kMaxSysctlsPerExtension = 16;

constexpr std::uint32_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

struct TopLevel {
    std::string_view name;
    int number;
};
constexpr TopLevel kTopLevels[] = {
    {"kern", 1},  {"vm", 2}, {"vfs", 3},     {"net", 4},
    {"debug", 5}, {"hw", 6}, {"machdep", 7}, {"user", 8},
};

bool isLeafName(std::string_view leaf) {
    if (leaf.empty() || leaf.size() > 64)
        return false;
    return std::all_of(leaf.begin(), leaf.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

// "top.leaf" with a known top level: the only names an extension may publish.
std::optional<int> publishableTopLevel(std::string_view name) {
    const auto dot = name.find('.');
    if (dot == std::string_view::npos || !isLeafName(name.substr(dot + 1)))
        return std::nullopt;
    return sysctlTopLevel(name.substr(0, dot));
}

std::optional<std::uint32_t> asU32(const plist::Value* value) {
    const std::int64_t* number = value ? value->integer() : nullptr;
    if (!number || *number < 0 || *number > std::int64_t{kMaxU32})
        return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

const std::string* asNonEmptyString(const plist::Value* value) {
    const std::string* text = value ? value->string() : nullptr;
    return text && !text->empty() ? text : nullptr;
}

std::optional<KernelState> fromPlist(const plist::Value& root) {
    if (!root.dict())
        return std::nullopt;
    KernelState state;
    if (const plist::Value* speed = root.find("ProcessorSpeed")) {
        const auto mhz = asU32(speed);
        if (!mhz || *mhz == 0)
            return std::nullopt;
        state.speedMHz = mhz;
    }
    if (const plist::Value* extensions = root.find("Extensions")) {
        if (!extensions->array())
            return std::nullopt;
        for (const plist::Value& item : *extensions->array()) {
            const std::string* id = asNonEmptyString(item.find("BundleIdentifier"));
            const std::string* path = asNonEmptyString(item.find("Path"));
            if (!id || !path || state.findExtension(*id))
                return std::nullopt;
            state.extensions.push_back({*id, *path});
        }
    }
    if (const plist::Value* sysctls = root.find("Sysctls")) {
        if (!sysctls->array())
            return std::nullopt;
        for (const plist::Value& item : *sysctls->array()) {
            SysctlEntry entry;
            const std::string* name = asNonEmptyString(item.find("Name"));
            const std::string* owner = asNonEmptyString(item.find("Owner"));
            const plist::Value* mib = item.find("MIB");
            const auto value = asU32(item.find("Value"));
            if (!name || !owner || !value || !mib || !mib->array() || mib->array()->size() != 2)
                return std::nullopt;
            for (std::size_t level = 0; level < 2; ++level) {
                const auto number = asU32(&(*mib->array())[level]);
                if (!number || *number > std::uint32_t{std::numeric_limits<int>::max()})
                    return std::nullopt;
                entry.mib[level] = static_cast<int>(*number);
            }
            if (publishableTopLevel(*name) != entry.mib[0] || state.findSysctl(*name) ||
                state.findSysctl(entry.mib.data(), 2))
                return std::nullopt;
            entry.name = *name;
            entry.owner = *owner;
            entry.value = *value;
            state.sysctls.push_back(std::move(entry));
        }
    }
    return state;
}

plist::Value toPlist(const KernelState& state) {
    plist::Value root{plist::Dict{}};
    if (state.speedMHz)
        root.set("ProcessorSpeed", std::int64_t{*state.speedMHz});
    plist::Array extensions;
    for (const LoadedExtension& extension : state.extensions) {
        plist::Value item{plist::Dict{}};
        item.set("BundleIdentifier", extension.bundleId);
        item.set("Path", extension.path);
        extensions.push_back(std::move(item));
    }
    root.set("Extensions", std::move(extensions));
    plist::Array sysctls;
    for (const SysctlEntry& entry : state.sysctls) {
        plist::Value item{plist::Dict{}};
        item.set("Name", entry.name);
        item.set("MIB", plist::Array{entry.mib[0], entry.mib[1]});
        item.set("Value", std::int64_t{entry.value});
        item.set("Owner", entry.owner);
        sysctls.push_back(std::move(item));
    }
    root.set("Sysctls", std::move(sysctls));
    return root;
}

int freeNumber(const KernelState& state, int topLevel) {
    int number = kFirstDynamicNumber;
    while (std::any_of(state.sysctls.begin(), state.sysctls.end(), [&](const SysctlEntry& entry) {
        return entry.mib[0] == topLevel && entry.mib[1] == number;
    }))
        ++number;
    return number;
}

// The kernel state is a property list: a path it keeps must be text that XML can carry.
bool isStorablePath(const std::string& path) {
    return isValidUtf8(path) && std::none_of(path.begin(), path.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
           });
}

// A new state goes to a temporary file that then takes the old one's place in one step, so
// readers see the old or the new state and never a half-written one. Two costs of the usual
// replace-by-rename are avoided, as each would be most of the cost of every command: the flush to
// the medium (the kernel state is run state, private/var/run, which on the original does not
// outlive the machine's shutdown), and the flush some file systems force when a rename replaces a
// file; exchanging the two names and then removing the old state needs neither.
bool writeState(const fs::path& file, const std::string& text) {
    // Writers hold the kernel's lock, so one temporary name does. It is always a new file: the
    // old state may still be open in a reader, and must not be written over.
    const fs::path temp = file.parent_path() / ".state.new";
    const auto create = [&] {
        return open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644);
    };
    int fd = create();
    if (fd < 0 && errno == EEXIST) { // left by a writer that did not finish
        unlink(temp.c_str());
        fd = create();
    }
    if (fd < 0)
        return false;
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t got = write(fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        written = got > 0;
        done += written ? static_cast<std::size_t>(got) : 0;
    }
    if (close(fd) != 0 || !written) {
        unlink(temp.c_str());
        return false;
    }
    // Without an old state (or where names cannot be exchanged), a plain rename does it.
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, file.c_str(), RENAME_EXCHANGE) != 0 &&
        rename(temp.c_str(), file.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    unlink(temp.c_str()); // the old state, after an exchange
    return true;
}

bool controlsSpeed(const KernelState& state) {
    return !state.sysctls.empty();
}

// The processor runs at mhz, and every published speed says so.
void applySpeed(KernelState& state, std::uint32_t mhz) {
    state.speedMHz = mhz;
    for (SysctlEntry& entry : state.sysctls)
        entry.value = mhz;
}

} // namespace

const char* describe(KernelStatus status) {
    switch (status) {
    case KernelStatus::ok:
        return "done";
    case KernelStatus::stateUnreadable:
        return "the kernel state is unreadable";
    case KernelStatus::stateUnwritable:
        return "the kernel state cannot be written";
    case KernelStatus::hardwareUnreadable:
        return "the hardware description is missing or malformed";
    case KernelStatus::notABundle:
        return "not a kernel-extension bundle";
    case KernelStatus::badInfoPlist:
        return "the extension's Info.plist is missing, malformed or incomplete";
    case KernelStatus::alreadyLoaded:
        return "the extension is already loaded";
    case KernelStatus::notLoaded:
        return "the extension is not loaded";
    case KernelStatus::sysctlTaken:
        return "a name the extension publishes is already published";
    case KernelStatus::speedRejected:
        return "the processor does not accept that speed";
    case KernelStatus::noSpeedControl:
        return "no loaded extension controls the processor speed";
    case KernelStatus::unknownSysctl:
        return "no such sysctl";
    }
    return "unknown kernel status";
}

bool Processor::accepts(std::int64_t mhz) const {
    return mhz == std::int64_t{clockRateMHz()} || (mhz >= minimumMHz && mhz <= maximumMHz);
}

const SysctlEntry* KernelState::findSysctl(std::string_view name) const {
    for (const SysctlEntry& entry : sysctls)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

const SysctlEntry* KernelState::findSysctl(const int* mib, unsigned int levels) const {
    if (levels != 2)
        return nullptr;
    for (const SysctlEntry& entry : sysctls)
        if (entry.mib[0] == mib[0] && entry.mib[1] == mib[1])
            return &entry;
    return nullptr;
}

const LoadedExtension* KernelState::findExtension(std::string_view bundleId) const {
    for (const LoadedExtension& extension : extensions)
        if (extension.bundleId == bundleId)
            return &extension;
    return nullptr;
}

std::optional<int> sysctlTopLevel(std::string_view name) {
    for (const TopLevel& top : kTopLevels)
        if (top.name == name)
            return top.number;
    return std::nullopt;
}

KernelStatus readExtensionBundle(const fs::path& path, ExtensionBundle& bundle) {
    std::error_code error;
    if (!isStorablePath(path.native()) || !path.is_absolute() || path.extension() != ".kext" ||
        !fs::is_directory(path, error))
        return KernelStatus::notABundle;
    const auto info = plist::load(path / "Contents/Info.plist", nullptr, kMaxInfoPlistSize);
    if (!info || plist::lookupString(*info, "CFBundlePackageType") != "KEXT")
        return KernelStatus::badInfoPlist;
    const std::string* id = asNonEmptyString(info->find("CFBundleIdentifier"));
    if (!id)
        return KernelStatus::badInfoPlist;
    ExtensionBundle result;
    result.path = path;
    result.bundleId = *id;
    if (const plist::Value* names = info->find("MacsimSpeedSysctls")) {
        if (!names->array() || names->array()->size() > kMaxSysctlsPerExtension)
            return KernelStatus::badInfoPlist;
        for (const plist::Value& name : *names->array()) {
            const std::string* text = name.string();
            if (!text || !publishableTopLevel(*text) ||
                std::find(result.speedSysctls.begin(), result.speedSysctls.end(), *text) !=
                    result.speedSysctls.end())
                return KernelStatus::badInfoPlist;
            result.speedSysctls.push_back(*text);
        }
    }
    bundle = std::move(result);
    return KernelStatus::ok;
}

KernelStatus readProcessor(const Disk& disk, Processor& processor) {
    const auto hardware = plist::load(disk.hardwareFile(), nullptr, kMaxInfoPlistSize);
    if (!hardware || !hardware->dict())
        return KernelStatus::hardwareUnreadable;
    const auto clockRate = plist::lookupInteger(*hardware, "ProcessorClockRate");
    if (!clockRate || *clockRate < 1000000 || *clockRate / 1000000 > std::int64_t{kMaxU32})
        return KernelStatus::hardwareUnreadable;
    Processor result;
    result.clockRateHz = static_cast<std::uint64_t>(*clockRate);
    result.minimumMHz = result.maximumMHz = result.clockRateMHz();
    for (auto [key, field] : {std::pair{"ProcessorMinimumSpeed", &result.minimumMHz},
                              std::pair{"ProcessorMaximumSpeed", &result.maximumMHz}}) {
        if (const plist::Value* value = hardware->find(key)) {
            const auto mhz = asU32(value);
            if (!mhz || *mhz == 0)
                return KernelStatus::hardwareUnreadable;
            *field = *mhz;
        }
    }
    if (result.minimumMHz > result.maximumMHz)
        return KernelStatus::hardwareUnreadable;
    processor = result;
    return KernelStatus::ok;
}

Kernel::Kernel(const Disk& disk) : disk_(disk) {}

fs::path Kernel::stateFile() const {
    return disk_.kernelStateFile();
}

namespace {

// The state this process parsed last, with the text it was parsed from. Every sysctl call reads
// the state, the application several times a second: a read that finds the same text takes the
// parsed state again instead of parsing it anew. The text is compared whole, since neither file
// identities nor times tell every change apart (a freed inode comes back within one clock tick).
struct ParsedState {
    fs::path file;
    std::vector<std::uint8_t> text;
    KernelState state;
};

std::mutex parsedStateLock;
std::optional<ParsedState> parsedState;

} // namespace

KernelStatus Kernel::read(KernelState& state) const {
    const fs::path& file = disk_.kernelStateFile();
    auto text = readFile(file, kMaxStateSize);
    if (!text && errno == ENOENT) {
        state = KernelState{};
        return KernelStatus::ok;
    }
    if (!text)
        return KernelStatus::stateUnreadable;
    {
        const std::lock_guard guard(parsedStateLock);
        if (parsedState && parsedState->file == file && parsedState->text == *text) {
            state = parsedState->state;
            return KernelStatus::ok;
        }
    }
    const auto root = plist::parse(std::span<const std::uint8_t>(*text), nullptr, kMaxStateSize);
    auto parsed = root ? fromPlist(*root) : std::nullopt;
    if (!parsed)
        return KernelStatus::stateUnreadable;
    state = *parsed;
    const std::lock_guard guard(parsedStateLock);
    parsedState = ParsedState{file, std::move(*text), std::move(*parsed)};
    return KernelStatus::ok;
}

template <typename Edit> KernelStatus Kernel::change(Edit edit) {
    const fs::path lockFile = disk_.kernelFolder() / "state.lock";
    std::optional<FileLock> lock(std::in_place, lockFile);
    if (!lock->held()) {
        // A disk laid out by hand may lack the kernel's folder.
        std::error_code error;
        fs::create_directories(disk_.kernelFolder(), error);
        lock.emplace(lockFile);
        if (!lock->held())
            return KernelStatus::stateUnwritable;
    }
    KernelState state;
    if (const KernelStatus status = read(state); status != KernelStatus::ok)
        return status;
    if (const KernelStatus status = edit(state); status != KernelStatus::ok)
        return status;
    if (!writeState(stateFile(), plist::serialize(toPlist(state))))
        return KernelStatus::stateUnwritable;
    return KernelStatus::ok;
}

KernelStatus Kernel::load(const ExtensionBundle& bundle) {
    return change([&](KernelState& state) {
        if (state.findExtension(bundle.bundleId))
            return KernelStatus::alreadyLoaded;
        for (const std::string& name : bundle.speedSysctls)
            if (state.findSysctl(name))
                return KernelStatus::sysctlTaken;
        std::uint32_t speed = 0;
        if (!bundle.speedSysctls.empty()) {
            if (state.speedMHz) {
                speed = *state.speedMHz;
            } else {
                Processor processor;
                if (const KernelStatus status = readProcessor(disk_, processor);
                    status != KernelStatus::ok)
                    return status;
                speed = processor.clockRateMHz();
            }
        }
        state.extensions.push_back({bundle.bundleId, bundle.path.string()});
        for (const std::string& name : bundle.speedSysctls) {
            const int top = *publishableTopLevel(name);
            state.sysctls.push_back({name, {top, freeNumber(state, top)}, speed, bundle.bundleId});
        }
        return KernelStatus::ok;
    });
}

KernelStatus Kernel::unload(std::string_view bundleId) {
    return change([&](KernelState& state) {
        const auto extension = std::find_if(
            state.extensions.begin(), state.extensions.end(),
            [&](const LoadedExtension& loaded) { return loaded.bundleId == bundleId; });
        if (extension == state.extensions.end())
            return KernelStatus::notLoaded;
        state.extensions.erase(extension);
        const auto published = std::erase_if(
            state.sysctls, [&](const SysctlEntry& entry) { return entry.owner == bundleId; });
        // Without the extension that drove it, the processor falls back to its clock rate.
        if (published > 0)
            state.speedMHz.reset();
        return KernelStatus::ok;
    });
}

KernelStatus Kernel::setSpeed(std::int64_t mhz) {
    if (mhz < 1 || mhz > std::int64_t{kMaxU32})
        return KernelStatus::speedRejected;
    return change([&](KernelState& state) {
        applySpeed(state, static_cast<std::uint32_t>(mhz));
        return KernelStatus::ok;
    });
}

KernelStatus Kernel::setSpeedThroughExtension(std::int64_t mhz, const Processor& processor) {
    if (!processor.accepts(mhz))
        return KernelStatus::speedRejected;
    return change([&](KernelState& state) {
        if (!controlsSpeed(state))
            return KernelStatus::noSpeedControl;
        applySpeed(state, static_cast<std::uint32_t>(mhz));
        return KernelStatus::ok;
    });
}

KernelStatus Kernel::setSysctlValue(std::string_view name, std::uint32_t value) {
    return change([&](KernelState& state) {
        for (SysctlEntry& entry : state.sysctls) {
            if (entry.name == name) {
                entry.value = value;
                return KernelStatus::ok;
            }
        }
        return KernelStatus::unknownSysctl;
    });
}

} // namespace macsim
