// GetNicList, GetPanelData, the status reads and the pass-throughs to the NIC
// interface library. None of them needs the XML library; only GetPanelData
// needs loaded definitions.
#include "lxniccfg.h"

#include "adapters/adapter_list.h"
#include "adapters/panel_data.h"
#include "api/library_state.h"
#include "nicif/nicif.h"

using namespace lxniccfg;

namespace {

// The status delivered when the library's answer sets none ("Unknown").
constexpr uint32_t kUnknownStatus = 4;

}  // namespace

extern "C" uint32_t GetNicList(uint64_t listOption, TeamEntry **teams, AdapterEntry **adapters) {
    return Guarded(100, [&]() -> uint32_t {
        if (!teams || !adapters) return 100;
        return lxniccfg::GetNicList(listOption, *teams, *adapters);
    });
}

extern "C" uint32_t GetPanelData(AdapterEntry *adapter, const lx_wchar *panel, PanelEntry **list) {
    return Guarded(100, [&]() -> uint32_t {
        if (!adapter || !panel || !list) return 100;
        return GetAdapterPanelData(*adapter, DualString(panel), *list);
    });
}

namespace {

// A status read: the status is written whatever the result, "Unknown" when
// the NIC interface library set none.
uint32_t ReadStatus(uint32_t (*read)(uint64_t, uint32_t *), uint64_t id, uint32_t *status) {
    return Guarded(100, [&]() -> uint32_t {
        if (!status) return 100;
        uint32_t value = kUnknownStatus;
        uint32_t code = read(id, &value);
        *status = value;
        return code;
    });
}

}  // namespace

extern "C" uint32_t UpdateNicStatus(uint64_t adapter, uint32_t *status) {
    return ReadStatus(NicIfGetAdapterStatus, adapter, status);
}

extern "C" uint32_t UpdateTeamStatus(uint64_t team, uint32_t *status) {
    return ReadStatus(NicIfGetTeamStatus, team, status);
}

extern "C" uint32_t GetNicTeam(uint64_t adapter, uint64_t *team) {
    return Guarded(100, [&]() -> uint32_t { return NicIfGetNicTeam(adapter, team); });
}

extern "C" uint32_t TcpIpInstalled(uint32_t *installed) {
    return Guarded(100, [&]() -> uint32_t { return NicIfTcpIpInstalled(installed); });
}
