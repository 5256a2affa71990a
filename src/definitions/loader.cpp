#include "definitions/loader.h"

#include <algorithm>
#include <optional>
#include <vector>
#include <string_view>

#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "definitions/xml_parser.h"
#include "platform/platform.h"
#include "util/numbers.h"
#include "util/shared_text_batch.h"

namespace lxniccfg {
namespace {

enum class Kind { None, Nic, Panel, PanelItem, Property, Enumeration, EnumItem, SourceProperty, LinkProperty };

// Whether a name (UTF-8 or UTF-16) spells an ASCII literal exactly.
bool Spells(std::string_view name, std::string_view literal) { return name == literal; }
bool Spells(const char16_t *name, std::string_view literal) {
    for (char c : literal)
        if (*name++ != static_cast<unsigned char>(c)) return false;
    return *name == 0;
}

template <class Name>
Kind KindNamed(const Name &n) {
    // Compared by first letter, then in full.
    switch (n[0]) {
    case 'n': return Spells(n, "nic") ? Kind::Nic : Kind::None;
    case 'p':
        if (Spells(n, "property")) return Kind::Property;
        if (Spells(n, "panelitem")) return Kind::PanelItem;
        if (Spells(n, "panel")) return Kind::Panel;
        return Kind::None;
    case 'e':
        if (Spells(n, "enumitem")) return Kind::EnumItem;
        if (Spells(n, "enumeration")) return Kind::Enumeration;
        return Kind::None;
    case 's': return Spells(n, "sourceproperty") ? Kind::SourceProperty : Kind::None;
    case 'l': return Spells(n, "linkproperty") ? Kind::LinkProperty : Kind::None;
    default: return Kind::None;
    }
}

Kind KindOf(const DualString &name) {
    if (name.isNone() || name.narrowText().empty()) return Kind::None;
    return KindNamed(std::string_view(name.narrowText()));
}

// The attributes of an element handed over as an XmlElement.
class ElementAttributes {
public:
    explicit ElementAttributes(XmlElement &element) : list_(element.attributes) {}
    int count() const { return list_.count(); }
    bool nameIs(int i, std::string_view literal) const { return list_[i].name.equals(literal); }
    PropertyAttribute propertyAttribute(int i) const {
        const DualString &name = list_[i].name;
        return name.isNone() ? PropertyAttribute::Unknown : PropertyAttributeNamed(name.narrowText());
    }
    DualString text(int i) { return std::move(list_[i].value); }
    void setText(int i, CompactText &target) const { target = CompactText(list_[i].value); }
    void flush() {}

private:
    PtrList<XmlAttribute> &list_;
};

// The attributes of a start tag as the parser reports them: names are
// matched in UTF-16, and only a value that is kept is converted, straight
// into the form it is kept in.
class ParsedAttributes {
public:
    ParsedAttributes(const ScannedAttributes &list, SharedTextBatch &batch)
        : list_(list), batch_(batch), count_(static_cast<int>(list.count())) {}
    int count() const { return count_; }
    bool nameIs(int i, std::string_view literal) const { return Spells(name(i), literal); }
    PropertyAttribute propertyAttribute(int i) const {
        const char16_t *n = name(i);
        return PropertyAttributeNamed(std::u16string_view(n, wideLength(n)));
    }
    DualString text(int i) const { return DualString(value(i)); }
    // The value for target, written there by flush() at the latest (the
    // texts of a start tag are shared with the pool together).
    void setText(int i, CompactText &target) { batch_.add(value(i), &target); }
    void flush() { batch_.flush(); }

private:
    const char16_t *name(int i) const { return list_.name(static_cast<XMLSize_t>(i)); }
    const char16_t *value(int i) const { return list_.value(static_cast<XMLSize_t>(i)); }

    const ScannedAttributes &list_;
    SharedTextBatch &batch_;
    int count_;
};

// A list that grows in chunks that never move: growing it never copies what
// it holds, and its size stays close to its content, also for a definition of
// a hundred thousand properties. Once complete it is moved into a PtrList of
// exactly its size, each chunk released as soon as it was moved.
template <class T>
class GrowingList {
public:
    T &append(T &&item) {
        if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity()) {
            chunks_.emplace_back();
            chunks_.back().reserve(chunks_.size() == 1 ? kFirstChunk : kChunk);
        }
        chunks_.back().push_back(std::move(item));
        ++count_;
        return chunks_.back().back();
    }
    void moveInto(PtrList<T> &list) {
        if (chunks_.size() == 1) {
            // A list of one chunk becomes the list itself.
            if (list.empty()) {
                chunks_.front().shrink_to_fit();
                list = PtrList<T>(std::move(chunks_.front()));
                clear();
                return;
            }
        }
        list.reserve(list.count() + count_);
        for (std::vector<T> &chunk : chunks_) {
            for (T &item : chunk) list.append(std::move(item));
            std::vector<T>().swap(chunk);
        }
        clear();
    }
    void clear() {
        chunks_.clear();
        count_ = 0;
    }

private:
    static constexpr std::size_t kFirstChunk = 16;
    static constexpr std::size_t kChunk = 4096;
    std::vector<std::vector<T>> chunks_;
    int count_ = 0;
};

}  // namespace

// The walk over the elements. Membership follows document order: each
// element belongs to the latest element of the kind it needs, and an element
// of an unknown name counts as one more element of the current kind.
class DefinitionsBuilder::Walk {
public:
    explicit Walk(DefinitionsCatalog &catalog) : catalog_(catalog), pool_(catalog.arena()), batch_(pool_) {}

    // Where the texts of the definitions go: the catalog's arena, each
    // distinct text once.
    TextPool &pool() { return pool_; }
    SharedTextBatch &batch() { return batch_; }

    // Sizes the text pool for a file of this many bytes, so that its table
    // does not grow (and look at every text it holds again) while the file
    // is read. Definitions files hold about one distinct text per 150 to 200
    // bytes; a file with more grows the table as usual.
    void expectFileBytes(std::uint64_t bytes) {
        constexpr std::uint64_t kBytesPerText = 256;
        constexpr std::uint64_t kMostTexts = std::uint64_t{1} << 22;  // a table of 32 MB
        pool_.reserve(static_cast<std::size_t>(std::min(bytes / kBytesPerText, kMostTexts)));
    }

    void element(XmlElement &&element) {
        if (enter(KindOf(element.name))) {
            addPanelItem(PanelItem(std::move(element)));
            return;
        }
        ElementAttributes attributes(element);
        this->attributes(attributes);
    }

    // Starts an element of this kind (None: of an unknown name); true when
    // it is a panel item, which is kept whole (see addPanelItem) and whose
    // attributes mean nothing.
    bool enter(Kind kind) {
        // Starting any other kind may move or finish the panel items whose
        // texts are still pending.
        if (kind != Kind::None && kind != Kind::PanelItem) batch_.flush();
        if (kind != Kind::None) {
            kind_ = kind;
            start(kind);
        }
        return kind_ == Kind::PanelItem;
    }

    // Appends the item to the current panel; the item as kept, or nullptr
    // when it belongs to no panel. It stays in place until the next element.
    PanelItem *addPanelItem(PanelItem &&item) {
        if (!panel_) return nullptr;
        return &panelItems_.append(std::move(item));
    }

    template <class Attributes>
    void attributes(Attributes &list) {
        const int count = list.count();
        for (int i = 0; i < count; ++i) attribute(list, i);
        list.flush();
        property_ = nullptr;  // a property is complete with its start tag
    }

    void end() {
        batch_.flush();
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
                panelItems_.clear();
                enumeration_.reset();
                source_.reset();
                link_.reset();
            }
            definition_ = std::make_unique<NicDefinition>();
            break;
        case Kind::Panel:
            if (panel_ && definition_) placePanel();
            panelItems_.clear();
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

    template <class Attributes>
    void attribute(Attributes &list, int i) {
        switch (kind_) {
        case Kind::Nic:
            if (list.nameIs(i, "type")) definition_->type = list.text(i);
            else if (list.nameIs(i, "derived")) definition_->base = catalog_.find(list.text(i));
            break;
        case Kind::Property: {
            if (!property_) startProperty();
            const PropertyAttribute attribute = list.propertyAttribute(i);
            if (CompactText *text = property_->textField(attribute)) list.setText(i, *text);
            else if (attribute != PropertyAttribute::Unknown) property_->setFlag(attribute, list.text(i));
            break;
        }
        case Kind::Panel:
            if (panel_ && list.nameIs(i, "name")) list.setText(i, panel_->name);
            break;
        case Kind::Enumeration:
            if (enumeration_ && list.nameIs(i, "id")) list.setText(i, enumeration_->id);
            break;
        case Kind::EnumItem:
            // The item's texts join the start tag's batch; the item stays
            // in place until they are written, and only then moves into its
            // enumeration.
            if (!item_) item_.emplace();
            if (list.nameIs(i, "enumid")) {
                list.setText(i, item_->enumid);
            } else if (list.nameIs(i, "enumvalue")) {
                list.setText(i, item_->enumvalue);
                list.flush();
                if (enumeration_) enumeration_->items.append(std::move(*item_));
                item_.reset();
            }
            break;
        case Kind::SourceProperty:
            if (source_ && list.nameIs(i, "name")) list.setText(i, source_->name);
            else if (source_ && list.nameIs(i, "value")) list.setText(i, source_->value);
            break;
        case Kind::LinkProperty:
            if (!link_) break;
            if (list.nameIs(i, "name")) list.setText(i, link_->name);
            else if (list.nameIs(i, "range")) list.setText(i, link_->range);
            else if (list.nameIs(i, "default")) list.setText(i, link_->defaultValue);
            break;
        default:
            break;
        }
    }

    void startProperty() {
        if (definition_) {
            definition_->properties.append(PropertyDef());
            property_ = &definition_->properties[definition_->properties.count() - 1];
        } else {
            dropped_ = PropertyDef();
            property_ = &dropped_;
        }
    }

    void finishDefinition() {
        if (panel_) placePanel();
        panel_.reset();
        panelItems_.clear();
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

    void placePanel() {
        panelItems_.moveInto(panel_->items);
        PlacePanel(*definition_, std::move(*panel_));
        panel_.reset();
    }

    DefinitionsCatalog &catalog_;
    TextPool pool_;
    SharedTextBatch batch_;  // the texts of the start tag being read
    GrowingList<PanelItem> panelItems_;    // of the current panel
    Kind kind_ = Kind::None;
    std::unique_ptr<NicDefinition> definition_;
    std::optional<Panel> panel_;
    std::optional<Enumeration> enumeration_;
    std::optional<EnumItem> item_;
    std::optional<SourceProperty> source_;
    std::optional<LinkProperty> link_;
    // The property of the start tag being read, made with its first
    // attribute: in its place at the end of the definition's list, or, for a
    // property before the first definition (which is dropped), in dropped_.
    PropertyDef *property_ = nullptr;
    PropertyDef dropped_;
};

// Builds the definitions while the parser reads the document, without an
// element list in between. A panel item takes as its value the first run of
// text the parser reports before the next start tag.
class DefinitionsBuilder::Reader : public HardenedHandler {
public:
    explicit Reader(Walk &walk) : walk_(walk) {}

    void startElement(const XMLCh *name, xercesc::AttributeList &attributes) override {
        awaitingText_ = nullptr;
        if (walk_.enter(name[0] == 0 ? Kind::None : KindNamed(name))) {
            PanelItem item;
            // Panel items are nearly all named "panelitem": they share one text.
            const bool panelItem = Spells(name, "panelitem");
            if (panelItem && panelItemName_.isNone()) panelItemName_ = CompactText::fromWide(name, walk_.pool());
            item.name = panelItem ? CompactText::alias(panelItemName_) : CompactText::fromWide(name, walk_.pool());
            const XMLSize_t count = attributes.getLength();
            for (XMLSize_t i = 0; i < count; ++i)
                item.addAttribute({DualString(attributes.getName(i)), DualString(attributes.getValue(i))});
            PanelItem *kept = walk_.addPanelItem(std::move(item));
            if (kept && panelItem) awaitingText_ = kept;
            return;
        }
        ParsedAttributes list(scannedAttributes(), walk_.batch());
        walk_.attributes(list);
    }

    void characters(const XMLCh *chars, XMLSize_t length) override {
        if (!awaitingText_) return;
        // Shared with the pool together with the texts of the next items:
        // the items stay in place until an element of another kind starts.
        SharedTextBatch &batch = walk_.batch();
        batch.add(std::u16string_view(chars, length), &awaitingText_->value);
        if (batch.pending() >= kPanelTextBatch) batch.flush();
        awaitingText_ = nullptr;
    }
    void ignorableWhitespace(const XMLCh *, XMLSize_t) override {}
    void resetDocument() override { awaitingText_ = nullptr; }

private:
    static constexpr std::size_t kPanelTextBatch = 16;
    Walk &walk_;
    PanelItem *awaitingText_ = nullptr;  // the panel item whose text is still to come
    CompactText panelItemName_;          // in the catalog's arena
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
void DefinitionsBuilder::parseFile(platform::InputFile &file, const std::string &systemId,
                                   const ByteObserver &observer) {
    walk_->expectFileBytes(file.sizeHint());
    Reader reader(*walk_);
    ParseXmlFile(file, systemId, reader, observer);
}
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
    auto quoted = [](const auto &text) {
        if (text.isNone()) return std::string("(none)");
        std::string out = "\"";
        out.append(text.narrowText());
        out.push_back('"');
        return out;
    };
    for (const PropertyDef &property : d.properties) {
        if (property.dependency.isNone()) continue;
        int32_t flags = textToInt(property.dependency.narrow());
        if ((flags & 1) && !d.isLinkTarget(property.id))
            return "property " + quoted(property.id) + " is marked as a link target (dependency " +
                   std::string(property.dependency.narrowText()) + ") but no linkproperty names it";
        if ((flags & 2) && !d.isSource(property.id))
            return "property " + quoted(property.id) + " is marked as a link source (dependency " +
                   std::string(property.dependency.narrowText()) + ") but no sourceproperty names it";
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
    std::string absolute = platform::urlPath(path);
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

namespace {

// Parses an open file into a catalog of its own, which joins the given one
// only when the whole file parsed. Returns 0, or 100 when the parse failed.
class StagedLoad {
public:
    uint32_t parse(platform::InputFile &file, const std::string &path, const ByteObserver &observer,
                   LoadDiagnostics *diagnostics) {
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
            builder_.parseFile(file, MakeFileUrl(path), observer);
        } catch (const xercesc::SAXParseException &e) {
            return failed(e.getMessage(), static_cast<int64_t>(e.getLineNumber()),
                          static_cast<int64_t>(e.getColumnNumber()));
        } catch (const xercesc::XMLException &e) {
            return failed(e.getMessage(), 0, 0);
        } catch (const xercesc::OutOfMemoryException &) {
            return failed(u"out of memory", 0, 0);
        }
        return 0;
    }

    // Moves the definitions into the catalog and checks their links: 0, or
    // 100 when they are inconsistent (the definitions stay).
    uint32_t commit(DefinitionsCatalog &catalog, LoadDiagnostics *diagnostics) {
        builder_.end();
        catalog.adopt(staged_);
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

private:
    DefinitionsCatalog staged_;
    DefinitionsBuilder builder_{staged_};
};

}  // namespace

uint32_t LoadDefinitionsInto(const DualString &path, DefinitionsCatalog &catalog,
                             LoadDiagnostics *diagnostics) {
    if (path.isNone()) return 102;
    const std::string &file = path.narrowText();
    if (platform::probePath(file) == platform::PathState::NotFound) return 102;
    platform::InputFile input;
    input.open(file);  // a file that cannot be opened makes the parse fail
    StagedLoad load;
    // The document ends where the checksum's count does: at a Ctrl-Z.
    if (uint32_t result = load.parse(input, file, TextDataLength, diagnostics)) return result;
    return load.commit(catalog, diagnostics);
}

uint32_t LoadCheckedDefinitionsInto(ChecksumSet &checksums, DefinitionsCatalog &catalog) {
    if (checksums.path.isNone()) return 102;
    const std::string &path = checksums.path.narrowText();
    platform::InputFile file;
    if (!file.open(path)) return 102;
    ChecksumCounter counter;
    StagedLoad load;
    const uint32_t parsed = load.parse(
        file, path, [&](const unsigned char *bytes, std::size_t size) { return counter.feed(bytes, size); },
        nullptr);
    // A parse that failed stopped early: the checksum still covers the whole file.
    std::vector<unsigned char> rest(1 << 16);
    while (!counter.ended()) {
        const long n = file.read(rest.data(), rest.size());
        if (n <= 0) break;  // a read error ends the data, as for the checksum pass alone
        counter.feed(rest.data(), static_cast<std::size_t>(n));
    }
    uint32_t result = ChecksumTexts(counter.finish(), checksums);
    if (result == 0) result = CompareChecksums(checksums);
    if (result != 0) return result;  // nothing of the file is loaded
    if (parsed != 0) return parsed;
    return load.commit(catalog, nullptr);
}

uint32_t LoadDefinitions(const DualString &path) {
    return LoadDefinitionsInto(path, Catalog(), nullptr);
}

}  // namespace lxniccfg
