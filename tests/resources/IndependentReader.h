// The resource-fork reader of fontTools (Debian's python3-fonttools, run with Debian's own
// python3), written by others from the same documentation, as a check on what we write.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace kreloed::test {

inline const char* kSystemPython = "/usr/bin/python3";

// True when the system's python3 has the reader.
inline bool independentReaderAvailable() {
    const std::string command =
        std::string(kSystemPython) + " -c 'import fontTools.misc.macRes' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Every resource of the raw fork in file, one line each: type|id|"name" or null|attr|data in hex.
// Nothing when the reader fails.
inline std::optional<std::string> listWithIndependentReader(const std::filesystem::path& file) {
    // Given on the command line, so that test programs running side by side share no file.
    static const char* script = "import json, sys\n"
                                "from fontTools.misc.macRes import ResourceReader\n"
                                "reader = ResourceReader(sys.argv[1])\n"
                                "for t in reader.keys():\n"
                                "    for r in reader[t]:\n"
                                "        print(\"%s|%d|%s|%d|%s\" % (t, r.id, json.dumps(r.name), "
                                "r.attr, r.data.hex()))\n";
    const std::string command =
        std::string(kSystemPython) + " -c '" + script + "' '" + file.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string text;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), int(buffer.size()), pipe))
        text += buffer.data();
    if (pclose(pipe) != 0)
        return std::nullopt;
    return text;
}

} // namespace kreloed::test
