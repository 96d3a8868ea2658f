// The disk's authority: the registry of live authorizations in private/var/db/auth. Each one is a
// file named by the hex of its 32 bytes, holding the creating process's id and start time, so that
// a recycled process id is not taken for the creator.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

#include <macsim/Disk.h>

namespace macsim {

using AuthorizationBytes = std::array<std::uint8_t, 32>;

// The registration file of an authorization (its bytes in lower-case hex).
fs::path authorizationFile(const Disk& disk, const AuthorizationBytes& bytes);

// Registers bytes as created by this process. False when the authority cannot be written.
bool registerAuthorization(const Disk& disk, const AuthorizationBytes& bytes);

// Forgets an authorization; forgetting one that is not registered is not an error.
void unregisterAuthorization(const Disk& disk, const AuthorizationBytes& bytes);

// True when bytes are registered and the process that registered them is still running.
bool isAuthorizationLive(const Disk& disk, const AuthorizationBytes& bytes);

// Removes the registrations whose creators have ended.
void forgetDeadAuthorizations(const Disk& disk);

// The start time of a running process (clock ticks since boot, from /proc/<pid>/stat).
std::optional<unsigned long long> processStartTime(pid_t pid);

} // namespace macsim
