#include "apply.h"

#include <functional>
#include <string>
#include <vector>

#include "console.h"
#include "library.h"

namespace lxnicctl {

void ApplyAndCommit(Session &session, const ApplySteps &steps, std::ostream &out) {
    struct Step {
        std::string call, what;
        std::function<uint32_t()> run;
    };
    std::vector<Step> plan;
    if (steps.adapterProperties) {
        plan.push_back({"ApplyChanges", "writing adapter properties",
                        [&] { return ApplyChanges(&session.adapters()); }});
    }
    if (steps.teamConfiguration) {
        plan.push_back({"ApplyTeamConfigurationChanges", "creating and removing teams, members and VLANs",
                        [&] { return ApplyTeamConfigurationChanges(&session.teams(), &session.adapters()); }});
    }
    plan.push_back({"ApplyTeamPropertyChanges", "writing team and VLAN properties, committing adapters",
                    [&] { return ApplyTeamPropertyChanges(&session.teams(), &session.adapters()); }});
    plan.push_back({"ApplyConfigChanges", "committing everything else that is staged",
                    [] { return ApplyConfigChanges(0, 0); }});

    // Each step's line is written whole before the step runs, so that what
    // the step itself prints (or the error that ends the command) starts on
    // a line of its own.
    bool notice = false;
    nlohmann::json &done = console::Document()["steps"];
    if (done.is_null()) done = nlohmann::json::array();
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const Step &step = plan[i];
        out << "[" << (i + 1) << "/" << plan.size() << "] " << step.what << " (" << step.call << ")\n"
            << std::flush;
        uint32_t result = step.run();
        done.push_back({{"call", step.call}, {"result", result}, {"meaning", ResultMeaning(step.call, result)}});
        Check(step.what, step.call, result);
        if (result != LXNICCFG_OK) out << "      " << ResultMeaning(step.call, result) << "\n";
        notice = notice || result == LXNICCFG_NOTICE;
    }
    console::Document()["changed"] = true;
    if (notice) out << "note: some changes take effect when the object restarts\n";
}

}  // namespace lxnicctl
