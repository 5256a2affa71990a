// Where lxnicctl's output goes under the global options --json, --quiet,
// --brief and --verbose.
//
//   text      the report of a changing command (its plan, its steps, what it
//             did): standard output, nothing under --json or --quiet
//   listing   what list, show, panels and info were asked to show: standard
//             output, nothing under --json (the JSON document holds it)
//   document  under --json, the one JSON object printed on standard output
//             when the command ends, also when it fails
//   notes     remarks on standard error ("lxnicctl: note: ..."), left out
//             under --quiet; under --json also in the document's "notes";
//             warnings ("lxnicctl: warning: ...") are shown under --quiet too
//
// Standard output is flushed before anything goes to standard error, and
// every line is written whole, so a progress line and a message never share
// a line.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace lxnicctl {

struct OutputOptions {
    bool json = false;
    bool quiet = false;
    bool brief = false;
    bool verbose = false;
};

namespace console {

void Configure(const OutputOptions &options);
const OutputOptions &Options();

std::ostream &Text();
std::ostream &Listing();
nlohmann::json &Document();

void Note(const std::string &text);
// Like a note, but shown under --quiet too ("lxnicctl: warning: ..."): what
// the command left out of what it was asked to do.
void Warning(const std::string &text);
// Only under --verbose, on standard error.
void Verbose(const std::string &text);

// One change of a property value, reported as "  PROPERTY: "FROM" -> "TO""
// and recorded in the document's "changes". With `isNew`: an initial setting
// of an object to be created, "  PROPERTY = "TO"". The cause says who asked
// for it and is shown after the value:
//   requested  the command's own value                  (nothing shown)
//   forced     a dependency rule: forcedBy = forcedByValue forces it
//                                                        (forced by P = "V")
//   team       the team's advanced setting, which the library writes to
//              every member                              (set by team "T" on its members)
//   members    a new team's advanced setting taken from what its members
//              hold                                      (what its members hold)
//   reset      reading the value found one outside its enumeration, which
//              the library resets to the default         (reset: "RAW" is not one of its values)
//   restored   a rollback to a checkpoint               (nothing shown)
struct ValueChange {
    std::string object, property, from, to;
    std::string forcedBy, forcedByValue;  // the property whose value forced this one
    bool isNew = false;
    std::string cause = "requested";
    std::string team;  // cause "team": the team's name
    std::string raw;   // cause "reset": the value found
};
void Change(std::ostream &out, const ValueChange &change);
// The same, recorded in another list of the document than "changes".
void Change(std::ostream &out, const ValueChange &change, nlohmann::json &list);

// Ends a successful command: prints the document under --json.
void Finish();

// The exit code of a command that succeeded but has something to report by
// it (diff and verify: 1 when the server differs). 0 unless set.
void SetExitCode(int code);
int ExitCode();

// The exit code of a failure: 1, or what the command sets (diff and verify
// answer 2 when they cannot compare, as diff(1) does, so that a failure never
// reads as "the server differs").
void SetFailureExitCode(int code);
int FailureExitCode();

// Ends a failed command: the message on standard error and, under --json, the
// error object on standard output. `call` empty: no library call failed.
void Fail(int exitCode, const std::string &message, const std::string &call = "",
          bool hasResult = false, uint32_t result = 0, const std::string &meaning = "");

}  // namespace console

// Text for a terminal: control characters (and DEL, and the C1 controls)
// shown as escapes (\t, \n, \x1b, \u009b) and bytes that are not UTF-8 as
// \xNN, so that a name cannot move the cursor or change the terminal. The
// JSON output keeps the text as it is.
std::string Printable(const std::string &text);

}  // namespace lxnicctl
