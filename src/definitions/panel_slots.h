// The 56 named panel slots of a definition, in the order in which their names
// are compared, with the name under which readers request each panel.
#pragma once

#include <array>
#include <string_view>

namespace lxniccfg {

enum class PanelSlot : int {
    Settings, Advanced, Statistics, AdvStatsActivity, AdvStatsXmitErrors, AdvStatsRcvErrors,
    Information, ConnectionInfo, ConnectionStats, Diagnostics, TeamingControls, TeamSettings,
    TeamInfo, TeamConnectionInfo, TeamConnectionStats, TeamStatistics, TeamAdvanced, TeamInfo1,
    TeamInfo2, TeamInfo3, TeamStatus1, TeamStatus2, TeamStatus3, Vlan, VlanInfo,
    VlanConnectionInfo, VlanConnectionStats, VlanStatistics, AdapterTeam, AdapterTeamStatus,
    AdvancedRedundancy, TeamUtilization, AdapterUtilization, iSCSIStatistics, iSCSIToeStatistics,
    iSCSIInformation, iSCSIAdvanced, iSCSIIP, iSCSIVlan, RegistryValues, VlanRegistryValues,
    ProtRegistryValues, TaskOffload, ToeTaskOffload, RssTaskOffload, TeamRxStats, TeamTxStats,
    AdvRedAdapterTeamStatus, DiscProtocols, DiscProtocolsAdapterData, WSDStatistics,
    WSDPerformance, WSDAddresses, WSDInformation, TeamToeStatistics, ToeStatistics,
};

inline constexpr int kPanelSlotCount = 56;

struct PanelSlotName {
    std::string_view fileName;     // the panel's name in the definitions file
    std::string_view requestName;  // the name readers ask for
};

inline constexpr std::array<PanelSlotName, kPanelSlotCount> kPanelSlotNames = {{
    {"settings", "Settings"},
    {"advanced", "Advanced"},
    {"statistics", "Statistics"},
    {"AdvStatsActivity", "AdvStatsActivity"},
    {"AdvStatsXmitErrors", "AdvStatsXmitErrors"},
    {"AdvStatsRcvErrors", "AdvStatsRcvErrors"},
    {"information", "Information"},
    {"ConnectionInfo", "ConnectionInfo"},
    {"ConnectionStats", "ConnectionStats"},
    {"diagnostics", "Diagnostics"},
    {"TeamingControls", "TeamingControls"},
    {"TeamSettings", "TeamSettings"},
    {"TeamInfo", "TeamInfo"},
    {"TeamConnectionInfo", "TeamConnectionInfo"},
    {"TeamConnectionStats", "TeamConnectionStats"},
    {"TeamStatistics", "TeamStatistics"},
    {"TeamAdvanced", "TeamAdvanced"},
    {"TeamInfo1", "TeamInfo1"},
    {"TeamInfo2", "TeamInfo2"},
    {"TeamInfo3", "TeamInfo3"},
    {"TeamStatus1", "TeamStatus1"},
    {"TeamStatus2", "TeamStatus2"},
    {"TeamStatus3", "TeamStatus3"},
    {"Vlan", "Vlan"},
    {"VlanInfo", "VlanInfo"},
    {"VlanConnectionInfo", "VlanConnectionInfo"},
    {"VlanConnectionStats", "VlanConnectionStats"},
    {"VlanStatistics", "VlanStatistics"},
    {"AdapterTeam", "AdapterTeam"},
    {"AdapterTeamStatus", "AdapterTeamStatus"},
    {"AdvancedRedundancy", "AdvancedRedundancy"},
    {"TeamUtilization", "TeamUtilization"},
    {"AdapterUtilization", "AdapterUtilization"},
    {"iSCSIStatistics", "iSCSIStatistics"},
    {"iSCSIToeStatistics", "iSCSIToeStatistics"},
    {"iSCSIInformation", "iSCSIInformation"},
    {"iSCSIAdvanced", "iSCSIAdvanced"},
    {"iSCSIIP", "iSCSIIP"},
    {"iSCSIVlan", "iSCSIVlan"},
    {"RegistryValues", "RegistryValues"},
    {"VlanRegistryValues", "VlanRegistryValues"},
    {"ProtRegistryValues", "ProtRegistryValues"},
    {"TaskOffload", "TaskOffload"},
    {"ToeTaskOffload", "ToeTaskOffload"},
    {"RssTaskOffload", "RSSTaskOffload"},
    {"TeamRxStats", "TeamRxStats"},
    {"TeamTxStats", "TeamTxStats"},
    {"AdvRedAdapterTeamStatus", "AdvRedAdapterTeamStatus"},
    {"DiscProtocols", "DiscProtocols"},
    {"DiscProtocolsAdapterData", "DiscProtocolsAdapterData"},
    {"WSDStatistics", "WSDStatistics"},
    {"WSDPerformance", "WSDPerformance"},
    {"WSDAddresses", "WSDAddresses"},
    {"WSDInformation", "WSDInformation"},
    {"TeamToeStatistics", "TeamToeStatistics"},
    {"ToeStatistics", "ToeStatistics"},
}};

// The slot whose file name is exactly name; -1 when none.
inline int PanelSlotByFileName(std::string_view name) {
    for (int i = 0; i < kPanelSlotCount; ++i)
        if (kPanelSlotNames[static_cast<std::size_t>(i)].fileName == name) return i;
    return -1;
}

}  // namespace lxniccfg
