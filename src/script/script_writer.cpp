#include "script/script_writer.h"

#include <string_view>

#include "definitions/xml_parser.h"
#include "platform/platform.h"
#include "script/script_format.h"
#include "script/string_table.h"

namespace lxniccfg {
namespace {

constexpr std::string_view kScriptVersion = "3.1";
constexpr std::string_view kNicIndent = "    ";
constexpr std::string_view kVlanIndent = "           ";
constexpr std::string_view kNicSectionPrefix = "";
constexpr std::string_view kVlanSectionPrefix = "     ";

std::u16string_view View(const lx_wchar *text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

bool HasText(const lx_wchar *text) { return text && *text; }

// Whether EscapeText would change the text.
bool NeedsEscaping(std::u16string_view text) {
    for (char16_t c : text) {
        switch (c) {
        case u'&': case u'<': case u'>': case u'\'': case u'"': case u'\t': case u'\n': case u'\r':
            return true;
        default:
            break;
        }
    }
    return false;
}

// An entry that can be written at all: one with both an id and a value.
bool Writable(const PanelEntry &e) { return e.id && e.value; }

// The first writable entry of a list with the given id.
const PanelEntry *FindEntry(const PanelEntry *list, std::u16string_view id) {
    for (const PanelEntry *e = list; e; e = e->next)
        if (Writable(*e) && View(e->id) == id) return e;
    return nullptr;
}

enum class ListKind { Nic, Team, Vlan };

class ScriptWriter {
public:
    explicit ScriptWriter(const ScriptOptions &options)
        : options_(options), encoder_(options.charset),
          prefix_(options.fullDetail ? "    " : ""), japanese_(platform::japaneseMessages()) {}

    std::string compose(const TeamEntry *teams, const AdapterEntry *adapters) {
        ascii("<?xml version=\"1.0\" encoding=\"");
        ascii(DeclaredEncodingName(options_.charset));
        ascii("\"?>\n\n<teamingconfig>\n\n");
        resource(kTextHeaderComment);
        versionBlock();
        for (const AdapterEntry *nic = adapters; nic; nic = nic->next) nicBlock(*nic);
        int number = 0;
        for (const TeamEntry *team = teams; team; team = team->next)
            if (!team->isDeleted) teamBlock(*team, ++number);
        ascii("</teamingconfig>\n");
        return std::move(out_);
    }

private:
    // --- output primitives -------------------------------------------------

    void ascii(std::string_view text) { encoder_.appendAscii(out_, text); }
    void text(std::u16string_view text) { encoder_.append(out_, text); }
    void escaped(std::u16string_view raw) {
        // Most texts hold nothing to escape and are written as they are.
        if (NeedsEscaping(raw)) text(EscapeText(raw));
        else text(raw);
    }
    void number(long long n) { ascii(std::to_string(n)); }

    void resource(unsigned id, std::optional<long long> arg = std::nullopt) {
        std::string argText = arg ? std::to_string(*arg) : std::string();
        std::string formatted = FormatText(LoadString(id, japanese_), {argText});
        bool asciiOnly = true;
        for (char c : formatted) asciiOnly &= static_cast<unsigned char>(c) < 0x80;
        if (asciiOnly) ascii(formatted);
        else text(fromUtf8(formatted));
    }

    // --- property lines ----------------------------------------------------

    void entryLine(std::string_view indent, std::u16string_view id, std::u16string_view value,
                   const lx_wchar *name = nullptr, const lx_wchar *desc = nullptr) {
        ascii(prefix_);
        ascii(indent);
        ascii("<property id='");
        escaped(id);
        ascii("' value='");
        escaped(value);
        ascii("'");
        if (options_.fullDetail && HasText(name)) {
            ascii(" name='");
            escaped(View(name));
            ascii("' ");
        }
        if (options_.fullDetail && HasText(desc)) {
            ascii(" desc='");
            escaped(View(desc));
            ascii("' ");
        }
        ascii("/>\n");
    }

    // One entry: a line of its own, or one line per key=value piece of a
    // compound value. withParts adds the display name and hint in the full
    // form.
    void entry(const PanelEntry &e, std::string_view indent, bool withParts = true) {
        if (!Writable(e)) return;
        if (e.compound) {
            for (auto [key, value] : SplitCompound(View(e.value))) {
                ascii(prefix_);
                ascii(indent);
                ascii("<property id='");
                escaped(key);
                ascii("' value='");
                escaped(value);
                ascii("' />\n");
            }
            return;
        }
        if (withParts) entryLine(indent, View(e.id), View(e.value), e.displayName, e.hint);
        else entryLine(indent, View(e.id), View(e.value));
    }

    void fixedEmpty(std::string_view id) {
        ascii("    <property id='");
        ascii(id);
        ascii("' value='' />\n");
    }

    void commented(const PanelEntry *e) {
        if (!e) return;
        ascii("  <!-- <property id='");
        text(CommentText(View(e->id)));
        ascii("' value='");
        text(CommentText(View(e->value)));
        ascii("' -->\n");
    }

    // The first entry with the id, written without name and desc, also when
    // its value is empty. Returns it, or nullptr when the list has none.
    const PanelEntry *named(const PanelEntry *list, std::u16string_view id,
                            std::string_view indent = kNicIndent) {
        const PanelEntry *e = FindEntry(list, id);
        if (e) entry(*e, indent, false);
        return e;
    }

    // --- list writers ------------------------------------------------------

    // Every entry in the full form; in the short form those whose id is in
    // the kind's fixed list.
    void list(const PanelEntry *head, ListKind kind, const TeamEntry *team = nullptr) {
        std::span<const std::u16string_view> names = kind == ListKind::Nic    ? NicPropertyNames()
                                                     : kind == ListKind::Team ? TeamPropertyNames()
                                                                              : VlanPropertyNames();
        std::string_view indent = kind == ListKind::Vlan ? kVlanIndent : kNicIndent;
        for (const PanelEntry *e = head; e; e = e->next) {
            if (!Writable(*e)) continue;
            if (!options_.fullDetail && !IsListed(names, View(e->id))) continue;
            if (kind == ListKind::Team && team && View(e->id) == u"PreferredPrimaryNIC") {
                preferredPrimary(*e, *team);
                continue;
            }
            entry(*e, indent);
        }
    }

    // The preferred primary is written as the number of the member NIC whose
    // name it holds; without such a member it is left out.
    void preferredPrimary(const PanelEntry &e, const TeamEntry &team) {
        for (const TeamMemberLink *m = team.members; m; m = m->next) {
            if (!m->adapter || !m->adapter->name) continue;
            if (View(m->adapter->name) != View(e.value)) continue;
            entryLine(kNicIndent, View(e.id), fromUtf8(std::to_string(m->adapter->number)));
            return;
        }
    }

    template <class Body>
    void section(std::string_view name, Body &&body, std::string_view sectionPrefix = kNicSectionPrefix) {
        ascii(sectionPrefix);
        ascii("    <");
        ascii(name);
        ascii(">\n");
        body();
        ascii(sectionPrefix);
        ascii("    </");
        ascii(name);
        ascii(">\n");
    }

    // --- blocks ------------------------------------------------------------

    void versionBlock() {
        if (!options_.utilityVersion) {
            ascii("<!-- ERROR : Utility Version Not found -->");
            return;
        }
        resource(kTextVersionBanner);
        ascii("  <version UtilityVersion='");
        escaped(fromUtf8(*options_.utilityVersion));
        ascii("' ScriptVersion='");
        ascii(kScriptVersion);
        ascii("'/>\n\n");
    }

    void nicBlock(const AdapterEntry &nic) {
        if (nic.number == 1) resource(kTextAdapterBanner);
        resource(kTextNicComment, nic.number);
        if (options_.addressComments) commented(FindEntry(nic.informationList, u"CurrentAddress"));
        ascii("  <nic>\n");
        if (options_.fullDetail) fullNicBody(nic);
        else shortNicBody(nic);
        vlanBlocks(nic.vlans);
        ascii("  </nic>\n\n");
    }

    void shortNicBody(const AdapterEntry &nic) {
        list(nic.settingsList, ListKind::Nic);
        if (nic.teamHandle) list(nic.teamSettingsList, ListKind::Nic);
        else fixedEmpty("NetworkAddress");
        if (nic.vlans)
            named(nic.teamHandle ? nic.teamSettingsList : nic.settingsList, u"DefaultVlanId");
        if (nic.capabilities) {
            named(nic.advancedList, u"TOEEnabled");
            named(nic.advancedList, u"RSSEnabled");
            list(nic.iscsiSettingsList, ListKind::Nic);
            list(nic.iscsiSettingsList2, ListKind::Nic);
            // The address defaults share the compound flag of the address
            // list's first entry, which leaves them out when it is set.
            uint8_t compound = nic.iscsiAddressList ? nic.iscsiAddressList->compound : 0;
            for (auto [id, value] : {std::pair{u"iSCSIDHCPEnabled", u"Enabled"},
                                     std::pair{u"iSCSIIPAddress", u"0.0.0.0"},
                                     std::pair{u"iSCSISubnetMask", u"0.0.0.0"},
                                     std::pair{u"iSCSIGateway", u"0.0.0.0"}}) {
                PanelEntry fixed{};
                fixed.id = const_cast<lx_wchar *>(id);
                fixed.value = const_cast<lx_wchar *>(value);
                fixed.compound = compound;
                entry(fixed, kNicIndent);
            }
            fixedEmpty("iSCSILAA");
        }
    }

    void fullNicBody(const AdapterEntry &nic) {
        section("settings", [&] {
            list(nic.settingsList, ListKind::Nic);
            if (nic.teamHandle) list(nic.teamSettingsList, ListKind::Nic);
        });
        if (nic.capabilities) {
            section("wsd", [&] {
                for (const PanelEntry *l : {nic.wsdList4, nic.wsdList1, nic.wsdList2, nic.wsdList3})
                    list(l, ListKind::Nic);
            });
            section("iscsi", [&] {
                for (const PanelEntry *l : {nic.iscsiReportList1, nic.iscsiReportList2, nic.iscsiReportList3})
                    list(l, ListKind::Nic);
            });
        }
        if (nic.statisticsList1) {
            section("stats", [&] {
                for (const PanelEntry *l : {nic.statisticsList1, nic.statisticsList2, nic.statisticsList3})
                    list(l, ListKind::Nic);
            });
        }
        section("advanced", [&] { list(nic.advancedList, ListKind::Nic); });
        section("info", [&] {
            list(nic.informationList, ListKind::Nic);
            if (nic.name) entryLine(kNicIndent, u"nic_name", View(nic.name));
            ascii("        <property id='nic_status' value='");
            ascii(StatusText(nic.status, nic.teamHandle != 0 && nic.activeInTeam == 0));
            ascii("' />\n");
        });
        if (nic.connectionInfoList)
            section("ConnectionInfo", [&] { list(nic.connectionInfoList, ListKind::Nic); });
        if (nic.connectionStatsList)
            section("ConnectionStats", [&] { list(nic.connectionStatsList, ListKind::Nic); });
        if (nic.capabilities && nic.toeStatisticsList)
            section("toestats", [&] { list(nic.toeStatisticsList, ListKind::Nic); });
    }

    void teamBlock(const TeamEntry &team, int teamNumber) {
        if (teamNumber == 1) resource(kTextTeamBanner);
        resource(kTextTeamComment, teamNumber);
        if (options_.addressComments) commented(FindEntry(team.settingsList, u"TeamNetworkAddress"));
        ascii("  <team relnics='");
        bool first = true;
        for (const TeamMemberLink *m = team.members; m; m = m->next) {
            if (m->isRemoved || !m->adapter) continue;
            if (!first) ascii(" ");
            number(m->adapter->number);
            first = false;
        }
        ascii("'>\n");
        if (options_.fullDetail) fullTeamBody(team);
        else shortTeamBody(team);
        vlanBlocks(team.vlans);
        ascii("  </team>\n\n");
    }

    void shortTeamBody(const TeamEntry &team) {
        list(team.controlsList, ListKind::Team, &team);
        list(team.settingsList, ListKind::Team, &team);
        ascii("    <property id='TeamNetworkAddress' value='' />\n");
        named(team.advancedList, u"TOEEnabled");
        named(team.advancedList, u"RSSEnabled");
        list(team.redundancyList, ListKind::Team, &team);
        const PanelEntry *activePath = named(team.redundancyList, u"ActivePathEnabled");
        if (activePath && View(activePath->value) == u"Enabled") {
            for (std::u16string_view id : EchoNodePropertyNames()) dependent(team.redundancyList, id);
        }
        const PanelEntry *routerPath = named(team.redundancyList, u"RouterPathEnabled");
        if (routerPath && View(routerPath->value) == u"Enabled")
            dependent(team.redundancyList, u"RouterPathIPAddress");
        list(team.discProtocolList, ListKind::Team, &team);
        if (team.vlans) {
            named(team.settingsList, u"DefaultVlanId");
            named(team.settingsList, u"RxPathValidationVlanId");
            named(team.redundancyList, u"FastPathVlanId");
            named(team.redundancyList, u"ActivePathVlanId");
            named(team.redundancyList, u"RouterPathVlanId");
        }
    }

    // An entry that only counts with a value: written when present and not empty.
    void dependent(const PanelEntry *list, std::u16string_view id) {
        const PanelEntry *e = FindEntry(list, id);
        if (e && HasText(e->value)) entry(*e, kNicIndent, false);
    }

    void fullTeamBody(const TeamEntry &team) {
        section("controls", [&] { list(team.controlsList, ListKind::Team, &team); });
        section("settings", [&] { list(team.settingsList, ListKind::Team, &team); });
        section("advanced", [&] { list(team.advancedList, ListKind::Team, &team); });
        if (team.statisticsList1 || team.statisticsList2) {
            section("stats", [&] {
                list(team.statisticsList1, ListKind::Team, &team);
                list(team.statisticsList2, ListKind::Team, &team);
            });
        }
        if (team.informationList1 || team.informationList2) {
            section("info", [&] {
                list(team.informationList1, ListKind::Team, &team);
                list(team.informationList2, ListKind::Team, &team);
                ascii("    <property id='MgtMode' value='");
                number(options_.managementMode == 1 ? 1 : 0);
                ascii("' />\n");
            });
        }
        if (team.connectionInfoList)
            section("ConnectionInfo", [&] { list(team.connectionInfoList, ListKind::Team, &team); });
        if (team.connectionStatsList)
            section("ConnectionStats", [&] { list(team.connectionStatsList, ListKind::Team, &team); });
        if (team.toeStatisticsList)
            section("toestats", [&] { list(team.toeStatisticsList, ListKind::Team, &team); });
        section("redundancy", [&] { list(team.redundancyList, ListKind::Team, &team); });
        section("discprotocols", [&] { list(team.discProtocolList, ListKind::Team, &team); });
    }

    void vlanBlocks(const VlanEntry *vlans) {
        int vlanNumber = 0;
        for (const VlanEntry *vlan = vlans; vlan; vlan = vlan->next) {
            resource(kTextVlanComment, ++vlanNumber);
            ascii("    <vlan>\n");
            if (options_.fullDetail) {
                section("IdentificationInfo", [&] { list(vlan->identificationList, ListKind::Vlan); },
                        kVlanSectionPrefix);
                if (vlan->connectionInfoList)
                    section("ConnectionInfo", [&] { list(vlan->connectionInfoList, ListKind::Vlan); },
                            kVlanSectionPrefix);
                if (vlan->connectionStatsList)
                    section("ConnectionStats", [&] { list(vlan->connectionStatsList, ListKind::Vlan); },
                            kVlanSectionPrefix);
            } else {
                list(vlan->identificationList, ListKind::Vlan);
            }
            ascii("    </vlan>\n");
        }
    }

    const ScriptOptions &options_;
    ScriptEncoder encoder_;
    std::string_view prefix_;
    bool japanese_;  // the comment blocks come from the Japanese table
    std::string out_;
};

}  // namespace

std::string ComposeScript(const TeamEntry *teams, const AdapterEntry *adapters,
                          const ScriptOptions &options) {
    return ScriptWriter(options).compose(teams, adapters);
}

uint32_t WriteScriptFile(const TeamEntry *teams, const AdapterEntry *adapters,
                         const DualString &path, uint8_t fullDetail, uint8_t addressComments) {
    if (path.isNone()) return 1;
    ScriptOptions options;
    options.fullDetail = fullDetail != 0;
    options.addressComments = addressComments == 1;
    options.charset = EnvironmentCharset();
    options.utilityVersion = platform::utilityVersion();
    if (options.fullDetail) {
        std::optional<long> mode = platform::managementMode();
        options.managementMode = (mode && *mode == 1) ? 1 : 0;
    }

    // The Shift_JIS transcoder belongs to the XML library, which is kept
    // initialised while the document is composed (also before InitXml).
    std::string document;
    {
        XmlLibrarySession session;
        document = ComposeScript(teams, adapters, options);
    }

    platform::AtomicOutputFile file;
    if (!file.open(path.narrowText())) return 1;
    file.write(document);
    return file.commit() ? 0 : 1;
}

}  // namespace lxniccfg
