#include <CarbonCore/Gestalt.h>
#include <macsim/Disk.h>
#include <macsim/Plist.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace macsim {

namespace {

// "10.3.9" -> 0x1039. The major version takes two decimal digits; the minor and bug-fix
// versions one hex digit each, so 10.4.11 reads 0x104B, as the platform answered.
std::optional<SInt32> versionValue(const std::string& text) {
    int parts[3] = {0, 0, 0};
    std::size_t pos = 0;
    for (int i = 0; i < 3 && pos <= text.size(); ++i) {
        std::size_t digits = 0;
        long value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = std::min(value * 10 + (text[pos] - '0'), 1000L);
            ++pos;
            ++digits;
        }
        if (digits == 0) {
            if (i == 0)
                return std::nullopt;
            break;
        }
        parts[i] = int(value);
        if (pos >= text.size() || text[pos] != '.')
            break;
        ++pos;
    }
    const int major = std::min(parts[0], 99);
    return SInt32((major / 10) << 12 | (major % 10) << 8 | std::min(parts[1], 15) << 4 |
                  std::min(parts[2], 15));
}

std::optional<SInt32> systemVersion() {
    auto plist = plist::load(Disk::current().systemVersionFile());
    if (!plist)
        return std::nullopt;
    auto version = plist::lookupString(*plist, "ProductVersion");
    return version ? versionValue(*version) : std::nullopt;
}

std::optional<SInt32> clockRate() {
    auto plist = plist::load(Disk::current().hardwareFile());
    if (!plist)
        return std::nullopt;
    auto hertz = plist::lookupInteger(*plist, "ProcessorClockRate");
    if (!hertz)
        return std::nullopt;
    return SInt32(std::clamp<std::int64_t>(*hertz, std::numeric_limits<SInt32>::min(),
                                           std::numeric_limits<SInt32>::max()));
}

} // namespace

} // namespace macsim

// Gestalt
OSErr Gestalt(OSType selector, SInt32* response) {
    std::optional<SInt32> answer;
    switch (selector) {
    case gestaltSystemVersion:
        answer = macsim::systemVersion();
        break;
    case gestaltProcClkSpeed:
        answer = macsim::clockRate();
        break;
    default:
        return gestaltUndefSelectorErr;
    }
    if (!answer)
        return gestaltUnknownErr;
    if (!response)
        return paramErr;
    *response = *answer;
    return noErr;
}
