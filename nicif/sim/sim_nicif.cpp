// Placeholder NIC interface library: an empty server that answers every call.
#include "lxnicif.h"

#include <cstdlib>

extern "C" {

uint32_t NicIfEnumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount,
                        void **vlans, uint32_t *vlanCount, uint64_t) {
    if (!nics || !nicCount || !teams || !teamCount || !vlans || !vlanCount) return 1;
    *nics = *teams = *vlans = nullptr;
    *nicCount = *teamCount = *vlanCount = 0;
    return 0;
}
uint32_t NicIfGetAdapterProperty(uint64_t, uint32_t, lx_wchar **value, uint8_t *mustFree) {
    if (value) *value = nullptr;
    if (mustFree) *mustFree = 0;
    return 1;
}
uint32_t NicIfGetTeamProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) {
    return NicIfGetAdapterProperty(h, p, v, f);
}
uint32_t NicIfGetVlanProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) {
    return NicIfGetAdapterProperty(h, p, v, f);
}
uint32_t NicIfSetAdapterProperty(uint64_t, uint32_t, const void *, uint32_t) { return 1; }
uint32_t NicIfSetTeamProperty(uint64_t, uint32_t, const void *, uint32_t) { return 1; }
uint32_t NicIfSetVlanProperty(uint64_t, uint32_t, const void *, uint32_t) { return 1; }
uint32_t NicIfGetAdapterStatus(uint64_t, uint32_t *status) {
    if (status) *status = 4;
    return 1;
}
uint32_t NicIfGetTeamStatus(uint64_t id, uint32_t *status) { return NicIfGetAdapterStatus(id, status); }
uint32_t NicIfCreateTeam(const PropertyRecord *, uint32_t, const uint64_t *, uint32_t, uint64_t *) {
    return 1;
}
uint32_t NicIfAddTeamMember(uint64_t, uint64_t) { return 1; }
uint32_t NicIfRemoveTeamMember(uint64_t, uint32_t, uint64_t) { return 1; }
uint32_t NicIfDissolveTeam(uint64_t, uint8_t) { return 1; }
uint32_t NicIfCreateVlan(const PropertyRecord *, uint32_t, uint64_t, uint32_t, uint8_t, uint64_t *) {
    return 1;
}
uint32_t NicIfDeleteVlan(uint64_t) { return 1; }
uint32_t NicIfSetObjectFlags(uint64_t, uint32_t, uint32_t) { return 0; }
uint32_t NicIfApplyPass1(uint64_t) { return 0; }
uint32_t NicIfApplyPass2(uint64_t) { return 0; }
uint32_t NicIfClose(uint8_t) { return 0; }
uint32_t NicIfGetNicTeam(uint64_t, uint64_t *team) {
    if (team) *team = 0;
    return 1;
}
uint32_t NicIfTcpIpInstalled(uint32_t *installed) {
    if (installed) *installed = 1;
    return 0;
}
uint32_t NicIfApplyConfigChanges(uint64_t, uint32_t) { return 0; }

}  // extern "C"
