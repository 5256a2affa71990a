// Compares two catalogs of definitions field by field, texts in both
// encodings and with the none state, for tests that build the same document
// in two ways.
#pragma once

#include <string>

#include "definitions/catalog.h"

namespace testing_support {

namespace same_definitions_detail {

template <class Text>
std::string Show(const Text &text) {
    return text.isNone() ? std::string("(none)") : "\"" + std::string(text.narrowText()) + "\"";
}

template <class A, class B>
bool SameText(const A &a, const B &b) {
    if (a.isNone() || b.isNone()) return a.isNone() == b.isNone();
    return a.narrowText() == b.narrowText() && a.wideText() == b.wideText();
}

inline int SlotOf(const lxniccfg::DefinitionsCatalog &catalog, const lxniccfg::NicDefinition *d) {
    for (int i = 0; i < lxniccfg::DefinitionsCatalog::kSlots; ++i)
        if (d && catalog.slot(i) == d) return i;
    return -1;
}

}  // namespace same_definitions_detail

// "" when both catalogs hold the same definitions; otherwise where they first differ.
inline std::string DefinitionsDifference(const lxniccfg::DefinitionsCatalog &x,
                                         const lxniccfg::DefinitionsCatalog &y) {
    using namespace lxniccfg;
    using same_definitions_detail::SameText;
    using same_definitions_detail::Show;
    std::string where;
    auto text = [&](const std::string &what, const auto &a, const auto &b) {
        if (where.empty() && !SameText(a, b)) where = what + ": " + Show(a) + " / " + Show(b);
    };
    auto count = [&](const std::string &what, long a, long b) {
        if (where.empty() && a != b) where = what + ": " + std::to_string(a) + " / " + std::to_string(b);
        return where.empty();
    };
    for (int s = 0; s < DefinitionsCatalog::kSlots && where.empty(); ++s) {
        const NicDefinition *a = x.slot(s), *b = y.slot(s);
        const std::string at = "slot " + std::to_string(s);
        if (!count(at + " filled", a != nullptr, b != nullptr) || !a) continue;
        text(at + " type", a->type, b->type);
        count(at + " base", same_definitions_detail::SlotOf(x, a->base), same_definitions_detail::SlotOf(y, b->base));
        if (!count(at + " properties", a->properties.count(), b->properties.count())) break;
        for (int i = 0; i < a->properties.count(); ++i) {
            const PropertyDef &p = a->properties[i], &q = b->properties[i];
            const std::string pa = at + " property " + std::to_string(i) + " ";
            text(pa + "enum", p.enumName, q.enumName);
            text(pa + "linkid", p.linkid, q.linkid);
            text(pa + "id", p.id, q.id);
            text(pa + "range", p.range, q.range);
            text(pa + "default", p.defaultValue, q.defaultValue);
            text(pa + "displayname", p.displayname, q.displayname);
            text(pa + "controltype", p.controltype, q.controltype);
            text(pa + "step", p.step, q.step);
            text(pa + "dependency", p.dependency, q.dependency);
            text(pa + "hint", p.hint, q.hint);
            text(pa + "teamproperty", p.teamproperty, q.teamproperty);
            text(pa + "lowest", p.lowest, q.lowest);
            text(pa + "rangetype", p.rangetype, q.rangetype);
            count(pa + "flags", p.hide * 1 + p.compound * 2 + p.vbdrestart * 4, q.hide * 1 + q.compound * 2 + q.vbdrestart * 4);
            count(pa + "splevel", p.splevel, q.splevel);
            count(pa + "index", FindPropertyIndex(a->index, p.id), FindPropertyIndex(b->index, q.id));
            count(pa + "link target", a->isLinkTarget(p.id), b->isLinkTarget(q.id));
            count(pa + "source", a->isSource(p.id), b->isSource(q.id));
        }
        if (!count(at + " sources", a->sources.count(), b->sources.count())) break;
        for (int i = 0; i < a->sources.count(); ++i) {
            const SourceProperty &p = a->sources[i], &q = b->sources[i];
            const std::string sa = at + " source " + std::to_string(i) + " ";
            text(sa + "name", p.name, q.name);
            text(sa + "value", p.value, q.value);
            if (!count(sa + "links", p.links.count(), q.links.count())) break;
            for (int k = 0; k < p.links.count(); ++k) {
                text(sa + "link name", p.links[k].name, q.links[k].name);
                text(sa + "link range", p.links[k].range, q.links[k].range);
                text(sa + "link default", p.links[k].defaultValue, q.links[k].defaultValue);
            }
        }
        for (int slot = 0; slot < kPanelSlotCount; ++slot) {
            const Panel *p = a->panel(slot), *q = b->panel(slot);
            const std::string pa = at + " panel " + std::to_string(slot) + " ";
            if (!count(pa + "present", p != nullptr, q != nullptr) || !p) continue;
            text(pa + "name", p->name, q->name);
            if (!count(pa + "items", p->items.count(), q->items.count())) break;
            for (int i = 0; i < p->items.count(); ++i) {
                const PanelItem &u = p->items[i], &v = q->items[i];
                text(pa + "item name", u.name, v.name);
                text(pa + "item value", u.value, v.value);
                if (!count(pa + "item attributes", u.attributeCount(), v.attributeCount())) break;
                for (int k = 0; k < u.attributeCount(); ++k) {
                    text(pa + "item attribute name", (*u.attributes)[k].name, (*v.attributes)[k].name);
                    text(pa + "item attribute value", (*u.attributes)[k].value, (*v.attributes)[k].value);
                }
            }
        }
        const auto &ea = a->enumerations(), &eb = b->enumerations();
        if (!count(at + " enumerations", static_cast<long>(ea.size()), static_cast<long>(eb.size()))) break;
        for (std::size_t e = 0; e < ea.size(); ++e) {
            const std::string en = at + " enumeration " + std::to_string(e) + " ";
            text(en + "id", ea[e].id, eb[e].id);
            if (!count(en + "items", ea[e].items.count(), eb[e].items.count())) break;
            for (int i = 0; i < ea[e].items.count(); ++i) {
                text(en + "enumid", ea[e].items[i].enumid, eb[e].items[i].enumid);
                text(en + "enumvalue", ea[e].items[i].enumvalue, eb[e].items[i].enumvalue);
            }
        }
    }
    return where;
}

}  // namespace testing_support
