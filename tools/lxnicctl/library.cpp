#include "library.h"

#include <cstdlib>

namespace lxnicctl {

namespace {

// The Linux library's codes; its messages on standard error say more.
std::string LinuxMeaning(uint32_t code) {
    switch (code) {
    case 1: return "the interface or its driver has no such setting";
    case 2: return "no such interface, or it has vanished";
    case 3: return "the property cannot take this value, or the kernel or the driver refused it";
    case 4: return "malformed request";
    case 5: return "the change breaks a rule of the kernel (a name or VLAN id in use, an adapter in another team)";
    case 6: return "not permitted: changing network interfaces needs root (CAP_NET_ADMIN)";
    case 7: return "done; the interface goes down briefly for it";
    case 8: return "the kernel failed in an unexpected way, or the library could not be loaded";
    default: return "unexpected answer of the NIC interface library";
    }
}

// Codes of the NIC interface library, which the configuration library passes
// on unchanged (alone or as property number * 65536 + code).
std::string InterfaceMeaning(uint32_t code) {
    const char *backend = std::getenv("LXNICIF_BACKEND");
    if (backend != nullptr && std::string(backend) == "linux") return LinuxMeaning(code);
    switch (code) {
    case 1: return "the object does not have this property";
    case 2: return "unknown adapter, team or VLAN";
    case 3: return "the object cannot take this value for this property";
    case 4: return "malformed request";
    case 5: return "the change would break a consistency rule of the server "
                   "(an adapter in two teams, a team without members, a VLAN id used twice)";
    case 6: return "the server's state file was refused or could not be saved";
    case 7: return "done; takes effect when the object restarts";
    case 8: return "internal failure of the NIC interface library";
    default: return "unexpected answer of the NIC interface library";
    }
}

}  // namespace

std::string ResultMeaning(const std::string &call, uint32_t code) {
    switch (code) {
    case LXNICCFG_OK: return "success";
    case LXNICCFG_FILE_NOT_CREATED:
        if (call == "WriteXmlScriptFile") return "the file cannot be created";
        break;
    case LXNICCFG_NOTICE: return "success, with a notice: takes effect when the object restarts";
    case LXNICCFG_NOTICE2:
        if (call == "ApplyTeamConfigurationChanges") return "success, with the server's second notice";
        return "failure reported by the NIC interface library (16)";
    case LXNICCFG_FAILED:
        if (call == "ReadXmlScriptFile") return "the script was rejected";
        if (call == "InitXml") return "the definitions file does not parse or its links are inconsistent";
        return "general failure: no definitions for the object, unknown panel or property, "
               "or a value without a raw value";
    case LXNICCFG_BAD_CHECKSUM: return "definitions file: checksum missing or wrong";
    case LXNICCFG_NO_FILE: return "definitions file missing or unreadable";
    case LXNICCFG_XML_INIT_FAILED: return "the XML library could not be initialised";
    case LXNICCFG_NO_ENTRIES: return "the panel has no entries";
    case LXNICCFG_CANNOT_OPEN: return "the file cannot be opened";
    case LXNICCFG_NO_MEMBER: return "a team to be created has no member";
    default: break;
    }
    if (code >= 65536) {
        return "the NIC interface library answered " + std::to_string(code & 0xFFFF) + " (" +
               InterfaceMeaning(code & 0xFFFF) + ") for property number " +
               std::to_string(code >> 16);
    }
    return "NIC interface library: " + InterfaceMeaning(code);
}

std::string DescribeResult(const std::string &call, uint32_t code) {
    return "result " + std::to_string(code) + " (" + ResultMeaning(call, code) + ")";
}

uint32_t Check(const std::string &what, const std::string &call, uint32_t code) {
    if (code == LXNICCFG_OK || code == LXNICCFG_NOTICE) return code;
    if (code == LXNICCFG_NOTICE2 && call == "ApplyTeamConfigurationChanges") return code;
    throw Failure(what + " failed: " + call + " answered " + DescribeResult(call, code), call, code);
}

}  // namespace lxnicctl
