#include "script/script_handler.h"

#include "adapters/records.h"
#include "platform/platform.h"
#include "script/script_reader.h"
#include "script/string_table.h"
#include "util/dual_string.h"

namespace lxniccfg {
namespace {

// Thrown by a failed test; carries the formatted message out of the step.
struct Rejected {
    std::string message;
};

[[noreturn]] void Reject(unsigned id, std::initializer_list<std::string_view> args = {}) {
    throw Rejected{ScriptMessage(id, args)};
}

// Whether a parser's name is the literal, terminator included; the
// comparison stops at the first unit that differs.
template <std::size_t N>
bool Is(const XMLCh *name, const char16_t (&literal)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (name[i] != literal[i]) return false;
    return true;
}

// A name as it appears in a message.
std::string Narrow(const XMLCh *name) {
    return platform::messageTextFromUtf8(toUtf8(std::u16string_view(name, wideLength(name))));
}

// A malloc'ed copy of the parser's text, unit for unit.
lx_wchar *Copy(const XMLCh *text) { return mallocWideCopy(std::u16string_view(text, wideLength(text))); }

// Links a fresh record into the field and moves the field to its next.
// Linked before it is filled, so that a failure releases it with the tree.
template <class Record>
Record *Append(Record **&slot) {
    Record *record = NewRecord<Record>();
    *slot = record;
    slot = &record->next;
    return record;
}

}  // namespace

std::string ScriptMessage(unsigned id, std::initializer_list<std::string_view> args) {
    std::string text = FormatText(LoadString(id), args);
    text.resize(platform::messageTextCut(text, kMaxMessageBytes));
    return text;
}

void ScriptHandler::ConfigRelease::operator()(ScriptConfig *config) const { FreeScriptConfig(config); }

void ScriptHandler::startElement(const XMLCh *name, xercesc::AttributeList &) {
    ++depth_;
    if (rejected_) return;
    try {
        step(name, scannedAttributes());
    } catch (Rejected &rejected) {
        rejected_ = true;
        message_ = std::move(rejected.message);
        config_.reset();
    }
}

void ScriptHandler::endElement(const XMLCh *) { --depth_; }

void ScriptHandler::finish() {
    if (rejected_ || level_ != Level::Root) return;
    // A document without elements (the parser reports that itself).
    rejected_ = true;
    message_ = ScriptMessage(kMsgExpectedTeamingConfig, {""});
}

uint32_t ScriptHandler::take(ScriptConfig **config, std::string *message) {
    if (rejected_) {
        *message = std::move(message_);
        return 100;
    }
    *config = config_.release();
    return 0;
}

void ScriptHandler::step(const XMLCh *name, const ScannedAttributes &attributes) {
    // How deep an element may sit: version, nic and team in teamingconfig
    // (depth 2), a NIC's or team's property and vlan one level further, a
    // VLAN's property one more. One nested deeper (a nic inside a nic, a team
    // inside a team, anything inside a property) is refused rather than read
    // as the next NIC or team.
    auto atMost = [&](int depth) {
        if (depth_ > depth) Reject(kMsgUnexpectedElement, {Narrow(name)});
    };
    // An element a level does not own ends it and goes to the level above.
    switch (level_) {
    case Level::Root:
        if (!Is(name, u"teamingconfig")) Reject(kMsgExpectedTeamingConfig, {Narrow(name)});
        config_.reset(NewRecord<ScriptConfig>());
        nextNic_ = &config_->nics;
        nextTeam_ = &config_->teams;
        level_ = Level::Top;
        return;
    case Level::Vlan:
        if (Is(name, u"property")) {
            atMost(4);
            readProperty(*Append(nextVlanProperty_), attributes);
            return;
        }
        level_ = Level::Member;
        [[fallthrough]];
    case Level::Member:
        if (Is(name, u"property")) {
            atMost(3);
            readProperty(*Append(nextMemberProperty_), attributes);
            return;
        }
        if (Is(name, u"vlan")) {
            atMost(3);
            nextVlanProperty_ = &Append(nextVlan_)->properties;
            level_ = Level::Vlan;
            return;
        }
        level_ = Level::Top;
        [[fallthrough]];
    case Level::Top:
        atMost(2);
        if (Is(name, u"version")) {
            readVersion(attributes);
        } else if (Is(name, u"nic")) {
            ScriptNic *nic = Append(nextNic_);
            nextMemberProperty_ = &nic->properties;
            nextVlan_ = &nic->vlans;
            level_ = Level::Member;
        } else if (Is(name, u"team")) {
            ScriptTeam *team = Append(nextTeam_);
            readTeam(*team, attributes);
            nextMemberProperty_ = &team->properties;
            nextVlan_ = &team->vlans;
            level_ = Level::Member;
        } else {
            Reject(kMsgUnexpectedElement, {Narrow(name)});
        }
        return;
    }
}

void ScriptHandler::readVersion(const ScannedAttributes &attributes) {
    // A later version element replaces the texts of an earlier one.
    if (!config_->version) config_->version = NewRecord<ScriptVersionInfo>();
    ScriptVersionInfo &version = *config_->version;
    // Values are taken by position; a missing one is the empty text.
    const XMLSize_t count = attributes.count();
    auto valueAt = [&](XMLSize_t i) {
        const XMLCh *value = i < count ? attributes.value(i) : nullptr;
        return Copy(value ? value : u"");
    };
    SetText(version.utilityVersion, valueAt(0));
    SetText(version.scriptVersion, valueAt(1));
}

void ScriptHandler::readTeam(ScriptTeam &team, const ScannedAttributes &attributes) {
    if (attributes.count() != 1) Reject(kMsgTeamAttributeCount);
    const XMLCh *name = attributes.name(0);
    if (!Is(name, u"relnics")) Reject(kMsgTeamInvalidAttribute, {Narrow(name)});
    const XMLCh *value = attributes.value(0);
    if (!value) Reject(kMsgTeamNoValue, {Narrow(name)});
    team.relnics = Copy(value);
}

void ScriptHandler::readProperty(ScriptProperty &property, const ScannedAttributes &attributes) {
    const XMLSize_t count = attributes.count();
    if (count != 2) Reject(kMsgPropertyAttributeCount);
    for (XMLSize_t i = 0; i < count; ++i) {
        const XMLCh *name = attributes.name(i);
        lx_wchar **field = Is(name, u"id")      ? &property.id
                           : Is(name, u"value") ? &property.value
                                                : nullptr;
        if (!field) Reject(kMsgPropertyInvalidAttribute, {Narrow(name)});
        const XMLCh *value = attributes.value(i);
        if (!value) Reject(kMsgPropertyNoValue, {Narrow(name)});
        SetText(*field, Copy(value));
    }
    if (!property.id || !property.value) Reject(kMsgPropertyDuplicateAttribute);
}

}  // namespace lxniccfg
