#include "generators.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/records.h"

namespace bench {

using testing_support::EntryList;
using testing_support::Text;

namespace {

constexpr int kDefinitions = 64;

std::string Property(int nic, int i) {
    std::string id = "Prop" + std::to_string(nic) + "_" + std::to_string(i);
    std::string text = "  <property id=\"" + id + "\" linkid=\"" + std::to_string(i + 1) +
                       "\" displayname=\"Property " + std::to_string(i) + "\"";
    if (i % 4 == 0) {
        text += " controltype=\"combo\" enum=\"true\" default=\"Enabled\""
                " range=\"Disabled|Enabled|Auto\" teamproperty=\"true\"";
    } else {
        text += " controltype=\"spin\" default=\"" + std::to_string(i % 100) +
                "\" range=\"0-4096\" step=\"1\" lowest=\"0\" rangetype=\"range\"";
    }
    // One text in eight is not plain ASCII, as translated hints are.
    text += (i % 8 == 3) ? " hint=\"Délai de modération des interruptions, en µs; 0 l&apos;arrête.\""
                         : " hint=\"How long the adapter waits before it interrupts the host &amp; more.\"";
    return text + "/>\n";
}

std::string Enumeration(int nic, int i) {
    return "  <enumeration id=\"Prop" + std::to_string(nic) + "_" + std::to_string(i) +
           "\">\n"
           "    <enumitem enumid=\"0\" enumvalue=\"Disabled\"/>\n"
           "    <enumitem enumid=\"1\" enumvalue=\"Enabled\"/>\n"
           "    <enumitem enumid=\"2\" enumvalue=\"Auto\"/>\n"
           "  </enumeration>\n";
}

std::string Item(int nic, int i) {
    return "    <panelitem>Prop" + std::to_string(nic) + "_" + std::to_string(i) + "</panelitem>\n";
}

}  // namespace

std::string DefinitionsDocument(std::size_t targetBytes) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<lxnicdefs version=\"1.0\" csum='112233-224466'>\n";
    const std::size_t perDefinition = targetBytes / kDefinitions;
    for (int nic = 0; nic < kDefinitions; ++nic) {
        std::string settings, advanced, properties, enumerations;
        int i = 0;
        while (settings.size() + advanced.size() + properties.size() + enumerations.size() <
               perDefinition) {
            (i % 5 == 0 ? settings : advanced) += Item(nic, i);
            properties += Property(nic, i);
            if (i % 4 == 0) enumerations += Enumeration(nic, i);
            ++i;
        }
        doc += "<nic type=\"BenchNic" + std::to_string(nic) + "\">\n";
        doc += "  <panel name=\"settings\">\n" + settings + "  </panel>\n";
        doc += "  <panel name=\"advanced\">\n" + advanced + "  </panel>\n";
        doc += properties;
        doc += enumerations;
        doc += "</nic>\n";
    }
    doc += "</lxnicdefs>\n";
    return doc;
}

namespace {

// A small deterministic generator, so that every run writes the same files.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T, std::size_t N>
    const T &pick(const T (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }

private:
    uint64_t state_;
};

enum Language { English, French, German, Japanese };

const char *const kIdParts[] = {"Rx", "Tx", "Jumbo", "Flow", "Interrupt", "Rss", "Vmq", "Lso", "Checksum",
                                "Wake", "Speed", "Link", "Queue", "Buffer", "Offload", "Priority", "Vlan",
                                "Energy", "Green", "Adaptive", "Coalesce", "Header", "Ring", "Packet",
                                "Filter", "Arp", "Magic", "Pattern", "Ipv4", "Ipv6", "Tcp", "Udp", "Encap",
                                "Sriov", "Vxlan", "Pause", "Timer", "Mtu", "Mac", "Numa", "Dma"};
const char *const kIdNouns[] = {"Buffers", "Moderation", "Offload", "Queues", "Priority", "Control",
                                "Enable", "Mode", "Size", "Count", "Delay", "Threshold", "Limit",
                                "Rate", "Timeout", "Usecs", "Frames", "Mask", "Policy", "Weight"};

const char *const kWordsEnglish[] = {
    "Receive", "Transmit", "Buffers", "Interrupt", "Moderation", "Offload", "Queue", "Priority",
    "Flow", "Control", "Jumbo", "Packet", "Checksum", "Large", "Send", "Wake on", "Magic", "Pattern",
    "Energy", "Efficient", "Ethernet", "Adaptive", "Rate", "Header", "Data", "Split", "Virtual",
    "Machine", "Queues", "Scaling", "Speed &", "Duplex", "Link", "Timer", "Coalescing", "Maximum",
    "Minimum", "Number of", "RSS", "VLAN", "Tagging", "Encapsulated", "Task", "Segment", "Ring", "Size"};
const char *const kWordsFrench[] = {
    "Délai", "de modération", "des interruptions", "Mémoire", "tampon", "de réception", "d’émission",
    "Contrôle", "de flux", "Trames", "étendues", "Déchargement", "somme", "de contrôle", "Priorité",
    "Réveil", "paquet", "magique", "Économie", "d’énergie", "Files", "d’attente", "côté", "réseau"};
const char *const kWordsGerman[] = {
    "Empfangspuffer", "Sendepuffer", "Größe", "Unterbrechungs", "moderation", "Flusssteuerung",
    "Übertragung", "Prüfsummen", "Abladung", "Energieeffizientes", "Aufwecken", "über", "Netzwerk",
    "Warteschlangen", "Empfangsseitige", "Skalierung", "Priorität", "Verzögerung"};
const char *const kWordsJapanese[] = {"受信", "送信", "バッファー", "割り込み", "調整", "フロー制御",
                                      "ジャンボ", "フレーム", "チェックサム", "オフロード", "優先度",
                                      "省電力", "キュー", "数", "最大", "最小", "設定", "の"};

const char *const kHintsEnglish[] = {
    "How many", "descriptors the adapter keeps", "for each queue;", "a larger value uses more memory",
    "but drops fewer packets", "under load.", "Lets the adapter", "compute checksums", "itself,",
    "which lowers the processor load.", "Groups interrupts", "so that the host", "is woken less often;",
    "raises latency", "a little.", "Needs a restart", "of the driver", "to take effect.", "A team uses",
    "the smallest value", "of its members.", "Disabled turns it off."};
const char *const kHintsFrench[] = {
    "Nombre de descripteurs", "que la carte garde", "par file;", "une valeur plus grande", "consomme",
    "plus de mémoire", "mais perd moins de paquets.", "Regroupe les interruptions", "pour réduire",
    "la charge du processeur;", "augmente un peu", "la latence.", "Prend effet", "après le redémarrage",
    "du pilote."};
const char *const kHintsGerman[] = {
    "Anzahl der Deskriptoren,", "die der Adapter", "je Warteschlange hält;", "ein größerer Wert",
    "braucht mehr Speicher,", "verliert aber weniger Pakete.", "Fasst Unterbrechungen zusammen",
    "und entlastet", "den Prozessor;", "erhöht die Latenz", "etwas.", "Wirkt erst nach", "einem Neustart",
    "des Treibers."};
const char *const kHintsJapanese[] = {"キューごとに", "アダプターが保持する", "記述子の数です。",
                                      "大きな値は", "メモリーを多く使いますが、", "負荷時の",
                                      "パケット損失を減らします。", "割り込みをまとめて",
                                      "プロセッサーの負荷を下げます。", "ドライバーの再起動後に",
                                      "有効になります。"};

const char *const kOnOff[][4] = {{"Disabled", "Enabled", "Rx Enabled", "Rx & Tx Enabled"},
                                 {"Désactivé", "Activé", "Réception activée", "Réception et émission"},
                                 {"Deaktiviert", "Aktiviert", "Empfang aktiviert", "Senden & Empfangen"},
                                 {"無効", "有効", "受信のみ有効", "送受信とも有効"}};

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Words of the language joined until the text is between low and high bytes
// long (cut at a character boundary when a word overshoots).
std::string Phrase(Random &r, Language language, bool hint, std::size_t low, std::size_t high) {
    std::string text;
    while (text.size() < low) {
        const char *word;
        switch (language) {
        case French: word = hint ? r.pick(kHintsFrench) : r.pick(kWordsFrench); break;
        case German: word = hint ? r.pick(kHintsGerman) : r.pick(kWordsGerman); break;
        case Japanese: word = hint ? r.pick(kHintsJapanese) : r.pick(kWordsJapanese); break;
        default: word = hint ? r.pick(kHintsEnglish) : r.pick(kWordsEnglish); break;
        }
        if (!text.empty() && language != Japanese) text += ' ';
        text += word;
    }
    if (text.size() > high) {
        std::size_t cut = high;
        while (cut > 0 && IsUtf8Continuation(text[cut])) --cut;
        text.resize(cut);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string Escaped(const std::string &text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// The item texts of an enumeration of n items.
std::vector<std::string> EnumTexts(Random &r, Language language, int n) {
    std::vector<std::string> texts;
    if (n <= 4) {
        for (int k = 0; k < n; ++k) texts.emplace_back(kOnOff[language][k]);
        return texts;
    }
    static const char *const kSpeeds[] = {"Auto Negotiation", "10 Mbps Half Duplex", "10 Mbps Full Duplex",
                                          "100 Mbps Half Duplex", "100 Mbps Full Duplex", "1 Gbps Full Duplex",
                                          "2.5 Gbps Full Duplex", "5 Gbps Full Duplex", "10 Gbps Full Duplex",
                                          "25 Gbps Full Duplex", "40 Gbps Full Duplex", "50 Gbps Full Duplex",
                                          "100 Gbps Full Duplex", "200 Gbps Full Duplex", "400 Gbps Full Duplex",
                                          "Auto Negotiation (legacy)"};
    const int pattern = r.below(3);
    for (int k = 0; k < n; ++k) {
        if (pattern == 0 && language == English) texts.emplace_back(kSpeeds[k]);
        else if (pattern == 1) texts.push_back(std::to_string(1 << (k % 12)) + (language == Japanese ? " キュー" : " Queues") + (k >= 12 ? " (" + std::to_string(k) + ")" : ""));
        else texts.push_back(Phrase(r, language, false, 6, 14) + " " + std::to_string(k));
    }
    return texts;
}

const int kItemCounts[] = {2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 8, 10, 12, 16};

const char *const kPanels[] = {"settings", "advanced", "statistics", "information", "diagnostics"};

// One <nic> element of `properties` properties.
std::string RealisticDefinition(Random &r, const std::string &type, const std::string &base, int properties,
                                Language language) {
    const char *const eol = "\r\n";
    std::string panels[5], body, enumerations, rules;
    std::vector<std::string> ids;
    for (int i = 0; i < properties; ++i)
        ids.push_back(std::string(r.pick(kIdParts)) + r.pick(kIdNouns) + std::to_string(i));
    for (int i = 0; i < properties; ++i) {
        // Text of the definition's language, with a French text now and then
        // in the English ones.
        const Language lang = (language == English && i % 10 == 7) ? French : language;
        const std::string &id = ids[static_cast<std::size_t>(i)];
        const int group = r.below(10);
        const int panel = group == 0 ? 0 : group <= 5 ? 1 : group <= 7 ? 2 : group == 8 ? 3 : 4;
        panels[panel] += "    <panelitem>" + id + "</panelitem>" + eol;
        const int role = i % 25;  // 0: drives rules; 1 to 3: driven by the property before them
        const bool held = role <= 3 || !r.chance(3);
        const bool enumerated = panel <= 1 && (role == 0 || r.chance(45));
        std::string p = "  <property id=\"" + id + "\" linkid=\"" + (held ? std::to_string(1000 + i) : "-1") +
                        "\" displayname=\"" + Escaped(Phrase(r, lang, false, 15, 30)) + "\"";
        std::string defaultText;
        if (enumerated) {
            const int n = r.pick(kItemCounts);
            std::vector<std::string> texts = EnumTexts(r, lang, n);
            std::string range;
            enumerations += "  <enumeration id=\"" + id + "\">" + eol;
            for (int k = 0; k < n; ++k) {
                enumerations += "    <enumitem enumid=\"" + std::to_string(k) + "\" enumvalue=\"" +
                                Escaped(texts[static_cast<std::size_t>(k)]) + "\"/>" + eol;
                if (k) range += '|';
                range += texts[static_cast<std::size_t>(k)];
            }
            enumerations += std::string("  </enumeration>") + eol;
            defaultText = texts[static_cast<std::size_t>(r.below(n))];
            p += " controltype=\"combo\" enum=\"true\" default=\"" + Escaped(defaultText) + "\" range=\"" +
                 Escaped(range) + "\" step=\"1\"";
        } else if (panel <= 1) {
            const int high = 1 << r.between(4, 16);
            p += " controltype=\"spin\" default=\"" + std::to_string(high / 4) + "\" range=\"" +
                 std::to_string(high / 16) + "-" + std::to_string(high) + "\" step=\"" +
                 std::to_string(1 << r.below(4)) + "\"";
        } else {
            p += " controltype=\"static\" default=\"0\" range=\"0-4294967295\" step=\"1\"";
        }
        if (r.chance(20)) p += " lowest=\"0\" rangetype=\"numeric_low\" teamproperty=\"true\"";
        if (role == 0) p += " dependency=\"2\"";
        else if (role <= 3) p += " dependency=\"1\"";
        if (r.chance(5)) p += " hide=\"true\"";
        if (r.chance(10)) p += " splevel=\"2\"";
        if (r.chance(10)) p += " vbdrestart=\"1\"";
        p += " hint=\"" + Escaped(Phrase(r, lang, true, 40, 80)) + "\"/>" + eol;
        body += p;
        if (role == 0) {
            // Two rules: one for the first value of the source and one for the next.
            for (int v = 0; v < 2; ++v) {
                rules += "  <sourceproperty name=\"" + id + "\" value=\"" + (v ? "1" : "0") + "\">" + eol;
                for (int t = 1; t <= 3 && i + t < properties; ++t)
                    rules += "    <linkproperty name=\"" + ids[static_cast<std::size_t>(i + t)] +
                             "\" range=\"" + (v ? "64-9014" : "64-1514") + "\" default=\"" +
                             (v ? "9014" : "1514") + "\"/>" + eol;
                rules += std::string("  </sourceproperty>") + eol;
            }
        }
    }
    std::string doc = "<nic type=\"" + type + "\"" + (base.empty() ? "" : " derived=\"" + base + "\"") + ">" + eol;
    for (int k = 0; k < 5; ++k) {
        if (panels[k].empty()) continue;
        doc += std::string("  <panel name=\"") + kPanels[k] + "\">" + eol + panels[k] + "  </panel>" + eol;
    }
    doc += body;
    doc += enumerations;
    doc += rules;
    doc += std::string("</nic>") + eol;
    return doc;
}

}  // namespace

std::string RealisticDocument(std::size_t targetBytes, bool oneLarge) {
    Random r(0x5eed + targetBytes + (oneLarge ? 1 : 0));
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      "<lxnicdefs version=\"2.3\" csum='112233-224466'>\r\n"
                      "<!-- Adapter property definitions. Generated for the benchmarks. -->\r\n";
    const char *const end = "</lxnicdefs>\r\n";
    // Several hundred properties per definition; in the largest files more,
    // so that the definitions fit the catalog's 128 slots.
    constexpr std::size_t kBytesPerProperty = 330;  // about, with its share of panels, enumerations and rules
    constexpr int kMostDefinitions = 110;
    const int perDefinition =
        std::max(400, static_cast<int>(targetBytes / kBytesPerProperty / kMostDefinitions));
    std::string root;
    int count = 0;
    auto next = [&](int properties) {
        const bool derived = count % 8 == 7 && !root.empty();
        const std::string type = "VLT57" + std::to_string(10 + count) + (derived ? "S" : "C");
        const auto language = static_cast<Language>(count % 4 == 3 ? 1 + (count / 4) % 3 : 0);
        doc += RealisticDefinition(r, type, derived ? root : "", derived ? properties / 4 : properties, language);
        if (!derived) root = type;
        ++count;
    };
    if (oneLarge) {
        // A few ordinary definitions around one that holds the rest.
        next(400);
        const std::size_t small = doc.size();  // what an ordinary definition takes
        const std::size_t rest = targetBytes > 3 * small ? targetBytes - 3 * small : 0;
        next(std::max(400, static_cast<int>(rest * 400 / small)));
        next(400);
        next(400);
    } else {
        while (doc.size() + 2000 < targetBytes) {
            const std::size_t left = targetBytes - doc.size();
            const int properties = static_cast<int>(left / kBytesPerProperty);
            next(std::max(50, std::min(perDefinition, properties)));
        }
    }
    return doc + end;
}

std::string PanelDefinitions(const std::string &type, int properties, int items) {
    std::string doc = "<nic type=\"" + type + "\">\n  <panel name=\"advanced\">\n";
    for (int k = 0; k < items; ++k)
        doc += "    <panelitem>Prop" + std::to_string(static_cast<long>(k) * properties / items) +
               "</panelitem>\n";
    doc += "  </panel>\n";
    for (int i = 0; i < properties; ++i)
        doc += "  <property id=\"Prop" + std::to_string(i) + "\" linkid=\"" + std::to_string(i + 1) +
               "\" displayname=\"Property " + std::to_string(i) +
               "\" controltype=\"spin\" default=\"0\" range=\"0-4096\" hint=\"A property.\"/>\n";
    doc += "</nic>\n";
    return doc;
}

namespace {

template <class T>
T *Zeroed() {
    return static_cast<T *>(std::calloc(1, sizeof(T)));
}

template <class T>
void Append(T **&tail, T *item) {
    *tail = item;
    tail = &item->next;
}

}  // namespace

Configuration::Configuration(int nicCount, int teamCount, int vlanCount) {
    std::vector<AdapterEntry *> all;
    AdapterEntry **nicTail = &nics;
    const int perTeam = nicCount / teamCount;
    for (int n = 1; n <= nicCount; ++n) {
        auto *nic = Zeroed<AdapterEntry>();
        nic->number = static_cast<uint32_t>(n);
        nic->handle = 1000 + static_cast<uint64_t>(n);
        nic->name = Text("eth" + std::to_string(n - 1));
        nic->capabilities = 1;
        nic->teamHandle = 5000 + static_cast<uint64_t>((n - 1) / perTeam);
        nic->activeInTeam = 1;
        nic->settingsList = EntryList({{.id = "SpeedDuplex", .value = "Auto Negotiation"},
                                       {.id = "NetworkAddress", .value = ""},
                                       {.id = "FlowControl", .value = "Rx & Tx Enabled"}});
        nic->teamSettingsList = EntryList({{.id = "PreferredPrimaryRanking", .value = "1"},
                                           {.id = "DualChannelGroup", .value = "0"}});
        nic->advancedList = EntryList({{.id = "TOEEnabled", .value = "Disabled"},
                                       {.id = "RSSEnabled", .value = "Enabled"},
                                       {.id = "JumboFrames", .value = "9014 Bytes"}});
        nic->iscsiSettingsList = EntryList({{.id = "iSCSIEnabled", .value = "Disabled"},
                                            {.id = "iSCSIVlanId", .value = "0"}});
        nic->informationList = EntryList({{.id = "CurrentAddress", .value = "00-11-22-33-44-55"}});
        all.push_back(nic);
        Append(nicTail, nic);
    }
    TeamEntry **teamTail = &teams;
    const int vlansPerTeam = vlanCount / teamCount;
    for (int t = 0; t < teamCount; ++t) {
        auto *team = Zeroed<TeamEntry>();
        team->handle = 5000 + static_cast<uint64_t>(t);
        team->settingsList = EntryList({{.id = "TeamName", .value = "Team " + std::to_string(t)},
                                        {.id = "OpMode", .value = "Smart Load Balancing"},
                                        {.id = "LoadBalAlgorithm", .value = "Layer 3"},
                                        {.id = "RxPathValidationMode", .value = "Disabled"},
                                        {.id = "DefaultVlanId", .value = "1"}});
        team->advancedList = EntryList({{.id = "TOEEnabled", .value = "Disabled"},
                                        {.id = "RSSEnabled", .value = "Enabled"}});
        TeamMemberLink **memberTail = &team->members;
        for (int m = 0; m < perTeam; ++m) {
            auto *link = Zeroed<TeamMemberLink>();
            link->adapter = all[static_cast<std::size_t>(t * perTeam + m)];
            link->adapterHandle = link->adapter->handle;
            Append(memberTail, link);
        }
        VlanEntry **vlanTail = &team->vlans;
        for (int v = 0; v < vlansPerTeam; ++v) {
            auto *vlan = Zeroed<VlanEntry>();
            const int id = 2 + t * vlansPerTeam + v;
            vlan->identificationList = EntryList({{.id = "VlanId", .value = std::to_string(id)},
                                                  {.id = "VlanName", .value = "vlan" + std::to_string(id)}});
            Append(vlanTail, vlan);
        }
        Append(teamTail, team);
    }
}

Configuration::~Configuration() { testing_support::FreeNicList(teams, nics); }

}  // namespace bench
