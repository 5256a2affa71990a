// lxnicctl list, show, panels and info.
#include <algorithm>
#include <filesystem>

#include "commands.h"
#include "console.h"
#include "edits.h"
#include "library.h"
#include "output.h"
#include "records.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

namespace {

// A VLAN as the list shows it.
struct VlanView {
    std::string id, name;
};

VlanView ViewVlan(Session &session, VlanEntry *vlan, const std::string &parentLabel) {
    return {VlanId(session, vlan, parentLabel), VlanName(session, vlan, parentLabel)};
}

nlohmann::json VlansJson(Session &session, VlanEntry *vlans, const std::string &parentLabel) {
    nlohmann::json list = nlohmann::json::array();
    for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
        VlanView view = ViewVlan(session, v, parentLabel);
        list.push_back({{"id", view.id}, {"name", view.name}, {"handle", v->handle}});
    }
    return list;
}

void AddVlanRows(Session &session, VlanEntry *vlans, const std::string &parentLabel,
                 const std::string &indent, std::vector<Row> &rows) {
    for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
        VlanView view = ViewVlan(session, v, parentLabel);
        bool last = v->next == nullptr;
        std::string text = "VLAN " + view.id + (view.name.empty() ? "" : " \"" + view.name + "\"");
        rows.push_back({"", indent + (last ? "└─ " : "├─ ") + text, "VLAN", ""});
    }
}

void AddBriefVlanRows(Session &session, VlanEntry *vlans, const std::string &parentName,
                      const std::string &parentLabel, std::vector<Row> &rows) {
    for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
        VlanView view = ViewVlan(session, v, parentLabel);
        rows.push_back({parentName + "/" + view.id, "vlan", "-", view.name});
    }
}

Row AdapterRow(AdapterEntry *a, const std::string &prefix) {
    return {std::to_string(a->number), prefix + AdapterName(a), ToUtf8(a->definitionType),
            StatusText(a->status), ToUtf8(a->label)};
}

bool Teamed(Session &session, AdapterEntry *a) {
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (a->teamHandle != 0 && a->teamHandle == t->handle) return true;
    }
    return false;
}

void ListJson(Session &session) {
    nlohmann::json &out = console::Document();
    out["adapters"] = nlohmann::json::array();
    out["teams"] = nlohmann::json::array();
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        nlohmann::json adapter = {{"number", a->number},
                                  {"name", AdapterName(a)},
                                  {"definitionType", ToUtf8(a->definitionType)},
                                  {"status", StatusText(a->status)},
                                  {"label", ToUtf8(a->label)},
                                  {"handle", a->handle},
                                  {"vlans", VlansJson(session, a->vlans, AdapterName(a))}};
        adapter["team"] = nullptr;
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            if (a->teamHandle != 0 && t->handle == a->teamHandle) adapter["team"] = TeamName(t);
        }
        out["adapters"].push_back(adapter);
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        nlohmann::json members = nlohmann::json::array();
        for (TeamMemberLink *m = t->members; m != nullptr; m = m->next) {
            if (m->adapter != nullptr) members.push_back(m->adapter->number);
        }
        out["teams"].push_back({{"name", TeamName(t)},
                                {"definitionType", ToUtf8(t->definitionType)},
                                {"status", StatusText(t->teamInfo1)},
                                {"handle", t->handle},
                                {"members", members},
                                {"vlans", VlansJson(session, t->vlans, "team \"" + TeamName(t) + "\"")}});
    }
}

// One line per object: the name a command takes, its kind, its status and
// what else identifies it.
void ListBrief(Session &session) {
    std::vector<Row> rows;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        std::string team;
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            if (a->teamHandle != 0 && t->handle == a->teamHandle) team = "team " + TeamName(t);
        }
        rows.push_back({AdapterName(a), "adapter", StatusText(a->status),
                        std::to_string(a->number) + " " + ToUtf8(a->definitionType) + (team.empty() ? "" : " " + team)});
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        std::string members;
        for (TeamMemberLink *m = t->members; m != nullptr; m = m->next) {
            if (m->adapter != nullptr) members += (members.empty() ? "" : ",") + AdapterName(m->adapter);
        }
        rows.push_back({TeamName(t), "team", StatusText(t->teamInfo1), members});
    }
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        AddBriefVlanRows(session, a->vlans, AdapterName(a), AdapterName(a), rows);
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        AddBriefVlanRows(session, t->vlans, TeamName(t), "team \"" + TeamName(t) + "\"", rows);
    }
    PrintTable(console::Listing(), {}, rows);
}

}  // namespace

void ListCommand(const Options &options) {
    Session session(options);
    if (console::Options().json) {
        ListJson(session);
        return;
    }
    if (console::Options().brief) {
        ListBrief(session);
        return;
    }

    std::vector<Row> rows;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        rows.push_back({"", TeamName(t), ToUtf8(t->definitionType), StatusText(t->teamInfo1), "team"});
        for (TeamMemberLink *m = t->members; m != nullptr; m = m->next) {
            if (m->adapter == nullptr) continue;
            bool last = m->next == nullptr && t->vlans == nullptr;
            rows.push_back(AdapterRow(m->adapter, last ? "└─ " : "├─ "));
            AddVlanRows(session, m->adapter->vlans, AdapterName(m->adapter), last ? "   " : "│  ", rows);
        }
        AddVlanRows(session, t->vlans, "team \"" + TeamName(t) + "\"", "", rows);
    }
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        if (Teamed(session, a)) continue;
        rows.push_back(AdapterRow(a, ""));
        AddVlanRows(session, a->vlans, AdapterName(a), "", rows);
    }
    if (rows.empty()) {
        console::Listing() << "no adapters\n";
        return;
    }
    PrintTable(console::Listing(), {"#", "NAME", "TYPE", "STATUS", "DESCRIPTION"}, rows);
}

void ShowCommand(const Options &options, const std::string &targetText, const std::string &panelText, bool all) {
    Session session(options);
    Target target = ResolveTarget(session, targetText);
    std::vector<std::string> panels;
    if (panelText.empty()) {
        panels = target.defaultPanels();
    } else {
        panels.push_back(target.canonicalPanel(panelText));
    }

    nlohmann::json &out = console::Document();
    out["target"] = target.label;
    out["panels"] = nlohmann::json::object();
    std::ostream &listing = console::Listing();
    bool first = true;
    for (const std::string &panel : panels) {
        // Without a panel name, a standard panel that these definitions do not
        // have is left out rather than failing the whole command.
        PanelEntry *list = target.panel(session, panel, panelText.empty());
        const std::vector<std::string> editable = target.editablePanels();
        if (std::find(editable.begin(), editable.end(), panel) != editable.end()) {
            ApplyRuleRanges(session, target, list);
        }
        out["panels"][panel] = PanelJson(list, all);
        std::vector<Row> rows = PanelRows(list, all);
        if (console::Options().brief) {
            std::vector<Row> brief;
            for (const Row &row : rows) brief.push_back({row[0], row[2]});
            PrintTable(listing, {}, brief);
            continue;
        }
        if (!first) listing << "\n";
        first = false;
        listing << Printable(target.label) << ": " << panel << "\n";
        if (rows.empty()) {
            listing << "  (no entries)\n";
        } else {
            PrintTable(listing, {"PROPERTY", "NAME", "VALUE", "RANGE", "DEFAULT"}, rows);
        }
    }
}

void PanelsCommand(const Options &options, const std::string &targetText, bool all) {
    Session session(options);
    Target target = ResolveTarget(session, targetText);
    nlohmann::json &out = console::Document();
    out["target"] = target.label;
    out["panels"] = nlohmann::json::array();
    std::ostream &listing = console::Listing();
    std::vector<Row> briefRows;
    bool first = true;
    for (const std::string &panel : target.knownPanels()) {
        PanelEntry *list = target.panel(session, panel, true);
        if (list == nullptr) continue;
        nlohmann::json properties = nlohmann::json::array();
        std::vector<Row> rows;
        for (PanelEntry *e : Entries(list)) {
            if (e->hide && !all) continue;
            nlohmann::json property = {{"id", ToUtf8(e->id)}, {"displayName", ToUtf8(e->displayName)}};
            if (e->hide) property["hidden"] = true;
            properties.push_back(std::move(property));
            rows.push_back({ToUtf8(e->id), ToUtf8(e->displayName)});
            briefRows.push_back({panel, ToUtf8(e->id), ToUtf8(e->displayName)});
        }
        out["panels"].push_back({{"name", panel}, {"properties", properties}});
        if (console::Options().brief) continue;
        if (!first) listing << "\n";
        first = false;
        listing << Printable(target.label) << ": " << panel << "\n";
        if (rows.empty()) {
            listing << "  (no entries)\n";
        } else {
            PrintTable(listing, {"PROPERTY", "NAME"}, rows);
        }
    }
    if (console::Options().brief) PrintTable(listing, {}, briefRows);
}

void InfoCommand(const Options &options) {
    std::string definitions = options.definitions.empty() ? DefaultDefinitionsPath() : options.definitions;
    std::string state = StateFileInUse(options);
    std::error_code error;
    bool stateExists = !state.empty() && std::filesystem::exists(state, error);
    nlohmann::json &out = console::Document();
    out["version"] = LxnicctlVersion();
    out["definitions"] = definitions.empty() ? nlohmann::json(nullptr) : nlohmann::json(definitions);
    out["stateFile"] = state.empty() ? nlohmann::json(nullptr) : nlohmann::json(state);
    out["stateFileExists"] = stateExists;
    std::vector<Row> rows = {
        {"version", LxnicctlVersion()},
        {"definitions", definitions.empty() ? "(none found; name one with --defs FILE)" : definitions},
        {"state file", state.empty() ? "(none: set LXNICIF_STATE, XDG_STATE_HOME or HOME, or give --state FILE)"
                       : state + (stateExists ? "" : " (does not exist yet: the server starts from its "
                                                      "default inventory and writes it at the first change)")},
    };
    PrintTable(console::Listing(), {}, rows);
}

}  // namespace lxnicctl
