// Exports called from several threads at once: panel reads, single reads
// and writes, apply operations, adapter lists and script reads run side by
// side, and the library's definitions may be closed and reloaded under
// them. Every export holds the library's lock for its whole duration, so
// each call gives exactly what it gives alone. The suite's ThreadSanitizer
// build runs these tests to show that nothing races.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "api/apply_test_support.h"

using namespace apply_test;
using namespace testing_support;
using nicif_double::Nic;

namespace {

constexpr int kRounds = 200;
constexpr uint64_t kAdapter = 2901;
constexpr uint64_t kTeam = 2902;
constexpr uint64_t kApplied = 2903;  // the adapter the apply threads write
constexpr uint64_t kFresh = 2910;    // the adapters the write thread registers
constexpr int kFreshCount = 8;

const char *kDefinitions = R"(
<nic type="ADP">
  <property id="Speed" linkid="2" enum="1" default="Auto"/>
  <property id="Mtu" linkid="5"/>
  <enumeration id="Speed">
    <enumitem enumid="0" enumvalue="Auto"/>
    <enumitem enumid="1" enumvalue="10 Mbps"/>
  </enumeration>
  <panel name="advanced"><panelitem>Speed</panelitem><panelitem>Mtu</panelitem></panel>
</nic>
<nic type="TEAM">
  <property id="TeamName" linkid="3"/>
</nic>
)";

// What one thread saw go wrong, checked after every thread has ended
// (assertions stay on the test's own thread).
using Problems = std::vector<std::string>;

void Expect(Problems &problems, const char *what, uint32_t got, uint32_t want) {
    if (got != want)
        problems.push_back(std::string(what) + ": " + std::to_string(got) + " instead of " +
                           std::to_string(want));
}

// Runs every job on its own thread, kRounds times each, all at once: the
// threads start their rounds together, so that the calls overlap.
std::vector<Problems> RunTogether(const std::vector<std::function<void(Problems &, int round)>> &jobs) {
    std::vector<Problems> problems(jobs.size());
    std::vector<std::thread> threads;
    std::latch start(static_cast<std::ptrdiff_t>(jobs.size()));
    for (std::size_t i = 0; i < jobs.size(); ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) jobs[i](problems[i], round);
        });
    for (std::thread &t : threads) t.join();
    return problems;
}

class Concurrency : public ApplyFixture {
protected:
    Concurrency() : ApplyFixture(kDefinitions) {}

    void SetUp() override {
        ApplyFixture::SetUp();
        Nic().value("NicIfGetAdapterProperty", kAdapter, 2, u"1");
        Nic().value("NicIfGetAdapterProperty", kAdapter, 5, u"1500");
        Nic().value("NicIfGetTeamProperty", kTeam, 3, u"Team A", false);
        Nic().inventory({{.handle = kAdapter, .definitionType = u"ADP", .name = u"eth0"}},
                        {{.handle = kTeam, .teamText = u"Team A"}}, {});
        definitions_ = dir_.path() + "/defs.xml";
    }

    // Reads the advanced panel of the adapter; 0 with both entries, or the
    // code of a read that found no definitions.
    static uint32_t ReadPanel(Problems &problems) {
        AdapterEntry adapter{};
        adapter.handle = kAdapter;
        adapter.definitionType = const_cast<lx_wchar *>(u"ADP");
        PanelEntry *list = nullptr;
        uint32_t code = GetPanelData(&adapter, u"Advanced", &list);
        if (code == 0 && Ids(list) != std::vector<std::string>{"Speed", "Mtu"})
            problems.push_back("the panel lost entries");
        FreeEntries(list);
        return code;
    }

    static uint32_t ReadSpeed(Problems &problems) {
        lx_wchar *value = nullptr;
        uint32_t code = GetSingleProperty(kAdapter, u"ADP", u"Speed", &value);
        if (code == 0 && Str(value) != "10 Mbps") problems.push_back("Speed read " + Str(value));
        std::free(value);
        return code;
    }

    static uint32_t ReadTeamName(Problems &problems) {
        lx_wchar *value = nullptr;
        uint32_t code = GetSingleTeamProperty(kTeam, u"TeamName", &value);
        if (code == 0 && Str(value) != "Team A") problems.push_back("TeamName read " + Str(value));
        std::free(value);
        return code;
    }

    static void ListAdapters(Problems &problems) {
        TeamEntry *teams = nullptr;
        AdapterEntry *adapters = nullptr;
        Expect(problems, "GetNicList", GetNicList(0, &teams, &adapters), 0);
        if (!adapters || adapters->handle != kAdapter || adapters->next || !teams ||
            teams->handle != kTeam)
            problems.push_back("GetNicList gave other records");
        FreeNicList(teams, adapters);
    }

    std::string definitions_;
};

TEST_F(Concurrency, ReadsWritesAndApplyOperationsFromSeveralThreadsEachGiveTheirOwnResult) {
    AdapterEntry *applied = records_.adapter(kApplied);
    applied->advancedList = EntryList({{.id = "Speed", .linkId = "2", .newValue = "Auto", .changed = 1},
                                       {.id = "Mtu", .linkId = "5", .newValue = "9000", .changed = 1}});
    AdapterEntry **adapters = &records_.adapters;

    std::vector<Problems> problems = RunTogether({
        [](Problems &p, int) { Expect(p, "GetPanelData", ReadPanel(p), 0); },
        [](Problems &p, int) {
            Expect(p, "GetSingleProperty", ReadSpeed(p), 0);
            Expect(p, "GetSingleTeamProperty", ReadTeamName(p), 0);
        },
        // The first rounds register fresh adapters for the commit pass
        // while the apply thread walks the registered ones.
        [](Problems &p, int round) {
            Expect(p, "SetSingleProperty",
                   SetSingleProperty(kFresh + round % kFreshCount, u"ADP", u"Mtu", u"1500", 1), 0);
            Expect(p, "SetSingleTeamProperty", SetSingleTeamProperty(kTeam, u"TeamName", u"B"), 0);
        },
        [adapters](Problems &p, int) {
            Expect(p, "ApplyChanges", ApplyChanges(adapters), 0);
            TeamEntry *noTeams = nullptr;
            AdapterEntry *noAdapters = nullptr;
            Expect(p, "ApplyTeamPropertyChanges", ApplyTeamPropertyChanges(&noTeams, &noAdapters), 0);
        },
        [](Problems &p, int) { ListAdapters(p); },
    });
    for (std::size_t i = 0; i < problems.size(); ++i)
        EXPECT_EQ(problems[i], Problems{}) << "thread " << i;

    // Every call reached the NIC interface library whole: each write of
    // ApplyChanges and of SetSingleProperty is logged once per round.
    EXPECT_EQ(Nic().calls("NicIfSetAdapterProperty").size(), 3u * kRounds);
    EXPECT_EQ(Nic().calls("NicIfSetTeamProperty").size(), 1u * kRounds);
    EXPECT_EQ(Nic().calls("NicIfEnumerate").size(), 1u * kRounds);
}

TEST_F(Concurrency, ClosingAndReloadingUnderRunningCallsIsSafe) {
    const std::string definitions = definitions_;
    const char *source = std::getenv("LXNICCFG_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::u16string script = W(std::string(source) + "/fuzz/corpus/script_reader/short_latin1.xml");

    std::vector<Problems> problems = RunTogether({
        // Without definitions a read gives 100; with them it gives its value.
        [](Problems &p, int) {
            uint32_t code = ReadPanel(p);
            if (code != 0 && code != 100) Expect(p, "GetPanelData", code, 0);
        },
        [](Problems &p, int) {
            uint32_t code = ReadSpeed(p);
            if (code != 0 && code != 100) Expect(p, "GetSingleProperty", code, 0);
        },
        [&definitions](Problems &p, int) {
            CloseXml(0);
            Expect(p, "InitXml", InitXml(W(definitions).c_str()), 0);
        },
        // The script reader initialises the XML library itself when the
        // definitions are closed.
        [&script](Problems &p, int) {
            ScriptConfig *config = nullptr;
            char *message = nullptr;
            Expect(p, "ReadXmlScriptFile", ReadXmlScriptFile(&config, script.c_str(), &message), 0);
            FreeScriptConfig(config);
            std::free(message);
        },
        [](Problems &p, int) { ListAdapters(p); },
    });
    for (std::size_t i = 0; i < problems.size(); ++i)
        EXPECT_EQ(problems[i], Problems{}) << "thread " << i;

    // The last reload holds: reads work as before.
    Problems after;
    EXPECT_EQ(ReadPanel(after), 0u);
    EXPECT_EQ(ReadSpeed(after), 0u);
    EXPECT_EQ(after, Problems{});
}

}  // namespace
