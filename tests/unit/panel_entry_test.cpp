// The team form of the enumeration translation, which the team panel and
// single team reads build on (the adapter form is covered by GetPanelData).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/panel_entry.h"
#include "changes/write_essentials.h"
#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/test_files.h"

using namespace lxniccfg;
using nicif_double::Nic;

namespace {

class TeamTranslation : public ::testing::Test {
protected:
    void SetUp() override {
        Nic().reset();
        std::string body = R"(<nic type="TEAM">
            <property id="Mode" linkid="7" enum="1" default="Smart"/>
            <property id="Bare" linkid="8" enum="1"/>
            <enumeration id="Mode"><enumitem enumid="4" enumvalue="Smart"/>
              <enumitem enumid="6" enumvalue="Fault Tolerance"/></enumeration></nic></definitions>)";
        std::string path = dir_.write("d.xml", testing_support::WildcardDefinitions(body));
        CloseXml(0);
        ASSERT_EQ(InitXml(testing_support::W(path).c_str()), 0u);
        Nic().clearCalls();
        team_ = FindTeamDefinition();
        ASSERT_NE(team_, nullptr);
    }
    void TearDown() override { CloseXml(0); }

    std::optional<std::string> Translate(const char16_t *id, const char16_t *raw) {
        const PropertyDef *property = FindOwnProperty(*team_, DualString(id));
        std::optional<DualString> shown = TranslateTeamEnumValue(*team_, *property, 30, DualString(raw));
        if (!shown) return std::nullopt;
        return shown->narrowText();
    }

    testing_support::TempDir dir_;
    const NicDefinition *team_ = nullptr;
};

TEST_F(TeamTranslation, KnownValuesTranslateUnknownOnesResetTheTeam) {
    EXPECT_EQ(Translate(u"Mode", u"6"), "Fault Tolerance");
    EXPECT_TRUE(Nic().calls().empty());
    EXPECT_EQ(Translate(u"Mode", u"9"), "Smart");
    EXPECT_EQ(Nic().calls(), std::vector<std::string>{"NicIfSetTeamProperty(30, 7, \"4\", 4)"});

    Nic().respond("NicIfSetTeamProperty", 5);
    EXPECT_EQ(Translate(u"Mode", u"9"), std::nullopt);
    EXPECT_EQ(Translate(u"Bare", u"1"), std::nullopt);  // no default to fall back on
}

}  // namespace
