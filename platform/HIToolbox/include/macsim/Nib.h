// Nib files: our own XML format for menu bars and windows (docs/nib-format.md). Read whole, size
// capped, every attribute checked; a nib that cannot be read is refused as a whole.
#pragma once

#include <macsim/WindowServer.h>

#include <MacTypes.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace macsim {

struct NibMenuBar {
    std::string name;
    std::vector<Menu> menus;
};

struct NibWindow {
    std::string name;
    Window window; // id 0, hidden
    std::vector<Control> controls;
    bool standardHandler = false; // the window gets the standard window handler when made
};

struct Nib {
    std::vector<NibMenuBar> menuBars;
    std::vector<NibWindow> windows;

    const NibMenuBar* menuBar(std::string_view name) const;
    const NibWindow* window(std::string_view name) const;
    // Whether the nib has any object of that name, whatever its kind.
    bool hasObject(std::string_view name) const;
};

// The largest nib file we read.
constexpr std::size_t kMaxNibSize = 256 * 1024;

struct NibError {
    OSStatus status = 0; // kIBCarbonRuntimeCantFindNibFile or kIBCarbonRuntimeMalformedNib
    std::string message;
};

// Parses nib XML. On failure returns nothing and fills error (when given).
std::optional<Nib> parseNib(std::string_view xml, NibError* error = nullptr);
// Reads and parses a nib file of at most kMaxNibSize bytes.
std::optional<Nib> loadNibFile(const std::filesystem::path& path, NibError* error = nullptr);

} // namespace macsim
