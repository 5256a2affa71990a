#include "image.h"

#include <algorithm>
#include <unordered_map>

#include "console.h"
#include "edits.h"
#include "library.h"
#include "records.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

namespace {

using OrderedJson = nlohmann::ordered_json;

std::string Text(const lx_wchar *text) { return ToUtf8(text); }

ImageProperties ReadProperties(Session &session, const Target &target, bool everyPanel) {
    ImageProperties properties;
    const std::vector<std::string> editable = target.editablePanels();
    for (const std::string &panel : everyPanel ? target.knownPanels() : editable) {
        PanelEntry *list = nullptr;
        bool needed = std::find(editable.begin(), editable.end(), panel) != editable.end();
        try {
            list = target.panel(session, panel, true);
        } catch (const Failure &e) {
            // What lxnicctl can change must be read; a panel of counters or
            // information that fails is left out with a note.
            if (needed) throw;
            console::Note(std::string(e.what()) + "; it is left out");
            continue;
        }
        for (PanelEntry *entry : Entries(list)) {
            if (entry->id == nullptr || entry->value == nullptr) continue;
            if (properties.find(Text(entry->id)) != nullptr) continue;
            properties.set(Text(entry->id), {Text(entry->value), panel, IsWritable(entry)});
        }
    }
    return properties;
}

std::vector<ImageVlan> ReadVlans(Session &session, const Target &parent, VlanEntry *vlans, bool everyPanel) {
    std::vector<ImageVlan> out;
    for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
        Target target = VlanTargetOf(session, parent, v);
        ImageVlan vlan;
        vlan.handle = v->handle;
        vlan.properties = ReadProperties(session, target, everyPanel);
        out.push_back(std::move(vlan));
    }
    return out;
}

OrderedJson PropertiesJson(const ImageProperties &properties) {
    OrderedJson out = OrderedJson::object();
    for (const auto &[id, p] : properties.items()) {
        out[id] = {{"value", p.value}, {"panel", p.panel}, {"writable", p.writable}};
    }
    return out;
}

OrderedJson VlansJson(const std::vector<ImageVlan> &vlans) {
    OrderedJson out = OrderedJson::array();
    for (const ImageVlan &v : vlans) {
        out.push_back({{"id", v.id()}, {"name", v.name()}, {"handle", v.handle},
                       {"properties", PropertiesJson(v.properties)}});
    }
    return out;
}

const nlohmann::json &Member(const nlohmann::json &object, const char *key, const std::string &what) {
    if (!object.is_object() || !object.contains(key)) throw Failure(what + " has no \"" + key + "\"");
    return object.at(key);
}

ImageProperties PropertiesFrom(const nlohmann::json &object, const std::string &what) {
    ImageProperties properties;
    if (!object.contains("properties")) return properties;
    const nlohmann::json &list = object.at("properties");
    if (!list.is_object()) throw Failure(what + ": \"properties\" is not an object");
    for (const auto &[id, p] : list.items()) {
        if (!p.is_object() || !p.contains("value") || !p.at("value").is_string())
            throw Failure(what + ": property " + id + " has no text value");
        ImageProperty property;
        property.value = p.at("value").get<std::string>();
        if (p.contains("panel") && p.at("panel").is_string()) property.panel = p.at("panel").get<std::string>();
        if (p.contains("writable") && p.at("writable").is_boolean()) property.writable = p.at("writable").get<bool>();
        properties.set(id, std::move(property));
    }
    return properties;
}

std::vector<ImageVlan> VlansFrom(const nlohmann::json &object, const std::string &what) {
    std::vector<ImageVlan> vlans;
    if (!object.contains("vlans")) return vlans;
    for (const nlohmann::json &v : object.at("vlans")) {
        ImageVlan vlan;
        if (v.contains("handle") && v.at("handle").is_number_unsigned()) vlan.handle = v.at("handle").get<uint64_t>();
        vlan.properties = PropertiesFrom(v, what + ", a VLAN");
        vlans.push_back(std::move(vlan));
    }
    return vlans;
}

bool SameValue(const std::string &id, const std::string &a, const std::string &b) {
    if (id == "VlanId") return SameVlanId(a, b);
    return a == b;
}

void CompareProperties(const std::string &object, const ImageProperties &expected, const ImageProperties &actual,
                       bool exact, std::vector<Difference> &out) {
    for (const auto &[id, p] : expected.items()) {
        if (exact ? !p.writable : p.value.empty()) continue;
        const ImageProperty *now = actual.find(id);
        std::string actualValue = now != nullptr ? now->value : "";
        if (now != nullptr && SameValue(id, p.value, now->value)) continue;
        out.push_back({object, "value", id, p.value, now != nullptr ? actualValue : "(none)"});
    }
}

void CompareVlans(const std::string &parent, const std::vector<ImageVlan> &expected,
                  const std::vector<ImageVlan> &actual, bool exact, std::vector<Difference> &out) {
    std::unordered_map<std::string, const ImageVlan *> actualById, expectedById;
    for (const ImageVlan &v : actual) actualById.emplace(VlanIdKey(v.id()), &v);
    for (const ImageVlan &v : expected) expectedById.emplace(VlanIdKey(v.id()), &v);
    for (const ImageVlan &v : expected) {
        std::string label = "VLAN " + v.id() + " on " + parent;
        auto now = actualById.find(VlanIdKey(v.id()));
        if (now == actualById.end()) {
            out.push_back({label, "missing", "", "", ""});
            continue;
        }
        CompareProperties(label, v.properties, now->second->properties, exact, out);
    }
    if (!exact) return;
    for (const ImageVlan &v : actual) {
        if (!expectedById.count(VlanIdKey(v.id()))) out.push_back({"VLAN " + v.id() + " on " + parent, "extra", "", "", ""});
    }
}

std::string TeamLabel(const std::string &name) { return "team \"" + name + "\""; }

}  // namespace

void ImageProperties::set(const std::string &id, ImageProperty property) {
    for (auto &[known, p] : items_) {
        if (known == id) {
            p = std::move(property);
            return;
        }
    }
    items_.emplace_back(id, std::move(property));
}

const ImageProperty *ImageProperties::find(const std::string &id) const {
    for (const auto &[known, p] : items_) {
        if (known == id) return &p;
    }
    return nullptr;
}

std::string ImageVlan::id() const {
    const ImageProperty *p = properties.find("VlanId");
    return p != nullptr ? p->value : "";
}

std::string ImageVlan::name() const {
    const ImageProperty *p = properties.find("VlanName");
    return p != nullptr ? p->value : "";
}

const ImageAdapter *Image::adapterNumbered(int number) const {
    for (const ImageAdapter &a : adapters) {
        if (a.number == number) return &a;
    }
    return nullptr;
}

const ImageTeam *Image::teamNamed(const std::string &name) const {
    for (const ImageTeam &t : teams) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

const ImageTeam *Image::teamWithHandle(uint64_t handle) const {
    for (const ImageTeam &t : teams) {
        if (handle != 0 && t.handle == handle) return &t;
    }
    return nullptr;
}

nlohmann::ordered_json Image::toJson() const {
    OrderedJson out = {{"adapters", OrderedJson::array()}, {"teams", OrderedJson::array()}};
    for (const ImageAdapter &a : adapters) {
        out["adapters"].push_back({{"number", a.number},
                                   {"name", a.name},
                                   {"handle", a.handle},
                                   {"definitionType", a.definitionType},
                                   {"team", a.team.empty() ? OrderedJson(nullptr) : OrderedJson(a.team)},
                                   {"properties", PropertiesJson(a.properties)},
                                   {"vlans", VlansJson(a.vlans)}});
    }
    for (const ImageTeam &t : teams) {
        out["teams"].push_back({{"name", t.name},
                                {"handle", t.handle},
                                {"members", t.members},
                                {"properties", PropertiesJson(t.properties)},
                                {"vlans", VlansJson(t.vlans)}});
    }
    return out;
}

Image Image::fromJson(const nlohmann::json &document, const std::string &what) {
    Image image;
    try {
        for (const nlohmann::json &a : Member(document, "adapters", what)) {
            ImageAdapter adapter;
            adapter.number = Member(a, "number", what).get<int>();
            adapter.name = Member(a, "name", what).get<std::string>();
            if (a.contains("handle")) adapter.handle = a.at("handle").get<uint64_t>();
            if (a.contains("definitionType")) adapter.definitionType = a.at("definitionType").get<std::string>();
            if (a.contains("team") && a.at("team").is_string()) adapter.team = a.at("team").get<std::string>();
            std::string where = what + ", adapter " + adapter.name;
            adapter.properties = PropertiesFrom(a, where);
            adapter.vlans = VlansFrom(a, where);
            image.adapters.push_back(std::move(adapter));
        }
        for (const nlohmann::json &t : Member(document, "teams", what)) {
            ImageTeam team;
            team.name = Member(t, "name", what).get<std::string>();
            if (t.contains("handle")) team.handle = t.at("handle").get<uint64_t>();
            for (const nlohmann::json &m : Member(t, "members", what)) team.members.push_back(m.get<int>());
            std::string where = what + ", " + TeamLabel(team.name);
            team.properties = PropertiesFrom(t, where);
            team.vlans = VlansFrom(t, where);
            image.teams.push_back(std::move(team));
        }
    } catch (const nlohmann::json::exception &e) {
        throw Failure(what + " is malformed: " + e.what());
    }
    return image;
}

Image ReadImage(Session &session, bool everyPanel) {
    Image image;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        Target target = TargetOf(a);
        ImageAdapter adapter;
        adapter.number = static_cast<int>(a->number);
        adapter.handle = a->handle;
        adapter.name = AdapterName(a);
        adapter.definitionType = Text(a->definitionType);
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            if (a->teamHandle != 0 && t->handle == a->teamHandle) adapter.team = TeamName(t);
        }
        adapter.properties = ReadProperties(session, target, everyPanel);
        adapter.vlans = ReadVlans(session, target, a->vlans, everyPanel);
        image.adapters.push_back(std::move(adapter));
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        Target target = TargetOf(t);
        ImageTeam team;
        team.handle = t->handle;
        team.name = TeamName(t);
        for (TeamMemberLink *m = t->members; m != nullptr; m = m->next) {
            if (m->adapter != nullptr) team.members.push_back(static_cast<int>(m->adapter->number));
        }
        team.properties = ReadProperties(session, target, everyPanel);
        team.vlans = ReadVlans(session, target, t->vlans, everyPanel);
        image.teams.push_back(std::move(team));
    }
    return image;
}

const ImageVlan *FindVlan(const std::vector<ImageVlan> &vlans, const std::string &id) {
    for (const ImageVlan &v : vlans) {
        if (SameVlanId(v.id(), id)) return &v;
    }
    return nullptr;
}

nlohmann::json Difference::toJson() const {
    nlohmann::json out = {{"object", object}, {"what", what}};
    if (what == "value") {
        out["property"] = property;
        out["expected"] = expected;
        out["actual"] = actual;
    } else if (!property.empty()) {
        out["member"] = property;
    }
    return out;
}

std::string Difference::text() const {
    if (what == "value") return object + ": " + property + " is \"" + actual + "\", not \"" + expected + "\"";
    if (what == "missing") return object + " is missing";
    if (what == "extra") return object + " is there, not expected";
    if (what == "member missing") return object + ": " + property + " is not a member";
    if (what == "member extra") return object + ": " + property + " is a member, not expected";
    return object + ": " + what;
}

std::vector<Difference> Compare(const Image &expected, const Image &actual, bool exact) {
    std::vector<Difference> out;
    auto adapterName = [&](const Image &image, int number) {
        const ImageAdapter *a = image.adapterNumbered(number);
        return a != nullptr ? a->name : "adapter " + std::to_string(number);
    };
    for (const ImageAdapter &a : expected.adapters) {
        const ImageAdapter *now = actual.adapterNumbered(a.number);
        if (now == nullptr) {
            out.push_back({a.name, "missing", "", "", ""});
            continue;
        }
        CompareProperties(now->name, a.properties, now->properties, exact, out);
        CompareVlans(now->name, a.vlans, now->vlans, exact, out);
    }
    for (const ImageTeam &t : expected.teams) {
        const ImageTeam *now = actual.teamNamed(t.name);
        if (now == nullptr) {
            out.push_back({TeamLabel(t.name), "missing", "", "", ""});
            continue;
        }
        for (int m : t.members) {
            if (std::find(now->members.begin(), now->members.end(), m) == now->members.end())
                out.push_back({TeamLabel(t.name), "member missing", adapterName(expected, m), "", ""});
        }
        if (exact) {
            for (int m : now->members) {
                if (std::find(t.members.begin(), t.members.end(), m) == t.members.end())
                    out.push_back({TeamLabel(t.name), "member extra", adapterName(actual, m), "", ""});
            }
        }
        CompareProperties(TeamLabel(t.name), t.properties, now->properties, exact, out);
        CompareVlans(TeamLabel(t.name), t.vlans, now->vlans, exact, out);
    }
    if (exact) {
        for (const ImageAdapter &a : actual.adapters) {
            if (expected.adapterNumbered(a.number) == nullptr) out.push_back({a.name, "extra", "", "", ""});
        }
        for (const ImageTeam &t : actual.teams) {
            if (expected.teamNamed(t.name) == nullptr) out.push_back({TeamLabel(t.name), "extra", "", "", ""});
        }
    }
    return out;
}

}  // namespace lxnicctl
