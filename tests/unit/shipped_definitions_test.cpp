// The definitions files shipped in definitions/ load and carry a real
// checksum; the simulated server's matches its default inventory: every
// property a panel reads is held by the objects of that kind, every stored
// enumerated value has a text, and the server accepts every raw value the
// definitions can write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "definitions/catalog.h"
#include "definitions/checksum.h"
#include "lxniccfg.h"
#include "support/test_files.h"

using namespace lxniccfg;
using testing_support::W;

namespace {

std::string SourceDir() {
    if (const char *dir = std::getenv("LXNICCFG_SOURCE_DIR")) return dir;
    std::string file = __FILE__;
    return file.substr(0, file.rfind("/tests/unit/"));
}

std::string DefinitionsPath() { return SourceDir() + "/definitions/lxnicdefs.xml"; }

nlohmann::json Inventory() {
    std::ifstream in(SourceDir() + "/nicif/sim/default_inventory.json");
    std::stringstream text;
    text << in.rdbuf();
    return nlohmann::json::parse(text.str());
}

// The property definitions shown by one panel of a definition (its own
// panel; properties looked up along the base chain, as the readers do).
std::vector<const PropertyDef *> PanelProperties(const NicDefinition &d, PanelSlot slot) {
    std::vector<const PropertyDef *> out;
    const Panel *panel = d.panel(slot);
    if (!panel) return out;
    for (int i = 0; i < panel->items.count(); ++i) {
        const PropertyDef *p = FindProperty(d, panel->items[i].value);
        EXPECT_NE(p, nullptr) << d.type.narrowText() << ": panel item "
                              << panel->items[i].value.narrowText() << " has no definition";
        if (p) out.push_back(p);
    }
    return out;
}

// Checks every valued property of the panels against objects of the
// inventory holding it: the value exists, an enumerated one translates,
// and the profile accepts every raw value of the enumeration.
void CheckAgainst(const NicDefinition &d, const std::vector<PanelSlot> &slots,
                  const std::vector<nlohmann::json> &objects, const nlohmann::json &profile) {
    ASSERT_FALSE(objects.empty()) << d.type.narrowText();
    for (PanelSlot slot : slots) {
        std::vector<const PropertyDef *> properties = PanelProperties(d, slot);
        EXPECT_FALSE(properties.empty()) << d.type.narrowText() << " panel " << static_cast<int>(slot);
        for (const PropertyDef *p : properties) {
            const std::string id(p->id.narrowText());
            const std::string number(p->linkid.narrowText());
            ASSERT_NE(number, "-1") << id << ": value panels show held properties";
            for (const nlohmann::json &object : objects) {
                ASSERT_TRUE(object["properties"].contains(number))
                    << d.type.narrowText() << " object " << object["handle"] << " lacks " << id
                    << " (" << number << ")";
                std::string value = object["properties"][number];
                if (p->enumName) {
                    EXPECT_NE(FindEnumValue(d, p->id, DualString::fromNarrow(value)), nullptr)
                        << id << " value " << value << " has no text";
                }
            }
            if (profile.contains("restart")) {
                std::set<std::string> restart;
                for (const auto &n : profile["restart"]) restart.insert(std::to_string(n.get<int>()));
                EXPECT_EQ(restart.count(number) == 1, p->vbdrestart)
                    << id << ": the server answers 7 exactly for the properties marked vbdrestart";
            }
            if (!p->enumName) continue;
            ASSERT_TRUE(p->defaultValue && FindEnumId(d, p->id, p->defaultValue))
                << id << ": its default must be one of its texts";
            const nlohmann::json &allowed = profile["allowed"];
            for (const Enumeration &e : d.enumerations()) {
                if (!e.id.equals(p->id)) continue;
                for (int i = 0; i < e.items.count(); ++i) {
                    std::string raw(e.items[i].enumid.narrowText());
                    if (allowed.contains(number) && allowed[number].is_array()) {
                        std::set<std::string> choices = allowed[number];
                        EXPECT_TRUE(choices.count(raw)) << id << ": the server refuses " << raw;
                    }
                }
            }
        }
    }
}

class ShippedDefinitions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(InitXml(W(DefinitionsPath()).c_str()), 0u); }
    void TearDown() override { CloseXml(0); }
    const NicDefinition &definition(const char16_t *type) {
        const NicDefinition *d = FindDefinition(type);
        EXPECT_NE(d, nullptr);
        return *d;
    }
};

}  // namespace

// Both shipped files: the simulated server's and the Linux one.
TEST(ShippedDefinitionsFile, CarriesItsRealChecksum) {
    for (const std::string &path : {DefinitionsPath(), SourceDir() + "/definitions/lxnicdefs-linux.xml"}) {
        SCOPED_TRACE(path);
        ChecksumSet set;
        set.path = DualString::fromNarrow(path);
        ASSERT_EQ(ReadChecksums(set), 0u);
        EXPECT_FALSE(set.stored.equals(set.wildcard));
        EXPECT_EQ(set.computed.narrowText(), set.stored.narrowText());
        EXPECT_EQ(InitXml(W(path).c_str()), 0u) << "it loads";
        CloseXml(0);
    }
}

TEST_F(ShippedDefinitions, HoldsTwoAdapterFamiliesAndTheTeamDefinition) {
    const NicDefinition &ge = definition(u"VeltraneGE");
    const NicDefinition &xge = definition(u"VeltraneXGE");
    const NicDefinition &team = definition(u"TEAM");
    EXPECT_EQ(ge.base, nullptr);
    EXPECT_EQ(xge.base, &ge);
    for (const NicDefinition *d : {&ge, &xge})
        for (PanelSlot slot : {PanelSlot::Settings, PanelSlot::Advanced, PanelSlot::Statistics,
                               PanelSlot::Information, PanelSlot::Diagnostics})
            EXPECT_NE(d->panel(slot), nullptr) << d->type.narrowText() << " " << static_cast<int>(slot);
    for (PanelSlot slot : {PanelSlot::TeamingControls, PanelSlot::TeamSettings, PanelSlot::TeamAdvanced,
                           PanelSlot::TeamInfo, PanelSlot::AdvancedRedundancy, PanelSlot::Vlan,
                           PanelSlot::VlanInfo})
        EXPECT_NE(team.panel(slot), nullptr) << static_cast<int>(slot);

    // A jumbo frame setting narrows the speed choices in both families.
    for (const NicDefinition *d : {&ge, &xge}) {
        EXPECT_TRUE(d->isSource(DualString(u"JumboFrames"))) << d->type.narrowText();
        EXPECT_TRUE(d->isLinkTarget(DualString(u"SpeedDuplex"))) << d->type.narrowText();
    }
    // The ten-gigabit family inherits what it does not redefine.
    const PropertyDef *flow = FindProperty(xge, DualString(u"FlowControl"));
    ASSERT_NE(flow, nullptr);
    EXPECT_EQ(flow->linkid.narrowText(), "2");
}

TEST_F(ShippedDefinitions, TeamAdvancedCoversEveryRangeTypeWithMatchingMemberProperties) {
    const NicDefinition &team = definition(u"TEAM");
    std::set<std::string> kinds;
    for (const PropertyDef *p : PanelProperties(team, PanelSlot::TeamAdvanced)) {
        kinds.emplace(p->rangetype.narrowText());
        // Applying team advanced settings needs these on every entry.
        EXPECT_TRUE(p->lowest && p->rangetype && p->linkid) << p->id.narrowText();
        // The members' entries of the same id carry the same range type.
        for (const char16_t *family : {u"VeltraneGE", u"VeltraneXGE"}) {
            const PropertyDef *member = FindProperty(definition(family), p->id);
            ASSERT_NE(member, nullptr) << p->id.narrowText();
            EXPECT_EQ(member->rangetype.narrowText(), p->rangetype.narrowText()) << p->id.narrowText();
            EXPECT_EQ(member->linkid.narrowText(), p->linkid.narrowText()) << p->id.narrowText();
        }
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"binary", "numeric_low", "numeric_high", "list",
                                            "bit_and", "bit_or"}));
}

TEST_F(ShippedDefinitions, EveryPanelValueIsHeldByTheDefaultInventory) {
    nlohmann::json inv = Inventory();
    auto adaptersOf = [&](const std::string &type) {
        std::vector<nlohmann::json> out;
        for (const auto &a : inv["adapters"])
            if (a["definitionType"] == type) out.push_back(a);
        return out;
    };
    const std::vector<PanelSlot> adapterPanels = {PanelSlot::Settings, PanelSlot::Advanced,
                                                  PanelSlot::Statistics, PanelSlot::Information};
    CheckAgainst(definition(u"VeltraneGE"), adapterPanels, adaptersOf("VeltraneGE"),
                 inv["adapterTypes"]["VeltraneGE"]);
    CheckAgainst(definition(u"VeltraneXGE"), adapterPanels, adaptersOf("VeltraneXGE"),
                 inv["adapterTypes"]["VeltraneXGE"]);
    std::vector<nlohmann::json> teams(inv["teams"].begin(), inv["teams"].end());
    teams.push_back({{"handle", "a new team"}, {"properties", inv["teamProfile"]["properties"]}});
    CheckAgainst(definition(u"TEAM"),
                 {PanelSlot::TeamingControls, PanelSlot::TeamSettings, PanelSlot::TeamAdvanced,
                  PanelSlot::TeamInfo, PanelSlot::AdvancedRedundancy},
                 teams, inv["teamProfile"]);
    std::vector<nlohmann::json> vlans(inv["vlans"].begin(), inv["vlans"].end());
    vlans.push_back({{"handle", "a new VLAN"}, {"properties", inv["vlanProfile"]["properties"]}});
    CheckAgainst(definition(u"TEAM"), {PanelSlot::Vlan, PanelSlot::VlanInfo}, vlans,
                 inv["vlanProfile"]);
}
