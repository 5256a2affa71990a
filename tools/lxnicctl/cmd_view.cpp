// lxnicctl list and lxnicctl show.
#include <algorithm>
#include <iostream>

#include "commands.h"
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
                 const std::string &indent, bool moreAfter, std::vector<Row> &rows) {
    for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
        VlanView view = ViewVlan(session, v, parentLabel);
        bool last = v->next == nullptr && !moreAfter;
        std::string text = "VLAN " + view.id + (view.name.empty() ? "" : " \"" + view.name + "\"");
        rows.push_back({"", indent + (last ? "└─ " : "├─ ") + text, "VLAN", ""});
    }
}

Row AdapterRow(AdapterEntry *a, const std::string &prefix) {
    return {std::to_string(a->number), prefix + AdapterName(a), ToUtf8(a->definitionType),
            StatusText(a->status), ToUtf8(a->label)};
}

}  // namespace

void ListCommand(const Options &options, bool json) {
    Session session(options);
    if (json) {
        nlohmann::json out = {{"adapters", nlohmann::json::array()}, {"teams", nlohmann::json::array()}};
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
        std::cout << out.dump(2) << "\n";
        return;
    }

    std::vector<Row> rows;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        rows.push_back({"", TeamName(t), ToUtf8(t->definitionType), StatusText(t->teamInfo1), "team"});
        for (TeamMemberLink *m = t->members; m != nullptr; m = m->next) {
            if (m->adapter == nullptr) continue;
            bool last = m->next == nullptr && t->vlans == nullptr;
            rows.push_back(AdapterRow(m->adapter, last ? "└─ " : "├─ "));
            AddVlanRows(session, m->adapter->vlans, AdapterName(m->adapter), last ? "   " : "│  ",
                        false, rows);
        }
        AddVlanRows(session, t->vlans, "team \"" + TeamName(t) + "\"", "", false, rows);
    }
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        bool teamed = false;
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            teamed = teamed || (a->teamHandle != 0 && a->teamHandle == t->handle);
        }
        if (teamed) continue;
        rows.push_back(AdapterRow(a, ""));
        AddVlanRows(session, a->vlans, AdapterName(a), "", false, rows);
    }
    if (rows.empty()) {
        std::cout << "no adapters\n";
        return;
    }
    PrintTable(std::cout, {"#", "NAME", "TYPE", "STATUS", "DESCRIPTION"}, rows);
}

void ShowCommand(const Options &options, const std::string &targetText, const std::string &panelText,
                 bool json, bool all) {
    Session session(options);
    Target target = ResolveTarget(session, targetText);
    std::vector<std::string> panels;
    if (panelText.empty()) {
        panels = target.defaultPanels();
    } else {
        std::string canonical = panelText;
        for (const std::string &known : target.knownPanels()) {
            if (SameTextIgnoringCase(known, panelText)) canonical = known;
        }
        panels.push_back(canonical);
    }

    nlohmann::json out = {{"target", target.label}, {"panels", nlohmann::json::object()}};
    bool first = true;
    for (const std::string &panel : panels) {
        // Without a panel name, a standard panel that these definitions do not
        // have is left out rather than failing the whole command.
        PanelEntry *list = target.panel(session, panel, panelText.empty());
        const std::vector<std::string> editable = target.editablePanels();
        if (std::find(editable.begin(), editable.end(), panel) != editable.end()) {
            ApplyRuleRanges(session, target, list);
        }
        if (json) {
            out["panels"][panel] = PanelJson(list, all);
            continue;
        }
        if (!first) std::cout << "\n";
        first = false;
        std::cout << target.label << ": " << panel << "\n";
        std::vector<Row> rows = PanelRows(list, all);
        if (rows.empty()) {
            std::cout << "  (no entries)\n";
        } else {
            PrintTable(std::cout, {"PROPERTY", "NAME", "VALUE", "RANGE", "DEFAULT"}, rows);
        }
    }
    if (json) std::cout << out.dump(2) << "\n";
}

}  // namespace lxnicctl
