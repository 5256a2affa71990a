// ReadXmlScriptFile's work: a short-form teamingconfig document read into the
// plain Script* records of lxniccfg.h, or the message of the first rule the
// document breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// Longest message handed out, in bytes (a character is never split).
constexpr std::size_t kMaxMessageBytes = 1023;

// Reads the file at path. 0: *config holds the tree. 100: the document was
// rejected and *message says why. 106: the file cannot be opened. The XML
// library is initialised for the call when it is not already.
uint32_t ReadScriptFile(const DualString &path, ScriptConfig **config, std::string *message);

// The same for a document held in memory; systemId names it in parse errors.
uint32_t ReadScriptBuffer(const char *data, std::size_t size, std::string_view systemId,
                          ScriptConfig **config, std::string *message);

// Releases a whole tree as a caller of the C interface does.
void FreeScriptConfig(ScriptConfig *config);

}  // namespace lxniccfg
