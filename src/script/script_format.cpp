#include "script/script_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace lxniccfg {
namespace {

constexpr std::array<std::u16string_view, 18> kTeamPropertyNames = {
    u"OpMode",         u"LoadBalAlgorithm",         u"RxPathValidationMode",
    u"RxPathValidationInterval", u"TxPathValidationMode", u"TxPathValidationInterval",
    u"TeamName",       u"FastPathEnabled",          u"FastPathSpanningTreeType",
    u"EchoNodeTime",   u"EchoNodeTimeout",          u"CriteriaRanking",
    u"CDPv1Enabled",   u"CDPv2Enabled",             u"RouterPathProtocol",
    u"TOEEnabled",     u"LLDPEnabled",              u"RSSEnabled"};

constexpr std::array<std::u16string_view, 6> kEchoNodePropertyNames = {
    u"EchoNodeAddress",      u"EchoNodeIPAddress",      u"EchoNodeResponseMech",
    u"EchoNodeProbeAddress", u"EchoNodeProbeIPAddress", u"EchoNodeUseDefMac"};

constexpr std::array<std::u16string_view, 11> kNicPropertyNames = {
    u"SpeedDuplex",  u"PreferredPrimaryRanking", u"DualChannelGroup", u"ConfiguredPortCost",
    u"TOEEnabled",   u"RSSEnabled",              u"iSCSIEnabled",     u"iSCSIVlanId",
    u"iSCSIVlanName", u"iSCSIPacketPriority",    u"iSCSISRBTimeoutDelta"};

constexpr std::array<std::u16string_view, 2> kVlanPropertyNames = {u"VlanId", u"VlanName"};

constexpr PropertyNames kTeamNames(kTeamPropertyNames);
constexpr PropertyNames kEchoNodeNames(kEchoNodePropertyNames);
constexpr PropertyNames kNicNames(kNicPropertyNames);
constexpr PropertyNames kVlanNames(kVlanPropertyNames);

}  // namespace

const PropertyNames &TeamPropertyNames() { return kTeamNames; }
const PropertyNames &EchoNodePropertyNames() { return kEchoNodeNames; }
const PropertyNames &NicPropertyNames() { return kNicNames; }
const PropertyNames &VlanPropertyNames() { return kVlanNames; }

bool PropertyNames::contains(std::u16string_view id) const {
    if (id.size() >= kLengths) return false;
    for (std::uint32_t candidates = byLength_[id.size()]; candidates != 0; candidates &= candidates - 1) {
        const std::u16string_view name = names_[static_cast<std::size_t>(std::countr_zero(candidates))];
        if (std::memcmp(name.data(), id.data(), id.size() * sizeof(char16_t)) == 0) return true;
    }
    return false;
}

const char *StatusText(uint32_t status, bool inactiveTeamMember) {
    uint32_t code = status & 0xFFFFu;
    if (inactiveTeamMember) {
        if (code == 0) code = 1;
        else if (code == 2) code = 3;
    }
    switch (code) {
    case 0: return "Active";
    case 1: return "Not Active";
    case 2: return "Degraded";
    case 3: return "Degraded Not Active";
    case 5: return "Disabled";
    default: return "Unknown";
    }
}

std::u16string CommentText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'-' && !out.empty() && out.back() == u'-') out.push_back(u' ');
        out.push_back(c);
    }
    return out;
}

std::vector<std::pair<std::u16string_view, std::u16string_view>> SplitCompound(
    std::u16string_view value) {
    std::vector<std::pair<std::u16string_view, std::u16string_view>> pieces;
    while (true) {
        std::size_t end = value.find(u';');
        std::u16string_view piece = value.substr(0, end);
        std::size_t equals = piece.find(u'=');
        if (!piece.empty() && equals != std::u16string_view::npos)
            pieces.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
        if (end == std::u16string_view::npos) break;
        value.remove_prefix(end + 1);
    }
    return pieces;
}

}  // namespace lxniccfg
