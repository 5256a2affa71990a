// What the server refuses as a real NIC interface library would: names it
// cannot show or that another team has, VLAN ids outside 1-4094, MAC
// addresses that are not an adapter's, a preferred primary that is no member;
// and the form in which it keeps what it takes.
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_support.h"

using namespace sim_test;

using ValuesTest = SimTest;

TEST_F(ValuesTest, RefusesValuesTheServerCannotHold) {
    struct Case {
        Kind kind;
        uint64_t handle;
        uint32_t property;
        std::string value;
        uint32_t code;
    };
    const Case cases[] = {
        {Kind::Team, kTeam1, 100, "", 3},                       // a team keeps a name
        {Kind::Team, kTeam1, 100, "Team\x1b[2J", 3},            // control character
        {Kind::Team, kTeam1, 100, std::string(65, 'x'), 3},     // longer than 64 characters
        {Kind::Team, kTeam1, 100, std::string(64, 'x'), 0},
        {Kind::Vlan, kSalesVlan, 201, "Sales\nEU", 3},
        {Kind::Vlan, kSalesVlan, 200, "0", 3},
        {Kind::Vlan, kSalesVlan, 200, "4095", 3},
        {Kind::Vlan, kSalesVlan, 200, "ten", 3},
        {Kind::Adapter, kEth0, 12, "01:00:5E:00:00:01", 3},   // multicast
        {Kind::Adapter, kEth0, 12, "00:1B:21:AA:BB", 3},
        {Kind::Adapter, kEth0, 12, "00:1B-21:AA:BB:CC", 3},   // mixed separators
        {Kind::Adapter, kEth0, 12, "", 0},
        {Kind::Team, kTeam1, 103, "eth2", 3},                 // not a member
        {Kind::Team, kTeam1, 103, "eth1", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Write(c.kind, c.handle, c.property, c.value), c.code);
    }
}

TEST_F(ValuesTest, KeepsVlanIdsAndMacAddressesInOneFormAndComparesIdsAsNumbers) {
    ASSERT_EQ(Write(Kind::Vlan, kSalesVlan, 200, "0011"), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 12, "001b21aabbcc"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 200).second, "11");
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 12).second, "00:1B:21:AA:BB:CC");

    Records twelve({{200, "011"}});
    uint64_t vlan = 0;
    EXPECT_EQ(NicIfCreateVlan(twelve.data(), twelve.count(), kEth2, 0, 0, &vlan), 5u);  // 11 is taken
}

TEST_F(ValuesTest, ATeamNameIsUniqueAndAPrimaryThatLeavesIsCleared) {
    Records named({{100, "Team 1"}});
    uint64_t members[] = {kEth3};
    uint64_t team = 0;
    EXPECT_EQ(NicIfCreateTeam(named.data(), named.count(), members, 1, &team), 5u);
    Records other({{100, "Team 2"}});
    ASSERT_EQ(NicIfCreateTeam(other.data(), other.count(), members, 1, &team), 0u);
    EXPECT_EQ(Write(Kind::Team, team, 100, "Team 1"), 3u);

    ASSERT_EQ(Read(Kind::Team, kTeam1, 103).second, "eth0");
    ASSERT_EQ(NicIfRemoveTeamMember(kEth0, 0, kTeam1), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(Read(Kind::Team, kTeam1, 103).second, "");
}

TEST_F(ValuesTest, ASavedStateFileKeepsItsModeOwnerAndSymbolicLink) {
    namespace fs = std::filesystem;
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 2, "0"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);  // the file exists from here on
    const std::string real = statePath();
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(chown(real.c_str(), 1234, 5678), 0);  // the tests run as root
    const std::string link = dir() + "/link.json";
    fs::create_symlink("state.json", link);
    setenv("LXNICIF_STATE", link.c_str(), 1);
    NicIfClose(0);

    ASSERT_EQ(Write(Kind::Adapter, kEth0, 2, "1"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(stateJson()["adapters"][0]["properties"]["2"], "1");
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    // One lock for every name of the file.
    EXPECT_FALSE(fs::exists(link + ".lock"));
}
