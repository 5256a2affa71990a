// What the Windows build does that the Linux one does not: lxniccfg.dll's
// exports by ordinal and its ordinal imports of lxnicif.dll (the test double
// here), the version resource of lxnicui.dll, the registry value, text-mode
// files, and the messages and script encoding of the locale. CTest runs the
// Japanese* cases under a Japanese locale (ANSI and OEM code page 932) and
// the others under an English one.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::Text;

struct Export {
    int ordinal;
    const char *name;
};

const Export kExports[] = {
    {1, "GetNicList"}, {2, "GetPanelData"}, {3, "ApplyChanges"}, {4, "InitXml"}, {5, "CloseXml"},
    {6, "UpdateProperty"}, {7, "VerifyDependency"}, {8, "UpdateNicStatus"}, {9, "GetTeamPanelData"},
    {11, "ApplyTeamPropertyChanges"}, {12, "ApplyTeamConfigurationChanges"}, {13, "GetSingleTeamProperty"},
    {14, "SetSingleTeamProperty"}, {15, "UpdateTeamPanelData"}, {16, "GetSingleProperty"},
    {17, "SetSingleProperty"}, {18, "TcpIpInstalled"}, {19, "GetNicTeam"}, {20, "ReadXmlScriptFile"},
    {21, "WriteXmlScriptFile"}, {22, "UpdateTeamStatus"}, {23, "ApplyConfigChanges"},
    {24, "SetSingleRawTeamProperty"}};

HMODULE Library() {
    HMODULE module = ::GetModuleHandleW(L"lxniccfg.dll");
    EXPECT_NE(module, nullptr);
    return module;
}

FARPROC ByOrdinal(HMODULE module, int ordinal) {
    return ::GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)));
}

// The modules a loaded module imports from, each with its imports: a name,
// or "#N" for an import by ordinal.
std::map<std::string, std::vector<std::string>> Imports(HMODULE module) {
    std::map<std::string, std::vector<std::string>> out;
    auto *base = reinterpret_cast<const BYTE *>(module);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto *desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
    for (; desc->Name; ++desc) {
        std::string dll = reinterpret_cast<const char *>(base + desc->Name);
        for (char &c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::vector<std::string> &names = out[dll];
        auto *thunk = reinterpret_cast<const IMAGE_THUNK_DATA64 *>(
            base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
        for (; thunk->u1.AddressOfData; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal)) {
                names.push_back("#" + std::to_string(IMAGE_ORDINAL64(thunk->u1.Ordinal)));
            } else {
                auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + thunk->u1.AddressOfData);
                names.push_back(reinterpret_cast<const char *>(byName->Name));
            }
        }
    }
    return out;
}

std::string Ansi(const std::wstring &text, UINT codePage) {
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                  nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::u16string U16(const std::string &path) { return testing_support::W(path); }

// Puts one of the lxnicui.dll builds (or none) on the DLL search path.
void UseUiModule(const char *folder) {
    testing_support::UseUiModuleFolder(std::string(LXNICUI_VARIANTS_DIR) + "/" + folder);
}

// Writes a team with an information list in the full form (which shows the
// management mode), or an empty configuration in the short form.
std::string WriteScript(const TempDir &dir, bool full) {
    std::u16string file = U16(dir.path() + "/out.xml");
    TeamEntry *team = nullptr;
    if (full) {
        team = static_cast<TeamEntry *>(std::calloc(1, sizeof(TeamEntry)));
        team->informationList1 = testing_support::EntryList({{.id = "I", .value = "i"}});
    }
    EXPECT_EQ(WriteXmlScriptFile(team, nullptr, file.c_str(), full ? 1 : 0, 0), 0u);
    testing_support::FreeNicList(team, nullptr);
    return ReadFile(dir.path() + "/out.xml");
}

std::string Line(const std::string &text, const std::string &start) {
    std::size_t at = text.find(start);
    if (at == std::string::npos) return "(none)";
    return text.substr(at, text.find('\n', at) - at);
}

}  // namespace

TEST(WindowsModule, EveryExportIsReachedByItsOrdinalAndNoneByTen) {
    HMODULE module = Library();
    for (const Export &e : kExports) {
        FARPROC byOrdinal = ByOrdinal(module, e.ordinal);
        EXPECT_NE(byOrdinal, nullptr) << e.name;
        EXPECT_EQ(byOrdinal, ::GetProcAddress(module, e.name)) << e.name;
    }
    EXPECT_EQ(ByOrdinal(module, 10), nullptr);
    EXPECT_EQ(ByOrdinal(module, 25), nullptr);
}

TEST(WindowsModule, ImportsLxnicifByOrdinalOnlyAndNeedsOnlySystemModules) {
    auto imports = Imports(Library());
    ASSERT_TRUE(imports.count("lxnicif.dll"));
    std::set<std::string> ordinals;
    for (const std::string &entry : imports["lxnicif.dll"]) {
        EXPECT_EQ(entry[0], '#') << "imported by name: " << entry;
        ordinals.insert(entry);
    }
    for (const char *ordinal : {"#1", "#2", "#3", "#4", "#6", "#7", "#8", "#9", "#10", "#11", "#12", "#13",
                                "#15", "#16", "#17", "#18", "#19", "#20", "#21", "#22", "#25", "#26"})
        EXPECT_TRUE(ordinals.count(ordinal)) << ordinal;
    // Xerces-C, libgcc, libstdc++ and winpthread are linked in.
    for (const auto &[dll, names] : imports) {
        EXPECT_TRUE(dll == "lxnicif.dll" || dll == "msvcrt.dll" || dll == "kernel32.dll" ||
                    dll == "advapi32.dll" || dll == "user32.dll" || dll == "version.dll" ||
                    dll.rfind("api-ms-win-", 0) == 0)
            << dll;
    }
}

TEST(WindowsModule, NicInterfaceCallsReachTheDllFoundFirst) {
    nicif_double::Nic().reset();
    nicif_double::Nic().tcpIpInstalled(5);
    CloseXml(3);
    uint32_t installed = 0;
    EXPECT_EQ(TcpIpInstalled(&installed), 0u);
    EXPECT_EQ(installed, 5u);
    EXPECT_EQ(nicif_double::Nic().calls(),
              (std::vector<std::string>{"NicIfClose(3)", "NicIfTcpIpInstalled()"}));
}

TEST(WindowsScript, UtilityVersionComesFromTheUiModulesUsEnglishTranslation) {
    TempDir dir;
    UseUiModule("plain");
    EXPECT_EQ(Line(WriteScript(dir, false), "  <version"), "  <version UtilityVersion='9.2.0.1' ScriptVersion='3.1'/>\r");
    UseUiModule("awkward");
    EXPECT_EQ(Line(WriteScript(dir, false), "  <version"),
              "  <version UtilityVersion='9.2 &apos;beta&apos; &amp; &lt;x&gt;' ScriptVersion='3.1'/>\r");
    // A module without the 040904b0 translation, and no module at all.
    for (const char *folder : {"german", "none"}) {
        UseUiModule(folder);
        std::string doc = WriteScript(dir, false);
        EXPECT_EQ(doc.find("<version"), std::string::npos) << folder;
        EXPECT_NE(doc.find("the file.                                           -->\r\n\r\n"
                           "<!-- ERROR : Utility Version Not found --></teamingconfig>\r\n"),
                  std::string::npos)
            << folder;
    }
}

TEST(WindowsScript, LinesEndInCarriageReturnLineFeed) {
    TempDir dir;
    UseUiModule("plain");
    std::string doc = WriteScript(dir, true);
    ASSERT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n\r\n<teamingconfig>\r\n", 0), 0u);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] != '\n') continue;
        ++lines;
        ASSERT_TRUE(i > 0 && doc[i - 1] == '\r') << "a bare line feed at byte " << i;
    }
    EXPECT_GT(lines, 20u);
    EXPECT_EQ(doc.substr(doc.size() - 18), "</teamingconfig>\r\n");
    // The parser takes either line end: the file reads back.
    ScriptConfig *config = nullptr;
    char *message = nullptr;
    std::u16string file = U16(dir.path() + "/out.xml");
    WriteScript(dir, false);
    EXPECT_EQ(ReadXmlScriptFile(&config, file.c_str(), &message), 0u) << (message ? message : "");
    ASSERT_NE(config, nullptr);
    ASSERT_NE(config->version, nullptr);
    EXPECT_EQ(testing_support::Str(config->version->utilityVersion), "9.2.0.1");
    testing_support::FreeScriptConfig(config);
    std::free(message);
}

TEST(WindowsScript, ManagementModeIsTheFirstFourBytesOfTheRegistryValue) {
    // Values of several types, byte for byte as `reg add` writes them (a
    // string with its terminator).
    struct Case {
        const wchar_t *name;  // nullptr: no key
        DWORD type;
        std::string bytes;
        const char *mode;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {L"ManagementMode", REG_DWORD, "\x01\0\0\0"s, "1"},
        {L"ManagementMode", REG_DWORD, "\x02\0\0\0"s, "0"},
        {L"ManagementMode", REG_DWORD, "\0\0\0\0"s, "0"},
        {L"ManagementMode", REG_BINARY, "\x01\0\0\0"s, "1"},
        {L"ManagementMode", REG_BINARY, "\x01"s, "1"},
        {L"ManagementMode", REG_BINARY, "\x02\0\0\0"s, "0"},
        {L"ManagementMode", REG_SZ, "1\0\0\0"s, "0"},
        {L"ManagementMode", REG_QWORD, "\x01\0\0\0\0\0\0\0"s, "0"},
        {L"Other", REG_DWORD, "\x01\0\0\0"s, "0"},  // the key without the value
        {nullptr, REG_NONE, "", "0"},
    };
    TempDir dir;
    UseUiModule("plain");
    testing_support::ManagementModeValue registry;  // held by this test alone
    for (const Case &c : cases) {
        registry.remove();
        if (c.name) registry.setRaw(c.name, c.type, c.bytes);
        EXPECT_EQ(Line(WriteScript(dir, true), "    <property id='MgtMode'"),
                  std::string("    <property id='MgtMode' value='") + c.mode + "' />\r")
            << (c.name ? std::to_string(c.type) + " of " + std::to_string(c.bytes.size()) + " bytes" : "no key");
    }
}

TEST(WindowsDefinitions, CarriageReturnLineFeedAndCtrlZAreReadInTextMode) {
    TempDir dir;
    // The checksum is over the body as a text-mode read delivers it: CR LF
    // as LF, nothing from the Ctrl-Z on.
    const std::string body = "\n<nic type='X'>\n</nic>\n</definitions>\n";
    std::string crlf;
    for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string file = "<definitions csum='" + testing_support::ChecksumOf(body) + "'>" + crlf +
                             "\x1A" + "anything after the end of the data";
    dir.write("defs.xml", file);
    std::u16string path = U16(dir.path() + "/defs.xml");
    nicif_double::Nic().reset();
    EXPECT_EQ(InitXml(path.c_str()), 0u);
    CloseXml(0);
    // Summed over the raw bytes, the checksum does not match.
    std::string raw = crlf + "\x1A";
    dir.write("raw.xml", "<definitions csum='" + testing_support::ChecksumOf(raw) + "'>" + crlf + "\x1A");
    std::u16string rawPath = U16(dir.path() + "/raw.xml");
    EXPECT_EQ(InitXml(rawPath.c_str()), 101u);
    CloseXml(0);
}

TEST(WindowsDefinitions, PathsOutsideTheAnsiCodePageWork) {
    TempDir dir;
    const std::string body = "<nic type='X'></nic></definitions>";
    dir.write("\xCE\xB1\xCE\xB2\xE6\x97\xA5.xml", "<definitions csum='" + testing_support::ChecksumOf(body) + "'>" + body);
    std::u16string path = U16(dir.path() + "/\xCE\xB1\xCE\xB2\xE6\x97\xA5.xml");
    nicif_double::Nic().reset();
    EXPECT_EQ(InitXml(path.c_str()), 0u);
    CloseXml(0);
    std::u16string missing = U16(dir.path() + "/\xCE\xB1missing.xml");
    EXPECT_EQ(InitXml(missing.c_str()), 102u);
    CloseXml(0);
}

TEST(WindowsLocale, EnglishMessagesAndLatin1Scripts) {
    ASSERT_NE(::GetOEMCP(), 932u);
    TempDir dir;
    dir.write("in.xml", "<config/>");
    std::u16string path = U16(dir.path() + "/in.xml");
    ScriptConfig *config = nullptr;
    char *message = nullptr;
    EXPECT_EQ(ReadXmlScriptFile(&config, path.c_str(), &message), 100u);
    EXPECT_STREQ(message, "Unexpected XML Element when expecting <teamingconfig> element: <config>");
    std::free(message);
    UseUiModule("plain");
    EXPECT_EQ(WriteScript(dir, false).rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n", 0), 0u);
}

TEST(JapaneseLocale, MessagesComeFromTheJapaneseTableInCodePage932) {
    ASSERT_EQ(::GetACP(), 932u) << "run under a Japanese locale";
    TempDir dir;
    dir.write("in.xml", "<config/>");
    std::u16string path = U16(dir.path() + "/in.xml");
    ScriptConfig *config = nullptr;
    char *message = nullptr;
    EXPECT_EQ(ReadXmlScriptFile(&config, path.c_str(), &message), 100u);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(std::string(message),
              Ansi(L"<teamingconfig> \u306e\u8981\u7d20: <config>\u306b\u4e88\u671f\u3057\u306a\u3044XML\u8981\u7d20"
                   L"\u3067\u3059",
                   932));
    std::free(message);
    // A parse error names the file, in the same code page.
    dir.write("cut.xml", "<teamingconfig><nic");
    std::u16string cut = U16(dir.path() + "/cut.xml");
    EXPECT_EQ(ReadXmlScriptFile(&config, cut.c_str(), &message), 100u);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(std::string(message).rfind(Ansi(L"\u30d5\u30a7\u30fc\u30ba \u30a8\u30e9\u30fc ", 932), 0), 0u) << message;
    std::free(message);
}

TEST(JapaneseLocale, ScriptsAreWrittenInShiftJisWhenTheOemCodePageIs932) {
    ASSERT_EQ(::GetOEMCP(), 932u) << "run under a Japanese locale";
    TempDir dir;
    UseUiModule("plain");
    AdapterEntry *nic = static_cast<AdapterEntry *>(std::calloc(1, sizeof(AdapterEntry)));
    nic->number = 1;
    nic->settingsList = testing_support::EntryList({{.id = "SpeedDuplex", .value = "\xE6\x97\xA5\xE6\x9C\xAC \xE2\x82\xAC"}});
    std::u16string file = U16(dir.path() + "/out.xml");
    ASSERT_EQ(WriteXmlScriptFile(nullptr, nic, file.c_str(), 0, 0), 0u);
    std::string doc = ReadFile(dir.path() + "/out.xml");
    EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"Shift_jis\"?>\r\n\r\n", 0), 0u);
    // Nihon in Shift_JIS bytes; the euro sign, which Shift_JIS lacks, as a
    // character reference.
    EXPECT_NE(doc.find("<property id='SpeedDuplex' value='\x93\xFA\x96\x7B &#8364;'/>\r\n"), std::string::npos);
    // It reads back to the same text.
    ScriptConfig *config = nullptr;
    char *message = nullptr;
    ASSERT_EQ(ReadXmlScriptFile(&config, file.c_str(), &message), 0u) << (message ? message : "");
    ASSERT_NE(config->nics, nullptr);
    EXPECT_EQ(testing_support::Str(config->nics->properties->value), "\xE6\x97\xA5\xE6\x9C\xAC \xE2\x82\xAC");
    testing_support::FreeScriptConfig(config);
    testing_support::FreeNicList(nullptr, nic);
}
