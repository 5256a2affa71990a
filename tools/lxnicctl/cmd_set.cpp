// lxnicctl set.
#include <iostream>

#include "apply.h"
#include "commands.h"
#include "edits.h"
#include "library.h"
#include "targets.h"

namespace lxnicctl {

void SetCommand(const Options &options, const std::string &targetText,
                const std::vector<std::string> &assignments) {
    std::vector<Edit> edits;
    for (const std::string &text : assignments) edits.push_back(ParseAssignment(text));

    Session session(options);
    Target target = ResolveTarget(session, targetText);
    std::cout << target.label << ":\n";
    int marked = StageEdits(session, target, edits, std::cout);
    if (marked == 0) {
        std::cout << "nothing to change\n";
        return;
    }
    ApplyAndCommit(session, {.adapterProperties = target.kind == TargetKind::Adapter}, std::cout);
}

}  // namespace lxnicctl
