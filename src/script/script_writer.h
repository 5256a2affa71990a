// WriteXmlScriptFile's work: the teamingconfig document for the adapter and
// team records a front end holds, in the short form (what restores a
// configuration) or the full form (a report of every property).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "lxniccfg.h"
#include "script/script_encoding.h"
#include "util/dual_string.h"

namespace lxniccfg {

struct ScriptOptions {
    bool fullDetail = false;
    bool addressComments = false;  // the commented address lines
    ScriptCharset charset = ScriptCharset::Latin1;
    std::optional<std::string> utilityVersion;  // UTF-8; none: the error comment
    long managementMode = 0;                    // 1 or 0, full form only
};

// The document's bytes. The records are only read. For Shift_JIS the XML
// library must be initialised.
std::string ComposeScript(const TeamEntry *teams, const AdapterEntry *adapters,
                          const ScriptOptions &options);
// The same, appending the bytes to out.
void ComposeScript(const TeamEntry *teams, const AdapterEntry *adapters,
                   const ScriptOptions &options, ScriptOutput &out);

// Writes the document to path with the options the environment gives
// (encoding, utility version, management mode). 0 when the whole file was
// written, 1 when it could not be; a file already at the path is then left
// as it was.
uint32_t WriteScriptFile(const TeamEntry *teams, const AdapterEntry *adapters,
                         const DualString &path, uint8_t fullDetail, uint8_t addressComments);

}  // namespace lxniccfg
