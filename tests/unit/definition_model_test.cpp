#include <gtest/gtest.h>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "support/built_definitions.h"

using namespace lxniccfg;

using testing_support::Built;
using testing_support::N;

TEST(PropertyDef, AttributesAreStoredAsWrittenAndFlagsParsedStrictly) {
    struct Case { const char *name, *value; bool hide, compound, vbdrestart; int32_t splevel; };
    const Case cases[] = {
        {"hide", "true", true, false, false, 0},   {"hide", "True", false, false, false, 0},
        {"hide", "1", false, false, false, 0},     {"compound", "true", false, true, false, 0},
        {"vbdrestart", "1", false, false, true, 0}, {"vbdrestart", "true", false, false, true, 0},
        {"vbdrestart", "yes", false, false, false, 0}, {"splevel", "12ab", false, false, false, 12},
        {"splevel", "x1", false, false, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        PropertyDef p;
        p.setAttribute(N(c.name), N(c.value));
        EXPECT_EQ(p.hide, c.hide);
        EXPECT_EQ(p.compound, c.compound);
        EXPECT_EQ(p.vbdrestart, c.vbdrestart);
        EXPECT_EQ(p.splevel, c.splevel);
    }
    PropertyDef p;
    p.setAttribute(N("default"), N(" Auto "));
    p.setAttribute(N("enum"), N("yes"));
    p.setAttribute(N("Range"), N("ignored"));
    p.setAttribute(N("default"), N("later wins"));
    EXPECT_EQ(p.defaultValue.narrowText(), "later wins");
    EXPECT_EQ(p.enumName.narrowText(), "yes");
    EXPECT_TRUE(p.range.isNone());
}

TEST(DefinitionModel, LookupsKeepFirstMatchOrder) {
    Built b(R"(<r>
      <nic type="A">
        <property id="P" linkid="1" default="first"/>
        <property id="P" linkid="2" default="second"/>
        <property id="NoLink" default="x"/>
        <enumeration id="P"><enumitem enumid="1" enumvalue="One"/><enumitem enumid="2" enumvalue="One"/></enumeration>
        <enumeration id="P"><enumitem enumid="3" enumvalue="Three"/><enumitem enumid="1" enumvalue="Other"/></enumeration>
        <enumeration id="Q"><enumitem enumid="5" enumvalue="Q5"/></enumeration>
        <enumeration id="P"><enumitem enumid="5" enumvalue="Five"/></enumeration>
      </nic>
      <nic type="B" derived="A"><property id="Q" linkid="3"/></nic>
      <nic type="C" derived="B"/>
      <nic type="A"/>
    </r>)");
    const NicDefinition &a = b.at(0), &c = b.at(2);
    EXPECT_EQ(FindPropertyIndex(a.index, N("P")), 0);
    EXPECT_EQ(FindPropertyIndex(a.index, N("NoLink")), -1);  // not indexed without linkid
    EXPECT_EQ(FindProperty(a, N("NoLink")), nullptr);
    EXPECT_EQ(FindProperty(c, N("P"))->defaultValue.narrowText(), "first");  // base of the base
    EXPECT_EQ(FindProperty(c, N("Q"))->linkid.narrowText(), "3");
    EXPECT_EQ(FindProperty(c, DualString()), nullptr);

    EXPECT_EQ(FindEnumValue(a, N("P"), N("1"))->narrowText(), "One");
    EXPECT_EQ(FindEnumValue(a, N("P"), N("3"))->narrowText(), "Three");  // the second enumeration
    EXPECT_EQ(FindEnumValue(a, N("P"), N("5"))->narrowText(), "Five");   // the third, after another id
    EXPECT_EQ(FindEnumId(a, N("P"), N("One"))->narrowText(), "1");       // the first matching item
    EXPECT_EQ(FindEnumId(a, N("P"), N("1")), nullptr);                   // an enumid is no enumvalue
    EXPECT_EQ(FindEnumValue(c, N("P"), N("1")), nullptr);                // no base chain for enumerations

    EXPECT_EQ(b.catalog.find(N("A")), &a);  // the first of two of the same type
    EXPECT_EQ(b.catalog.find(N("a")), nullptr);
}
