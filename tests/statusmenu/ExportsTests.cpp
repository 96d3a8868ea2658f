// StatusMenu's binary boundary: the host binds the bundle by name, so the shared object must
// export its ten entry points and nothing else (everything else is built hidden).
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// The names of the functions and data that the ELF shared object at path defines in its dynamic
// symbol table.
std::set<std::string> definedDynamicSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto at = [&](std::size_t offset, std::size_t size) {
        if (offset > bytes.size() || size > bytes.size() - offset)
            throw std::runtime_error("truncated ELF file");
        return bytes.data() + offset;
    };
    Elf64_Ehdr header;
    std::memcpy(&header, at(0, sizeof header), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        throw std::runtime_error("not a 64-bit ELF file");

    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (std::size_t i = 0; i < sections.size(); ++i)
        std::memcpy(&sections[i], at(header.e_shoff + i * header.e_shentsize, sizeof(Elf64_Shdr)),
                    sizeof(Elf64_Shdr));

    std::set<std::string> names;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNSYM)
            continue;
        const Elf64_Shdr& strings = sections.at(section.sh_link);
        for (std::size_t offset = 0; offset + sizeof(Elf64_Sym) <= section.sh_size;
             offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, at(section.sh_offset + offset, sizeof symbol), sizeof symbol);
            int binding = ELF64_ST_BIND(symbol.st_info);
            int type = ELF64_ST_TYPE(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF ||
                (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE))
                continue;
            if (type != STT_FUNC && type != STT_OBJECT && type != STT_GNU_IFUNC &&
                type != STT_TLS && type != STT_NOTYPE)
                continue;
            const char* name = at(strings.sh_offset + symbol.st_name, 1);
            names.insert(std::string(name, strnlen(name, strings.sh_size - symbol.st_name)));
        }
    }
    return names;
}

TEST(StatusMenuExports, ExactlyTheTenEntryPoints) {
    const std::set<std::string> expected = {
        "initializeBundle", "insertMenu",    "removeMenu",    "setMenuItemClk", "checkSDEFItem",
        "checkSUSRItem",    "checkAUSRItem", "checkALKEItem", "setLOADItem",    "enableALLItems"};
    EXPECT_EQ(definedDynamicSymbols(STATUSMENU_BINARY), expected);
}

} // namespace
