#include "networkd.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "properties.h"

namespace lxniclinux {

namespace {

std::string YesNo(const std::string &raw) { return raw == "1" ? "yes" : "no"; }

// The value as networkd writes it, or empty to leave the key out.
std::string Format(const PropertyRow &row, const std::string &raw) {
    std::string key = row.key;
    switch (row.conversion) {
    case Conversion::Enum: return NetworkdValue(row, raw);
    case Conversion::Flag: return YesNo(raw);
    case Conversion::IpList: {
        std::string out = raw;
        for (char &c : out) c = c == ',' ? ' ' : c;
        return out;
    }
    case Conversion::Number:
        if (key == "RxCoalesceSec" || key == "TxCoalesceSec") return raw + "us";
        if (key.size() > 3 && key.compare(key.size() - 3, 3, "Sec") == 0) return raw + "ms";
        return raw;
    default: return raw;
    }
}

std::string Header() { return "# Written from the running configuration by lxnicctl persist; written anew each time.\n"; }

const PersistedLink *ByIndex(const std::vector<PersistedLink> &links, int index) {
    for (const PersistedLink &p : links) {
        if (p.link.index == index) return &p;
    }
    return nullptr;
}

std::string Value(const PersistedLink &p, uint32_t number) {
    auto it = p.values.find(number);
    return it == p.values.end() ? std::string() : it->second;
}

std::string LinkFile(const PersistedLink &p) {
    std::ostringstream match, link;
    if (!p.link.permanentAddress.empty() && p.link.kind.empty()) {
        match << "PermanentMACAddress=" << FormatMac(p.link.permanentAddress) << "\n";
    } else {
        match << "OriginalName=" << p.link.name << "\n";
    }
    link << "Name=" << p.link.name << "\n";
    for (const PropertyRow &row : PropertyTable()) {
        if (!(row.objects & kAdapter) || !p.values.count(row.number)) continue;
        std::string raw = Value(p, row.number);
        if (row.persist == Persist::Link) {
            if (row.conversion == Conversion::MacOrEmpty && raw.empty()) continue;
            link << row.key << "=" << Format(row, raw) << "\n";
        } else if (row.persist == Persist::Special && row.source == Source::LinkModes) {
            if (raw == "auto") {
                link << "AutoNegotiation=yes\n";
            } else {
                std::size_t slash = raw.find('/');
                link << "AutoNegotiation=no\nBitsPerSecond=" << raw.substr(0, slash) << "M\nDuplex="
                     << raw.substr(slash + 1) << "\n";
            }
        } else if (row.persist == Persist::Special && row.source == Source::Pause) {
            int bits = std::atoi(raw.c_str());
            link << "RxFlowControl=" << ((bits & 1) ? "yes" : "no") << "\nTxFlowControl=" << ((bits & 2) ? "yes" : "no")
                 << "\n";
        }
    }
    return Header() + "[Match]\n" + match.str() + "\n[Link]\n" + link.str();
}

std::string NetDevFile(const PersistedLink &p, const std::vector<PersistedLink> &links) {
    std::ostringstream netdev, section;
    netdev << "Name=" << p.link.name << "\nKind=" << (p.kind == kTeam ? "bond" : "vlan") << "\n";
    uint32_t mode = static_cast<uint32_t>(std::atoi(Value(p, 101).c_str()));
    for (const PropertyRow &row : PropertyTable()) {
        if (!(row.objects & p.kind) || !p.values.count(row.number)) continue;
        std::string raw = Value(p, row.number);
        if (row.persist == Persist::Link || row.persist == Persist::NetDev) {
            if (std::string(row.key) == "MTUBytes" || std::string(row.key) == "MACAddress") {
                netdev << row.key << "=" << Format(row, raw) << "\n";
            }
        } else if ((row.persist == Persist::Bond && p.kind == kTeam) || (row.persist == Persist::Vlan && p.kind == kVlan)) {
            if (p.kind == kTeam && !AppliesToBondMode(row.number, mode)) continue;
            if (row.conversion == Conversion::IpList && raw.empty()) continue;
            if ((row.number == 112) && raw == "0") continue;
            section << row.key << "=" << Format(row, raw) << "\n";
        }
    }
    (void)links;
    return Header() + "[NetDev]\n" + netdev.str() + "\n[" + (p.kind == kTeam ? "Bond" : "VLAN") + "]\n" + section.str();
}

// Ties an interface to its bond and its VLANs. Addresses are not the
// library's business: the file says where to add them.
std::string NetworkFile(const PersistedLink &p, const std::vector<PersistedLink> &links) {
    std::ostringstream network;
    const PersistedLink *bond = p.link.slaveKind == "bond" ? ByIndex(links, p.link.master) : nullptr;
    if (bond) {
        network << "Bond=" << bond->link.name << "\n";
        uint32_t mode = static_cast<uint32_t>(std::atoi(Value(*bond, 101).c_str()));
        if (Value(*bond, 105) == p.link.name && AppliesToBondMode(105, mode)) network << "PrimarySlave=yes\n";
    }
    for (const PersistedLink &v : links) {
        if (v.kind == kVlan && v.link.parent == p.link.index) network << "VLAN=" << v.link.name << "\n";
    }
    std::string body = network.str();
    if (body.empty() && p.kind == kAdapter) return {};
    return Header() + "[Match]\nName=" + p.link.name + "\n\n[Network]\n" +
           (bond ? "" : "# Addresses and routes of " + p.link.name + " go here.\n") + body;
}

}  // namespace

std::map<std::string, std::string> NetworkdFiles(const std::vector<PersistedLink> &links) {
    std::map<std::string, std::string> files;
    for (const PersistedLink &p : links) {
        std::string base = kNetworkdPrefix + p.link.name;
        if (p.kind == kAdapter) files[base + ".link"] = LinkFile(p);
        if (p.kind == kTeam || p.kind == kVlan) files[base + ".netdev"] = NetDevFile(p, links);
        if (std::string network = NetworkFile(p, links); !network.empty()) files[base + ".network"] = network;
    }
    return files;
}

std::string WriteNetworkdFiles(const std::vector<PersistedLink> &links, const std::string &folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return "cannot make the folder " + folder + ": " + ec.message();
    std::map<std::string, std::string> files = NetworkdFiles(links);
    for (const auto &[name, content] : files) {
        fs::path target = fs::path(folder) / name;
        fs::path temporary = fs::path(folder) / ("." + name + ".tmp");
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << content;
            out.flush();
            if (!out) return "cannot write " + temporary.string() + ": " + std::strerror(errno);
        }
        fs::rename(temporary, target, ec);
        if (ec) return "cannot replace " + target.string() + ": " + ec.message();
    }
    for (const auto &entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(kNetworkdPrefix, 0) == 0 && !files.count(name)) fs::remove(entry.path(), ec);
    }
    return {};
}

}  // namespace lxniclinux
