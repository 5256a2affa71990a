// libFuzzer target: ReadXmlScriptFile's parse and walk over arbitrary bytes.
// Besides crashes and sanitizer reports it checks what the reader promises:
// a tree without a message, or a bounded message without a tree, and a tree
// whose every text is present.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "definitions/xml_parser.h"
#include "script/script_reader.h"

using namespace lxniccfg;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckProperties(const ScriptProperty *p) {
    for (; p; p = p->next) Check(p->id && p->value);
}

void CheckVlans(const ScriptVlan *v) {
    for (; v; v = v->next) CheckProperties(v->properties);
}

void CheckTree(const ScriptConfig *config) {
    if (config->version) Check(config->version->utilityVersion && config->version->scriptVersion);
    for (const ScriptNic *n = config->nics; n; n = n->next) {
        CheckProperties(n->properties);
        CheckVlans(n->vlans);
    }
    for (const ScriptTeam *t = config->teams; t; t = t->next) {
        Check(t->relnics != nullptr);
        CheckProperties(t->properties);
        CheckVlans(t->vlans);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // One initialisation for the whole run; each read adds and removes its own.
    static XmlLibrarySession session;
    ScriptConfig *config = nullptr;
    std::string message;
    uint32_t result = ReadScriptBuffer(reinterpret_cast<const char *>(data), size, "fuzz.xml",
                                       &config, &message);
    if (result == 0) {
        Check(config && message.empty());
        CheckTree(config);
    } else {
        Check(result == 100 && !config && !message.empty() && message.size() <= kMaxMessageBytes);
    }
    FreeScriptConfig(config);
    return 0;
}
