#include "script/script_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "definitions/xml_parser.h"
#include "platform/platform.h"
#include "script/script_format.h"
#include "script/string_table.h"

namespace lxniccfg {
namespace {

// A piece of markup, written byte for byte: printable ASCII and line feeds,
// without the two characters (backslash and tilde) that Shift_JIS variants
// write differently. Checked when the program is compiled.
class Markup {
public:
    template <std::size_t N>
    consteval Markup(const char (&text)[N]) : text_(text, N - 1) {
        for (std::size_t i = 0; i + 1 < N; ++i) {
            const char c = text[i];
            if (c != '\n' && (c < 0x20 || c > 0x7E || c == '\\' || c == '~'))
                throw "markup must be plain ASCII";
        }
    }
    std::string_view text() const { return text_; }

private:
    std::string_view text_;
};

constexpr Markup kScriptVersion = "3.1";
// The indent of property lines: those of adapters and teams, and those of VLANs.
enum class Indent { Nic, Vlan };
constexpr Markup kNicIndent = "    ";
constexpr Markup kVlanIndent = "           ";
constexpr Markup kNicSectionPrefix = "";
constexpr Markup kVlanSectionPrefix = "     ";

std::u16string_view View(const lx_wchar *text) {
    return text ? std::u16string_view(text, wideLength(text)) : std::u16string_view();
}

bool HasText(const lx_wchar *text) { return text && *text; }

// An entry that can be written at all: one with both an id and a value.
bool Writable(const PanelEntry &e) { return e.id && e.value; }

// Whether a text is the given id, compared without measuring the text first.
// Ids hold no NUL: a shorter text differs at its terminator.
bool IsId(const lx_wchar *text, std::u16string_view id) {
    for (std::size_t i = 0; i < id.size(); ++i)
        if (text[i] != id[i]) return false;
    return text[id.size()] == 0;
}

// The first writable entry of a list with the given id.
const PanelEntry *FindEntry(const PanelEntry *list, std::u16string_view id) {
    for (const PanelEntry *e = list; e; e = e->next)
        if (Writable(*e) && IsId(e->id, id)) return e;
    return nullptr;
}

enum class ListKind { Nic, Team, Vlan };

class ScriptWriter {
public:
    ScriptWriter(const ScriptOptions &options, ScriptOutput &out)
        : options_(options), encoder_(options.charset),
          out_(out) {
        // The full form indents every property line four more.
        const Markup prefix = options.fullDetail ? Markup("    ") : Markup("");
        for (Indent indent : {Indent::Nic, Indent::Vlan}) {
            std::string &lead = leads_[static_cast<std::size_t>(indent)];
            lead.append(prefix.text());
            lead.append((indent == Indent::Vlan ? kVlanIndent : kNicIndent).text());
            lead.append("<property id='");
        }
    }

    void compose(const TeamEntry *teams, const AdapterEntry *adapters) {
        markup("<?xml version=\"1.0\" encoding=\"");
        ascii(DeclaredEncodingName(options_.charset));
        markup("\"?>\n\n<teamingconfig>\n\n");
        resource(kTextHeaderComment);
        versionBlock();
        for (const AdapterEntry *nic = adapters; nic; nic = nic->next) nicBlock(*nic);
        int number = 0;
        for (const TeamEntry *team = teams; team; team = team->next)
            if (!team->isDeleted) teamBlock(*team, ++number);
        markup("</teamingconfig>\n");
    }

private:
    // --- output primitives -------------------------------------------------

    void markup(Markup piece) { out_.append(piece.text()); }
    void ascii(std::string_view text) { encoder_.appendAscii(out_, text); }
    void text(std::u16string_view text) { encoder_.append(out_, text); }
    void escaped(std::u16string_view raw) { encoder_.appendEscaped(out_, raw); }
    void number(long long n) {
        char *start = out_.room(24);
        out_.advance(static_cast<std::size_t>(std::to_chars(start, start + 24, n).ptr - start));
    }

    // A comment block from the string table; its placeholder (if any) is
    // filled with the number. Each block is encoded once per document and
    // kept as the bytes before and after its placeholder.
    void resource(unsigned id, std::optional<long long> arg = std::nullopt) {
        const EncodedResource &encoded = encodedResource(id);
        out_.append(encoded.head);
        if (encoded.hasPlaceholder && arg) number(*arg);
        out_.append(encoded.tail);
    }

    struct EncodedResource {
        bool ready = false;
        bool hasPlaceholder = false;
        std::string head, tail;
    };

    const EncodedResource &encodedResource(unsigned id) {
        EncodedResource &slot = resources_.at(id);
        if (slot.ready) return slot;
        // Formatting the text before and after its first placeholder apart
        // gives the same text as formatting it whole.
        const std::string loaded = LoadString(id);
        std::string_view format = loaded;
        std::size_t at = format.size();
        for (std::size_t i = 0; i + 1 < format.size(); ++i) {
            if (format[i] != '%') continue;
            if (format[i + 1] == 's' || format[i + 1] == 'd') {
                at = i;
                break;
            }
            if (format[i + 1] == '%') ++i;
        }
        slot.hasPlaceholder = at < format.size();
        slot.head = encodeResourceText(FormatText(format.substr(0, at), {}));
        slot.tail = slot.hasPlaceholder ? encodeResourceText(FormatText(format.substr(at + 2), {}))
                                        : std::string();
        slot.ready = true;
        return slot;
    }

    std::string encodeResourceText(const std::string &text) {
        ScriptOutput bytes(text.size() * 2);
        encoder_.append(bytes, platform::wideFromMessageText(text));
        return bytes.take();
    }

    // --- property lines ----------------------------------------------------

    // The start of every property line at an indent: the form's prefix, the
    // indent and "<property id='".
    std::string_view lead(Indent indent) const { return leads_[static_cast<std::size_t>(indent)]; }

    // A property line's start, its id and value, and end. Most ids and values
    // are plain text, copied with one reservation for the whole piece.
    void property(Indent indent, std::u16string_view id, std::u16string_view value, Markup end) {
        const std::string_view start = lead(indent);
        constexpr std::string_view kValue = "' value='";
        char *const begin = out_.room(start.size() + id.size() + kValue.size() + value.size() + end.text().size());
        char *d = std::copy(start.begin(), start.end(), begin);
        if ((d = encoder_.writePlainEscaped(d, id))) {
            d = std::copy(kValue.begin(), kValue.end(), d);
            if ((d = encoder_.writePlainEscaped(d, value))) {
                d = std::copy(end.text().begin(), end.text().end(), d);
                out_.advance(static_cast<std::size_t>(d - begin));
                return;
            }
        }
        out_.append(start);
        escaped(id);
        markup("' value='");
        escaped(value);
        markup(end);
    }

    void entryLine(Indent indent, std::u16string_view id, std::u16string_view value,
                   const lx_wchar *name = nullptr, const lx_wchar *desc = nullptr) {
        const bool withName = options_.fullDetail && HasText(name);
        const bool withDesc = options_.fullDetail && HasText(desc);
        if (!withName && !withDesc) {
            property(indent, id, value, "'/>\n");
            return;
        }
        property(indent, id, value, "'");
        if (withName) {
            markup(" name='");
            escaped(View(name));
            markup("' ");
        }
        if (withDesc) {
            markup(" desc='");
            escaped(View(desc));
            markup("' ");
        }
        markup("/>\n");
    }

    // One entry: a line of its own, or one line per key=value piece of a
    // compound value. withParts adds the display name and hint in the full
    // form.
    void entry(const PanelEntry &e, Indent indent, bool withParts = true) {
        if (Writable(e)) entry(e, View(e.id), indent, withParts);
    }

    // The same for a writable entry whose id is known.
    void entry(const PanelEntry &e, std::u16string_view id, Indent indent, bool withParts) {
        if (e.compound) {
            for (auto [key, value] : SplitCompound(View(e.value))) property(indent, key, value, "' />\n");
            return;
        }
        if (withParts) entryLine(indent, id, View(e.value), e.displayName, e.hint);
        else entryLine(indent, id, View(e.value));
    }

    void fixedEmpty(Markup id) {
        markup("    <property id='");
        markup(id);
        markup("' value='' />\n");
    }

    void commented(const PanelEntry *e) {
        if (!e) return;
        markup("  <!-- <property id='");
        text(CommentText(View(e->id)));
        markup("' value='");
        text(CommentText(View(e->value)));
        markup("' -->\n");
    }

    // The first entry with the id, written without name and desc, also when
    // its value is empty. Returns it, or nullptr when the list has none.
    const PanelEntry *named(const PanelEntry *list, std::u16string_view id,
                            Indent indent = Indent::Nic) {
        const PanelEntry *e = FindEntry(list, id);
        if (e) entry(*e, indent, false);
        return e;
    }

    // --- list writers ------------------------------------------------------

    // Every entry in the full form; in the short form those whose id is in
    // the kind's fixed list.
    void list(const PanelEntry *head, ListKind kind, const TeamEntry *team = nullptr) {
        const PropertyNames &names = kind == ListKind::Nic    ? NicPropertyNames()
                                     : kind == ListKind::Team ? TeamPropertyNames()
                                                              : VlanPropertyNames();
        const Indent indent = kind == ListKind::Vlan ? Indent::Vlan : Indent::Nic;
        for (const PanelEntry *e = head; e; e = e->next) {
            if (!Writable(*e)) continue;
            const std::u16string_view id = View(e->id);
            if (!options_.fullDetail && !names.contains(id)) continue;
            if (kind == ListKind::Team && team && id == u"PreferredPrimaryNIC") {
                preferredPrimary(*e, *team);
                continue;
            }
            entry(*e, id, indent, true);
        }
    }

    // The preferred primary is written as the number of the member NIC whose
    // name it holds; without such a member it is left out.
    void preferredPrimary(const PanelEntry &e, const TeamEntry &team) {
        for (const TeamMemberLink *m = team.members; m; m = m->next) {
            if (!m->adapter || !m->adapter->name) continue;
            if (View(m->adapter->name) != View(e.value)) continue;
            entryLine(Indent::Nic, View(e.id), fromUtf8(std::to_string(m->adapter->number)));
            return;
        }
    }

    template <class Body>
    void section(Markup name, Body &&body, Markup sectionPrefix = kNicSectionPrefix) {
        markup(sectionPrefix);
        markup("    <");
        markup(name);
        markup(">\n");
        body();
        markup(sectionPrefix);
        markup("    </");
        markup(name);
        markup(">\n");
    }

    // --- blocks ------------------------------------------------------------

    void versionBlock() {
        if (!options_.utilityVersion) {
            markup("<!-- ERROR : Utility Version Not found -->");
            return;
        }
        resource(kTextVersionBanner);
        markup("  <version UtilityVersion='");
        escaped(fromUtf8(*options_.utilityVersion));
        markup("' ScriptVersion='");
        markup(kScriptVersion);
        markup("'/>\n\n");
    }

    void nicBlock(const AdapterEntry &nic) {
        if (nic.number == 1) resource(kTextAdapterBanner);
        resource(kTextNicComment, nic.number);
        if (options_.addressComments) commented(FindEntry(nic.informationList, u"CurrentAddress"));
        markup("  <nic>\n");
        if (options_.fullDetail) fullNicBody(nic);
        else shortNicBody(nic);
        vlanBlocks(nic.vlans);
        markup("  </nic>\n\n");
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
                entry(fixed, Indent::Nic);
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
            if (nic.name) entryLine(Indent::Nic, u"nic_name", View(nic.name));
            markup("        <property id='nic_status' value='");
            ascii(StatusText(nic.status, nic.teamHandle != 0 && nic.activeInTeam == 0));
            markup("' />\n");
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
        markup("  <team relnics='");
        bool first = true;
        for (const TeamMemberLink *m = team.members; m; m = m->next) {
            if (m->isRemoved || !m->adapter) continue;
            if (!first) markup(" ");
            number(m->adapter->number);
            first = false;
        }
        markup("'>\n");
        if (options_.fullDetail) fullTeamBody(team);
        else shortTeamBody(team);
        vlanBlocks(team.vlans);
        markup("  </team>\n\n");
    }

    void shortTeamBody(const TeamEntry &team) {
        list(team.controlsList, ListKind::Team, &team);
        list(team.settingsList, ListKind::Team, &team);
        markup("    <property id='TeamNetworkAddress' value='' />\n");
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
        if (e && HasText(e->value)) entry(*e, Indent::Nic, false);
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
                markup("    <property id='MgtMode' value='");
                number(options_.managementMode == 1 ? 1 : 0);
                markup("' />\n");
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
            markup("    <vlan>\n");
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
            markup("    </vlan>\n");
        }
    }

    const ScriptOptions &options_;
    ScriptEncoder encoder_;
    ScriptOutput &out_;
    std::array<EncodedResource, 32> resources_;  // by string id
    std::array<std::string, 2> leads_;            // by Indent
};

}  // namespace

// Room for a script of a few hundred adapters without growing.
constexpr std::size_t kScriptCapacity = 512 * 1024;

void ComposeScript(const TeamEntry *teams, const AdapterEntry *adapters,
                   const ScriptOptions &options, ScriptOutput &out) {
    ScriptWriter(options, out).compose(teams, adapters);
}

std::string ComposeScript(const TeamEntry *teams, const AdapterEntry *adapters,
                          const ScriptOptions &options) {
    ScriptOutput out(kScriptCapacity);
    ComposeScript(teams, adapters, options, out);
    return out.take();
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
    // ISO-8859-1 needs no transcoder: the library is left alone, which saves
    // initialising and terminating it around every file written before InitXml.
    ScriptOutput document(kScriptCapacity);
    if (options.charset == ScriptCharset::ShiftJis) {
        XmlLibrarySession session;
        ComposeScript(teams, adapters, options, document);
    } else {
        ComposeScript(teams, adapters, options, document);
    }

    platform::AtomicOutputFile file;
    // A text stream: on Windows every line ends in CR LF.
    if (!file.open(path.narrowText(), platform::AtomicOutputFile::Mode::Text)) return 1;
    file.write(document.view());
    return file.commit() ? 0 : 1;
}

}  // namespace lxniccfg
