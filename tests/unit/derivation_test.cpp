// Deriving a team property from its member adapters' entries.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "rules/derived_ranges.h"
#include "support/records.h"

using namespace lxniccfg;
using namespace testing_support;

namespace {

// Member adapter types. M1 and M2 enumerate "Speed" differently; DEP has a
// rule: while Mtu is 9000, Lso must be Off.
const char *kMembers = R"(<r>
<nic type="M1">
  <enumeration id="Speed">
    <enumitem enumid="1" enumvalue="10 Mbps"/>
    <enumitem enumid="2" enumvalue="100 Mbps"/>
    <enumitem enumid="3" enumvalue="1 Gbps"/>
  </enumeration>
</nic>
<nic type="M2">
  <enumeration id="Speed">
    <enumitem enumid="3" enumvalue="1G"/>
    <enumitem enumid="2" enumvalue="100M"/>
  </enumeration>
</nic>
<nic type="DEP">
  <property id="Mtu" linkid="1" dependency="2"/>
  <property id="Lso" linkid="2" dependency="1"/>
  <sourceproperty name="Mtu" value="9000">
    <linkproperty name="Lso" range="Off" default="Off"/>
  </sourceproperty>
</nic>
</r>)";

// One member as the front end holds it.
struct MemberSpec {
    std::string type = "M1";
    std::vector<EntrySpec> advanced;
    std::vector<EntrySpec> settings;
    bool hasAdvancedList = true;
    uint8_t isRemoved = 0;
    bool noAdapter = false;
};

// A team with its members' adapters, allocated and released as a front end
// holds them from GetNicList.
class Team {
public:
    explicit Team(const std::vector<MemberSpec> &members) {
        team_ = static_cast<TeamEntry *>(std::calloc(1, sizeof(TeamEntry)));
        team_->definitionType = Text("TEAM");
        TeamMemberLink **link = &team_->members;
        AdapterEntry **adapter = &adapters_;
        for (const MemberSpec &m : members) {
            *link = static_cast<TeamMemberLink *>(std::calloc(1, sizeof(TeamMemberLink)));
            (*link)->isRemoved = m.isRemoved;
            if (!m.noAdapter) {
                *adapter = static_cast<AdapterEntry *>(std::calloc(1, sizeof(AdapterEntry)));
                (*adapter)->definitionType = Text(m.type);
                (*adapter)->settingsList = EntryList(m.settings);
                if (m.hasAdvancedList) (*adapter)->advancedList = EntryList(m.advanced);
                (*link)->adapter = *adapter;
                adapter = &(*adapter)->next;
            }
            link = &(*link)->next;
        }
    }
    ~Team() { FreeNicList(team_, adapters_); }
    const TeamEntry &get() const { return *team_; }

private:
    TeamEntry *team_ = nullptr;
    AdapterEntry *adapters_ = nullptr;
};

std::string Show(const DualString &text) { return text.isNone() ? "(none)" : text.narrowText(); }

struct Outcome {
    MemberScan scan;
    std::string range, defaultValue, derivedValue;
};

// What the team panel read does for one property: scan, and derive when
// every member has the property.
Outcome DeriveFor(const Team &team, const std::string &id, DerivationContext &context) {
    PanelEntry *property = Entry({.id = id});
    Outcome out;
    out.scan = ScanMembers(team.get(), *property, context);
    if (out.scan == MemberScan::Complete) Derive(context, DualString(property->id));
    out.range = Show(context.range);
    out.defaultValue = Show(context.defaultValue);
    out.derivedValue = Show(context.derivedValue);
    FreeEntries(property);
    return out;
}

Outcome DeriveFor(const Team &team, const std::string &id = "P") {
    DerivationContext context;
    return DeriveFor(team, id, context);
}

class DerivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        XmlLibrarySession session;
        ElementList elements;
        ParseXmlBuffer(kMembers, std::char_traits<char>::length(kMembers), elements);
        BuildDefinitions(elements, Catalog());
        ASSERT_NE(FindDefinition(u"DEP"), nullptr);
    }
    void TearDown() override { Catalog().clear(); }
};

// Two members' entries of property "P" (range, selected value, and for
// "binary" the lowest value and default).
struct Pair {
    const char *name;
    const char *rangeType;
    EntrySpec first, second;
    std::string range, defaultValue, derivedValue;
};

TEST_F(DerivationTest, EachRangeTypeOverTwoMembers) {
    const std::vector<Pair> cases = {
        {"numeric_low: common range, smallest value", "numeric_low",
         {.selectedValue = "40", .range = "10-100"}, {.selectedValue = "20", .range = "1-50"},
         "10-50", "(none)", "20"},
        {"numeric_high: largest value", "numeric_high",
         {.selectedValue = "40", .range = "10-100"}, {.selectedValue = "20", .range = "1-50"},
         "10-50", "(none)", "40"},
        {"numeric without any '-': 0-0", "numeric_low",
         {.selectedValue = "5", .range = "100"}, {.selectedValue = "7", .range = "50"},
         "0-0", "(none)", "5"},
        {"numeric, one member without a high bound", "numeric_high",
         {.selectedValue = "5", .range = "60"}, {.selectedValue = "7", .range = "10-100"},
         "60-100", "(none)", "7"},
        {"numeric, a member entry without selectedValue counts as 0", "numeric_high",
         {.range = "0-10"}, {.selectedValue = "-3", .range = "0-10"},
         "0-10", "(none)", "0"},
        {"bit_and", "bit_and",
         {.selectedValue = "255", .range = "0-255"}, {.selectedValue = "12", .range = "0-15"},
         "0-15", "(none)", "12"},
        {"bit_or", "bit_or",
         {.selectedValue = "255", .range = "0-255"}, {.selectedValue = "12", .range = "0-15"},
         "0-255", "(none)", "255"},
        {"bit_and: a value of -1 is replaced by the default", "bit_and",
         {.selectedValue = "-1", .range = "0-7", .defaultValue = "6"},
         {.selectedValue = "3", .range = "0-7"},
         "0-7", "(none)", "2"},
        {"bit_or: a range without '-' adds no bits", "bit_or",
         {.selectedValue = "1", .range = "15"}, {.selectedValue = "2", .range = "0-3"},
         "0-3", "(none)", "3"},
        {"list: common tokens, the value of the smallest number", "list",
         {.selectedValue = "3", .range = "1|2|3"}, {.selectedValue = "2", .range = "2|3"},
         "2|3", "2", "2"},
        {"list: the text of the first member's token is kept", "list",
         {.selectedValue = "30", .range = "10a|20b|30c"}, {.selectedValue = "30", .range = "30y|20x"},
         "20b|30c", "20b", "30c"},
        {"list: no value among the common tokens gives the default", "list",
         {.selectedValue = "1", .range = "1|2|3"}, {.selectedValue = "1", .range = "2|3"},
         "2|3", "2", "2"},
        {"list: nothing in common derives nothing", "list",
         {.selectedValue = "1", .range = "1|2"}, {.selectedValue = "3", .range = "3|4"},
         "(none)", "(none)", "(none)"},
        {"list: a range without '|' gives no tokens", "list",
         {.selectedValue = "5", .range = "5"}, {.selectedValue = "5", .range = "5"},
         "(none)", "(none)", "(none)"},
        {"list: tokens match by number only", "list",
         {.selectedValue = "10", .range = "10a|10b"}, {.selectedValue = "20", .range = "20|30"},
         "10a", "10a", "10a"},
        {"binary: every member at lowest", "binary",
         {.selectedValue = "Off", .range = "On|Off", .defaultValue = "On", .lowest = "Off"},
         {.selectedValue = "Off", .range = "On|Off", .defaultValue = "On", .lowest = "Off"},
         "(none)", "On", "Off"},
        {"binary: every member at the other value", "binary",
         {.selectedValue = "On", .range = "On|Off", .defaultValue = "Off", .lowest = "Off"},
         {.selectedValue = "On", .range = "On|Off", .defaultValue = "On", .lowest = "Off"},
         "(none)", "Off", "On"},
        {"binary: mixed, defaults at lowest", "binary",
         {.selectedValue = "On", .range = "Off|On", .defaultValue = "Off", .lowest = "Off"},
         {.selectedValue = "Off", .range = "Off|On", .defaultValue = "On", .lowest = "Off"},
         "(none)", "Off", "Off"},
        {"binary: mixed, defaults not at lowest", "binary",
         {.selectedValue = "On", .range = "Off|On", .defaultValue = "On", .lowest = "Off"},
         {.selectedValue = "Off", .range = "Off|On", .defaultValue = "On", .lowest = "Off"},
         "(none)", "On", "On"},
        {"binary: a view without lowest does not fail", "binary",
         {.selectedValue = "On", .range = "Off|On"}, {.selectedValue = "On", .range = "Off|On"},
         "(none)", "(none)", "(none)"},
        {"an unknown rangetype derives nothing", "Binary",
         {.selectedValue = "1", .range = "0-10"}, {.selectedValue = "2", .range = "0-10"},
         "(none)", "(none)", "(none)"},
    };
    for (const Pair &c : cases) {
        SCOPED_TRACE(c.name);
        MemberSpec first, second;
        first.advanced = {c.first};
        second.advanced = {c.second};
        for (EntrySpec *fields : {&first.advanced[0], &second.advanced[0]}) {
            fields->id = "P";
            fields->rangeType = c.rangeType;
        }
        Team team({first, second});
        Outcome out = DeriveFor(team);
        EXPECT_EQ(out.scan, MemberScan::Complete);
        EXPECT_EQ(out.range, c.range);
        EXPECT_EQ(out.defaultValue, c.defaultValue);
        EXPECT_EQ(out.derivedValue, c.derivedValue);
    }
}

TEST_F(DerivationTest, ListTokensComeFromTheMembersEnumeration) {
    MemberSpec first{.type = "M1", .advanced = {{.id = "Speed", .selectedValue = "3", .range = "x|y", .rangeType = "list"}}};
    MemberSpec second{.type = "M2", .advanced = {{.id = "Speed", .selectedValue = "3", .rangeType = "list"}}};
    Team team({first, second});
    Outcome out = DeriveFor(team, "Speed");
    EXPECT_EQ(out.range, "100 Mbps|1 Gbps");
    EXPECT_EQ(out.defaultValue, "100 Mbps");
    EXPECT_EQ(out.derivedValue, "1 Gbps");
}

TEST_F(DerivationTest, EachListPropertyUsesOnlyItsOwnTokens) {
    MemberSpec first{.advanced = {{.id = "A", .range = "1|2", .rangeType = "list"},
                                  {.id = "B", .range = "7|8|9", .rangeType = "list"}}};
    MemberSpec second{.advanced = {{.id = "A", .range = "1|2", .rangeType = "list"},
                                   {.id = "B", .range = "8|9", .rangeType = "list"}}};
    Team team({first, second});
    DerivationContext context;
    Outcome a = DeriveFor(team, "A", context);
    Outcome b = DeriveFor(team, "B", context);
    EXPECT_EQ(a.range, "1|2");
    EXPECT_EQ(b.range, "8|9");
    EXPECT_EQ(context.commonCount, 2);
    EXPECT_EQ(context.views.size(), 4u);
}

TEST_F(DerivationTest, AJoinedListKeepsTheTokensThatFit) {
    // 60 tokens of 9 characters: 9 + 50 * 10 = 509 characters fit in 511.
    std::string range;
    for (int i = 100; i < 160; ++i) range += (range.empty() ? "" : "|") + std::to_string(i) + "-abcde";
    MemberSpec member{.advanced = {{.id = "P", .selectedValue = "100", .range = range, .rangeType = "list"}}};
    Team team({member});
    Outcome out = DeriveFor(team);
    EXPECT_EQ(out.range.size(), 509u);
    EXPECT_EQ(out.range, range.substr(0, 509));
}

TEST_F(DerivationTest, ScanCountsMissingMembers) {
    const EntrySpec p{.id = "P", .selectedValue = "5", .range = "0-10", .rangeType = "numeric_low"};
    struct ScanCase {
        const char *name;
        std::vector<MemberSpec> members;
        MemberScan scan;
        std::size_t views;
    };
    MemberSpec with{.advanced = {{.id = "Q"}, p}};
    MemberSpec without{.advanced = {{.id = "Q"}}};
    MemberSpec noList{.hasAdvancedList = false};
    MemberSpec removed{.advanced = {}, .isRemoved = 1};
    MemberSpec noAdapter{.noAdapter = true};
    MemberSpec unknownType{.type = "NOPE", .advanced = {p}};
    const std::vector<ScanCase> cases = {
        {"no members", {}, MemberScan::Complete, 0},
        {"all members have it", {with, with}, MemberScan::Complete, 2},
        {"one lacks it", {with, without}, MemberScan::Partial, 1},
        {"one has no advancedList", {noList, with}, MemberScan::Partial, 1},
        {"none has it", {without, noList}, MemberScan::NoMember, 0},
        {"removed members and links without adapter are skipped", {removed, noAdapter, with},
         MemberScan::Complete, 1},
        {"a member without loaded definitions counts but gives no view", {unknownType, with},
         MemberScan::Complete, 1},
        {"only a member without loaded definitions", {unknownType}, MemberScan::Complete, 0},
    };
    for (const ScanCase &c : cases) {
        SCOPED_TRACE(c.name);
        Team team(c.members);
        DerivationContext context;
        Outcome out = DeriveFor(team, "P", context);
        EXPECT_EQ(out.scan, c.scan);
        EXPECT_EQ(context.views.size(), c.views);
    }
}

TEST_F(DerivationTest, AnEntryTheMembersRulesWouldChangeIsPassedOver) {
    // Mtu 9000 forces Lso Off: an Mtu entry marked as a rule source is not
    // used while the member's Lso is On.
    const EntrySpec source{.id = "Mtu", .selectedValue = "9000", .range = "1500-9000", .rangeType = "numeric_low", .dependencyFlags = 2};
    const EntrySpec plain{.id = "Mtu", .selectedValue = "4000", .range = "1500-9000", .rangeType = "numeric_low"};
    struct DepCase {
        const char *name;
        std::vector<EntrySpec> advanced;
        const char *lso;
        MemberScan scan;
        std::string derivedValue;
    };
    const std::vector<DepCase> cases = {
        {"rules force a change: the later entry is taken", {source, plain}, "On",
         MemberScan::Complete, "4000"},
        {"rules force a change and no other entry", {source}, "On", MemberScan::NoMember, "(none)"},
        {"rules force nothing: the entry is taken", {source, plain}, "Off", MemberScan::Complete,
         "9000"},
    };
    for (const DepCase &c : cases) {
        SCOPED_TRACE(c.name);
        MemberSpec member{.type = "DEP", .advanced = c.advanced,
                          .settings = {{.id = "Lso", .selectedValue = c.lso}}};
        Team team({member});
        Outcome out = DeriveFor(team, "Mtu");
        EXPECT_EQ(out.scan, c.scan);
        EXPECT_EQ(out.derivedValue, c.derivedValue);
    }
}

TEST_F(DerivationTest, ViewsCopyTheMemberEntry) {
    EntrySpec fields{.id = "P", .linkId = "12", .range = "3-40", .defaultValue = "7", .lowest = "3", .rangeType = "bit_or", .compound = 1};
    MemberSpec member{.advanced = {fields}};
    Team team({member});
    DerivationContext context;
    DeriveFor(team, "P", context);
    ASSERT_EQ(context.views.size(), 1u);
    const MemberView &view = context.views[0];
    EXPECT_EQ(Show(view.linkId), "12");
    EXPECT_EQ(Show(view.defaultValue), "7");
    EXPECT_EQ(Show(view.lowest), "3");
    EXPECT_EQ(Show(view.value), "");  // no selectedValue: the empty text
    EXPECT_EQ(view.kind, RangeKind::BitOr);
    EXPECT_EQ(view.compound, 1);
    EXPECT_EQ(view.low, 3);
    EXPECT_EQ(view.high, 40);
}

TEST_F(DerivationTest, DerivedTextsReplaceOnlyWhatWasDerived) {
    PanelEntry *entry = Entry({.id = "P", .range = "0-99", .defaultValue = "9", .derivedValue = "old"});
    DerivationContext context;
    context.derivedValue = DualString::fromUtf8("5");
    context.range = DualString::fromUtf8("0-50");
    CopyDerivedTexts(context, *entry);
    EXPECT_EQ(Str(entry->derivedValue), "5");
    EXPECT_EQ(Str(entry->range), "0-50");
    EXPECT_EQ(Str(entry->defaultValue), "9");
    FreeEntries(entry);
}

}  // namespace
