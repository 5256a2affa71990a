#include "generators.h"

#include <cstdlib>

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
