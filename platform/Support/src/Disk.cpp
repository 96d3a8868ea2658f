#include "macsim/Disk.h"

#include "macsim/NoDestructor.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace macsim {

namespace {

constexpr const char* kSystemVersion = "System/Library/CoreServices/SystemVersion.plist";
// Exit status of a process that cannot find its configuration (the BSD EX_SOFTWARE).
constexpr int kNoDiskStatus = 70;

struct CurrentDisk {
    std::mutex mutex;
    std::optional<Disk> disk;
};

CurrentDisk& currentDisk() {
    static NoDestructor<CurrentDisk> current;
    return *current;
}

[[noreturn]] void stopWithoutDisk(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
    std::exit(kNoDiskStatus);
}

Disk locateDisk() {
    if (const char* named = std::getenv("MACSIM_DISK"); named && *named) {
        std::error_code ec;
        const fs::path root = fs::absolute(named, ec);
        if (ec || !fs::is_regular_file(root / kSystemVersion, ec))
            stopWithoutDisk(std::string("MACSIM_DISK=") + named +
                            " is not a simulated Mac disk (no " + kSystemVersion + " in it)");
        return Disk(root);
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        if (auto root = Disk::find(exe.parent_path()))
            return Disk(*root);
    }
    stopWithoutDisk(std::string("not on a simulated Mac disk (no ") + kSystemVersion + " above " +
                    (ec ? std::string("/proc/self/exe") : exe.string()) + ")");
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, reporting whether the close itself worked (it may report a failed write).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

} // namespace

Disk::Disk(fs::path root)
    : root_(std::move(root)), kernelFolder_(root_ / "private/var/run/kernel"),
      kernelStateFile_(kernelFolder_ / "state") {}

Disk& Disk::current() {
    auto& current = currentDisk();
    std::lock_guard lock(current.mutex);
    if (!current.disk)
        current.disk.emplace(locateDisk());
    return *current.disk;
}

void Disk::use(const fs::path& root) {
    auto& current = currentDisk();
    std::lock_guard lock(current.mutex);
    // Assigned in place, so references handed out by current() stay valid.
    if (current.disk)
        *current.disk = Disk(root);
    else
        current.disk.emplace(root);
}

std::optional<fs::path> Disk::find(const fs::path& start) {
    std::error_code ec;
    fs::path folder = fs::absolute(start, ec);
    if (ec)
        return std::nullopt;
    while (true) {
        if (fs::is_regular_file(folder / kSystemVersion, ec))
            return folder;
        if (!folder.has_relative_path())
            return std::nullopt;
        folder = folder.parent_path();
    }
}

fs::path Disk::systemVersionFile() const {
    return root_ / kSystemVersion;
}
fs::path Disk::hardwareFile() const {
    return root_ / "Library/Hardware.plist";
}
fs::path Disk::frameworksFolder() const {
    return root_ / "System/Library/Frameworks";
}
fs::path Disk::applicationsFolder() const {
    return root_ / "Applications";
}
fs::path Disk::homeFolder() const {
    return root_ / "Users" / loginName();
}
fs::path Disk::preferencesFolder() const {
    return homeFolder() / "Library/Preferences";
}
fs::path Disk::kernelFolder() const {
    return kernelFolder_;
}
fs::path Disk::authorityFolder() const {
    return root_ / "private/var/db/auth";
}
fs::path Disk::systemLogFile() const {
    return root_ / "private/var/log/system.log";
}

void Disk::log(std::string_view process, std::string_view text) const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%b %e %H:%M:%S", &local);

    std::string line =
        std::string(date) + " " + std::string(process) + "[" + std::to_string(::getpid()) + "]: ";
    // One message is one line, whatever it holds.
    for (char c : text)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    appendToFile(systemLogFile(), line);
}

std::string loginName() {
    std::string name;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        name = found->pw_name;
    else if (const char* user = std::getenv("USER"))
        name = user;
    // The name becomes a folder name: never let it climb out of Users.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        name = "root";
    return name;
}

std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path, std::size_t maxSize) {
    // Not blocking: a FIFO put where a file belongs would otherwise wait for a writer forever.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return std::nullopt;
    if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > maxSize) {
        errno = S_ISREG(info.st_mode) ? EFBIG : EINVAL;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            // The file may have grown since fstat: read on, up to one byte past the cap.
            if (bytes.size() > maxSize) {
                errno = EFBIG;
                return std::nullopt;
            }
            bytes.resize(std::min(maxSize + 1, bytes.size() + 4096));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > maxSize) {
        errno = EFBIG;
        return std::nullopt;
    }
    bytes.resize(filled);
    return bytes;
}

bool writeFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                         fs::perms perms) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        return false;
    const bool written = writeAll(fd.get(), bytes.data(), bytes.size()) &&
                         ::fchmod(fd.get(), static_cast<mode_t>(perms) & 07777) == 0 &&
                         ::fsync(fd.get()) == 0;
    if (!fd.close() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself survive a crash.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

bool appendToFile(const fs::path& path, std::string_view bytes) {
    FileDescriptor fd(
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
    if (fd.get() < 0)
        return false;
    // One write() call: a short write to a regular file only happens when the disk is full.
    while (true) {
        const ssize_t written = ::write(fd.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        return written == static_cast<ssize_t>(bytes.size());
    }
}

FileLock::FileLock(const fs::path& lockFile) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd_ < 0)
        return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace macsim
