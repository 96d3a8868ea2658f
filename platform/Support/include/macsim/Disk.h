// The simulated Mac is a directory: its start-up disk. Everything a real machine keeps in the
// kernel, the window server or on disk lives under it. A process finds its disk by walking up
// from its own executable to the first folder that holds the system version file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace macsim {

namespace fs = std::filesystem;

class Disk {
public:
    explicit Disk(fs::path root);

    // The disk of this process: the one named by useDisk(), else $MACSIM_DISK, else the one found
    // by walking up from /proc/self/exe. A process that is on no disk stops with a one-line error
    // on standard error and exit status 70.
    static Disk& current();
    // Makes root the disk of this process (in-process tests).
    static void use(const fs::path& root);
    // The first folder at or above start that holds
    // System/Library/CoreServices/SystemVersion.plist.
    static std::optional<fs::path> find(const fs::path& start);

    const fs::path& root() const { return root_; }
    fs::path systemVersionFile() const;  // System/Library/CoreServices/SystemVersion.plist
    fs::path hardwareFile() const;       // Library/Hardware.plist
    fs::path frameworksFolder() const;   // System/Library/Frameworks
    fs::path applicationsFolder() const; // Applications
    fs::path homeFolder() const;         // Users/<login of this process>
    fs::path preferencesFolder() const;  // Users/<login>/Library/Preferences
    fs::path kernelFolder() const;       // private/var/run/kernel
    const fs::path& kernelStateFile() const { return kernelStateFile_; } // kernel/state
    fs::path authorityFolder() const;                                    // private/var/db/auth
    fs::path systemLogFile() const; // private/var/log/system.log

    // Appends one line "<date> <process>[<pid>]: <text>" to the system log.
    void log(std::string_view process, std::string_view text) const;

private:
    fs::path root_;
    fs::path kernelFolder_;
    fs::path kernelStateFile_; // every sysctl call reads it
};

// The login name of this process's user.
std::string loginName();

// Reads a whole file of at most maxSize bytes; nothing when it is missing, unreadable, not a
// regular file, or larger. errno is ENOENT after a failure exactly when the file is missing.
std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path, std::size_t maxSize);

// Replaces path with bytes: written to a temporary file in the same folder, flushed, then renamed
// over the old file, so that readers see the old or the new file and never a half-written one.
// False (and the old file untouched) when anything fails.
bool writeFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                         fs::perms perms = fs::perms::owner_read | fs::perms::owner_write |
                                           fs::perms::group_read | fs::perms::others_read);

// Appends bytes to path (made with perms 0644 when missing) with one write() on a file opened
// for appending, so that lines of several processes never interleave. False when that fails.
bool appendToFile(const fs::path& path, std::string_view bytes);

// An exclusive advisory lock on a lock file (made when missing), held for the object's life.
// The constructor waits until the lock is free; held() is false when the file cannot be opened.
class FileLock {
public:
    explicit FileLock(const fs::path& lockFile);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace macsim
