// The property table and its value conversions, and that the Linux
// definitions file and the table agree.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "properties.h"

using namespace lxniclinux;

namespace {

struct Case {
    uint32_t number;
    unsigned object;
    std::string raw;
    bool valid;
    std::string formatted;  // FormatRaw of the parsed value; empty: same as raw
};

TEST(PropertyConversion, RawValuesParseAndFormatBack) {
    const Case cases[] = {
        {3, kAdapter, "1500", true, ""},
        {3, kAdapter, "67", false, ""},
        {3, kAdapter, "65536", false, ""},
        {3, kAdapter, "15x0", false, ""},
        {3, kAdapter, "", false, ""},
        {3, kAdapter, "99999999999", false, ""},
        {2, kAdapter, "", true, ""},
        {2, kAdapter, "02:AA:bb:cc:dd:0e", true, "02:aa:bb:cc:dd:0e"},
        {2, kAdapter, "02-aa-bb-cc-dd-0e", true, "02:aa:bb:cc:dd:0e"},
        {2, kAdapter, "02aabbccdd0e", true, "02:aa:bb:cc:dd:0e"},
        {2, kAdapter, "2:aa:bb:cc:dd:e", false, ""},
        {2, kAdapter, "03:aa:bb:cc:dd:0e", false, ""},  // multicast
        {2, kAdapter, "02:aa:bb:cc:dd", false, ""},
        {1, kAdapter, "auto", true, ""},
        {1, kAdapter, "100/half", true, ""},
        {1, kAdapter, "10000/full", true, ""},
        {1, kAdapter, "100/quarter", false, ""},
        {1, kAdapter, "0/full", false, ""},
        {1, kAdapter, "fast", false, ""},
        {10, kAdapter, "3", true, ""},
        {10, kAdapter, "4", false, ""},
        {23, kAdapter, "1", true, ""},
        {23, kAdapter, "on", false, ""},
        {101, kTeam, "1", true, ""},
        {101, kTeam, "7", false, ""},
        {101, kTeam, "active-backup", false, ""},
        {102, kTeam, "5", true, ""},
        {113, kTeam, "10.0.0.1,192.168.1.254", true, ""},
        {113, kTeam, "", true, ""},
        {113, kTeam, "10.0.0.256", false, ""},
        {100, kTeam, "bond0", true, ""},
        {100, kTeam, "Team 1", false, ""},
        {100, kTeam, "a/b", false, ""},
        {100, kTeam, "sixteen-chars-xx", false, ""},
        {100, kTeam, "..", false, ""},
        {105, kTeam, "", true, ""},
        {105, kTeam, "eth1", true, ""},
        {200, kVlan, "4094", true, ""},
        {200, kVlan, "0", false, ""},
        {200, kVlan, "4095", false, ""},
        {202, kVlan, "802.1ad", true, ""},
        {202, kVlan, "802.1x", false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + " \"" + c.raw + "\"");
        const PropertyRow *row = FindRow(c.number, c.object);
        ASSERT_NE(row, nullptr);
        std::string problem;
        auto value = ParseRaw(*row, c.raw, problem);
        EXPECT_EQ(value.has_value(), c.valid) << problem;
        if (value) {
            EXPECT_EQ(FormatRaw(*row, *value), c.formatted.empty() ? c.raw : c.formatted);
        }
        if (!value) {
            EXPECT_FALSE(problem.empty());
        }
    }
}

TEST(PropertyConversion, EnumeratedValuesMapToTheKernelsNumbers) {
    const PropertyRow *mode = FindRow(101, kTeam);
    std::string problem;
    EXPECT_EQ(ParseRaw(*mode, "4", problem)->number, 4u);
    EXPECT_EQ(NetworkdValue(*mode, "4"), "802.3ad");
    EXPECT_EQ(NetworkdValue(*mode, "1"), "active-backup");
    const PropertyRow *protocol = FindRow(202, kVlan);
    EXPECT_EQ(ParseRaw(*protocol, "802.1ad", problem)->number, 0x88a8u);
    KernelValue speed = *ParseRaw(*FindRow(1, kAdapter), "100/half", problem);
    EXPECT_FALSE(speed.autoneg);
    EXPECT_EQ(speed.speed, 100u);
    EXPECT_EQ(speed.duplex, 0);
}

TEST(PropertyTable, RowsAreWellFormed) {
    std::set<std::pair<uint32_t, unsigned>> seen;
    for (const PropertyRow &row : PropertyTable()) {
        SCOPED_TRACE(row.number);
        for (unsigned kind : {kAdapter, kTeam, kVlan}) {
            if (row.objects & kind) {
                EXPECT_TRUE(seen.insert({row.number, kind}).second) << "number given twice";
            }
        }
        EXPECT_EQ(row.conversion == Conversion::Enum, !row.values.empty());
        EXPECT_EQ(row.source == Source::Features, !row.features.empty());
        if (row.persist != Persist::None && row.persist != Persist::Special) {
            EXPECT_STRNE(row.key, "");
        }
        if (row.conversion == Conversion::Text) {
            EXPECT_TRUE(row.rules & kReadOnly);
        }
    }
    // The mode is applied before every other bond option of a commit.
    EXPECT_EQ(PropertyTable()[1].number, 101u);
}

TEST(PropertyTable, DriversWithDefinitionsKeepTheirNameAndOthersAreGeneric) {
    EXPECT_EQ(DefinitionTypeOf("e1000e"), "e1000e");
    EXPECT_EQ(DefinitionTypeOf("mlx5_core"), kGenericAdapterType);
    EXPECT_EQ(DefinitionTypeOf(""), kGenericAdapterType);
}

// Every property of the Linux definitions file is held by a row of the
// table for its kind of object, every enumerated value converts, and every
// definition type the library can report is in the file.
TEST(LinuxDefinitions, AgreeWithThePropertyTable) {
    std::string source = std::getenv("LXNICCFG_SOURCE_DIR") ? std::getenv("LXNICCFG_SOURCE_DIR") : ".";
    std::ifstream in(source + "/definitions/lxnicdefs-linux.xml");
    ASSERT_TRUE(in) << "definitions/lxnicdefs-linux.xml";
    std::stringstream text;
    text << in.rdbuf();
    std::string xml = text.str();

    std::regex nicRe("<nic type=\"([^\"]+)\"");
    std::set<std::string> types;
    for (std::sregex_iterator it(xml.begin(), xml.end(), nicRe), end; it != end; ++it) types.insert((*it)[1]);
    EXPECT_TRUE(types.count(kGenericAdapterType));
    EXPECT_TRUE(types.count("TEAM"));
    for (const char *driver : DriversWithDefinitions()) {
        EXPECT_TRUE(types.count(driver)) << driver;
    }

    // Walk the file nic by nic: properties with their linkid and whether
    // they are enumerated, and the enumerations' raw values.
    std::regex tokenRe("<nic type=\"([^\"]+)\"|<property id=\"([^\"]+)\" linkid=\"(-?[0-9]+)\"([^>]*)>|"
                       "<enumeration id=\"([^\"]+)\"|<enumitem enumid=\"([^\"]+)\"");
    std::string type, enumeration;
    std::map<std::string, std::map<std::string, uint32_t>> enumerated;  // type -> id -> number
    int properties = 0, values = 0;
    for (std::sregex_iterator it(xml.begin(), xml.end(), tokenRe), end; it != end; ++it) {
        const std::smatch &m = *it;
        if (m[1].matched) type = m[1];
        if (m[2].matched) {
            unsigned kind = type == "TEAM" ? (kTeam | kVlan) : kAdapter;
            uint32_t number = static_cast<uint32_t>(std::stoi(m[3]));
            SCOPED_TRACE(type + " " + m[2].str());
            const PropertyRow *row = FindRow(number, kind);
            if (!row && kind != kAdapter) row = FindRow(number, kVlan);
            ASSERT_NE(row, nullptr) << "no row for property number " << number;
            bool isEnum = m[4].str().find("enum=\"true\"") != std::string::npos;
            EXPECT_EQ(isEnum, row->conversion == Conversion::Enum || row->conversion == Conversion::Flag ||
                                  row->conversion == Conversion::FlowControl || row->conversion == Conversion::SpeedDuplex);
            if (isEnum) enumerated[type][m[2]] = number;
            ++properties;
        }
        if (m[5].matched) enumeration = m[5];
        if (m[6].matched) {
            SCOPED_TRACE(type + " " + enumeration + " " + m[6].str());
            auto found = enumerated[type].find(enumeration);
            uint32_t number = found != enumerated[type].end() ? found->second : 0;
            if (number == 0 && type != "TEAM" && type != kGenericAdapterType) number = enumerated[kGenericAdapterType][enumeration];
            ASSERT_NE(number, 0u) << "an enumeration without its property";
            const PropertyRow *row = FindRow(number, type == "TEAM" ? (kTeam | kVlan) : kAdapter);
            std::string problem;
            EXPECT_TRUE(ParseRaw(*row, m[6], problem).has_value()) << problem;
            ++values;
        }
    }
    EXPECT_GT(properties, 50);
    EXPECT_GT(values, 50);
}

}  // namespace
