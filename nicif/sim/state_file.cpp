#include "state_file.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "default_inventory.h"
#include "faults.h"

namespace lxnicsim {

namespace {

using Json = nlohmann::ordered_json;

// A fault in the document, reported with where it was found.
struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr std::array<const char *, 6> kStatusNames = {
    "active", "not active", "degraded", "degraded not active", "unknown", "disabled"};

const Json &Member(const Json &object, const char *key, const std::string &where) {
    auto it = object.find(key);
    if (it == object.end()) throw Malformed(where + " has no \"" + key + "\"");
    return *it;
}

uint64_t Unsigned(const Json &value, const std::string &where) {
    if (!value.is_number_unsigned()) throw Malformed(where + " must be a non-negative whole number");
    return value.get<uint64_t>();
}

uint32_t Unsigned32(const Json &value, const std::string &where) {
    uint64_t n = Unsigned(value, where);
    if (n > 0xFFFFFFFFu) throw Malformed(where + " is too large");
    return static_cast<uint32_t>(n);
}

std::string Text(const Json &value, const std::string &where) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return value.dump();
    throw Malformed(where + " must be a text");
}

uint32_t PropertyNumber(const std::string &key, const std::string &where) {
    if (key.empty() || key.size() > 10 ||
        key.find_first_not_of("0123456789") != std::string::npos)
        throw Malformed(where + ": \"" + key + "\" is not a property number");
    uint64_t n = std::stoull(key);
    if (n > 0xFFFFFFFFu) throw Malformed(where + ": property number " + key + " is too large");
    return static_cast<uint32_t>(n);
}

Properties ReadProperties(const Json &object, const std::string &where) {
    auto it = object.find("properties");
    Properties out;
    if (it == object.end()) return out;
    if (!it->is_object()) throw Malformed(where + ".properties must be an object");
    for (const auto &[key, value] : it->items())
        out[PropertyNumber(key, where + ".properties")] =
            Text(value, where + ".properties." + key);
    return out;
}

Json WriteProperties(const Properties &properties) {
    Json out = Json::object();
    for (const auto &[number, value] : properties) out[std::to_string(number)] = value;
    return out;
}

Profile ReadProfile(const Json &object, const std::string &where) {
    if (!object.is_object()) throw Malformed(where + " must be an object");
    Profile p;
    p.defaults = ReadProperties(object, where);
    if (auto it = object.find("readOnly"); it != object.end()) {
        if (!it->is_array()) throw Malformed(where + ".readOnly must be a list of property numbers");
        for (const Json &n : *it) p.readOnly.insert(Unsigned32(n, where + ".readOnly"));
    }
    if (auto it = object.find("restart"); it != object.end()) {
        if (!it->is_array()) throw Malformed(where + ".restart must be a list of property numbers");
        for (const Json &n : *it) p.restart.insert(Unsigned32(n, where + ".restart"));
    }
    if (auto it = object.find("allowed"); it != object.end()) {
        if (!it->is_object()) throw Malformed(where + ".allowed must be an object");
        for (const auto &[key, rule] : it->items()) {
            std::string at = where + ".allowed." + key;
            Allowed a;
            if (rule.is_array()) {
                for (const Json &choice : rule) a.choices.push_back(Text(choice, at));
            } else if (rule.is_object()) {
                const Json &lo = Member(rule, "min", at);
                const Json &hi = Member(rule, "max", at);
                if (!lo.is_number_integer() || !hi.is_number_integer())
                    throw Malformed(at + ": min and max must be whole numbers");
                a.range = {lo.get<long long>(), hi.get<long long>()};
            } else {
                throw Malformed(at + " must be a list of values or {\"min\", \"max\"}");
            }
            p.allowed[PropertyNumber(key, where + ".allowed")] = std::move(a);
        }
    }
    return p;
}

Json WriteProfile(const Profile &p) {
    Json out = Json::object();
    out["properties"] = WriteProperties(p.defaults);
    Json readOnly = Json::array();
    for (uint32_t n : p.readOnly) readOnly.push_back(n);
    out["readOnly"] = readOnly;
    Json restart = Json::array();
    for (uint32_t n : p.restart) restart.push_back(n);
    out["restart"] = restart;
    Json allowed = Json::object();
    for (const auto &[number, rule] : p.allowed) {
        if (rule.range)
            allowed[std::to_string(number)] = {{"min", rule.range->first}, {"max", rule.range->second}};
        else
            allowed[std::to_string(number)] = rule.choices;
    }
    out["allowed"] = allowed;
    return out;
}

uint32_t ReadStatus(const Json &value, const std::string &where) {
    if (value.is_number_unsigned() && value.get<uint64_t>() < kStatusNames.size())
        return static_cast<uint32_t>(value.get<uint64_t>());
    if (value.is_string())
        for (std::size_t i = 0; i < kStatusNames.size(); ++i)
            if (value.get<std::string>() == kStatusNames[i]) return static_cast<uint32_t>(i);
    throw Malformed(where + " must be one of \"active\", \"not active\", \"degraded\", "
                            "\"degraded not active\", \"unknown\", \"disabled\"");
}

const Json &List(const Json &doc, const char *key) {
    const Json &list = Member(doc, key, "the state");
    if (!list.is_array()) throw Malformed(std::string("\"") + key + "\" must be a list");
    return list;
}

State FromJson(const Json &doc) {
    if (!doc.is_object()) throw Malformed("the document is not a JSON object");
    const Json &format = Member(doc, "format", "the state");
    if (!format.is_number_integer() || format.get<long long>() < 1)
        throw Malformed("\"format\" must be a positive whole number");
    if (format.get<long long>() > kStateFormat)
        throw Malformed("it was written in format " + format.dump() +
                        " by a newer version; this library reads format " +
                        std::to_string(kStateFormat) + " and earlier");

    State s;
    s.nextHandle = Unsigned(Member(doc, "nextHandle", "the state"), "nextHandle");
    if (auto it = doc.find("adapterTypes"); it != doc.end()) {
        if (!it->is_object()) throw Malformed("\"adapterTypes\" must be an object");
        for (const auto &[type, profile] : it->items())
            s.adapterTypes[type] = ReadProfile(profile, "adapterTypes." + type);
    }
    if (auto it = doc.find("teamProfile"); it != doc.end())
        s.teamProfile = ReadProfile(*it, "teamProfile");
    if (auto it = doc.find("vlanProfile"); it != doc.end())
        s.vlanProfile = ReadProfile(*it, "vlanProfile");

    std::vector<std::pair<Handle, Handle>> statedTeams;  // adapter, its "team" field
    std::size_t i = 0;
    for (const Json &item : List(doc, "adapters")) {
        std::string at = "adapters[" + std::to_string(i++) + "]";
        if (!item.is_object()) throw Malformed(at + " must be an object");
        Adapter a;
        a.handle = Unsigned(Member(item, "handle", at), at + ".handle");
        a.definitionType = Text(Member(item, "definitionType", at), at + ".definitionType");
        a.name = Text(Member(item, "name", at), at + ".name");
        if (auto it = item.find("label"); it != item.end()) a.label = Text(*it, at + ".label");
        if (auto it = item.find("status"); it != item.end()) a.status = ReadStatus(*it, at + ".status");
        if (auto it = item.find("info1"); it != item.end()) a.info1 = Unsigned32(*it, at + ".info1");
        if (auto it = item.find("info2"); it != item.end()) a.info2 = Unsigned32(*it, at + ".info2");
        if (auto it = item.find("team"); it != item.end())
            statedTeams.emplace_back(a.handle, Unsigned(*it, at + ".team"));
        a.properties = ReadProperties(item, at);
        s.addAdapter(std::move(a));
    }
    i = 0;
    for (const Json &item : List(doc, "teams")) {
        std::string at = "teams[" + std::to_string(i++) + "]";
        if (!item.is_object()) throw Malformed(at + " must be an object");
        Team t;
        t.handle = Unsigned(Member(item, "handle", at), at + ".handle");
        if (auto it = item.find("kind"); it != item.end()) {
            uint32_t kind = Unsigned32(*it, at + ".kind");
            if (kind > 255) throw Malformed(at + ".kind is too large");
            t.kind = static_cast<uint8_t>(kind);
        }
        const Json &members = Member(item, "members", at);
        if (!members.is_array()) throw Malformed(at + ".members must be a list of adapter handles");
        for (const Json &m : members) t.members.push_back(Unsigned(m, at + ".members"));
        t.properties = ReadProperties(item, at);
        s.addTeam(std::move(t));
    }
    i = 0;
    for (const Json &item : List(doc, "vlans")) {
        std::string at = "vlans[" + std::to_string(i++) + "]";
        if (!item.is_object()) throw Malformed(at + " must be an object");
        Vlan v;
        v.handle = Unsigned(Member(item, "handle", at), at + ".handle");
        v.parent = Unsigned(Member(item, "parent", at), at + ".parent");
        if (auto it = item.find("parameter"); it != item.end())
            v.parameter = Unsigned32(*it, at + ".parameter");
        v.properties = ReadProperties(item, at);
        const Handle handle = v.handle;
        if (!s.addVlan(std::move(v)))
            throw Malformed("it is inconsistent: handle " + std::to_string(handle) + " is used twice");
    }

    if (std::string problem = s.reindex(); !problem.empty())
        throw Malformed("it is inconsistent: " + problem);
    // An adapter's "team" is a convenience for the reader of the file: it
    // must agree with the teams' member lists.
    for (const auto &[adapter, stated] : statedTeams) {
        const Team *actual = s.teamOf(adapter);
        Handle h = actual ? actual->handle : 0;
        if (h != stated)
            throw Malformed("it is inconsistent: adapter " + std::to_string(adapter) +
                            " names team " + std::to_string(stated) + " but " +
                            (h ? "is a member of team " + std::to_string(h) : "no team lists it"));
    }
    return s;
}

Json ToJson(const State &s) {
    Json doc = Json::object();
    doc["format"] = kStateFormat;
    doc["nextHandle"] = s.nextHandle;
    Json types = Json::object();
    for (const auto &[type, profile] : s.adapterTypes) types[type] = WriteProfile(profile);
    doc["adapterTypes"] = types;
    doc["teamProfile"] = WriteProfile(s.teamProfile);
    doc["vlanProfile"] = WriteProfile(s.vlanProfile);
    Json adapters = Json::array();
    for (const Adapter &a : s.adapters()) {
        const Team *t = s.teamOf(a.handle);
        adapters.push_back({{"handle", a.handle},
                            {"definitionType", a.definitionType},
                            {"name", a.name},
                            {"label", a.label},
                            {"status", a.status < kStatusNames.size() ? Json(kStatusNames[a.status])
                                                                      : Json(a.status)},
                            {"team", t ? t->handle : 0},
                            {"info1", a.info1},
                            {"info2", a.info2},
                            {"properties", WriteProperties(a.properties)}});
    }
    doc["adapters"] = adapters;
    Json teams = Json::array();
    for (const Team &t : s.teams())
        teams.push_back({{"handle", t.handle},
                         {"kind", t.kind},
                         {"members", t.members},
                         {"properties", WriteProperties(t.properties)}});
    doc["teams"] = teams;
    Json vlans = Json::array();
    for (const auto &[handle, v] : s.vlans())
        vlans.push_back({{"handle", v.handle},
                         {"parent", v.parent},
                         {"parameter", v.parameter},
                         {"properties", WriteProperties(v.properties)}});
    doc["vlans"] = vlans;
    return doc;
}

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string StateFilePath() {
    if (std::string path = Environment("LXNICIF_STATE"); !path.empty()) return path;
    if (std::string dir = platform::DefaultStateDirectory(); !dir.empty())
        return (std::filesystem::path(dir) / "state.json").string();
    return {};
}

LoadResult ParseState(const std::string &text) {
    LoadResult result;
    try {
        Json doc = Json::parse(text);
        result.state = FromJson(doc);
        result.ok = true;
    } catch (const Json::parse_error &e) {
        result.problem = std::string("it is not valid JSON (") + e.what() + ")";
    } catch (const Json::exception &e) {
        result.problem = std::string("it is malformed (") + e.what() + ")";
    } catch (const Malformed &e) {
        result.problem = e.what();
    }
    return result;
}

State DefaultInventory() {
    LoadResult shipped = ParseState(kDefaultInventory);
    if (!shipped.ok) throw std::logic_error("the shipped default inventory is broken: " + shipped.problem);
    return shipped.state;
}

bool ReadStateBytes(const std::string &path, std::string &bytes) {
    bytes.clear();
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    if (status.type() != std::filesystem::file_type::regular) return false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    if (!in) return false;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    bytes = buffer.str();
    return true;
}

LoadResult LoadState(const std::string &path) {
    LoadResult result;
    if (path.empty()) {
        result.state = DefaultInventory();
        result.ok = true;
        return result;
    }
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        result.state = DefaultInventory();
        result.ok = true;
        return result;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        result.problem = ec ? "it cannot be examined (" + ec.message() + ")" : "it is not a regular file";
        return result;
    }
    std::string bytes;
    if (!ReadStateBytes(path, bytes)) {
        result.problem = std::string("it cannot be read (") + std::strerror(errno) + ")";
        return result;
    }
    result = ParseState(bytes);
    if (result.ok) result.text = std::move(bytes);
    return result;
}

std::string StateToText(const State &state) { return ToJson(state).dump(2) + "\n"; }

namespace {

// Creates the directory of the state file when needed; empty on success.
std::string PrepareDirectory(const std::string &path) {
    if (path.empty()) return std::string("no state file path: ") + platform::StateDirectoryHint();
    std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), ec);
        if (ec) return "cannot create " + target.parent_path().string() + ": " + ec.message();
    }
    return {};
}

constexpr const char *kTemporaryInfix = ".tmp-";

bool FlushStep() { return !Faults::step("flushing the temporary file"); }

}  // namespace

// Temporary files of processes that were killed while saving: plain files
// "<file>.tmp-PID" whose process is gone. Another process's live temporary
// is never touched.
void RemoveStaleTemporaries(const std::string &givenPath) {
    const std::string path = ResolveStatePath(givenPath);
    std::filesystem::path target(path);
    std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    const std::string prefix = target.filename().string() + kTemporaryInfix;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string pid = name.substr(prefix.size());
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        int owner = std::atoi(pid.c_str());
        if (owner == platform::ProcessId() || platform::ProcessAlive(owner)) continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored)) std::filesystem::remove(it->path(), ignored);
    }
}

std::string ResolveStatePath(const std::string &path) {
    // Follows a chain of symbolic links (relative ones from the folder of
    // the link) to the file it ends at, which need not exist yet.
    std::filesystem::path current(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(current, ec)) return current.string();
        std::filesystem::path target = std::filesystem::read_symlink(current, ec);
        if (ec) return current.string();
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.string();
}

std::string StateFileLock::acquire(const std::string &givenPath) {
    // Every name of the file (a link to it, say) locks the same lock.
    const std::string path = ResolveStatePath(givenPath);
    if (std::string problem = PrepareDirectory(path); !problem.empty()) return problem;
    return lock_.acquire(path + ".lock");
}

namespace {

constexpr const char *kNextHandleKey = "nextHandle ";

}  // namespace

Handle StateFileLock::reservedNext() const {
    // The lock file reads "nextHandle N".
    std::string text = lock_.read();
    const std::string key = kNextHandleKey;
    if (text.compare(0, key.size(), key) != 0) return 0;
    return std::strtoull(text.c_str() + key.size(), nullptr, 10);
}

Handle StateFileLock::reserveHandles(Handle atLeast, Handle count) {
    Handle first = std::max(reservedNext(), atLeast);
    lock_.write(kNextHandleKey + std::to_string(first + count) + "\n");
    return first;
}

void StateFileLock::returnHandles(Handle first, Handle end) {
    if (reservedNext() == end) lock_.write(kNextHandleKey + std::to_string(first) + "\n");
}

std::string SaveStateText(const std::string &givenPath, const std::string &text) {
    // A symbolic link stays a link: the file it leads to is replaced.
    const std::string path = ResolveStatePath(givenPath);
    if (std::string problem = PrepareDirectory(path); !problem.empty()) return problem;
    RemoveStaleTemporaries(path);
    std::string temporary = path + kTemporaryInfix + std::to_string(platform::ProcessId());
    if (Faults::step("writing the temporary file")) return "cannot write " + temporary + ": injected failure";
    if (std::string problem = platform::WriteThrough(temporary, text, FlushStep, path); !problem.empty()) {
        std::error_code ignored;
        if (!std::filesystem::is_directory(temporary, ignored)) std::filesystem::remove(temporary, ignored);
        return problem;
    }
    std::error_code ec;
    if (!Faults::step("renaming the temporary file over the state file"))
        std::filesystem::rename(temporary, path, ec);
    else
        ec = std::make_error_code(std::errc::io_error);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return "cannot write " + path + ": " + ec.message();
    }
    return {};
}

}  // namespace lxnicsim
