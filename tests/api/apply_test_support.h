// Shared pieces of the apply operation tests: records built as a front end
// holds them, a fixture that loads definitions, and the commit sequence the
// library hands to the NIC interface library.
//
// The library's registry of changed adapters and teams lives as long as the
// process and is never emptied, so a test sees the handles earlier tests in
// the same process registered. The fixture notes them first (Registered());
// tests then state what they add, and every test file uses handles of its
// own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

namespace apply_test {

using Calls = std::vector<std::string>;
using Handles = std::vector<uint64_t>;

// Adapters, teams, members and VLANs owned like a front end owns the lists
// of GetNicList, released at the end.
class Records {
public:
    Records() = default;
    Records(const Records &) = delete;
    Records &operator=(const Records &) = delete;
    ~Records() { testing_support::FreeNicList(teams, adapters); }

    AdapterEntry *adapter(uint64_t handle, const char *type = "ADP") {
        auto *a = static_cast<AdapterEntry *>(std::calloc(1, sizeof(AdapterEntry)));
        a->handle = handle;
        a->definitionType = type ? testing_support::Text(type) : nullptr;
        Append(adapters, a);
        return a;
    }
    TeamEntry *team(uint64_t handle, const char *type = nullptr) {
        auto *t = static_cast<TeamEntry *>(std::calloc(1, sizeof(TeamEntry)));
        t->handle = handle;
        t->definitionType = type ? testing_support::Text(type) : nullptr;
        Append(teams, t);
        return t;
    }
    static TeamMemberLink *member(TeamEntry *team, AdapterEntry *adapter, uint8_t isAdded = 0,
                                  uint8_t isRemoved = 0) {
        auto *m = static_cast<TeamMemberLink *>(std::calloc(1, sizeof(TeamMemberLink)));
        m->adapter = adapter;
        m->adapterHandle = adapter->handle;
        m->isAdded = isAdded;
        m->isRemoved = isRemoved;
        Append(team->members, m);
        return m;
    }
    static VlanEntry *vlan(VlanEntry *&list, uint64_t handle) {
        auto *v = static_cast<VlanEntry *>(std::calloc(1, sizeof(VlanEntry)));
        v->handle = handle;
        Append(list, v);
        return v;
    }

    TeamEntry *teams = nullptr;
    AdapterEntry *adapters = nullptr;

private:
    template <class T>
    static void Append(T *&head, T *record) {
        T **tail = &head;
        while (*tail) tail = &(*tail)->next;
        *tail = record;
    }
};

// The handles the commit pass visits now, in registry order; the probe's
// calls are taken off the log.
inline Handles Registered() {
    TeamEntry *teams = nullptr;
    AdapterEntry *adapters = nullptr;
    auto &nic = nicif_double::Nic();
    std::size_t before = nic.calls().size();
    EXPECT_EQ(ApplyTeamPropertyChanges(&teams, &adapters), 0u);
    Handles handles;
    Calls calls = nic.calls();
    for (std::size_t i = before; i < calls.size(); ++i) {
        unsigned long long h = 0;
        char tail[16] = {};
        if (std::sscanf(calls[i].c_str(), "NicIfSetObjectFlags(%llu, 0, 0%15s", &h, tail) == 2)
            handles.push_back(h);
    }
    nic.clearCalls();
    return handles;
}

// The commit sequence over the handles when every call succeeds.
inline Calls CommitCalls(const Handles &handles) {
    Calls calls;
    for (uint64_t h : handles) calls.push_back("NicIfSetObjectFlags(" + std::to_string(h) + ", 0, 0)");
    for (uint64_t h : handles) {
        calls.push_back("NicIfApplyPass1(" + std::to_string(h) + ")");
        calls.push_back("NicIfSetObjectFlags(" + std::to_string(h) + ", 1, 0)");
    }
    for (uint64_t h : handles) {
        calls.push_back("NicIfApplyPass2(" + std::to_string(h) + ")");
        calls.push_back("NicIfSetObjectFlags(" + std::to_string(h) + ", 0, 1)");
    }
    return calls;
}

inline Calls Concat(Calls a, const Calls &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Loads the definitions and notes what the registry held before the test.
class ApplyFixture : public ::testing::Test {
protected:
    explicit ApplyFixture(std::string definitions) : definitions_(std::move(definitions)) {}

    void SetUp() override {
        nicif_double::Nic().reset();
        CloseXml(0);
        std::string path =
            dir_.write("defs.xml", testing_support::WildcardDefinitions(definitions_ + "</definitions>"));
        ASSERT_EQ(InitXml(testing_support::W(path).c_str()), 0u);
        nicif_double::Nic().clearCalls();
        before_ = Registered();
    }
    void TearDown() override { CloseXml(0); }

    // The registry's handles expected after the test registered `added`,
    // in this order.
    Handles RegisteredWith(const Handles &added) const {
        Handles all = before_;
        for (uint64_t h : added)
            if (std::find(all.begin(), all.end(), h) == all.end()) all.push_back(h);
        return all;
    }
    Calls log() const { return nicif_double::Nic().calls(); }

    testing_support::TempDir dir_;
    Handles before_;
    Records records_;

private:
    std::string definitions_;
};

}  // namespace apply_test
