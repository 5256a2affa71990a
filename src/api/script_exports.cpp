// ReadXmlScriptFile and WriteXmlScriptFile: saving the teaming configuration
// as a script file and reading one back. Both work whether or not InitXml
// has been called.
#include "lxniccfg.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "api/library_state.h"
#include "script/script_reader.h"
#include "script/script_writer.h"
#include "util/dual_string.h"

using namespace lxniccfg;

extern "C" uint32_t ReadXmlScriptFile(ScriptConfig **config, const lx_wchar *path, char **message) {
    return Guarded(100, [&]() -> uint32_t {
        if (config) *config = nullptr;
        if (message) *message = nullptr;
        if (!path) return 106;
        if (!config || !message) return 100;

        ScriptConfig *tree = nullptr;
        std::string text;
        uint32_t result = ReadScriptFile(DualString(path), &tree, &text);
        if (result == 0) {
            *config = tree;
        } else if (result == 100 && !text.empty()) {
            char *copy = static_cast<char *>(std::malloc(text.size() + 1));
            if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
            *message = copy;
        }
        return result;
    });
}

extern "C" uint32_t WriteXmlScriptFile(TeamEntry *teams, AdapterEntry *adapters,
                                       const lx_wchar *path, uint8_t fullDetail,
                                       uint8_t addressComments) {
    return Guarded(1, [&]() -> uint32_t {
        if (!path) return 1;
        return WriteScriptFile(teams, adapters, DualString(path), fullDetail, addressComments);
    });
}
