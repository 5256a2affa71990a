// lxnicctl set.
#include <sstream>

#include "change.h"
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

    ChangeRun run(options);
    Session &session = run.session();
    Target target = ResolveTarget(session, targetText);
    std::ostream &out = console::Text();
    console::Document()["target"] = target.label;
    console::Document()["changed"] = false;
    // Every value is checked before the plan is shown.
    std::ostringstream lines;
    StageEdits(session, target, edits, lines);
    out << Printable(target.label) << ":\n" << lines.str();
    if (!run.concludePlan(out)) return;
    run.apply({.adapterProperties = target.kind == TargetKind::Adapter}, out);
}

}  // namespace lxnicctl
