#include "apply.h"

#include <functional>
#include <string>
#include <vector>

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

    bool notice = false;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const Step &step = plan[i];
        out << "[" << (i + 1) << "/" << plan.size() << "] " << step.what << " (" << step.call << ")"
            << std::flush;
        uint32_t result = step.run();
        if (result != LXNICCFG_OK && result != LXNICCFG_NOTICE &&
            !(result == LXNICCFG_NOTICE2 && step.call == "ApplyTeamConfigurationChanges")) {
            out << ": failed\n" << std::flush;
        }
        Check(step.what, step.call, result);
        out << ": done" << (result == LXNICCFG_OK ? "" : " (" + ResultMeaning(step.call, result) + ")")
            << "\n";
        notice = notice || result == LXNICCFG_NOTICE;
    }
    if (notice) out << "note: some changes take effect when the object restarts\n";
}

}  // namespace lxnicctl
