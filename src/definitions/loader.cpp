#include "definitions/loader.h"

#include <optional>

#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "definitions/xml_parser.h"
#include "platform/platform.h"
#include "util/numbers.h"

namespace lxniccfg {
namespace {

enum class Kind { None, Nic, Panel, PanelItem, Property, Enumeration, EnumItem, SourceProperty, LinkProperty };

Kind KindOf(const DualString &name) {
    if (name.isNone()) return Kind::None;
    const std::string &n = name.narrowText();
    if (n == "nic") return Kind::Nic;
    if (n == "panel") return Kind::Panel;
    if (n == "panelitem") return Kind::PanelItem;
    if (n == "property") return Kind::Property;
    if (n == "enumeration") return Kind::Enumeration;
    if (n == "enumitem") return Kind::EnumItem;
    if (n == "sourceproperty") return Kind::SourceProperty;
    if (n == "linkproperty") return Kind::LinkProperty;
    return Kind::None;
}

}  // namespace

// The walk over the element list. Membership follows document order: each
// element belongs to the latest element of the kind it needs, and an element
// of an unknown name counts as one more element of the current kind.
class DefinitionsBuilder::Walk {
public:
    explicit Walk(DefinitionsCatalog &catalog) : catalog_(catalog) {}

    void element(XmlElement &&element) {
        Kind kind = KindOf(element.name);
        if (kind != Kind::None) {
            kind_ = kind;
            start(kind);
        }
        if (kind_ == Kind::PanelItem) {
            // A panel item keeps the whole element; its attributes mean nothing.
            if (panel_) panel_->items.append(std::move(element));
            return;
        }
        for (XmlAttribute &attribute : element.attributes) this->attribute(std::move(attribute));
        if (kind_ == Kind::Property && property_) {
            if (definition_) definition_->properties.append(std::move(*property_));
            property_.reset();
        }
    }

    void end() {
        if (definition_) finishDefinition();
    }

private:
    void start(Kind kind) {
        switch (kind) {
        case Kind::Nic:
            if (definition_) {
                finishDefinition();
            } else {
                // Panels, enumerations and rules before the first definition
                // belong to none: they are dropped.
                panel_.reset();
                enumeration_.reset();
                source_.reset();
                link_.reset();
            }
            definition_ = std::make_unique<NicDefinition>();
            break;
        case Kind::Panel:
            if (panel_ && definition_) {
                PlacePanel(*definition_, std::move(*panel_));
                panel_.reset();
            }
            panel_.emplace();
            break;
        case Kind::Enumeration:
            if (enumeration_ && definition_) {
                definition_->appendEnumeration(std::move(*enumeration_));
                enumeration_.reset();
            }
            enumeration_.emplace();
            break;
        case Kind::SourceProperty:
            if (source_ && link_) {
                source_->links.append(std::move(*link_));
                if (definition_) definition_->sources.append(std::move(*source_));
                link_.reset();
            }
            source_.emplace();  // a pending source without any link is dropped
            break;
        case Kind::LinkProperty:
            if (source_ && link_) source_->links.append(std::move(*link_));
            link_.emplace();
            break;
        default:
            break;
        }
    }

    void attribute(XmlAttribute &&attribute) {
        const DualString &name = attribute.name;
        DualString &value = attribute.value;
        switch (kind_) {
        case Kind::Nic:
            if (name.equals("type")) definition_->type = std::move(value);
            else if (name.equals("derived")) definition_->base = catalog_.find(value);
            break;
        case Kind::Property:
            if (!property_) property_.emplace();
            property_->setAttribute(name, std::move(value));
            break;
        case Kind::Panel:
            if (panel_ && name.equals("name")) panel_->name = std::move(value);
            break;
        case Kind::Enumeration:
            if (enumeration_ && name.equals("id")) enumeration_->id = std::move(value);
            break;
        case Kind::EnumItem:
            if (!item_) item_.emplace();
            if (name.equals("enumid")) {
                item_->enumid = std::move(value);
            } else if (name.equals("enumvalue")) {
                item_->enumvalue = std::move(value);
                if (enumeration_) enumeration_->items.append(std::move(*item_));
                item_.reset();
            }
            break;
        case Kind::SourceProperty:
            if (source_ && name.equals("name")) source_->name = std::move(value);
            else if (source_ && name.equals("value")) source_->value = std::move(value);
            break;
        case Kind::LinkProperty:
            if (!link_) break;
            if (name.equals("name")) link_->name = std::move(value);
            else if (name.equals("range")) link_->range = std::move(value);
            else if (name.equals("default")) link_->defaultValue = std::move(value);
            break;
        default:
            break;
        }
    }

    void finishDefinition() {
        if (panel_) PlacePanel(*definition_, std::move(*panel_));
        panel_.reset();
        if (enumeration_) definition_->appendEnumeration(std::move(*enumeration_));
        enumeration_.reset();
        if (source_ && link_) {
            source_->links.append(std::move(*link_));
            definition_->sources.append(std::move(*source_));
        }
        source_.reset();
        link_.reset();  // a link never carries over into the next definition
        definition_->finish();
        catalog_.add(std::move(definition_));  // dropped when all slots are taken
        definition_.reset();
    }

    DefinitionsCatalog &catalog_;
    Kind kind_ = Kind::None;
    std::unique_ptr<NicDefinition> definition_;
    std::optional<Panel> panel_;
    std::optional<Enumeration> enumeration_;
    std::optional<EnumItem> item_;
    std::optional<SourceProperty> source_;
    std::optional<LinkProperty> link_;
    std::optional<PropertyDef> property_;
};

namespace {

bool HasDependencyBit(const PropertyDef &property, int32_t bit) {
    return !property.dependency.isNone() && (textToInt(property.dependency.narrow()) & bit) != 0;
}

}  // namespace

DefinitionsBuilder::DefinitionsBuilder(DefinitionsCatalog &catalog)
    : walk_(std::make_unique<Walk>(catalog)) {}
DefinitionsBuilder::~DefinitionsBuilder() = default;
void DefinitionsBuilder::element(XmlElement &&element) { walk_->element(std::move(element)); }
void DefinitionsBuilder::end() { walk_->end(); }

void PlacePanel(NicDefinition &definition, Panel panel) {
    if (panel.name.isNone()) return;
    int slot = PanelSlotByFileName(panel.name.narrowText());
    if (slot >= 0) definition.setPanel(slot, std::move(panel));  // a later panel of the same name wins
}

void BuildDefinitions(ElementList &elements, DefinitionsCatalog &catalog) {
    DefinitionsBuilder builder(catalog);
    for (XmlElement &element : elements) builder.element(std::move(element));
    builder.end();
}

std::optional<std::string> DescribeLinkProblem(const NicDefinition &d) {
    auto quoted = [](const DualString &text) {
        return text.isNone() ? std::string("(none)") : "\"" + text.narrowText() + "\"";
    };
    for (const PropertyDef &property : d.properties) {
        if (property.dependency.isNone()) continue;
        int32_t flags = textToInt(property.dependency.narrow());
        if ((flags & 1) && !d.isLinkTarget(property.id))
            return "property " + quoted(property.id) + " is marked as a link target (dependency " +
                   property.dependency.narrowText() + ") but no linkproperty names it";
        if ((flags & 2) && !d.isSource(property.id))
            return "property " + quoted(property.id) + " is marked as a link source (dependency " +
                   property.dependency.narrowText() + ") but no sourceproperty names it";
    }
    for (const SourceProperty &source : d.sources) {
        int position = FindPropertyIndex(d.index, source.name);
        if (position < 0)
            return "sourceproperty " + quoted(source.name) + " names no property with a linkid";
        if (!HasDependencyBit(d.properties[position], 2))
            return "sourceproperty " + quoted(source.name) + " names a property without dependency bit 2";
        for (const LinkProperty &link : source.links) {
            position = FindPropertyIndex(d.index, link.name);
            if (position < 0)
                return "linkproperty " + quoted(link.name) + " names no property with a linkid";
            if (!HasDependencyBit(d.properties[position], 1))
                return "linkproperty " + quoted(link.name) + " names a property without dependency bit 1";
        }
    }
    return std::nullopt;
}

int CheckLinks(const NicDefinition &definition) {
    // A definition that names a base is judged by the root of its base chain.
    const NicDefinition *root = &definition;
    while (root->base) root = root->base;
    return DescribeLinkProblem(*root) ? 1 : 0;
}

std::string MakeFileUrl(const std::string &path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string absolute = platform::absolutePath(path);
    std::string url = "file://";
    url.reserve(url.size() + absolute.size() * 3);
    for (unsigned char c : absolute) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            url.push_back(static_cast<char>(c));
        } else {
            url.push_back('%');
            url.push_back(kHex[c >> 4]);
            url.push_back(kHex[c & 15]);
        }
    }
    return url;
}

uint32_t LoadDefinitionsInto(const DualString &path, DefinitionsCatalog &catalog,
                             LoadDiagnostics *diagnostics) {
    if (path.isNone()) return 102;
    const std::string &file = path.narrowText();
    if (platform::probePath(file) == platform::PathState::NotFound) return 102;
    // Definitions are built while the document is parsed, into a catalog of
    // their own that joins the given one only when the whole file parsed.
    DefinitionsCatalog staged;
    DefinitionsBuilder builder(staged);
    auto failed = [&](const XMLCh *message, int64_t line, int64_t column) -> uint32_t {
        if (diagnostics) {
            diagnostics->parseFailed = true;
            diagnostics->line = line;
            diagnostics->column = column;
            diagnostics->message = message ? DualString(message).narrowText() : "";
        }
        return 100;
    };
    try {
        ParseXmlFile(file, MakeFileUrl(file), [&](XmlElement &&e) { builder.element(std::move(e)); });
    } catch (const xercesc::SAXParseException &e) {
        return failed(e.getMessage(), static_cast<int64_t>(e.getLineNumber()),
                      static_cast<int64_t>(e.getColumnNumber()));
    } catch (const xercesc::XMLException &e) {
        return failed(e.getMessage(), 0, 0);
    } catch (const xercesc::OutOfMemoryException &) {
        return failed(u"out of memory", 0, 0);
    }
    builder.end();
    catalog.adopt(staged);
    for (int i = 0; i < DefinitionsCatalog::kSlots && catalog.slot(i); ++i) {
        if (CheckLinks(*catalog.slot(i)) == 0) continue;
        if (diagnostics) {
            const NicDefinition *root = catalog.slot(i);
            while (root->base) root = root->base;
            diagnostics->definitionType = root->type.narrowText();
            diagnostics->message = DescribeLinkProblem(*root).value_or("");
        }
        return 100;
    }
    return 0;
}

uint32_t LoadDefinitions(const DualString &path) {
    return LoadDefinitionsInto(path, Catalog(), nullptr);
}

}  // namespace lxniccfg
