// The test double of the NIC interface library. A test program that links it
// defines every NicIf* function, so it takes the real library's place (on
// Linux; see below for Windows). Its
// answers are scripted per function, per handle and per property, and it
// logs every call with its arguments in a readable form, e.g.
//   NicIfSetAdapterProperty(17, 5, "Auto", 10)
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "lxnicif.h"

// On Windows the double is a DLL named lxnicif.dll that the test programs
// find first: lxniccfg.dll imports its NicIf* functions by ordinal, and the
// tests reach the double itself through these exports.
#if defined(_WIN32) && defined(NICIF_DOUBLE_DLL)
#ifdef NICIF_DOUBLE_BUILDING
#define NICIF_DOUBLE_API __declspec(dllexport)
#else
#define NICIF_DOUBLE_API __declspec(dllimport)
#endif
#else
#define NICIF_DOUBLE_API
#endif

namespace nicif_double {

struct AdapterSpec {
    uint64_t handle = 0;
    std::u16string definitionType;
    std::u16string name;
    uint32_t status = 0;
    uint32_t info1 = 0;
    uint64_t teamHandle = 0;
    uint32_t info2 = 0;
    uint8_t activeInTeam = 0;
    std::u16string label;
    bool nullTexts = false;  // hand out NULL definitionType and name
};

struct TeamSpec {
    uint64_t handle = 0;
    uint32_t teamInfo1 = 0;
    std::u16string teamText;
    uint32_t teamInfo2 = 0;
    uint8_t kind = 1;
};

struct VlanSpec {
    uint64_t handle = 0;
    uint64_t parent = 0;
};

class NICIF_DOUBLE_API NicIfDouble {
public:
    // Forgets every scripted answer and the call log.
    void reset();

    // --- scripted answers ------------------------------------------------
    // The result of a function: for every call, for one handle, or for one
    // handle and property (the most specific one applies).
    void respond(const std::string &function, uint32_t code);
    void respond(const std::string &function, uint64_t handle, uint32_t code);
    void respond(const std::string &function, uint64_t handle, uint32_t property, uint32_t code);
    // Results handed out in turn by the next calls of a function (before any
    // other scripted answer).
    void respondInTurn(const std::string &function, std::vector<uint32_t> codes);

    // A property value for NicIf{Adapter,Team,Vlan}GetProperty: code 0 and
    // the text, malloc'ed with must-free set, or kept by the double with
    // must-free clear. A code scripted with respond() still applies.
    void value(const std::string &function, uint64_t handle, uint32_t property,
               const std::u16string &text, bool mustFree = true);
    // A property read that answers code, handing out a (must-free) text
    // all the same or none.
    void valueWithCode(const std::string &function, uint64_t handle, uint32_t property,
                       uint32_t code, std::optional<std::u16string> text, bool mustFree = true);

    // Status reads: the status written (nothing when unset) and the code.
    void status(const std::string &function, uint64_t handle, std::optional<uint32_t> status,
                uint32_t code = 0);

    // NicIfEnumerate's arrays. nullArrays hands out NULL pointers with the
    // counts of the lists.
    void inventory(std::vector<AdapterSpec> adapters, std::vector<TeamSpec> teams,
                   std::vector<VlanSpec> vlans, bool nullArrays = false);

    // The handle written by the next successful NicIfCreateTeam / NicIfCreateVlan.
    void createdHandle(const std::string &function, uint64_t handle);

    // NicIfGetNicTeam's team and NicIfTcpIpInstalled's flag.
    void nicTeam(uint64_t team) {
        std::lock_guard<std::mutex> lock(mutex_);
        nicTeam_ = team;
    }
    void tcpIpInstalled(uint32_t installed) {
        std::lock_guard<std::mutex> lock(mutex_);
        tcpIp_ = installed;
    }

    // --- the call log ----------------------------------------------------
    std::vector<std::string> calls() const;
    std::vector<std::string> calls(const std::string &function) const;
    void clearCalls();
    // The raw value pointer of the last property write.
    const void *lastRawValue() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastRaw_;
    }

    // --- used by the NicIf* functions ---------------------------------------
    uint32_t result(const std::string &function, uint64_t handle, uint32_t property,
                    uint32_t fallback);
    void log(std::string text);
    uint32_t readProperty(const std::string &function, uint64_t handle, uint32_t property,
                          lx_wchar **value, uint8_t *mustFree);
    uint32_t readStatus(const std::string &function, uint64_t handle, uint32_t *status);
    uint32_t enumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount,
                       void **vlans, uint32_t *vlanCount);
    uint64_t nextCreated(const std::string &function);
    uint64_t nicTeamValue() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return nicTeam_;
    }
    uint32_t tcpIpValue() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return tcpIp_;
    }
    void setLastRaw(const void *raw) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastRaw_ = raw;
    }

private:
    struct Value {
        uint32_t code = 0;
        std::optional<std::u16string> text;
        bool mustFree = true;
    };
    using Key = std::tuple<std::string, uint64_t, uint32_t>;
    std::map<std::string, uint32_t> byFunction_;
    std::map<std::pair<std::string, uint64_t>, uint32_t> byHandle_;
    std::map<Key, uint32_t> byProperty_;
    std::map<std::string, std::vector<uint32_t>> inTurn_;
    std::map<Key, Value> values_;
    std::map<std::pair<std::string, uint64_t>, std::pair<std::optional<uint32_t>, uint32_t>> statuses_;
    std::list<std::u16string> kept_;  // texts handed out without must-free
    std::vector<AdapterSpec> adapters_;
    std::vector<TeamSpec> teams_;
    std::vector<VlanSpec> vlans_;
    bool nullArrays_ = false;
    std::map<std::string, uint64_t> created_;
    uint64_t nicTeam_ = 0;
    uint32_t tcpIp_ = 1;
    std::vector<std::string> calls_;
    const void *lastRaw_ = nullptr;
    mutable std::mutex mutex_;
};

// The double every NicIf* function of the test program answers from.
NICIF_DOUBLE_API NicIfDouble &Nic();

// UTF-8 rendering of a UTF-16 text, for logs and assertions.
NICIF_DOUBLE_API std::string Utf8(const char16_t *text);
NICIF_DOUBLE_API std::string Utf8(const std::u16string &text);
NICIF_DOUBLE_API std::u16string Utf16(const std::string &text);

}  // namespace nicif_double
