// The shared library's binary interface: exactly the 23 exports, bound to the
// NIC interface library by ordinary dynamic linking.
#include <gtest/gtest.h>

#include <elf.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"

extern "C" int lxniccfg_c_caller(void);

namespace {

struct DynamicSymbols {
    std::set<std::string> defined;
    std::set<std::string> undefined;
    std::vector<std::string> needed;
    std::string soname;
};

// Reads the dynamic symbol table and the DT_NEEDED / DT_SONAME entries of an
// ELF64 shared object.
DynamicSymbols ReadDynamic(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string image = buffer.str();
    const char *base = image.data();
    DynamicSymbols out;
    if (image.size() < sizeof(Elf64_Ehdr)) return out;
    const auto *header = reinterpret_cast<const Elf64_Ehdr *>(base);
    const auto *sections = reinterpret_cast<const Elf64_Shdr *>(base + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        const Elf64_Shdr &section = sections[i];
        const Elf64_Shdr &strings = sections[section.sh_link];
        const char *names = base + strings.sh_offset;
        if (section.sh_type == SHT_DYNSYM) {
            const auto *symbols = reinterpret_cast<const Elf64_Sym *>(base + section.sh_offset);
            for (std::size_t k = 1; k < section.sh_size / sizeof(Elf64_Sym); ++k) {
                const Elf64_Sym &symbol = symbols[k];
                int binding = ELF64_ST_BIND(symbol.st_info);
                if (binding != STB_GLOBAL && binding != STB_WEAK) continue;
                (symbol.st_shndx == SHN_UNDEF ? out.undefined : out.defined).insert(names + symbol.st_name);
            }
        } else if (section.sh_type == SHT_DYNAMIC) {
            const auto *entries = reinterpret_cast<const Elf64_Dyn *>(base + section.sh_offset);
            for (std::size_t k = 0; k < section.sh_size / sizeof(Elf64_Dyn); ++k) {
                if (entries[k].d_tag == DT_NEEDED) out.needed.push_back(names + entries[k].d_un.d_val);
                if (entries[k].d_tag == DT_SONAME) out.soname = names + entries[k].d_un.d_val;
            }
        }
    }
    return out;
}

const std::set<std::string> kExports = {
    "GetNicList", "GetPanelData", "ApplyChanges", "InitXml", "CloseXml", "UpdateProperty",
    "VerifyDependency", "UpdateNicStatus", "GetTeamPanelData", "ApplyTeamPropertyChanges",
    "ApplyTeamConfigurationChanges", "GetSingleTeamProperty", "SetSingleTeamProperty",
    "UpdateTeamPanelData", "GetSingleProperty", "SetSingleProperty", "TcpIpInstalled",
    "GetNicTeam", "ReadXmlScriptFile", "WriteXmlScriptFile", "UpdateTeamStatus",
    "ApplyConfigChanges", "SetSingleRawTeamProperty"};

}  // namespace

TEST(Exports, ExactlyTheTwentyThreeFunctionsAreExported) {
    DynamicSymbols symbols = ReadDynamic(LXNICCFG_LIBRARY_PATH);
    EXPECT_EQ(symbols.defined, kExports);
    EXPECT_EQ(symbols.soname, "liblxniccfg.so.1");
}

TEST(Exports, NicInterfaceIsBoundByOrdinaryDynamicLinking) {
    DynamicSymbols symbols = ReadDynamic(LXNICCFG_LIBRARY_PATH);
    EXPECT_NE(std::find(symbols.needed.begin(), symbols.needed.end(), "liblxnicif.so.1"),
              symbols.needed.end());
    EXPECT_TRUE(symbols.undefined.count("NicIfClose"));
    for (const std::string &name : symbols.defined) EXPECT_NE(name.rfind("NicIf", 0), 0u) << name;

    // The test program's own NicIf* functions take the library's place.
    nicif_double::Nic().reset();
    CloseXml(3);
    EXPECT_EQ(nicif_double::Nic().calls(), std::vector<std::string>{"NicIfClose(3)"});
}

TEST(Exports, HeadersWorkFromC) { EXPECT_EQ(lxniccfg_c_caller(), 102); }
