#include "support/nicif_double.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace nicif_double {

namespace {

char16_t *MallocText(const std::u16string &text) {
    auto *copy = static_cast<char16_t *>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    return copy;
}

}  // namespace

std::string Utf8(const char16_t *text) {
    if (!text) return "";
    std::u16string s(text);
    return Utf8(s);
}

std::string Utf8(const std::u16string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf16(const std::string &text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t c = b;
        std::size_t len = 1;
        if (b >= 0xF0) c = b & 0x07, len = 4;
        else if (b >= 0xE0) c = b & 0x0F, len = 3;
        else if (b >= 0xC0) c = b & 0x1F, len = 2;
        for (std::size_t k = 1; k < len && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

NicIfDouble &Nic() {
    static NicIfDouble instance;
    return instance;
}

void NicIfDouble::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    byFunction_.clear();
    byHandle_.clear();
    byProperty_.clear();
    inTurn_.clear();
    values_.clear();
    statuses_.clear();
    kept_.clear();
    adapters_.clear();
    teams_.clear();
    vlans_.clear();
    nullArrays_ = false;
    created_.clear();
    nicTeam_ = 0;
    tcpIp_ = 1;
    calls_.clear();
    lastRaw_ = nullptr;
}

void NicIfDouble::respond(const std::string &function, uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    byFunction_[function] = code;
}

void NicIfDouble::respond(const std::string &function, uint64_t handle, uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    byHandle_[{function, handle}] = code;
}

void NicIfDouble::respond(const std::string &function, uint64_t handle, uint32_t property,
                          uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    byProperty_[{function, handle, property}] = code;
}

void NicIfDouble::respondInTurn(const std::string &function, std::vector<uint32_t> codes) {
    std::lock_guard<std::mutex> lock(mutex_);
    inTurn_[function] = std::move(codes);
}

void NicIfDouble::value(const std::string &function, uint64_t handle, uint32_t property,
                        const std::u16string &text, bool mustFree) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_[{function, handle, property}] = Value{0, text, mustFree};
}

void NicIfDouble::valueWithCode(const std::string &function, uint64_t handle, uint32_t property,
                                uint32_t code, std::optional<std::u16string> text, bool mustFree) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_[{function, handle, property}] = Value{code, std::move(text), mustFree};
}

void NicIfDouble::status(const std::string &function, uint64_t handle,
                         std::optional<uint32_t> status, uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    statuses_[{function, handle}] = {status, code};
}

void NicIfDouble::inventory(std::vector<AdapterSpec> adapters, std::vector<TeamSpec> teams,
                            std::vector<VlanSpec> vlans, bool nullArrays) {
    std::lock_guard<std::mutex> lock(mutex_);
    adapters_ = std::move(adapters);
    teams_ = std::move(teams);
    vlans_ = std::move(vlans);
    nullArrays_ = nullArrays;
}

void NicIfDouble::createdHandle(const std::string &function, uint64_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    created_[function] = handle;
}

std::vector<std::string> NicIfDouble::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<std::string> NicIfDouble::calls(const std::string &function) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> matching;
    for (const std::string &call : calls_)
        if (call.rfind(function + "(", 0) == 0) matching.push_back(call);
    return matching;
}

void NicIfDouble::clearCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

void NicIfDouble::log(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(text));
}

uint32_t NicIfDouble::result(const std::string &function, uint64_t handle, uint32_t property,
                             uint32_t fallback) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto turn = inTurn_.find(function);
    if (turn != inTurn_.end() && !turn->second.empty()) {
        uint32_t code = turn->second.front();
        turn->second.erase(turn->second.begin());
        return code;
    }
    if (auto it = byProperty_.find({function, handle, property}); it != byProperty_.end())
        return it->second;
    if (auto it = byHandle_.find({function, handle}); it != byHandle_.end()) return it->second;
    if (auto it = byFunction_.find(function); it != byFunction_.end()) return it->second;
    return fallback;
}

uint32_t NicIfDouble::readProperty(const std::string &function, uint64_t handle,
                                   uint32_t property, lx_wchar **value, uint8_t *mustFree) {
    std::optional<Value> scripted;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = values_.find({function, handle, property});
        if (it != values_.end()) scripted = it->second;
    }
    // Without a scripted value the object has no such property.
    uint32_t code = result(function, handle, property, scripted ? scripted->code : 1);
    *value = nullptr;
    *mustFree = 0;
    if (scripted && scripted->text) {
        if (scripted->mustFree) {
            *value = MallocText(*scripted->text);
            *mustFree = 1;
        } else {
            std::lock_guard<std::mutex> lock(mutex_);
            kept_.push_back(*scripted->text);
            *value = kept_.back().data();
        }
    }
    return code;
}

uint32_t NicIfDouble::readStatus(const std::string &function, uint64_t handle, uint32_t *status) {
    std::optional<uint32_t> value;
    uint32_t code = 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = statuses_.find({function, handle});
        if (it != statuses_.end()) {
            value = it->second.first;
            code = it->second.second;
        }
    }
    if (value && status) *status = *value;
    return code;
}

uint32_t NicIfDouble::enumerate(void **nics, uint32_t *nicCount, void **teams,
                                uint32_t *teamCount, void **vlans, uint32_t *vlanCount) {
    uint32_t code = result("NicIfEnumerate", 0, 0, 0);
    if (code != 0) return code;
    std::lock_guard<std::mutex> lock(mutex_);
    *nicCount = static_cast<uint32_t>(adapters_.size());
    *teamCount = static_cast<uint32_t>(teams_.size());
    *vlanCount = static_cast<uint32_t>(vlans_.size());
    *nics = *teams = *vlans = nullptr;
    if (nullArrays_) return 0;
    if (!adapters_.empty()) {
        auto *array = static_cast<NicIfAdapterElement *>(
            std::calloc(adapters_.size(), sizeof(NicIfAdapterElement)));
        for (std::size_t i = 0; i < adapters_.size(); ++i) {
            const AdapterSpec &fields = adapters_[i];
            NicIfAdapterElement &e = array[i];
            e.handle = fields.handle;
            e.definitionType = fields.nullTexts ? nullptr : MallocText(fields.definitionType);
            e.name = fields.nullTexts ? nullptr : MallocText(fields.name);
            e.status = fields.status;
            e.info1 = fields.info1;
            e.teamHandle = fields.teamHandle;
            e.info2 = fields.info2;
            e.activeInTeam = fields.activeInTeam;
            std::size_t n = std::min<std::size_t>(fields.label.size(), 40);
            std::memcpy(e.label, fields.label.data(), n * sizeof(char16_t));
        }
        *nics = array;
    }
    if (!teams_.empty()) {
        auto *array = static_cast<NicIfTeamElement *>(std::calloc(teams_.size(), sizeof(NicIfTeamElement)));
        for (std::size_t i = 0; i < teams_.size(); ++i) {
            array[i].handle = teams_[i].handle;
            array[i].teamInfo1 = teams_[i].teamInfo1;
            array[i].teamText = MallocText(teams_[i].teamText);
            array[i].teamInfo2 = teams_[i].teamInfo2;
            array[i].kind = teams_[i].kind;
        }
        *teams = array;
    }
    if (!vlans_.empty()) {
        auto *array = static_cast<NicIfVlanElement *>(std::calloc(vlans_.size(), sizeof(NicIfVlanElement)));
        for (std::size_t i = 0; i < vlans_.size(); ++i) {
            array[i].handle = vlans_[i].handle;
            array[i].parentHandle = vlans_[i].parent;
        }
        *vlans = array;
    }
    return 0;
}

uint64_t NicIfDouble::nextCreated(const std::string &function) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = created_.find(function);
    return it == created_.end() ? 0 : it->second;
}

}  // namespace nicif_double

using nicif_double::Nic;

namespace {

template <class T, class... Rest>
std::string Args(const T &first, const Rest &...rest) {
    std::ostringstream out;
    out << first;
    ((out << ", " << rest), ...);
    return out.str();
}

uint32_t Setter(const char *function, uint64_t handle, uint32_t property, const void *value,
                uint32_t size) {
    Nic().log(std::string(function) + "(" + Args(handle, property) + ", " +
              (size == 0xFFFFFFFFu ? std::string("raw, 4294967295")
                                   : (value ? "\"" + nicif_double::Utf8(static_cast<const char16_t *>(value)) + "\""
                                            : std::string("NULL")) +
                                         ", " + std::to_string(size)) +
              ")");
    Nic().setLastRaw(value);
    return Nic().result(function, handle, property, 0);
}

uint32_t Getter(const char *function, uint64_t handle, uint32_t property, lx_wchar **value,
                uint8_t *mustFree) {
    Nic().log(std::string(function) + "(" + Args(handle, property) + ")");
    return Nic().readProperty(function, handle, property, value, mustFree);
}

std::string Records(const PropertyRecord *records, uint32_t count) {
    std::string text = "[";
    for (uint32_t i = 0; i < count && records; ++i) {
        if (i) text += ", ";
        text += std::to_string(records[i].propertyNumber) + "=\"" +
                nicif_double::Utf8(records[i].value) + "\"/" + std::to_string(records[i].size);
    }
    return text + "]";
}

}  // namespace

extern "C" {

uint32_t NicIfEnumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount,
                        void **vlans, uint32_t *vlanCount, uint64_t listOption) {
    Nic().log("NicIfEnumerate(" + Args(listOption) + ")");
    return Nic().enumerate(nics, nicCount, teams, teamCount, vlans, vlanCount);
}
uint32_t NicIfGetAdapterProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) {
    return Getter("NicIfGetAdapterProperty", h, p, v, f);
}
uint32_t NicIfGetTeamProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) {
    return Getter("NicIfGetTeamProperty", h, p, v, f);
}
uint32_t NicIfGetVlanProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) {
    return Getter("NicIfGetVlanProperty", h, p, v, f);
}
uint32_t NicIfSetAdapterProperty(uint64_t h, uint32_t p, const void *v, uint32_t s) {
    return Setter("NicIfSetAdapterProperty", h, p, v, s);
}
uint32_t NicIfSetTeamProperty(uint64_t h, uint32_t p, const void *v, uint32_t s) {
    return Setter("NicIfSetTeamProperty", h, p, v, s);
}
uint32_t NicIfSetVlanProperty(uint64_t h, uint32_t p, const void *v, uint32_t s) {
    return Setter("NicIfSetVlanProperty", h, p, v, s);
}
uint32_t NicIfGetAdapterStatus(uint64_t id, uint32_t *status) {
    Nic().log("NicIfGetAdapterStatus(" + Args(id) + ")");
    return Nic().readStatus("NicIfGetAdapterStatus", id, status);
}
uint32_t NicIfGetTeamStatus(uint64_t id, uint32_t *status) {
    Nic().log("NicIfGetTeamStatus(" + Args(id) + ")");
    return Nic().readStatus("NicIfGetTeamStatus", id, status);
}
uint32_t NicIfCreateTeam(const PropertyRecord *records, uint32_t recordCount,
                         const uint64_t *members, uint32_t memberCount, uint64_t *team) {
    std::string memberText = "[";
    for (uint32_t i = 0; i < memberCount && members; ++i)
        memberText += (i ? ", " : "") + std::to_string(members[i]);
    Nic().log("NicIfCreateTeam(" + Records(records, recordCount) + ", " + memberText + "])");
    uint32_t code = Nic().result("NicIfCreateTeam", 0, 0, 0);
    if ((code == 0 || code == 7 || code == 16) && team) *team = Nic().nextCreated("NicIfCreateTeam");
    return code;
}
uint32_t NicIfAddTeamMember(uint64_t nic, uint64_t team) {
    Nic().log("NicIfAddTeamMember(" + Args(nic, team) + ")");
    return Nic().result("NicIfAddTeamMember", nic, 0, 0);
}
uint32_t NicIfRemoveTeamMember(uint64_t nic, uint32_t zero, uint64_t team) {
    Nic().log("NicIfRemoveTeamMember(" + Args(nic, zero, team) + ")");
    return Nic().result("NicIfRemoveTeamMember", nic, 0, 0);
}
uint32_t NicIfDissolveTeam(uint64_t team, uint8_t one) {
    Nic().log("NicIfDissolveTeam(" + Args(team, unsigned(one)) + ")");
    return Nic().result("NicIfDissolveTeam", team, 0, 0);
}
uint32_t NicIfCreateVlan(const PropertyRecord *records, uint32_t recordCount, uint64_t parent,
                         uint32_t vlanParameter, uint8_t parentIsTeam, uint64_t *vlan) {
    Nic().log("NicIfCreateVlan(" + Records(records, recordCount) + ", " +
              Args(parent, vlanParameter, unsigned(parentIsTeam)) + ")");
    uint32_t code = Nic().result("NicIfCreateVlan", parent, 0, 0);
    if ((code == 0 || code == 7) && vlan) *vlan = Nic().nextCreated("NicIfCreateVlan");
    return code;
}
uint32_t NicIfDeleteVlan(uint64_t vlan) {
    Nic().log("NicIfDeleteVlan(" + Args(vlan) + ")");
    return Nic().result("NicIfDeleteVlan", vlan, 0, 0);
}
uint32_t NicIfSetObjectFlags(uint64_t handle, uint32_t a, uint32_t b) {
    Nic().log("NicIfSetObjectFlags(" + Args(handle, a, b) + ")");
    return Nic().result("NicIfSetObjectFlags", handle, 0, 0);
}
uint32_t NicIfApplyPass1(uint64_t handle) {
    Nic().log("NicIfApplyPass1(" + Args(handle) + ")");
    return Nic().result("NicIfApplyPass1", handle, 0, 0);
}
uint32_t NicIfApplyPass2(uint64_t handle) {
    Nic().log("NicIfApplyPass2(" + Args(handle) + ")");
    return Nic().result("NicIfApplyPass2", handle, 0, 0);
}
uint32_t NicIfClose(uint8_t flag) {
    Nic().log("NicIfClose(" + Args(unsigned(flag)) + ")");
    return Nic().result("NicIfClose", 0, 0, 0);
}
uint32_t NicIfGetNicTeam(uint64_t adapter, uint64_t *team) {
    Nic().log("NicIfGetNicTeam(" + Args(adapter) + ")");
    if (team) *team = Nic().nicTeamValue();
    return Nic().result("NicIfGetNicTeam", adapter, 0, 0);
}
uint32_t NicIfTcpIpInstalled(uint32_t *installed) {
    Nic().log("NicIfTcpIpInstalled()");
    if (installed) *installed = Nic().tcpIpValue();
    return Nic().result("NicIfTcpIpInstalled", 0, 0, 0);
}
uint32_t NicIfApplyConfigChanges(uint64_t handle, uint32_t flags) {
    Nic().log("NicIfApplyConfigChanges(" + Args(handle, flags) + ")");
    return Nic().result("NicIfApplyConfigChanges", handle, 0, 0);
}

}  // extern "C"
