#include <macsim/MachineCommand.h>

#include <charconv>
#include <limits>
#include <span>
#include <system_error>

#include <macsim/Json.h>
#include <macsim/Kernel.h>
#include <macsim/Plist.h>

namespace macsim {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

using Args = std::span<const std::string>;

std::optional<std::int64_t> parseInteger(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return value;
}

bool isVersion(const std::string& text) {
    // Two or three dot-separated decimal components, as "10.3" or "10.1.5".
    int components = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot - start);
        if (part.empty() || part.size() > 4 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        ++components;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return components == 2 || components == 3;
}

int report(KernelStatus status, std::string& output) {
    if (status == KernelStatus::ok)
        return kDone;
    output = describe(status);
    return kFailed;
}

int showState(const Disk& disk, Args, std::string& output) {
    KernelState state;
    if (const KernelStatus status = Kernel(disk).read(state); status != KernelStatus::ok)
        return report(status, output);
    Processor processor;
    const bool haveProcessor = readProcessor(disk, processor) == KernelStatus::ok;

    json::Object cpu;
    if (haveProcessor)
        cpu.add("clockRate", processor.clockRateHz)
            .add("minimumSpeed", processor.minimumMHz)
            .add("maximumSpeed", processor.maximumMHz);
    else
        cpu.add("clockRate", nullptr).add("minimumSpeed", nullptr).add("maximumSpeed", nullptr);
    if (state.speedMHz)
        cpu.add("speed", *state.speedMHz);
    else if (haveProcessor)
        cpu.add("speed", processor.clockRateMHz());
    else
        cpu.add("speed", nullptr);

    json::Array extensions;
    for (const LoadedExtension& extension : state.extensions)
        extensions.add(
            json::Object().add("bundleId", extension.bundleId).add("path", extension.path));
    json::Array sysctls;
    for (const SysctlEntry& entry : state.sysctls)
        sysctls.add(json::Object()
                        .add("name", entry.name)
                        .add("mib", json::Array().add(entry.mib[0]).add(entry.mib[1]))
                        .add("value", entry.value)
                        .add("owner", entry.owner));

    const auto version = plist::load(disk.systemVersionFile());
    const auto productVersion =
        version ? plist::lookupString(*version, "ProductVersion") : std::nullopt;
    json::Object result;
    if (productVersion)
        result.add("systemVersion", *productVersion);
    else
        result.add("systemVersion", nullptr);
    output =
        result.add("processor", cpu).add("extensions", extensions).add("sysctls", sysctls).str();
    return kDone;
}

int setSpeed(const Disk& disk, Args args, std::string& output) {
    const auto mhz = parseInteger(args[0]);
    if (!mhz) {
        output = "speed: not a number: " + args[0];
        return kUsage;
    }
    return report(Kernel(disk).setSpeed(*mhz), output);
}

int load(const Disk& disk, Args args, std::string& output) {
    ExtensionBundle bundle;
    if (const KernelStatus status = readExtensionBundle(args[0], bundle);
        status != KernelStatus::ok)
        return report(status, output);
    return report(Kernel(disk).load(bundle), output);
}

int unload(const Disk& disk, Args args, std::string& output) {
    std::string bundleId = args[0];
    std::error_code error;
    if (fs::is_directory(args[0], error)) {
        ExtensionBundle bundle;
        if (const KernelStatus status = readExtensionBundle(args[0], bundle);
            status != KernelStatus::ok)
            return report(status, output);
        bundleId = bundle.bundleId;
    }
    return report(Kernel(disk).unload(bundleId), output);
}

int setSysctl(const Disk& disk, Args args, std::string& output) {
    // Either a signed or an unsigned 32-bit number: the raw bits are what is stored.
    const auto value = parseInteger(args[1]);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::uint32_t>::max()) {
        output = "sysctl: not a 32-bit number: " + args[1];
        return kUsage;
    }
    return report(Kernel(disk).setSysctlValue(args[0], static_cast<std::uint32_t>(*value)), output);
}

// Sets one key of a property-list file, keeping the rest; the file is left alone on failure.
int rewritePlist(const fs::path& file, std::string_view key, plist::Value value,
                 std::string& output) {
    std::string error;
    auto root = plist::load(file, &error);
    if (!root || !root->dict()) {
        output = file.filename().string() + ": " + (root ? "not a dictionary" : error);
        return kFailed;
    }
    root->set(key, std::move(value));
    if (!plist::save(file, *root)) {
        output = file.filename().string() + ": cannot be written";
        return kFailed;
    }
    return kDone;
}

int setVersion(const Disk& disk, Args args, std::string& output) {
    if (!isVersion(args[0])) {
        output = "version: not a version like 10.1.5: " + args[0];
        return kUsage;
    }
    return rewritePlist(disk.systemVersionFile(), "ProductVersion", args[0], output);
}

int setClock(const Disk& disk, Args args, std::string& output) {
    const auto hertz = parseInteger(args[0]);
    if (!hertz || *hertz < 1000000) {
        output = "clock: not a clock rate in Hz of at least 1000000: " + args[0];
        return kUsage;
    }
    return rewritePlist(disk.hardwareFile(), "ProcessorClockRate", *hertz, output);
}

struct Command {
    std::string_view name;
    std::size_t arguments;
    std::string_view usage;
    int (*run)(const Disk&, Args, std::string&);
};

constexpr Command kCommands[] = {
    {"state", 0, "state", showState},
    {"speed", 1, "speed MHZ", setSpeed},
    {"load", 1, "load PATH", load},
    {"unload", 1, "unload PATH|ID", unload},
    {"sysctl", 2, "sysctl NAME VALUE", setSysctl},
    {"version", 1, "version X.Y.Z", setVersion},
    {"clock", 1, "clock HZ", setClock},
};

std::string usage() {
    std::string text = "usage:";
    for (const Command& command : kCommands)
        text += std::string(text.back() == ':' ? " " : " | ") + std::string(command.usage);
    return text;
}

} // namespace

int runMachineCommand(const Disk& disk, const std::vector<std::string>& args, std::string& output) {
    output.clear();
    if (args.empty()) {
        output = usage();
        return kUsage;
    }
    for (const Command& command : kCommands) {
        if (command.name != args[0])
            continue;
        if (args.size() != command.arguments + 1) {
            output = "usage: " + std::string(command.usage);
            return kUsage;
        }
        return command.run(disk, Args(args).subspan(1), output);
    }
    output = "unknown command " + args[0] + "; " + usage();
    return kUsage;
}

} // namespace macsim
