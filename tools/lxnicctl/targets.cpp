#include "targets.h"

#include "library.h"
#include "records.h"
#include "text.h"

namespace lxnicctl {

namespace {

constexpr const char *kNicPrefix = "nic:";
constexpr const char *kTeamPrefix = "team:";
constexpr const char *kVlanPrefix = "vlan:";
constexpr const char *kHandlePrefix = "handle:";

bool AllDigits(const std::string &text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool StripPrefix(std::string &text, const char *prefix) {
    std::string p = prefix;
    if (text.compare(0, p.size(), p) != 0) return false;
    text.erase(0, p.size());
    return true;
}

std::string AdapterChoices(Session &session) {
    std::string choices;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        choices += (choices.empty() ? "" : ", ") + std::to_string(a->number) + " " + AdapterName(a);
    }
    return choices.empty() ? "none" : choices;
}

std::string TeamChoices(Session &session) {
    std::string choices;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        choices += (choices.empty() ? "\"" : ", \"") + TeamName(t) + "\"";
    }
    return choices.empty() ? "none" : choices;
}

int TeamsNamed(Session &session, const std::string &name) {
    int count = 0;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) count += TeamName(t) == name ? 1 : 0;
    return count;
}

int AdaptersNamed(Session &session, const std::string &name) {
    int count = 0;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) count += AdapterName(a) == name ? 1 : 0;
    return count;
}

Target AdapterTarget(AdapterEntry *adapter) {
    Target target;
    target.kind = TargetKind::Adapter;
    target.adapter = adapter;
    target.label = AdapterName(adapter);
    return target;
}

Target TeamTarget(TeamEntry *team) {
    Target target;
    target.kind = TargetKind::Team;
    target.team = team;
    target.label = "team \"" + TeamName(team) + "\"";
    return target;
}

Target VlanTarget(Session &session, const Target &parent, VlanEntry *vlan) {
    Target target = parent;
    target.kind = TargetKind::Vlan;
    target.vlan = vlan;
    target.label = "VLAN " + VlanId(session, vlan, parent.label) + " on " + parent.label;
    return target;
}

VlanEntry *&VlanList(const Target &parent) {
    return parent.kind == TargetKind::Team ? parent.team->vlans : parent.adapter->vlans;
}

// How a command names the target without doubt.
std::string Designation(Session &session, const Target &target) {
    switch (target.kind) {
    case TargetKind::Adapter: return kNicPrefix + std::to_string(target.adapter->number);
    case TargetKind::Team:
        if (TeamsNamed(session, TeamName(target.team)) > 1) return kHandlePrefix + std::to_string(target.team->handle);
        return kTeamPrefix + TeamName(target.team);
    case TargetKind::Vlan: {
        std::string parent;
        if (target.team != nullptr) {
            parent = TeamsNamed(session, TeamName(target.team)) == 1 &&
                             AdaptersNamed(session, TeamName(target.team)) == 0 && !AllDigits(TeamName(target.team))
                         ? TeamName(target.team)
                         : Designation(session, TeamTarget(target.team));
        } else {
            parent = AdaptersNamed(session, AdapterName(target.adapter)) == 1 &&
                             TeamsNamed(session, AdapterName(target.adapter)) == 0
                         ? AdapterName(target.adapter)
                         : Designation(session, AdapterTarget(target.adapter));
        }
        std::string id = VlanId(session, target.vlan, target.label);
        int sameId = 0;
        for (VlanEntry *v = VlanList(target); v != nullptr; v = v->next) {
            sameId += SameVlanId(VlanId(session, v, target.label), id) ? 1 : 0;
        }
        if (sameId > 1) return kHandlePrefix + std::to_string(target.vlan->handle);
        return kVlanPrefix + parent + "/" + id;
    }
    }
    return target.label;
}

[[noreturn]] void Ambiguous(Session &session, const std::string &text, const std::vector<Target> &found) {
    std::string which;
    for (const Target &t : found) which += (which.empty() ? "" : ", ") + t.label + " (" + Designation(session, t) + ")";
    throw Failure("\"" + text + "\" is ambiguous: it names " + which + "; say which");
}

std::vector<Target> AdapterMatches(Session &session, const std::string &text) {
    std::vector<Target> found;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        if (AllDigits(text) ? std::to_string(a->number) == text : AdapterName(a) == text) {
            found.push_back(AdapterTarget(a));
        }
    }
    return found;
}

std::vector<Target> TeamMatches(Session &session, const std::string &text) {
    std::vector<Target> found;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (TeamName(t) == text) found.push_back(TeamTarget(t));
    }
    return found;
}

// Any object by its handle (as list --json shows it).
std::vector<Target> HandleMatches(Session &session, const std::string &text) {
    std::vector<Target> found;
    if (!AllDigits(text)) return found;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        if (std::to_string(a->handle) == text) found.push_back(AdapterTarget(a));
        for (VlanEntry *v = a->vlans; v != nullptr; v = v->next) {
            if (std::to_string(v->handle) == text) found.push_back(VlanTarget(session, AdapterTarget(a), v));
        }
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (std::to_string(t->handle) == text) found.push_back(TeamTarget(t));
        for (VlanEntry *v = t->vlans; v != nullptr; v = v->next) {
            if (std::to_string(v->handle) == text) found.push_back(VlanTarget(session, TeamTarget(t), v));
        }
    }
    return found;
}

// Adapters and teams that a parent text can name (nic:, team: and handle:
// forms included), without refusing anything.
std::vector<Target> ParentMatches(Session &session, const std::string &text) {
    std::string rest = text;
    if (StripPrefix(rest, kNicPrefix)) return AdapterMatches(session, rest);
    rest = text;
    if (StripPrefix(rest, kTeamPrefix)) return TeamMatches(session, rest);
    rest = text;
    if (StripPrefix(rest, kHandlePrefix)) {
        std::vector<Target> found;
        for (const Target &t : HandleMatches(session, rest)) {
            if (t.kind != TargetKind::Vlan) found.push_back(t);
        }
        return found;
    }
    std::vector<Target> found = AdapterMatches(session, text);
    for (const Target &t : TeamMatches(session, text)) found.push_back(t);
    return found;
}

// VLANs of a parent whose id (key all digits, compared as a number) or name is key.
std::vector<Target> VlanMatches(Session &session, const Target &parent, const std::string &key) {
    std::vector<Target> found;
    for (VlanEntry *v = VlanList(parent); v != nullptr; v = v->next) {
        if (AllDigits(key) ? SameVlanId(VlanId(session, v, parent.label), key)
                           : VlanName(session, v, parent.label) == key) {
            found.push_back(VlanTarget(session, parent, v));
        }
    }
    return found;
}

Target One(Session &session, const std::string &text, const std::vector<Target> &found, const std::string &none) {
    if (found.size() > 1) Ambiguous(session, text, found);
    if (found.empty()) throw Failure(none);
    return found.front();
}

std::string VlanIds(Session &session, const Target &parent) {
    std::string ids;
    for (VlanEntry *v = VlanList(parent); v != nullptr; v = v->next) {
        ids += (ids.empty() ? "" : ", ") + VlanId(session, v, parent.label);
    }
    return ids.empty() ? "none" : ids;
}

// vlan:PARENT/ID or vlan:PARENT/NAME.
Target ResolveQualifiedVlan(Session &session, const std::string &text, const std::string &rest) {
    std::size_t slash = rest.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == rest.size()) {
        throw Failure("\"" + text + "\" is not vlan:PARENT/ID (for example vlan:eth2/10)");
    }
    Target parent = ResolveParent(session, rest.substr(0, slash));
    std::string key = rest.substr(slash + 1);
    return One(session, text, VlanMatches(session, parent, key),
               "no VLAN \"" + key + "\" on " + parent.label + " (its VLANs: " + VlanIds(session, parent) + ")");
}

}  // namespace

std::string VlanIdKey(const std::string &id) {
    if (!AllDigits(id)) return id;
    std::size_t i = id.find_first_not_of('0');
    return id.substr(i == std::string::npos ? id.size() : i);
}

bool SameVlanId(const std::string &a, const std::string &b) { return VlanIdKey(a) == VlanIdKey(b); }

Target TargetOf(AdapterEntry *adapter) { return AdapterTarget(adapter); }
Target TargetOf(TeamEntry *team) { return TeamTarget(team); }
Target VlanTargetOf(Session &session, const Target &parent, VlanEntry *vlan) {
    return VlanTarget(session, parent, vlan);
}

std::string AdapterName(const AdapterEntry *adapter) {
    std::string name = ToUtf8(adapter->name);
    return name.empty() ? "adapter " + std::to_string(adapter->number) : name;
}

std::string TeamName(const TeamEntry *team) { return ToUtf8(team->teamText); }

std::string StatusText(uint32_t status) {
    switch (status & 0xFFFF) {
    case 0: return "Active";
    case 1: return "Not Active";
    case 2: return "Degraded";
    case 3: return "Degraded Not Active";
    case 5: return "Disabled";
    default: return "Unknown";
    }
}

namespace {

std::string PanelText(Session &session, VlanEntry *vlan, const std::string &id, const std::string &parentLabel) {
    PanelEntry *list = session.teamPanel(vlan, "Vlan", vlan->identificationList, "a VLAN on " + parentLabel);
    PanelEntry *entry = FindEntry(list, id);
    return entry == nullptr ? std::string() : ShownValue(entry);
}

}  // namespace

std::string VlanId(Session &session, VlanEntry *vlan, const std::string &parentLabel) {
    return PanelText(session, vlan, "VlanId", parentLabel);
}

std::string VlanName(Session &session, VlanEntry *vlan, const std::string &parentLabel) {
    return PanelText(session, vlan, "VlanName", parentLabel);
}

AdapterEntry *ResolveAdapter(Session &session, const std::string &text) {
    std::string rest = text;
    StripPrefix(rest, kNicPrefix);
    return One(session, text, AdapterMatches(session, rest),
               "no adapter \"" + text + "\" (adapters: " + AdapterChoices(session) + ")")
        .adapter;
}

TeamEntry *ResolveTeam(Session &session, const std::string &text) {
    std::string rest = text;
    std::vector<Target> found;
    if (StripPrefix(rest, kHandlePrefix)) {
        for (const Target &t : HandleMatches(session, rest)) {
            if (t.kind == TargetKind::Team) found.push_back(t);
        }
    } else {
        rest = text;
        StripPrefix(rest, kTeamPrefix);
        found = TeamMatches(session, rest);
    }
    return One(session, text, found, "no team \"" + text + "\" (teams: " + TeamChoices(session) + ")").team;
}

Target ResolveParent(Session &session, const std::string &text) {
    return One(session, text, ParentMatches(session, text),
               "no adapter or team \"" + text + "\" (adapters: " + AdapterChoices(session) +
                   "; teams: " + TeamChoices(session) + ")");
}

Target ResolveTarget(Session &session, const std::string &text) {
    std::string rest = text;
    if (StripPrefix(rest, kVlanPrefix)) return ResolveQualifiedVlan(session, text, rest);
    rest = text;
    if (StripPrefix(rest, kNicPrefix)) return AdapterTarget(ResolveAdapter(session, text));
    rest = text;
    if (StripPrefix(rest, kTeamPrefix)) return TeamTarget(ResolveTeam(session, text));
    rest = text;
    if (StripPrefix(rest, kHandlePrefix)) {
        return One(session, text, HandleMatches(session, rest), "no adapter, team or VLAN with handle " + rest);
    }

    // Every reading of the text: an adapter, a team, a VLAN as PARENT/KEY
    // (split at the last '/', so a team name may hold '/').
    std::vector<Target> found = AdapterMatches(session, text);
    for (const Target &t : TeamMatches(session, text)) found.push_back(t);
    std::size_t slash = text.rfind('/');
    if (slash != std::string::npos && slash > 0 && slash + 1 < text.size()) {
        for (const Target &parent : ParentMatches(session, text.substr(0, slash))) {
            for (const Target &t : VlanMatches(session, parent, text.substr(slash + 1))) found.push_back(t);
        }
    }
    // A VLAN's name alone, when nothing else has it.
    if (found.empty() && !AllDigits(text)) {
        for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
            for (VlanEntry *v = a->vlans; v != nullptr; v = v->next) {
                if (VlanName(session, v, AdapterName(a)) == text) {
                    found.push_back(VlanTarget(session, AdapterTarget(a), v));
                }
            }
        }
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            for (VlanEntry *v = t->vlans; v != nullptr; v = v->next) {
                if (VlanName(session, v, TeamTarget(t).label) == text) {
                    found.push_back(VlanTarget(session, TeamTarget(t), v));
                }
            }
        }
    }
    return One(session, text, found,
               "no adapter, team or VLAN \"" + text + "\" (adapters: " + AdapterChoices(session) +
                   "; teams: " + TeamChoices(session) + "; VLANs are named PARENT/ID)");
}

std::string Target::canonicalPanel(const std::string &name) const {
    for (const std::string &known : knownPanels()) {
        if (SameTextIgnoringCase(known, name)) return known;
    }
    return name;
}
PanelEntry *&Target::slot(Session &session, const std::string &panel) const {
    switch (kind) {
    case TargetKind::Adapter:
        if (panel == "Settings") return adapter->settingsList;
        if (panel == "Advanced") return adapter->advancedList;
        if (panel == "Statistics") return adapter->statisticsList1;
        if (panel == "Information") return adapter->informationList;
        if (panel == "ConnectionInfo") return adapter->connectionInfoList;
        if (panel == "ConnectionStats") return adapter->connectionStatsList;
        break;
    case TargetKind::Team:
        if (panel == "TeamingControls") return team->controlsList;
        if (panel == "TeamSettings") return team->settingsList;
        if (panel == "TeamAdvanced") return team->advancedList;
        if (panel == "AdvancedRedundancy") return team->redundancyList;
        if (panel == "DiscProtocols") return team->discProtocolList;
        if (panel == "TeamInfo") return team->informationList1;
        if (panel == "TeamStatistics") return team->statisticsList1;
        if (panel == "TeamConnectionInfo") return team->connectionInfoList;
        if (panel == "TeamConnectionStats") return team->connectionStatsList;
        break;
    case TargetKind::Vlan:
        if (panel == "Vlan") return vlan->identificationList;
        if (panel == "VlanConnectionInfo") return vlan->connectionInfoList;
        if (panel == "VlanConnectionStats") return vlan->connectionStatsList;
        break;
    }
    return session.extraSlot();
}

PanelEntry *Target::panel(Session &session, const std::string &name, bool optional) const {
    PanelEntry *&list = slot(session, name);
    if (kind == TargetKind::Adapter) return session.adapterPanel(adapter, name, list, optional);
    if (kind == TargetKind::Team && name == "TeamAdvanced") {
        // The team's advanced settings are derived from the values its
        // members offer (their selected values), as a front end shows them.
        for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
            if (m->adapter != nullptr) {
                SelectShownValues(session.adapterPanel(m->adapter, "Advanced", m->adapter->advancedList, true));
            }
        }
    }
    void *record = kind == TargetKind::Team ? static_cast<void *>(team) : static_cast<void *>(vlan);
    return session.teamPanel(record, name, list, label, optional);
}

std::vector<std::string> Target::defaultPanels() const {
    switch (kind) {
    case TargetKind::Adapter: return {"Settings", "Advanced"};
    case TargetKind::Team: return {"TeamingControls", "TeamSettings", "TeamAdvanced"};
    case TargetKind::Vlan: return {"Vlan"};
    }
    return {};
}

std::vector<std::string> Target::editablePanels() const {
    switch (kind) {
    case TargetKind::Adapter: return {"Settings", "Advanced"};
    case TargetKind::Team: return {"TeamingControls", "TeamSettings", "AdvancedRedundancy", "TeamAdvanced"};
    case TargetKind::Vlan: return {"Vlan"};
    }
    return {};
}

std::vector<std::string> Target::knownPanels() const {
    switch (kind) {
    case TargetKind::Adapter:
        return {"Settings", "Information", "ConnectionInfo", "ConnectionStats", "Statistics",
                "AdvStatsActivity", "AdvStatsXmitErrors", "AdvStatsRcvErrors", "Advanced",
                "Diagnostics", "AdapterTeam", "AdapterTeamStatus", "AdapterUtilization",
                "iSCSIStatistics", "iSCSIToeStatistics", "iSCSIInformation", "iSCSIAdvanced",
                "iSCSIIP", "iSCSIVlan", "RegistryValues", "ProtRegistryValues", "TaskOffload",
                "ToeTaskOffload", "RSSTaskOffload", "AdvRedAdapterTeamStatus",
                "DiscProtocolsAdapterData", "WSDStatistics", "WSDPerformance", "WSDAddresses",
                "WSDInformation", "ToeStatistics"};
    case TargetKind::Team:
        return {"TeamingControls", "TeamSettings", "AdvancedRedundancy", "DiscProtocols",
                "TeamInfo", "TeamConnectionInfo", "TeamConnectionStats", "TeamStatistics",
                "TeamAdvanced", "TeamInfo1", "TeamInfo2", "TeamInfo3", "TeamStatus1",
                "TeamStatus2", "TeamStatus3", "TeamUtilization", "RegistryValues", "TaskOffload",
                "ToeTaskOffload", "RSSTaskOffload", "TeamRxStats", "TeamTxStats",
                "TeamToeStatistics"};
    case TargetKind::Vlan:
        return {"Vlan", "VlanInfo", "VlanConnectionInfo", "VlanConnectionStats", "VlanStatistics",
                "VlanRegistryValues"};
    }
    return {};
}

}  // namespace lxnicctl
