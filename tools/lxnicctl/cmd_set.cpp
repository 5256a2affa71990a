// lxnicctl set.
#include <sstream>

#include "apply.h"
#include "commands.h"
#include "console.h"
#include "edits.h"
#include "library.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

void SetCommand(const Options &options, const std::string &targetText,
                const std::vector<std::string> &assignments) {
    std::vector<Edit> edits;
    for (const std::string &text : assignments) edits.push_back(ParseAssignment(text));

    Session session(options);
    Target target = ResolveTarget(session, targetText);
    std::ostream &out = console::Text();
    console::Document()["target"] = target.label;
    console::Document()["changed"] = false;
    // Every value is checked before the plan is shown.
    std::ostringstream lines;
    int marked = StageEdits(session, target, edits, lines);
    out << Printable(target.label) << ":\n" << lines.str();
    if (marked == 0) {
        out << "nothing to change\n";
        return;
    }
    ApplyAndCommit(session, {.adapterProperties = target.kind == TargetKind::Adapter}, out);
}

}  // namespace lxnicctl
