#include "plan.h"

namespace lxnicctl {

namespace {

uint64_t HandleOf(const Target &target) {
    switch (target.kind) {
    case TargetKind::Adapter: return target.adapter != nullptr ? target.adapter->handle : 0;
    case TargetKind::Team: return target.team != nullptr ? target.team->handle : 0;
    case TargetKind::Vlan: return target.vlan != nullptr ? target.vlan->handle : 0;
    }
    return 0;
}

}  // namespace

nlohmann::json PlannedStructure::toJson() const {
    nlohmann::json out = {{"action", action}, {"object", object}};
    if (!member.empty()) out["member"] = member;
    return out;
}

std::string PlannedStructure::text() const {
    if (!member.empty()) return action + " " + member + " (" + object + ")";
    return action + " " + object;
}

namespace {

Plan g_plan;
Plan *g_current = &g_plan;

}  // namespace

Plan &Plan::Current() { return *g_current; }

Plan::Scope::Scope(const std::string &key) : previous_(g_current), plan_(std::make_unique<Plan>()) {
    plan_->key_ = key;
    g_current = plan_.get();
}

Plan::Scope::~Scope() { g_current = previous_; }

nlohmann::json &Plan::list(const char *name) {
    nlohmann::json &place = key_.empty() ? console::Document()[name] : console::Document()[key_][name];
    if (place.is_null()) place = nlohmann::json::array();
    return place;
}

void Plan::change(std::ostream &out, const Target &target, const console::ValueChange &change) {
    values_.push_back({target, change, 0});
    console::Change(out, change, list("changes"));
}

void Plan::structure(PlannedStructure item) {
    list("structure").push_back(item.toJson());
    structures_.push_back(std::move(item));
}

void Plan::resolveHandles() {
    for (PlannedValue &v : values_) v.handle = HandleOf(v.target);
    for (PlannedStructure &s : structures_) {
        s.handle = HandleOf(s.target);
        if (s.adapter != nullptr) s.adapterNumber = static_cast<int>(s.adapter->number);
    }
}

}  // namespace lxnicctl
