#include "script/script_reader.h"

#include <cstdlib>
#include <functional>

#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "adapters/records.h"
#include "definitions/xml_parser.h"
#include "platform/platform.h"
#include "script/script_handler.h"
#include "script/string_table.h"

namespace lxniccfg {
namespace {

void FreeProperties(ScriptProperty *p) {
    while (p) {
        ScriptProperty *next = p->next;
        std::free(p->id);
        std::free(p->value);
        std::free(p);
        p = next;
    }
}

void FreeVlans(ScriptVlan *v) {
    while (v) {
        ScriptVlan *next = v->next;
        FreeProperties(v->properties);
        std::free(v);
        v = next;
    }
}

void FreeVersion(ScriptVersionInfo *version) {
    if (!version) return;
    std::free(version->utilityVersion);
    std::free(version->scriptVersion);
    std::free(version);
}

// Parses with parse(), the records built as the document is read, turning
// the XML library's exceptions into messages 10 and 11. A parse error wins
// over a rule the document broke earlier.
uint32_t ParseAndBuild(const std::function<void(HardenedHandler &)> &parse, std::string_view systemId,
                       ScriptConfig **config, std::string *message) {
    XmlLibrarySession session;
    if (!session.ok()) {
        *message = ScriptMessage(kMsgXmlError);
        return 100;
    }
    ScriptHandler handler;
    try {
        parse(handler);
    } catch (const xercesc::SAXParseException &e) {
        // The message names the document read, also when the parser was
        // refusing an external entity it names.
        *message = ScriptMessage(kMsgParseError, {platform::messageTextFromUtf8(systemId),
                                                  std::to_string(e.getLineNumber()),
                                                  std::to_string(e.getColumnNumber())});
        return 100;
    } catch (const xercesc::XMLException &) {
        *message = ScriptMessage(kMsgXmlError);
        return 100;
    } catch (const xercesc::SAXException &) {
        *message = ScriptMessage(kMsgXmlError);
        return 100;
    }
    return handler.take(config, message);
}

}  // namespace

void FreeScriptConfig(ScriptConfig *config) {
    if (!config) return;
    for (ScriptTeam *t = config->teams; t;) {
        ScriptTeam *next = t->next;
        FreeProperties(t->properties);
        std::free(t->relnics);
        FreeVlans(t->vlans);
        std::free(t);
        t = next;
    }
    for (ScriptNic *n = config->nics; n;) {
        ScriptNic *next = n->next;
        FreeProperties(n->properties);
        FreeVlans(n->vlans);
        std::free(n);
        n = next;
    }
    FreeVersion(config->version);
    std::free(config);
}

uint32_t ReadScriptFile(const DualString &path, ScriptConfig **config, std::string *message) {
    *config = nullptr;
    message->clear();
    if (path.isNone()) return 106;
    {
        platform::InputFile probe;
        if (!probe.open(path.narrowText()) || !probe.close()) return 106;
    }
    return ParseAndBuild(
        [&](HardenedHandler &handler) { ParseXmlFile(path.narrowText(), path.narrowText(), handler); },
        path.narrowText(), config, message);
}

uint32_t ReadScriptBuffer(const char *data, std::size_t size, std::string_view systemId,
                          ScriptConfig **config, std::string *message) {
    *config = nullptr;
    message->clear();
    return ParseAndBuild([&](HardenedHandler &handler) { ParseXmlBuffer(data, size, handler); },
                         systemId, config, message);
}

}  // namespace lxniccfg
