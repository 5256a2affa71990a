// WriteXmlScriptFile: whole documents compared byte for byte, the encoding
// of texts, and failed writes.
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <filesystem>

#include "api/script_fixture.h"

using namespace script_test;
using testing_support::EntryList;
using testing_support::ReadFile;

namespace {

class ScriptWriter : public EnvironmentTest {
protected:
    // Writes the records and returns the file's bytes.
    std::string write(Records &r, uint8_t full, uint8_t comments) {
        std::u16string file = path("out.xml");
        EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, file.c_str(), full, comments), 0u);
        return testing_support::ReadTextFile(dir.path() + "/out.xml");
    }
};

TEST_F(ScriptWriter, EmptyConfigurationHoldsHeaderAndVersion) {
    Records r;
    EXPECT_EQ(write(r, 0, 0), Header() + VersionBlock() + "</teamingconfig>\n");
}

TEST_F(ScriptWriter, MissingUtilityVersionLeavesErrorCommentOnTheNextLine) {
    set("LXNICUI_VERSION", std::nullopt);
    Records r;
    r.nic(2);
    EXPECT_EQ(write(r, 0, 0), Header() +
                                  "<!-- ERROR : Utility Version Not found -->"
                                  "  <!-- <nic> element 2 -->\n"
                                  "  <nic>\n"
                                  "    <property id='NetworkAddress' value='' />\n"
                                  "  </nic>\n"
                                  "\n"
                                  "</teamingconfig>\n");
}

TEST_F(ScriptWriter, ShortFormKeepsWhatRestoresTheConfiguration) {
    Records r;
    // NIC 1: alone, with iSCSI and TOE capabilities and two VLANs.
    AdapterEntry *eth0 = r.nic(1, "eth0");
    eth0->capabilities = 1;
    eth0->settingsList = EntryList({{.id = "SpeedDuplex", .value = "Auto", .displayName = "Speed"},
                                    {.id = "Foo", .value = "bar"},
                                    {.id = "PreferredPrimaryRanking"},  // no value: never written
                                    {.id = "ConfiguredPortCost", .value = "x=1;;y=a=b;z", .compound = 1},
                                    {.id = "DefaultVlanId", .value = ""}});
    eth0->advancedList = EntryList({{.id = "RSSEnabled", .value = "Enabled"},
                                    {.id = "TOEEnabled", .value = "Disabled"},
                                    {.id = "Other", .value = "x"}});
    eth0->iscsiSettingsList = EntryList({{.id = "iSCSIEnabled", .value = "Enabled"},
                                         {.id = "iSCSIVlanId", .value = "0"},
                                         {.id = "iSCSIName", .value = "iqn"}});
    eth0->iscsiSettingsList2 = EntryList({{.id = "iSCSIPacketPriority", .value = "3"}});
    eth0->iscsiAddressList = EntryList({{.id = "iSCSIAddress", .value = "a=1"}});
    eth0->informationList = EntryList({{.id = "CurrentAddress", .value = "00-11-22--33"}});
    Append(eth0->vlans, NewVlan(EntryList({{.id = "VlanId", .value = "10"},
                                           {.id = "VlanName", .value = "a&b"},
                                           {.id = "VlanPriority", .value = "1"}})));
    Append(eth0->vlans, NewVlan(EntryList({{.id = "VlanId", .value = "20"}})));
    // NIC 2: a team member; a compound address list leaves out the defaults.
    AdapterEntry *eth1 = r.nic(2, "eth1");
    eth1->teamHandle = 77;
    eth1->activeInTeam = 1;
    eth1->capabilities = 1;
    eth1->settingsList = EntryList({{.id = "SpeedDuplex", .value = "1000"}});
    eth1->teamSettingsList = EntryList({{.id = "PreferredPrimaryRanking", .value = "1"},
                                        {.id = "TeamName", .value = "T"}});
    eth1->iscsiAddressList = EntryList({{.id = "iSCSIAddress", .value = "a=1", .compound = 1}});
    eth1->informationList = EntryList({{.id = "PermanentAddress", .value = "x"}});
    AdapterEntry *eth2 = r.nic(3, "eth2");

    TeamEntry *dissolved = r.team();
    dissolved->isDeleted = 1;
    AddMember(dissolved, eth0);
    TeamEntry *team = r.team();
    AddMember(team, eth0);
    AddMember(team, eth1, true);
    AddMember(team, eth2);
    team->controlsList = EntryList({{.id = "OpMode", .value = "2"}});
    team->settingsList = EntryList({{.id = "TeamName", .value = "Team <1>"},
                                    {.id = "TeamNetworkAddress", .value = "02-00"},
                                    {.id = "DefaultVlanId", .value = "5"},
                                    {.id = "RxPathValidationVlanId", .value = "6"},
                                    {.id = "PreferredPrimaryNIC", .value = "eth0"}});
    team->advancedList = EntryList({{.id = "TOEEnabled", .value = "Off"}});
    team->redundancyList = EntryList({{.id = "ActivePathEnabled", .value = "Enabled"},
                                      {.id = "EchoNodeAddress", .value = ""},
                                      {.id = "EchoNodeIPAddress", .value = "1.2.3.4"},
                                      {.id = "RouterPathEnabled", .value = "Disabled"},
                                      {.id = "RouterPathIPAddress", .value = "5.6.7.8"},
                                      {.id = "FastPathVlanId", .value = ""},
                                      {.id = "CriteriaRanking", .value = "x"}});
    team->discProtocolList = EntryList({{.id = "LLDPEnabled", .value = "Enabled"},
                                        {.id = "CDPv1Enabled", .value = "Disabled"}});
    Append(team->vlans, NewVlan(EntryList({{.id = "VlanName", .value = "v'1\""},
                                           {.id = "VlanId", .value = "7"}})));
    r.team();  // a team without members

    EXPECT_EQ(write(r, 0, 1),
              Header() + VersionBlock() + kAdapterBanner +
                  "  <!-- <nic> element 1 -->\n"
                  "  <!-- <property id='CurrentAddress' value='00-11-22- -33' -->\n"
                  "  <nic>\n"
                  "    <property id='SpeedDuplex' value='Auto'/>\n"
                  "    <property id='x' value='1' />\n"
                  "    <property id='y' value='a=b' />\n"
                  "    <property id='NetworkAddress' value='' />\n"
                  "    <property id='DefaultVlanId' value=''/>\n"
                  "    <property id='TOEEnabled' value='Disabled'/>\n"
                  "    <property id='RSSEnabled' value='Enabled'/>\n"
                  "    <property id='iSCSIEnabled' value='Enabled'/>\n"
                  "    <property id='iSCSIVlanId' value='0'/>\n"
                  "    <property id='iSCSIPacketPriority' value='3'/>\n"
                  "    <property id='iSCSIDHCPEnabled' value='Enabled'/>\n"
                  "    <property id='iSCSIIPAddress' value='0.0.0.0'/>\n"
                  "    <property id='iSCSISubnetMask' value='0.0.0.0'/>\n"
                  "    <property id='iSCSIGateway' value='0.0.0.0'/>\n"
                  "    <property id='iSCSILAA' value='' />\n"
                  "      <!-- <vlan> element 1 -->\n"
                  "    <vlan>\n"
                  "           <property id='VlanId' value='10'/>\n"
                  "           <property id='VlanName' value='a&amp;b'/>\n"
                  "    </vlan>\n"
                  "      <!-- <vlan> element 2 -->\n"
                  "    <vlan>\n"
                  "           <property id='VlanId' value='20'/>\n"
                  "    </vlan>\n"
                  "  </nic>\n"
                  "\n"
                  "  <!-- <nic> element 2 -->\n"
                  "  <nic>\n"
                  "    <property id='SpeedDuplex' value='1000'/>\n"
                  "    <property id='PreferredPrimaryRanking' value='1'/>\n"
                  "    <property id='iSCSILAA' value='' />\n"
                  "  </nic>\n"
                  "\n"
                  "  <!-- <nic> element 3 -->\n"
                  "  <nic>\n"
                  "    <property id='NetworkAddress' value='' />\n"
                  "  </nic>\n"
                  "\n" +
                  kTeamBanner +
                  "  <!-- <team> element 1 -->\n"
                  "  <!-- <property id='TeamNetworkAddress' value='02-00' -->\n"
                  "  <team relnics='1 3'>\n"
                  "    <property id='OpMode' value='2'/>\n"
                  "    <property id='TeamName' value='Team &lt;1&gt;'/>\n"
                  "    <property id='TeamNetworkAddress' value='' />\n"
                  "    <property id='TOEEnabled' value='Off'/>\n"
                  "    <property id='CriteriaRanking' value='x'/>\n"
                  "    <property id='ActivePathEnabled' value='Enabled'/>\n"
                  "    <property id='EchoNodeIPAddress' value='1.2.3.4'/>\n"
                  "    <property id='RouterPathEnabled' value='Disabled'/>\n"
                  "    <property id='LLDPEnabled' value='Enabled'/>\n"
                  "    <property id='CDPv1Enabled' value='Disabled'/>\n"
                  "    <property id='DefaultVlanId' value='5'/>\n"
                  "    <property id='RxPathValidationVlanId' value='6'/>\n"
                  "    <property id='FastPathVlanId' value=''/>\n"
                  "      <!-- <vlan> element 1 -->\n"
                  "    <vlan>\n"
                  "           <property id='VlanName' value='v&apos;1&quot;'/>\n"
                  "           <property id='VlanId' value='7'/>\n"
                  "    </vlan>\n"
                  "  </team>\n"
                  "\n"
                  "  <!-- <team> element 2 -->\n"
                  "  <team relnics=''>\n"
                  "    <property id='TeamNetworkAddress' value='' />\n"
                  "  </team>\n"
                  "\n"
                  "</teamingconfig>\n");
}

TEST_F(ScriptWriter, FullFormReportsEveryListWithNamesAndStatus) {
#ifdef _WIN32
    testing_support::ManagementModeValue registry;
    registry.set(1);
#else
    std::filesystem::create_directories(dir.path() + "/registry/Software/Veltrane/VLTTEAM");
    dir.write("registry/Software/Veltrane/VLTTEAM/ManagementMode", "1\n");
#endif
    Records r;
    AdapterEntry *eth0 = r.nic(1, "eth0");
    eth0->teamHandle = 9;
    eth0->activeInTeam = 0;
    eth0->status = 0x30002;  // Degraded, high bits ignored
    eth0->capabilities = 1;
    eth0->settingsList = EntryList(
        {{.id = "SpeedDuplex", .value = "Auto", .displayName = "Speed & Duplex", .hint = "Link speed"}});
    eth0->teamSettingsList = EntryList({{.id = "TeamName", .value = "T"}});
    eth0->wsdList4 = EntryList({{.id = "W4", .value = "4"}});
    eth0->wsdList1 = EntryList({{.id = "W1", .value = "1"}});
    eth0->iscsiReportList2 = EntryList({{.id = "R2", .value = "2"}});
    eth0->statisticsList1 = EntryList({{.id = "S1", .value = "1", .displayName = "Sent"}});
    eth0->statisticsList3 = EntryList({{.id = "S3", .value = "3", .displayName = "", .hint = "h"}});
    eth0->informationList = EntryList({{.id = "CurrentAddress", .value = "00-AA"}});
    eth0->connectionInfoList = EntryList({{.id = "C", .value = "c"}});
    eth0->toeStatisticsList = EntryList({{.id = "T", .value = "t"}});
    VlanEntry *vlan = Append(eth0->vlans, NewVlan(EntryList({{.id = "VlanId", .value = "3", .displayName = "VLAN ID"}})));
    vlan->connectionStatsList = EntryList({{.id = "CS", .value = "1"}});
    AdapterEntry *eth1 = r.nic(5, "eth1");
    eth1->status = 9;
    eth1->informationList = EntryList({{.id = "Rx<Errors>", .value = "0"}});

    TeamEntry *team = r.team();
    AddMember(team, eth0);
    AddMember(team, eth1, true);  // still named by PreferredPrimaryNIC
    team->controlsList = EntryList({{.id = "PreferredPrimaryNIC", .value = "nobody"}, {.id = "OpMode", .value = "1"}});
    team->settingsList = EntryList({{.id = "PreferredPrimaryNIC", .value = "eth1", .displayName = "Primary"}});
    team->informationList2 = EntryList({{.id = "I", .value = "i"}});

    // fullDetail 2 counts as 1; addressComments 2 as 0.
    EXPECT_EQ(write(r, 2, 2),
              Header() + VersionBlock() + kAdapterBanner +
                  "  <!-- <nic> element 1 -->\n"
                  "  <nic>\n"
                  "    <settings>\n"
                  "        <property id='SpeedDuplex' value='Auto' name='Speed &amp; Duplex'  desc='Link speed' />\n"
                  "        <property id='TeamName' value='T'/>\n"
                  "    </settings>\n"
                  "    <wsd>\n"
                  "        <property id='W4' value='4'/>\n"
                  "        <property id='W1' value='1'/>\n"
                  "    </wsd>\n"
                  "    <iscsi>\n"
                  "        <property id='R2' value='2'/>\n"
                  "    </iscsi>\n"
                  "    <stats>\n"
                  "        <property id='S1' value='1' name='Sent' />\n"
                  "        <property id='S3' value='3' desc='h' />\n"
                  "    </stats>\n"
                  "    <advanced>\n"
                  "    </advanced>\n"
                  "    <info>\n"
                  "        <property id='CurrentAddress' value='00-AA'/>\n"
                  "        <property id='nic_name' value='eth0'/>\n"
                  "        <property id='nic_status' value='Degraded Not Active' />\n"
                  "    </info>\n"
                  "    <ConnectionInfo>\n"
                  "        <property id='C' value='c'/>\n"
                  "    </ConnectionInfo>\n"
                  "    <toestats>\n"
                  "        <property id='T' value='t'/>\n"
                  "    </toestats>\n"
                  "      <!-- <vlan> element 1 -->\n"
                  "    <vlan>\n"
                  "         <IdentificationInfo>\n"
                  "               <property id='VlanId' value='3' name='VLAN ID' />\n"
                  "         </IdentificationInfo>\n"
                  "         <ConnectionStats>\n"
                  "               <property id='CS' value='1'/>\n"
                  "         </ConnectionStats>\n"
                  "    </vlan>\n"
                  "  </nic>\n"
                  "\n"
                  "  <!-- <nic> element 5 -->\n"
                  "  <nic>\n"
                  "    <settings>\n"
                  "    </settings>\n"
                  "    <advanced>\n"
                  "    </advanced>\n"
                  "    <info>\n"
                  "        <property id='Rx&lt;Errors&gt;' value='0'/>\n"
                  "        <property id='nic_name' value='eth1'/>\n"
                  "        <property id='nic_status' value='Unknown' />\n"
                  "    </info>\n"
                  "  </nic>\n"
                  "\n" +
                  kTeamBanner +
                  "  <!-- <team> element 1 -->\n"
                  "  <team relnics='1'>\n"
                  "    <controls>\n"
                  "        <property id='OpMode' value='1'/>\n"
                  "    </controls>\n"
                  "    <settings>\n"
                  "        <property id='PreferredPrimaryNIC' value='5'/>\n"
                  "    </settings>\n"
                  "    <advanced>\n"
                  "    </advanced>\n"
                  "    <info>\n"
                  "        <property id='I' value='i'/>\n"
                  "    <property id='MgtMode' value='1' />\n"
                  "    </info>\n"
                  "    <redundancy>\n"
                  "    </redundancy>\n"
                  "    <discprotocols>\n"
                  "    </discprotocols>\n"
                  "  </team>\n"
                  "\n"
                  "</teamingconfig>\n");
}

// The status line of a NIC alone, in the full form.
std::string StatusLine(const std::string &doc) {
    std::size_t at = doc.find("id='nic_status' value='");
    if (at == std::string::npos) return "(none)";
    at += 23;
    return doc.substr(at, doc.find('\'', at) - at);
}

TEST_F(ScriptWriter, StatusTextsFollowTheCodeAndTeamActivity) {
    struct Case {
        uint32_t status;
        uint64_t teamHandle;
        uint8_t active;
        const char *text;
    };
    for (const Case &c : {Case{0, 0, 0, "Active"}, Case{0, 7, 0, "Not Active"}, Case{0, 7, 1, "Active"},
                          Case{1, 0, 0, "Not Active"}, Case{2, 0, 0, "Degraded"},
                          Case{2, 7, 0, "Degraded Not Active"}, Case{3, 0, 0, "Degraded Not Active"},
                          Case{4, 0, 0, "Unknown"}, Case{5, 7, 0, "Disabled"}, Case{9, 0, 0, "Unknown"},
                          Case{0x10005, 0, 0, "Disabled"}}) {
        Records r;
        AdapterEntry *nic = r.nic(1);
        nic->status = c.status;
        nic->teamHandle = c.teamHandle;
        nic->activeInTeam = c.active;
        EXPECT_EQ(StatusLine(write(r, 1, 0)), c.text) << "status " << c.status << " team " << c.teamHandle;
    }
}

TEST_F(ScriptWriter, ManagementModeIsOneOnlyForTheValueOne) {
    SKIP_ON_WINDOWS("the Windows suite reads the registry value it sets");
    std::filesystem::create_directories(dir.path() + "/registry/Software/Veltrane/VLTTEAM");
    for (auto [stored, shown] : {std::pair{"1", "1"}, std::pair{"2", "0"}, std::pair{"x", "0"}}) {
        dir.write("registry/Software/Veltrane/VLTTEAM/ManagementMode", stored);
        Records r;
        r.team()->informationList1 = EntryList({{.id = "I", .value = "i"}});
        std::string doc = write(r, 1, 0);
        EXPECT_NE(doc.find(std::string("    <property id='MgtMode' value='") + shown + "' />\n"), std::string::npos)
            << stored;
    }
}

// A NIC whose SpeedDuplex value is the given text, written in the short form.
std::string ValueLine(const std::string &doc) {
    std::size_t at = doc.find("<property id='SpeedDuplex' value='");
    if (at == std::string::npos) return "(none)";
    at += 34;
    return doc.substr(at, doc.find("'/>", at) - at);
}

TEST_F(ScriptWriter, Latin1KeepsItsCharactersAndReferencesTheRest) {
    Records r;
    r.nic(1)->settingsList =
        EntryList({{.id = "SpeedDuplex", .value = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \x01 a\tb\nc\rd"}});
    std::string doc = write(r, 0, 0);
    EXPECT_EQ(doc.substr(0, doc.find('\n')), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    EXPECT_EQ(ValueLine(doc), "caf\xE9 &#8364; &#128512; &#65533; a&#9;b&#10;c&#13;d");
}

TEST_F(ScriptWriter, ShiftJisLocaleWritesShiftJisBytes) {
    SKIP_ON_WINDOWS("the OEM code page is the process's");
    set("LANG", "ja_JP.SJIS");
    Records r;
    r.nic(1)->settingsList =
        EntryList({{.id = "SpeedDuplex", .value = "\xE6\x97\xA5\xE6\x9C\xAC-\xC3\xA9-\xF0\x9F\x98\x80"}});
    r.nic(2, "\xE6\x97\xA5");
    std::string doc = write(r, 0, 0);
    EXPECT_EQ(doc.substr(0, doc.find('\n')), "<?xml version=\"1.0\" encoding=\"Shift_jis\"?>");
    // "日本" in Shift_JIS, then é and U+1F600, which it does not hold.
    EXPECT_EQ(ValueLine(doc), "\x93\xFA\x96\x7B-&#233;-&#128512;");
}

TEST_F(ScriptWriter, ReplacesAFileOnlyWhenTheWholeDocumentWasWritten) {
    Records r;
    r.nic(1);
    std::u16string target = path("config.xml");
    dir.write("config.xml", "earlier");
    EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, target.c_str(), 0, 0), 0u);
    EXPECT_NE(ReadFile(dir.path() + "/config.xml").find("<nic>"), std::string::npos);

    // A read-only file is left as it was.
    std::string readOnly = dir.write("ro.xml", "earlier");
    chmod(readOnly.c_str(), 0444);
    std::u16string roPath = path("ro.xml");
    EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, roPath.c_str(), 0, 0), 1u);
    EXPECT_EQ(ReadFile(readOnly), "earlier");

    // A directory, a missing directory, an empty path and no path.
    std::filesystem::create_directory(dir.path() + "/sub");
    for (const std::u16string &bad : {path("sub"), path("missing/out.xml"), std::u16string()})
        EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, bad.c_str(), 0, 0), 1u);
    EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, nullptr, 0, 0), 1u);

    // Nothing but the written files is left in the directory.
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"config.xml", "ro.xml", "sub"}));
}

TEST_F(ScriptWriter, AReplacedFileKeepsItsPermissionsAndANewOneFollowsTheUmask) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permissions";
#else
    Records r;
    r.nic(1);
    std::string kept = dir.write("kept.xml", "earlier");
    chmod(kept.c_str(), 0600);
    std::u16string keptPath = path("kept.xml");
    std::u16string freshPath = path("fresh.xml");
    const mode_t mask = umask(027);
    EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, keptPath.c_str(), 0, 0), 0u);
    EXPECT_EQ(WriteXmlScriptFile(r.teams, r.nics, freshPath.c_str(), 0, 0), 0u);
    umask(mask);
    struct stat st{};
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((dir.path() + "/fresh.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // 0666 less the umask 027
#endif
}

TEST_F(ScriptWriter, WorksAfterCloseXml) {
    CloseXml(0);
    Records r;
    EXPECT_EQ(write(r, 0, 0), Header() + VersionBlock() + "</teamingconfig>\n");
}

}  // namespace
