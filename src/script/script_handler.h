// ScriptHandler: the SAX handler of ReadXmlScriptFile. It builds the Script*
// records of lxniccfg.h while the document is parsed, walking the start tags
// in document order: the first must be teamingconfig; then version, nic and
// team at the top; property and vlan belong to the NIC or team before them,
// and property to the VLAN before it. A VLAN ends at the next element that is
// not a property, a NIC or team at the next one that is neither a property
// nor a VLAN. No element may be nested deeper than where it belongs: a nic
// inside a nic, a team inside a team or anything inside a property is
// refused as an unexpected element, never read as the next NIC or team.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "definitions/hardened_handler.h"
#include "lxniccfg.h"

namespace lxniccfg {

// A reader's message: the text of id with its arguments, cut to the longest
// message handed out.
std::string ScriptMessage(unsigned id, std::initializer_list<std::string_view> args = {});

class ScriptHandler : public HardenedHandler {
public:
    void startElement(const XMLCh *name, xercesc::AttributeList &attributes) override;
    void endElement(const XMLCh *name) override;
    void finish() override;

    // Once the whole document was parsed: 0 with the tree handed to *config,
    // or 100 with *message saying which rule the document broke first. A
    // document that is rejected keeps being parsed to its end (its records
    // already released), so that a later parse error is what is reported.
    uint32_t take(ScriptConfig **config, std::string *message);

private:
    // Where the next start tag goes.
    enum class Level { Root, Top, Member, Vlan };

    void step(const XMLCh *name, const ScannedAttributes &attributes);
    void readVersion(const ScannedAttributes &attributes);
    void readTeam(ScriptTeam &team, const ScannedAttributes &attributes);
    void readProperty(ScriptProperty &property, const ScannedAttributes &attributes);

    struct ConfigRelease {
        void operator()(ScriptConfig *config) const;
    };

    std::unique_ptr<ScriptConfig, ConfigRelease> config_;
    Level level_ = Level::Root;
    // The fields the next record of each list is linked into.
    ScriptNic **nextNic_ = nullptr;
    ScriptTeam **nextTeam_ = nullptr;
    ScriptProperty **nextMemberProperty_ = nullptr;
    ScriptVlan **nextVlan_ = nullptr;
    ScriptProperty **nextVlanProperty_ = nullptr;
    int depth_ = 0;  // elements open around the current one
    bool rejected_ = false;
    std::string message_;
};

}  // namespace lxniccfg
