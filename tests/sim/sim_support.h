// Helpers for the tests of the simulated NIC interface library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "lxnicif.h"

namespace sim_test {

// Handles of the shipped default inventory.
inline constexpr uint64_t kEth0 = 1001, kEth1 = 1002, kEth2 = 1003, kEth3 = 1004, kEth4 = 1005,
                          kEth5 = 1006;
inline constexpr uint64_t kTeam1 = 2001;
inline constexpr uint64_t kSalesVlan = 3001, kBackupVlan = 3002;

std::u16string W(const std::string &utf8);
std::string N(const char16_t *text);

// Every test runs with its own state file in a fresh directory and starts
// from a server with nothing loaded.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string &dir() const { return dir_; }
    const std::string &statePath() const { return state_; }
    std::string readState() const;
    void writeState(const std::string &bytes) const;
    bool stateExists() const;
    nlohmann::json stateJson() const { return nlohmann::json::parse(readState()); }
    // The names of the files in the state file's directory.
    std::vector<std::string> files() const;

private:
    std::string dir_, state_;
};

// Runs body in a child process, as another program using the same state
// file; the child starts from what the file holds. The child's exit status
// (0 unless an expectation failed) is returned, or -1 when it was killed.
int InAnotherProcess(const std::function<void()> &body);

enum class Kind { Adapter, Team, Vlan };

// Reads one property: the code and the text (empty when none).
std::pair<uint32_t, std::string> Read(Kind kind, uint64_t handle, uint32_t property);
// Writes one property as the configuration library does (size with terminator).
uint32_t Write(Kind kind, uint64_t handle, uint32_t property, const std::string &value);

// What NicIfEnumerate answered, copied out; the arrays and texts are freed.
struct Inventory {
    struct AdapterView {
        uint64_t handle, team;
        std::string type, name, label;
        uint32_t status, info1;
        uint8_t activeInTeam;
    };
    struct TeamView {
        uint64_t handle;
        uint32_t status, members;
        std::string text;
        uint8_t kind;
    };
    struct VlanView {
        uint64_t handle, parent;
    };
    uint32_t code = 0;
    std::vector<AdapterView> adapters;
    std::vector<TeamView> teams;
    std::vector<VlanView> vlans;
    const AdapterView *adapter(uint64_t h) const;
    const TeamView *team(uint64_t h) const;
    const VlanView *vlan(uint64_t h) const;
};
Inventory Enumerate();

// A PropertyRecord array that owns its texts.
class Records {
public:
    Records(std::initializer_list<std::pair<uint32_t, std::string>> values);
    const PropertyRecord *data() const { return records_.empty() ? nullptr : records_.data(); }
    uint32_t count() const { return static_cast<uint32_t>(records_.size()); }

private:
    std::vector<std::u16string> texts_;
    std::vector<PropertyRecord> records_;
};

}  // namespace sim_test
