// The exit codes of lxnicctl and lxnicdefs, one row each. The README and the
// programs' --help list them from here.
#pragma once

#include <array>
#include <string>

namespace lxtools {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    // lxnicctl diff and verify, as diff(1): 1 the server differs, 2 they
    // could not compare (a script or checkpoint refused, a call failed).
    kExitDiffers = 1,
    kExitTrouble = 2,
};

struct ExitCodeRow {
    ExitCode code;
    const char *name;     // as the --json error object calls it
    const char *meaning;  // as --help explains it
};

inline constexpr std::array<ExitCodeRow, 3> kExitCodes{{
    {kExitOk, "ok", "success"},
    {kExitFailed, "failed",
     "the command failed: a library call failed, a target, value or script was refused, or a "
     "file could not be read or written; nothing was changed unless the output says so"},
    {kExitUsage, "usage",
     "the command line is wrong: an unknown command or option, a missing argument, "
     "PROPERTY without '=', an empty name or path"},
}};

// "Exit codes: 0 success; 1 ...; 2 ..." for the end of --help.
inline std::string ExitCodeHelp() {
    std::string text = "Exit codes:";
    for (const ExitCodeRow &row : kExitCodes) {
        text += "\n  " + std::to_string(row.code) + "  " + row.meaning;
    }
    return text;
}

}  // namespace lxtools
