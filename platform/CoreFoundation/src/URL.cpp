#include "macsim/CFURL.h"

#include "macsim/CFString.h"
#include "macsim/Object.h"

#include <cctype>
#include <cstring>
#include <string>

struct __CFURL : macsim::Object {
    enum class Kind { File, Web };

    __CFURL(Kind kind, std::string string, std::string path)
        : kind(kind), path(std::move(path)), string(macsim::makeString(string)) {}
    ~__CFURL() override { CFRelease(string); }
    const char* typeName() const noexcept override { return "CFURL"; }

    const Kind kind;
    // File URLs: the POSIX path, bytes as the file system has them, never with a trailing slash
    // except for "/" itself.
    const std::string path;
    // The string form, made once, owned by the URL.
    const CFStringRef string;
};

namespace macsim {

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool isSubDelimiter(unsigned char c) {
    return std::strchr("!$&'()*+,;=", c) && c != '\0';
}

// Characters a path segment may hold as they are; all others are percent-encoded.
bool isPathCharacter(unsigned char c) {
    return isUnreserved(c) || isSubDelimiter(c) || c == ':' || c == '@';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string percentEncode(std::string_view text, bool keepSlashes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isPathCharacter(c) || (keepSlashes && c == '/')) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Nothing when an escape is malformed or stands for a NUL, which no path can hold.
std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// A URL string may hold only these characters; anything else (spaces, non-ASCII) must arrive
// percent-encoded, as with the original, which refuses such strings.
bool isLegalURLString(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0)
                return false;
        } else if (!isUnreserved(c) && !isSubDelimiter(c) && !std::strchr(":/?#[]@", c)) {
            return false;
        }
    }
    return true;
}

// Collapses repeated slashes and drops a trailing one; "" for a path that is not absolute.
std::string normalizedPath(std::string_view path) {
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos)
        return {};
    std::string out;
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

CFURLRef makeFile(std::string_view rawPath, bool isDirectory) {
    std::string path = normalizedPath(rawPath);
    if (path.empty())
        return nullptr;
    std::string string = "file://" + percentEncode(path, true);
    if (isDirectory && path != "/")
        string += '/';
    return new __CFURL(__CFURL::Kind::File, std::move(string), std::move(path));
}

std::string currentFolder() {
    std::error_code ec;
    const auto folder = std::filesystem::current_path(ec);
    return ec ? std::string("/") : folder.string();
}

// A file URL for an absolute path, or for a relative one taken from the current folder.
CFURLRef makeFileFromAnyPath(std::string_view text, bool isDirectory) {
    if (text.front() == '/')
        return makeFile(text, isDirectory);
    return makeFile(currentFolder() + "/" + std::string(text), isDirectory);
}

} // namespace

CFURLRef makeFileURL(const std::filesystem::path& path, bool isDirectory) {
    return makeFile(path.native(), isDirectory);
}

std::optional<std::filesystem::path> fileURLPath(CFURLRef url) {
    if (!url || url->kind != __CFURL::Kind::File)
        return std::nullopt;
    return std::filesystem::path(url->path);
}

} // namespace macsim

extern "C" {

// CFURLCreateWithString
// FIXME: relative references are not resolved (against base or otherwise): they give null.
CFURLRef CFURLCreateWithString(CFAllocatorRef, CFStringRef text, CFURLRef) {
    if (!text)
        return nullptr;
    const std::string& string = text->utf8();
    if (string.empty() || !macsim::isLegalURLString(string))
        return nullptr;
    const auto colon = string.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(string[0]))
        return nullptr;
    for (std::size_t i = 1; i < colon; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(string[i])) && !std::strchr("+-.", string[i]))
            return nullptr;
    }
    std::string scheme = string.substr(0, colon);
    for (char& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "file")
        return new __CFURL(__CFURL::Kind::Web, string, {});

    std::string_view rest = std::string_view(string).substr(colon + 1);
    if (!rest.starts_with("//"))
        return nullptr;
    rest.remove_prefix(2);
    const auto slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost")
        return nullptr;
    std::string_view encodedPath = slash == std::string_view::npos ? "/" : rest.substr(slash);
    encodedPath = encodedPath.substr(0, encodedPath.find_first_of("?#"));
    const auto path = macsim::percentDecode(encodedPath);
    if (!path)
        return nullptr;
    return macsim::makeFile(*path, path->ends_with('/'));
}

// CFURLCreateWithFileSystemPath. A relative path is taken from the current folder.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef path, CFURLPathStyle,
                                       Boolean isDirectory) {
    if (!path || path->utf8().empty())
        return nullptr;
    return macsim::makeFileFromAnyPath(path->utf8(), isDirectory);
}

// CFURLCreateFromFileSystemRepresentation
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* path, CFIndex length,
                                                 Boolean isDirectory) {
    if (!path || length <= 0)
        return nullptr;
    return macsim::makeFileFromAnyPath(
        std::string_view(reinterpret_cast<const char*>(path), static_cast<std::size_t>(length)),
        isDirectory);
}

// CFURLCreateCopyAppendingPathComponent
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef component,
                                               Boolean isDirectory) {
    if (!url || !component)
        return nullptr;
    const std::string& name = component->utf8();
    if (url->kind == __CFURL::Kind::File)
        return macsim::makeFile(url->path + "/" + name, isDirectory);
    std::string string = url->string->utf8();
    if (!string.ends_with('/'))
        string += '/';
    string += macsim::percentEncode(name, false);
    if (isDirectory)
        string += '/';
    return new __CFURL(__CFURL::Kind::Web, std::move(string), {});
}

// CFURLGetFileSystemRepresentation. Every URL made here is absolute, so there is no base to
// resolve against. When the path does not fit, the buffer is left holding an empty string, so a
// caller that does not look at the result reads no stale or partial path.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxLength) {
    if (!buffer || maxLength <= 0)
        return false;
    buffer[0] = '\0';
    if (!url || url->kind != __CFURL::Kind::File)
        return false;
    const std::string& path = url->path;
    if (path.size() + 1 > static_cast<std::size_t>(maxLength))
        return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

// CFURLCopyFileSystemPath
// FIXME: only file URLs have a path here; web addresses give null.
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle) {
    if (!url || url->kind != __CFURL::Kind::File)
        return nullptr;
    return macsim::makeString(url->path);
}

// CFURLGetString: owned by the URL.
CFStringRef CFURLGetString(CFURLRef url) {
    return url ? url->string : nullptr;
}

} // extern "C"
