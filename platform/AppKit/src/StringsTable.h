// String tables of bundles (Resources/<table>.strings).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace macsim {

// The largest string table we read.
constexpr std::size_t kMaxStringsTableSize = 1024 * 1024;

// Parses a string table: entries "key" = "value"; with C-style comments between them. Escapes
// \" \\ \n \t are understood inside quotes. A malformed entry is skipped up to the end of its line
// and the rest is read on; a later entry for a key replaces an earlier one. Keys and values that
// are not well-formed UTF-8 are skipped.
std::map<std::string, std::string> parseStringsTable(std::string_view text);

} // namespace macsim
