#include "targets.h"

#include "library.h"
#include "records.h"
#include "text.h"

namespace lxnicctl {

namespace {

bool AllDigits(const std::string &text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
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

VlanEntry *FindVlan(Session &session, VlanEntry *vlans, const std::string &key,
                    const std::string &parentLabel) {
    for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
        if (AllDigits(key) ? VlanId(session, v, parentLabel) == key
                           : VlanName(session, v, parentLabel) == key) {
            return v;
        }
    }
    return nullptr;
}

Target VlanTarget(Session &session, const Target &parent, VlanEntry *vlan) {
    Target target = parent;
    target.kind = TargetKind::Vlan;
    target.vlan = vlan;
    target.label = "VLAN " + VlanId(session, vlan, parent.label) + " on " + parent.label;
    return target;
}

std::string PanelText(Session &session, VlanEntry *vlan, const std::string &id,
                      const std::string &parentLabel) {
    PanelEntry *list =
        session.teamPanel(vlan, "Vlan", vlan->identificationList, "a VLAN on " + parentLabel);
    PanelEntry *entry = FindEntry(list, id);
    return entry == nullptr ? std::string() : ShownValue(entry);
}

}  // namespace

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

std::string VlanId(Session &session, VlanEntry *vlan, const std::string &parentLabel) {
    return PanelText(session, vlan, "VlanId", parentLabel);
}

std::string VlanName(Session &session, VlanEntry *vlan, const std::string &parentLabel) {
    return PanelText(session, vlan, "VlanName", parentLabel);
}

AdapterEntry *ResolveAdapter(Session &session, const std::string &text) {
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        if (AllDigits(text) ? std::to_string(a->number) == text : AdapterName(a) == text) return a;
    }
    throw Failure("no adapter \"" + text + "\" (adapters: " + AdapterChoices(session) + ")");
}

TeamEntry *ResolveTeam(Session &session, const std::string &text) {
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (TeamName(t) == text) return t;
    }
    throw Failure("no team \"" + text + "\" (teams: " + TeamChoices(session) + ")");
}

Target ResolveParent(Session &session, const std::string &text) {
    std::vector<Target> found;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        if (AllDigits(text) ? std::to_string(a->number) == text : AdapterName(a) == text) {
            found.push_back(AdapterTarget(a));
            break;
        }
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (TeamName(t) == text) {
            found.push_back(TeamTarget(t));
            break;
        }
    }
    if (found.size() > 1) {
        throw Failure("\"" + text + "\" names both an adapter and a team; use the adapter's number");
    }
    if (found.empty()) {
        throw Failure("no adapter or team \"" + text + "\" (adapters: " + AdapterChoices(session) +
                      "; teams: " + TeamChoices(session) + ")");
    }
    return found.front();
}

Target ResolveTarget(Session &session, const std::string &text) {
    // PARENT/VLAN: the last '/' separates them, so a team name may hold '/'.
    std::size_t slash = text.rfind('/');
    if (slash != std::string::npos && slash > 0 && slash + 1 < text.size()) {
        std::string parentText = text.substr(0, slash), key = text.substr(slash + 1);
        bool parentExists = false;
        for (AdapterEntry *a = session.adapters(); a != nullptr && !parentExists; a = a->next) {
            parentExists = AllDigits(parentText) ? std::to_string(a->number) == parentText
                                                 : AdapterName(a) == parentText;
        }
        for (TeamEntry *t = session.teams(); t != nullptr && !parentExists; t = t->next) {
            parentExists = TeamName(t) == parentText;
        }
        if (parentExists) {
            Target parent = ResolveParent(session, parentText);
            VlanEntry *vlans = parent.kind == TargetKind::Team ? parent.team->vlans : parent.adapter->vlans;
            VlanEntry *vlan = FindVlan(session, vlans, key, parent.label);
            if (vlan == nullptr) {
                std::string ids;
                for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
                    ids += (ids.empty() ? "" : ", ") + VlanId(session, v, parent.label);
                }
                throw Failure("no VLAN \"" + key + "\" on " + parent.label +
                              " (its VLANs: " + (ids.empty() ? "none" : ids) + ")");
            }
            return VlanTarget(session, parent, vlan);
        }
    }

    std::vector<Target> found;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        if (AllDigits(text) ? std::to_string(a->number) == text : AdapterName(a) == text) {
            found.push_back(AdapterTarget(a));
        }
    }
    if (!AllDigits(text)) {
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            if (TeamName(t) == text) found.push_back(TeamTarget(t));
        }
        if (found.empty()) {
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
    }
    if (found.size() > 1) {
        std::string which;
        for (const Target &t : found) which += (which.empty() ? "" : ", ") + t.label;
        throw Failure("\"" + text + "\" is ambiguous: " + which +
                      " (name a VLAN as PARENT/ID, an adapter by its number)");
    }
    if (found.empty()) {
        throw Failure("no adapter, team or VLAN \"" + text + "\" (adapters: " +
                      AdapterChoices(session) + "; teams: " + TeamChoices(session) +
                      "; VLANs are named PARENT/ID)");
    }
    return found.front();
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
        // The team's advanced settings are derived from its members' own.
        for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
            if (m->adapter != nullptr) {
                session.adapterPanel(m->adapter, "Advanced", m->adapter->advancedList, true);
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
