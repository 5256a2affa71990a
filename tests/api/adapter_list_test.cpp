// GetNicList, the status reads and the pass-throughs through the C interface,
// against the test double. Every list is released as a front end does, so
// the sanitizer build shows any text that is lost or released twice.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"

using nicif_double::AdapterSpec;
using nicif_double::Nic;
using nicif_double::TeamSpec;
using nicif_double::VlanSpec;
using testing_support::FreeNicList;
using testing_support::Str;
using Calls = std::vector<std::string>;

namespace {

// The lists of one GetNicList call, released at the end of the test.
struct NicList {
    ~NicList() { FreeNicList(teams, adapters); }
    uint32_t fetch(uint64_t option = 0) { return GetNicList(option, &teams, &adapters); }
    TeamEntry *teams = reinterpret_cast<TeamEntry *>(0x1);  // must be overwritten
    AdapterEntry *adapters = reinterpret_cast<AdapterEntry *>(0x1);

    std::vector<uint64_t> adapterHandles() const {
        std::vector<uint64_t> h;
        for (AdapterEntry *a = adapters; a; a = a->next) h.push_back(a->handle);
        return h;
    }
    std::vector<uint64_t> teamHandles() const {
        std::vector<uint64_t> h;
        for (TeamEntry *t = teams; t; t = t->next) h.push_back(t->handle);
        return h;
    }
};

std::vector<AdapterEntry *> Members(const TeamEntry *team) {
    std::vector<AdapterEntry *> m;
    for (TeamMemberLink *link = team->members; link; link = link->next) {
        EXPECT_EQ(link->adapterHandle, link->adapter->handle);
        EXPECT_EQ(link->isAdded, 0);
        EXPECT_EQ(link->isRemoved, 0);
        m.push_back(link->adapter);
    }
    return m;
}

std::vector<uint64_t> Vlans(const VlanEntry *vlan) {
    std::vector<uint64_t> h;
    for (; vlan; vlan = vlan->next) {
        EXPECT_EQ(vlan->definitionType, nullptr);
        h.push_back(vlan->handle);
    }
    return h;
}

class AdapterList : public ::testing::Test {
protected:
    void SetUp() override { Nic().reset(); }
};

TEST_F(AdapterList, CopiesEveryAdapterField) {
    Nic().inventory({{.handle = 17, .definitionType = u"ADP", .name = u"eth0", .status = 2,
                      .info1 = 11, .teamHandle = 0, .info2 = 22, .activeInTeam = 1,
                      .label = u"Gigabit Ethernet Ädapter"},
                     {.handle = 18, .definitionType = u"ADP2", .name = u"eth1", .label = u""}},
                    {}, {});
    NicList list;
    ASSERT_EQ(list.fetch(0x1122334455667788ull), 0u);
    EXPECT_EQ(Nic().calls(), Calls{"NicIfEnumerate(1234605616436508552)"});
    EXPECT_EQ(list.teams, nullptr);
    ASSERT_EQ(list.adapterHandles(), (std::vector<uint64_t>{17, 18}));
    const AdapterEntry &a = *list.adapters;
    EXPECT_EQ(Str(a.definitionType), "ADP");
    EXPECT_EQ(Str(a.name), "eth0");
    EXPECT_EQ(Str(a.label), "Gigabit Ethernet Ädapter");
    EXPECT_EQ(a.status, 2u);
    EXPECT_EQ(a.info1, 11u);
    EXPECT_EQ(a.info2, 22u);
    EXPECT_EQ(a.teamHandle, 0u);
    EXPECT_EQ(a.activeInTeam, 1);
    EXPECT_EQ(a.number, 1u);
    EXPECT_EQ(a.vlans, nullptr);
    EXPECT_EQ(a.settingsList, nullptr);
    const AdapterEntry &b = *a.next;
    EXPECT_EQ(b.number, 2u);
    EXPECT_EQ(Str(b.label), "");  // an empty label is a text, not NULL
    EXPECT_EQ(b.next, nullptr);
}

TEST_F(AdapterList, TeamsCollectTheirMembersAndVlansFindTheirParents) {
    Nic().inventory(
        {{.handle = 1, .definitionType = u"A", .name = u"n1", .teamHandle = 100},
         {.handle = 2, .definitionType = u"A", .name = u"n2", .teamHandle = 999},  // no such team
         {.handle = 3, .definitionType = u"A", .name = u"n3", .teamHandle = 100},
         {.handle = 200, .definitionType = u"A", .name = u"n4"}},
        {{.handle = 100, .teamInfo1 = 5, .teamText = u"Team One", .teamInfo2 = 6},
         {.handle = 150, .teamText = u"not a team", .kind = 2},  // dropped, text released
         {.handle = 200, .teamText = u"Team Two"}},                // handle shared with an adapter
        {{.handle = 501, .parent = 100},
         {.handle = 502, .parent = 3},
         {.handle = 503, .parent = 200},  // adapter 200 wins over team 200
         {.handle = 504, .parent = 150},  // the dropped element is no parent
         {.handle = 505, .parent = 100},
         {.handle = 506, .parent = 777}});  // no parent at all
    NicList list;
    ASSERT_EQ(list.fetch(), 0u);
    ASSERT_EQ(list.adapterHandles(), (std::vector<uint64_t>{1, 2, 3, 200}));
    ASSERT_EQ(list.teamHandles(), (std::vector<uint64_t>{100, 200}));
    AdapterEntry *n1 = list.adapters, *n3 = n1->next->next, *n4 = n3->next;

    TeamEntry &one = *list.teams;
    EXPECT_EQ(Str(one.teamText), "Team One");
    EXPECT_EQ(Str(one.definitionType), "TEAM");
    EXPECT_EQ(one.teamInfo1, 5u);
    EXPECT_EQ(one.teamInfo2, 6u);
    EXPECT_EQ(one.isNew, 0);
    EXPECT_EQ(Members(&one), (std::vector<AdapterEntry *>{n1, n3}));
    EXPECT_EQ(Vlans(one.vlans), (std::vector<uint64_t>{501, 505}));

    TeamEntry &two = *one.next;
    EXPECT_EQ(Str(two.definitionType), "TEAM");
    EXPECT_EQ(two.members, nullptr);
    EXPECT_EQ(two.vlans, nullptr);

    EXPECT_EQ(Vlans(n3->vlans), std::vector<uint64_t>{502});
    EXPECT_EQ(Vlans(n4->vlans), std::vector<uint64_t>{503});
    EXPECT_EQ(n1->vlans, nullptr);
}

TEST_F(AdapterList, AnEmptyInventoryGivesTwoEmptyLists) {
    NicList list;
    EXPECT_EQ(list.fetch(), 0u);
    EXPECT_EQ(list.teams, nullptr);
    EXPECT_EQ(list.adapters, nullptr);
}

TEST_F(AdapterList, NullArraysWithCountsBuildNothing) {
    Nic().inventory({{.handle = 1, .definitionType = u"A", .name = u"n"}},
                    {{.handle = 100, .teamText = u"t"}}, {{.handle = 5, .parent = 1}},
                    /*nullArrays=*/true);
    NicList list;
    EXPECT_EQ(list.fetch(), 0u);
    EXPECT_EQ(list.teams, nullptr);
    EXPECT_EQ(list.adapters, nullptr);
}

TEST_F(AdapterList, AdaptersWithoutTextsKeepNull) {
    Nic().inventory({{.handle = 1, .label = u"L", .nullTexts = true}}, {}, {});
    NicList list;
    ASSERT_EQ(list.fetch(), 0u);
    ASSERT_NE(list.adapters, nullptr);
    EXPECT_EQ(list.adapters->definitionType, nullptr);
    EXPECT_EQ(list.adapters->name, nullptr);
    EXPECT_EQ(Str(list.adapters->label), "L");
}

TEST_F(AdapterList, AFailedEnumerationGivesItsCodeAndEmptyLists) {
    Nic().inventory({{.handle = 1, .definitionType = u"A", .name = u"n"}}, {}, {});
    Nic().respond("NicIfEnumerate", 9);
    NicList list;
    EXPECT_EQ(list.fetch(), 9u);
    EXPECT_EQ(list.teams, nullptr);
    EXPECT_EQ(list.adapters, nullptr);
}

TEST_F(AdapterList, NullOutPointersGive100WithoutEnumerating) {
    TeamEntry *teams = nullptr;
    AdapterEntry *adapters = nullptr;
    EXPECT_EQ(GetNicList(0, nullptr, &adapters), 100u);
    EXPECT_EQ(GetNicList(0, &teams, nullptr), 100u);
    EXPECT_TRUE(Nic().calls().empty());
}

TEST_F(AdapterList, WorksWithoutDefinitions) {
    CloseXml(0);  // whatever ran before, nothing is loaded now
    Nic().inventory({{.handle = 1, .definitionType = u"A", .name = u"n"}}, {}, {});
    NicList list;
    EXPECT_EQ(list.fetch(), 0u);
    EXPECT_EQ(list.adapterHandles(), std::vector<uint64_t>{1});
}

// --- status reads and pass-throughs ------------------------------------------

TEST_F(AdapterList, StatusReadsDeliverTheStatusOrUnknown) {
    struct Case {
        std::optional<uint32_t> libraryStatus;
        uint32_t code, delivered;
    };
    for (const char *function : {"NicIfGetAdapterStatus", "NicIfGetTeamStatus"}) {
        auto call = [&](uint64_t handle, uint32_t *status) {
            return std::string(function) == "NicIfGetAdapterStatus"
                       ? UpdateNicStatus(handle, status)
                       : UpdateTeamStatus(handle, status);
        };
        for (Case c : std::vector<Case>{{0, 0, 0}, {5, 0, 5}, {2, 6, 2}, {std::nullopt, 6, 4}}) {
            SCOPED_TRACE(std::string(function) + " " + std::to_string(c.code));
            Nic().reset();
            Nic().status(function, 0x1234, c.libraryStatus, c.code);
            uint32_t status = 77;
            EXPECT_EQ(call(0x1234, &status), c.code);
            EXPECT_EQ(status, c.delivered);
            EXPECT_EQ(Nic().calls(), Calls{std::string(function) + "(4660)"});
        }
        Nic().reset();
        EXPECT_EQ(call(0x1234, nullptr), 100u);
        EXPECT_TRUE(Nic().calls().empty());
    }
}

TEST_F(AdapterList, GetNicTeamAndTcpIpInstalledPassThrough) {
    Nic().nicTeam(0xABCD);
    Nic().tcpIpInstalled(0);
    Nic().respond("NicIfGetNicTeam", 3);
    Nic().respond("NicIfTcpIpInstalled", 8);
    uint64_t team = 0;
    uint32_t installed = 1;
    EXPECT_EQ(GetNicTeam(42, &team), 3u);
    EXPECT_EQ(team, 0xABCDu);
    EXPECT_EQ(TcpIpInstalled(&installed), 8u);
    EXPECT_EQ(installed, 0u);
    // NULL is passed on, not judged.
    EXPECT_EQ(GetNicTeam(43, nullptr), 3u);
    EXPECT_EQ(TcpIpInstalled(nullptr), 8u);
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfGetNicTeam(42)", "NicIfTcpIpInstalled()",
                                    "NicIfGetNicTeam(43)", "NicIfTcpIpInstalled()"}));
}

}  // namespace
