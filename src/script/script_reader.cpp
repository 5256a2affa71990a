#include "script/script_reader.h"

#include <cstdlib>
#include <functional>

#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "adapters/records.h"
#include "definitions/xml_parser.h"
#include "platform/platform.h"
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

std::string Message(unsigned id, std::initializer_list<std::string_view> args = {}) {
    std::string text = FormatText(LoadString(id), args);
    CutUtf8(text, kMaxMessageBytes);
    return text;
}

// Thrown by a failed test; carries the formatted message up through every
// loop of the walk at once.
struct Rejected {
    std::string message;
};

[[noreturn]] void Reject(unsigned id, std::initializer_list<std::string_view> args = {}) {
    throw Rejected{Message(id, args)};
}

using ConfigHolder = RecordHolder<ScriptConfig, FreeScriptConfig>;

// Appends records at the tail of a list that starts at a given head field.
template <class Record>
class Tail {
public:
    explicit Tail(Record *&head) : slot_(&head) {
        while (*slot_) slot_ = &(*slot_)->next;
    }
    Record *append() {
        Record *record = NewRecord<Record>();
        *slot_ = record;  // linked before it is tested, so a failure releases it
        slot_ = &record->next;
        return record;
    }

private:
    Record **slot_;
};

// The walk over the document's elements in start-tag order. Each loop
// advances the cursor first; a loop that meets an element it does not own
// steps back and returns it to the loop above.
class ScriptReader {
public:
    explicit ScriptReader(const ElementList &elements)
        : elements_(elements), count_(elements.count()) {}

    ScriptConfig *walk() {
        if (count_ == 0) Reject(kMsgExpectedTeamingConfig, {""});
        const XmlElement &root = elements_[0];
        if (!root.name.equals("teamingconfig")) Reject(kMsgExpectedTeamingConfig, {root.name.narrowText()});
        ConfigHolder config(NewRecord<ScriptConfig>());
        Tail<ScriptNic> nics(config->nics);
        Tail<ScriptTeam> teams(config->teams);
        while (++cursor_ < count_) {
            const XmlElement &element = elements_[cursor_];
            if (element.name.equals("version")) {
                readVersion(*config.get(), element);
            } else if (element.name.equals("nic")) {
                ScriptNic *nic = nics.append();
                memberLoop(nic->properties, nic->vlans);
            } else if (element.name.equals("team")) {
                ScriptTeam *team = teams.append();
                readTeam(*team, element);
                memberLoop(team->properties, team->vlans);
            } else {
                Reject(kMsgUnexpectedElement, {element.name.narrowText()});
            }
        }
        return config.release();
    }

private:
    static void readVersion(ScriptConfig &config, const XmlElement &element) {
        FreeVersion(config.version);
        config.version = nullptr;
        config.version = NewRecord<ScriptVersionInfo>();
        // Values are taken by position; a missing one is the empty text.
        auto valueAt = [&](int i) {
            if (i < element.attributeCount() && element.attributes[i].value)
                return CopyText(element.attributes[i].value);
            return mallocWideCopy(u"");
        };
        config.version->utilityVersion = valueAt(0);
        config.version->scriptVersion = valueAt(1);
    }

    static void readTeam(ScriptTeam &team, const XmlElement &element) {
        if (element.attributeCount() != 1) Reject(kMsgTeamAttributeCount);
        const XmlAttribute &attribute = element.attributes[0];
        if (!attribute.name.equals("relnics")) Reject(kMsgTeamInvalidAttribute, {attribute.name.narrowText()});
        if (!attribute.value) Reject(kMsgTeamNoValue, {attribute.name.narrowText()});
        team.relnics = CopyText(attribute.value);
    }

    static void readProperty(ScriptProperty &property, const XmlElement &element) {
        if (element.attributeCount() != 2) Reject(kMsgPropertyAttributeCount);
        for (const XmlAttribute &attribute : element.attributes) {
            lx_wchar **field = attribute.name.equals("id")      ? &property.id
                               : attribute.name.equals("value") ? &property.value
                                                                : nullptr;
            if (!field) Reject(kMsgPropertyInvalidAttribute, {attribute.name.narrowText()});
            if (!attribute.value) Reject(kMsgPropertyNoValue, {attribute.name.narrowText()});
            SetText(*field, CopyText(attribute.value));
        }
        if (!property.id || !property.value) Reject(kMsgPropertyDuplicateAttribute);
    }

    // The properties and VLANs of a NIC or a team.
    void memberLoop(ScriptProperty *&properties, ScriptVlan *&vlans) {
        Tail<ScriptProperty> propertyTail(properties);
        Tail<ScriptVlan> vlanTail(vlans);
        while (++cursor_ < count_) {
            const XmlElement &element = elements_[cursor_];
            if (element.name.equals("property")) {
                readProperty(*propertyTail.append(), element);
            } else if (element.name.equals("vlan")) {
                vlanLoop(vlanTail.append()->properties);
            } else {
                --cursor_;
                return;
            }
        }
    }

    void vlanLoop(ScriptProperty *&properties) {
        Tail<ScriptProperty> propertyTail(properties);
        while (++cursor_ < count_) {
            const XmlElement &element = elements_[cursor_];
            if (!element.name.equals("property")) {
                --cursor_;
                return;
            }
            readProperty(*propertyTail.append(), element);
        }
    }

    const ElementList &elements_;
    int count_;
    int cursor_ = 0;
};

// Parses with parse() and walks the elements, turning the XML library's
// exceptions into messages 10 and 11.
uint32_t ParseAndBuild(const std::function<void(ElementList &)> &parse, std::string_view systemId,
                       ScriptConfig **config, std::string *message) {
    XmlLibrarySession session;
    if (!session.ok()) {
        *message = Message(kMsgXmlError);
        return 100;
    }
    ElementList elements;
    try {
        parse(elements);
    } catch (const xercesc::SAXParseException &e) {
        // The message names the document read, also when the parser was
        // refusing an external entity it names.
        *message = Message(kMsgParseError, {systemId, std::to_string(e.getLineNumber()),
                                            std::to_string(e.getColumnNumber())});
        return 100;
    } catch (const xercesc::XMLException &) {
        *message = Message(kMsgXmlError);
        return 100;
    } catch (const xercesc::SAXException &) {
        *message = Message(kMsgXmlError);
        return 100;
    }
    return BuildScriptConfig(elements, config, message);
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

uint32_t BuildScriptConfig(const ElementList &elements, ScriptConfig **config,
                           std::string *message) {
    *config = nullptr;
    try {
        *config = ScriptReader(elements).walk();
        return 0;
    } catch (Rejected &rejected) {
        *message = std::move(rejected.message);
        return 100;
    }
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
        [&](ElementList &elements) { ParseXmlFile(path.narrowText(), path.narrowText(), elements); },
        path.narrowText(), config, message);
}

uint32_t ReadScriptBuffer(const char *data, std::size_t size, std::string_view systemId,
                          ScriptConfig **config, std::string *message) {
    *config = nullptr;
    message->clear();
    return ParseAndBuild([&](ElementList &elements) { ParseXmlBuffer(data, size, elements); },
                         systemId, config, message);
}

}  // namespace lxniccfg
