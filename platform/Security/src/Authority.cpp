#include <macsim/Authority.h>

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace macsim {

namespace {

// A registration is two decimal numbers and a newline; anything longer is not ours.
constexpr std::size_t kMaxRegistrationSize = 64;

struct Registration {
    pid_t pid = 0;
    unsigned long long startTime = 0;
};

std::string hex(const AuthorizationBytes& bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0xF]);
    }
    return text;
}

bool isRegistrationName(const std::string& name) {
    if (name.size() != 2 * std::tuple_size_v<AuthorizationBytes>)
        return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

template <typename T> bool parseNumber(std::string_view& text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data())
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

std::optional<Registration> readRegistration(const fs::path& file) {
    const auto bytes = readFile(file, kMaxRegistrationSize);
    if (!bytes)
        return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    Registration registration;
    if (!parseNumber(text, registration.pid) || registration.pid <= 0)
        return std::nullopt;
    if (text.empty() || text.front() != ' ')
        return std::nullopt;
    text.remove_prefix(1);
    if (!parseNumber(text, registration.startTime))
        return std::nullopt;
    if (text != "\n")
        return std::nullopt;
    return registration;
}

bool creatorRuns(const Registration& registration) {
    const auto startTime = processStartTime(registration.pid);
    return startTime && *startTime == registration.startTime;
}

} // namespace

std::optional<unsigned long long> processStartTime(pid_t pid) {
    // Files under /proc report no size, so they are read until end of file.
    char buffer[1024];
    const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::size_t length = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer + length, sizeof buffer - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        length += static_cast<std::size_t>(got);
        if (length == sizeof buffer)
            break;
    }
    close(fd);
    std::string_view text(buffer, length);
    // The command name in parentheses may hold spaces and parentheses itself; the fields that
    // follow start after the last ')'. The start time is field 22, the 20th after the name.
    const auto close = text.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(close + 1);
    for (int field = 0; field < 19; ++field) {
        const auto space = text.find(' ', 1);
        if (space == std::string_view::npos)
            return std::nullopt;
        text.remove_prefix(space);
    }
    if (text.empty() || text.front() != ' ')
        return std::nullopt;
    text.remove_prefix(1);
    unsigned long long startTime = 0;
    if (!parseNumber(text, startTime))
        return std::nullopt;
    return startTime;
}

fs::path authorizationFile(const Disk& disk, const AuthorizationBytes& bytes) {
    return disk.authorityFolder() / hex(bytes);
}

bool registerAuthorization(const Disk& disk, const AuthorizationBytes& bytes) {
    const pid_t pid = getpid();
    const auto startTime = processStartTime(pid);
    if (!startTime)
        return false;
    const std::string text = std::to_string(pid) + ' ' + std::to_string(*startTime) + '\n';
    return writeFileAtomically(authorizationFile(disk, bytes),
                               {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                               fs::perms::owner_read | fs::perms::owner_write);
}

void unregisterAuthorization(const Disk& disk, const AuthorizationBytes& bytes) {
    std::error_code ignored;
    fs::remove(authorizationFile(disk, bytes), ignored);
}

bool isAuthorizationLive(const Disk& disk, const AuthorizationBytes& bytes) {
    const auto registration = readRegistration(authorizationFile(disk, bytes));
    return registration && creatorRuns(*registration);
}

void forgetDeadAuthorizations(const Disk& disk) {
    std::error_code error;
    for (fs::directory_iterator it(disk.authorityFolder(), error), end; !error && it != end;
         it.increment(error)) {
        if (!isRegistrationName(it->path().filename().string()))
            continue;
        // An unreadable registration is left alone: it may be half made by its creator.
        const auto registration = readRegistration(it->path());
        if (registration && !creatorRuns(*registration)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

} // namespace macsim
