#include "AuthTool.h"

#include <cstring>
#include <string>
#include <string_view>

#include <macsim/Authority.h>
#include <macsim/Kernel.h>
#include <macsim/TextEncoding.h>

#include "AuthCommandRecord.h"

namespace authtool {

namespace {

using macsim::ExtensionBundle;
using macsim::Kernel;
using macsim::KernelStatus;

static_assert(kAuthExternalFormLength == std::tuple_size_v<macsim::AuthorizationBytes>);

// What one command needs between its check and its act.
struct Command {
    const macsim::Disk& disk;
    AuthCommandRecord record;
    std::string_view path; // the text before the terminator
    ExtensionBundle bundle;
    macsim::Processor processor;
};

AuthToolStatus toolStatus(KernelStatus status) {
    switch (status) {
    case KernelStatus::ok:
        return kAuthToolDone;
    case KernelStatus::stateUnreadable:
        return kAuthToolStateUnreadable;
    case KernelStatus::stateUnwritable:
        return kAuthToolStateUnwritable;
    case KernelStatus::hardwareUnreadable:
        return kAuthToolHardwareUnreadable;
    case KernelStatus::notABundle:
        return kAuthToolNotABundle;
    case KernelStatus::badInfoPlist:
        return kAuthToolBadInfoPlist;
    case KernelStatus::alreadyLoaded:
        return kAuthToolAlreadyLoaded;
    case KernelStatus::notLoaded:
        return kAuthToolNotLoaded;
    case KernelStatus::sysctlTaken:
        return kAuthToolSysctlTaken;
    case KernelStatus::speedRejected:
        return kAuthToolSpeedRejected;
    case KernelStatus::noSpeedControl:
        return kAuthToolNoSpeedControl;
    case KernelStatus::unknownSysctl:
        break; // the tool never names a sysctl
    }
    return kAuthToolStateUnreadable;
}

// The application spells the path in whatever 8-bit encoding its text conversion chose: UTF-8
// (how this file system spells names) or Mac Roman (its system encoding). Both are tried.
KernelStatus findBundle(Command& command) {
    const KernelStatus asGiven =
        macsim::readExtensionBundle(std::string(command.path), command.bundle);
    if (asGiven != KernelStatus::notABundle)
        return asGiven;
    const std::string decoded = macsim::macRomanToUtf8(command.path);
    if (decoded == command.path)
        return asGiven;
    return macsim::readExtensionBundle(decoded, command.bundle);
}

KernelStatus checkSpeed(Command& command) {
    if (const KernelStatus status = macsim::readProcessor(command.disk, command.processor);
        status != KernelStatus::ok)
        return status;
    return command.processor.accepts(command.record.argument) ? KernelStatus::ok
                                                              : KernelStatus::speedRejected;
}

KernelStatus load(Command& command) {
    return Kernel(command.disk).load(command.bundle);
}

KernelStatus unload(Command& command) {
    return Kernel(command.disk).unload(command.bundle.bundleId);
}

KernelStatus setSpeed(Command& command) {
    return Kernel(command.disk)
        .setSpeedThroughExtension(command.record.argument, command.processor);
}

struct Row {
    std::int32_t code;
    const char* name;
    KernelStatus (*check)(Command&);
    KernelStatus (*act)(Command&);
};

constexpr Row kCommands[] = {
    {cmdLoadKext, "load", findBundle, load},
    {cmdUnloadKext, "unload", findBundle, unload},
    {cmdSetSpeed, "set speed", checkSpeed, setSpeed},
};

AuthToolStatus fail(const macsim::Disk& disk, AuthToolStatus status, const std::string& why) {
    disk.log("authtool", "authtool: " + why + " (status " + std::to_string(status) + ")");
    return status;
}

std::string describeCommand(const Row& row, const Command& command) {
    if (row.code == cmdSetSpeed)
        return std::string(row.name) + " " + std::to_string(command.record.argument) + " MHz";
    return std::string(row.name) + " " + std::string(command.path);
}

} // namespace

AuthToolStatus run(const macsim::Disk& disk, std::span<const std::uint8_t> input) {
    if (input.size() < kAuthToolInputLength)
        return fail(disk, kAuthToolShortInput,
                    "short input: " + std::to_string(input.size()) + " of " +
                        std::to_string(kAuthToolInputLength) + " bytes");
    if (input.size() > kAuthToolInputLength)
        return fail(disk, kAuthToolLongInput,
                    "input longer than " + std::to_string(kAuthToolInputLength) + " bytes");

    macsim::AuthorizationBytes authorization;
    std::memcpy(authorization.data(), input.data(), authorization.size());
    if (!macsim::isAuthorizationLive(disk, authorization))
        return fail(disk, kAuthToolNotAuthorized, "the authorization is not live");

    Command command{disk, {}, {}, {}, {}};
    std::memcpy(&command.record, input.data() + kAuthExternalFormLength, sizeof command.record);
    if (command.record.leadWord != 1)
        return fail(disk, kAuthToolBadLeadWord,
                    "bad lead word " + std::to_string(command.record.leadWord));
    const Row* row = nullptr;
    for (const Row& candidate : kCommands)
        if (candidate.code == command.record.commandCode)
            row = &candidate;
    if (!row)
        return fail(disk, kAuthToolUnknownCommand,
                    "unknown command " + std::to_string(command.record.commandCode));
    const void* terminator = std::memchr(command.record.path, 0, sizeof command.record.path);
    if (!terminator)
        return fail(disk, kAuthToolUnterminatedPath, "the path is not terminated");
    command.path = std::string_view(command.record.path,
                                    static_cast<const char*>(terminator) - command.record.path);

    // Every check before any change: a command that fails its check changes nothing.
    KernelStatus status = row->check(command);
    if (status == KernelStatus::ok)
        status = row->act(command);
    if (status != KernelStatus::ok)
        return fail(disk, toolStatus(status),
                    describeCommand(*row, command) + ": " + macsim::describe(status));
    return kAuthToolDone;
}

} // namespace authtool
