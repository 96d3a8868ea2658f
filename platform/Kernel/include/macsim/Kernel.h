// The kernel of the simulated Mac: its state lives on the disk (private/var/run/kernel/state, a
// property list), so that the application, the helper tool and the machine tool, all separate
// processes, see one kernel. Every change is made under a file lock and written atomically;
// readers never see a half-written state and need no lock.
//
// The kernel holds the loaded extensions, the sysctl values they publish, and the processor's
// current speed. The processor itself (clock rate and the speeds it accepts) is described by the
// disk's Library/Hardware.plist.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <macsim/Disk.h>

namespace macsim {

enum class KernelStatus {
    ok,
    stateUnreadable,    // the kernel state file exists but is not a kernel state
    stateUnwritable,    // the lock or the new state could not be written
    hardwareUnreadable, // Library/Hardware.plist is missing or malformed
    notABundle,         // no kernel-extension bundle at the path
    badInfoPlist,       // the bundle's Info.plist is missing, malformed or incomplete
    alreadyLoaded,      // an extension with that bundle identifier is loaded
    notLoaded,          // no extension with that bundle identifier is loaded
    sysctlTaken,        // the extension publishes a name that another one already publishes
    speedRejected,      // the processor does not accept that speed
    noSpeedControl,     // no loaded extension controls the processor speed
    unknownSysctl,      // no sysctl of that name
};

// A short English description of a status, for logs and tool output.
const char* describe(KernelStatus status);

// The processor, from Library/Hardware.plist.
struct Processor {
    std::uint64_t clockRateHz = 0; // ProcessorClockRate
    std::uint32_t minimumMHz = 0;  // ProcessorMinimumSpeed (the clock rate when absent)
    std::uint32_t maximumMHz = 0;  // ProcessorMaximumSpeed (the clock rate when absent)

    std::uint32_t clockRateMHz() const { return static_cast<std::uint32_t>(clockRateHz / 1000000); }
    // A speed the processor can be set to: within the range, or its own clock rate.
    bool accepts(std::int64_t mhz) const;
};

// A kernel-extension bundle, as its Contents/Info.plist describes it.
struct ExtensionBundle {
    fs::path path;                         // the bundle folder
    std::string bundleId;                  // CFBundleIdentifier
    std::vector<std::string> speedSysctls; // names through which it publishes the speed in MHz
};

struct LoadedExtension {
    std::string bundleId;
    std::string path;
    bool operator==(const LoadedExtension&) const = default;
};

struct SysctlEntry {
    std::string name;         // "hw.cpuspeed"
    std::array<int, 2> mib{}; // top level, then the number given when it was published
    std::uint32_t value = 0;  // the raw 32-bit value
    std::string owner;        // the bundle identifier of the extension that publishes it
    bool operator==(const SysctlEntry&) const = default;
};

struct KernelState {
    std::optional<std::uint32_t> speedMHz; // none: the processor runs at its clock rate
    std::vector<LoadedExtension> extensions;
    std::vector<SysctlEntry> sysctls;

    const SysctlEntry* findSysctl(std::string_view name) const;
    const SysctlEntry* findSysctl(const int* mib, unsigned int levels) const;
    const LoadedExtension* findExtension(std::string_view bundleId) const;
    bool operator==(const KernelState&) const = default;
};

// The top-level names of sysctl ("kern", "hw" ...); nothing for an unknown one.
std::optional<int> sysctlTopLevel(std::string_view name);

// Reads a kernel-extension bundle: a folder named *.kext whose Contents/Info.plist is a dictionary
// with CFBundlePackageType "KEXT", a CFBundleIdentifier, and optionally MacsimSpeedSysctls, an
// array of two-level names ("hw.cpuspeed").
KernelStatus readExtensionBundle(const fs::path& path, ExtensionBundle& bundle);

// Reads the processor's description from the disk.
KernelStatus readProcessor(const Disk& disk, Processor& processor);

class Kernel {
public:
    explicit Kernel(const Disk& disk);

    fs::path stateFile() const;

    // The state as it stands; a missing state file is a freshly started kernel.
    KernelStatus read(KernelState& state) const;

    KernelStatus load(const ExtensionBundle& bundle);
    KernelStatus unload(std::string_view bundleId);
    // The machine's own speed change (power management): any speed from 1 MHz on.
    KernelStatus setSpeed(std::int64_t mhz);
    // A speed change commanded through a loaded extension that controls the speed: only to a
    // speed that processor (read by the caller) accepts.
    KernelStatus setSpeedThroughExtension(std::int64_t mhz, const Processor& processor);
    // Writes the raw value of a published sysctl, as a person with a kernel debugger would.
    KernelStatus setSysctlValue(std::string_view name, std::uint32_t value);

private:
    template <typename Edit> KernelStatus change(Edit edit);

    const Disk& disk_;
};

} // namespace macsim
