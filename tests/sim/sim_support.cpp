#include "sim_support.h"

#include <cstdio>
#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sim_test {

std::u16string W(const std::string &utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        char32_t c;
        int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string N(const char16_t *text) {
    std::string out;
    for (std::size_t i = 0; text && text[i]; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && text[i + 1]) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
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

void SimTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lxnicif-sim-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    state_ = dir_ + "/state.json";
    setenv("LXNICIF_STATE", state_.c_str(), 1);
    NicIfClose(0);
}

void SimTest::TearDown() {
    NicIfClose(0);
    unsetenv("LXNICIF_STATE");
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
}

std::string SimTest::readState() const {
    std::ifstream in(state_, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void SimTest::writeState(const std::string &bytes) const {
    std::ofstream out(state_, std::ios::binary);
    out << bytes;
}

bool SimTest::stateExists() const { return std::filesystem::exists(state_); }

std::vector<std::string> SimTest::files() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    return names;
}

int InAnotherProcess(const std::function<void()> &body) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        NicIfClose(0);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<uint32_t, std::string> Read(Kind kind, uint64_t handle, uint32_t property) {
    lx_wchar *value = nullptr;
    uint8_t mustFree = 0;
    uint32_t code = kind == Kind::Adapter ? NicIfGetAdapterProperty(handle, property, &value, &mustFree)
                    : kind == Kind::Team  ? NicIfGetTeamProperty(handle, property, &value, &mustFree)
                                          : NicIfGetVlanProperty(handle, property, &value, &mustFree);
    std::string text = N(value);
    if (code == 0) EXPECT_EQ(mustFree, 1);
    else EXPECT_EQ(value, nullptr);
    if (mustFree) std::free(value);
    return {code, text};
}

uint32_t Write(Kind kind, uint64_t handle, uint32_t property, const std::string &value) {
    std::u16string text = W(value);
    auto size = static_cast<uint32_t>((text.size() + 1) * 2);
    switch (kind) {
    case Kind::Adapter: return NicIfSetAdapterProperty(handle, property, text.c_str(), size);
    case Kind::Team: return NicIfSetTeamProperty(handle, property, text.c_str(), size);
    case Kind::Vlan: return NicIfSetVlanProperty(handle, property, text.c_str(), size);
    }
    return 0xFFFFFFFF;
}

Inventory Enumerate() {
    Inventory out;
    void *nics = nullptr, *teams = nullptr, *vlans = nullptr;
    uint32_t nicCount = 0, teamCount = 0, vlanCount = 0;
    out.code = NicIfEnumerate(&nics, &nicCount, &teams, &teamCount, &vlans, &vlanCount, 0);
    auto *a = static_cast<NicIfAdapterElement *>(nics);
    for (uint32_t i = 0; a && i < nicCount; ++i) {
        out.adapters.push_back({a[i].handle, a[i].teamHandle, N(a[i].definitionType), N(a[i].name),
                                N(a[i].label), a[i].status, a[i].info1, a[i].activeInTeam});
        std::free(a[i].definitionType);
        std::free(a[i].name);
    }
    auto *t = static_cast<NicIfTeamElement *>(teams);
    for (uint32_t i = 0; t && i < teamCount; ++i) {
        out.teams.push_back({t[i].handle, t[i].teamInfo1, t[i].teamInfo2, N(t[i].teamText), t[i].kind});
        std::free(t[i].teamText);
    }
    auto *v = static_cast<NicIfVlanElement *>(vlans);
    for (uint32_t i = 0; v && i < vlanCount; ++i) out.vlans.push_back({v[i].handle, v[i].parentHandle});
    EXPECT_EQ(nics == nullptr, nicCount == 0);
    EXPECT_EQ(teams == nullptr, teamCount == 0);
    EXPECT_EQ(vlans == nullptr, vlanCount == 0);
    std::free(nics);
    std::free(teams);
    std::free(vlans);
    return out;
}

template <typename T>
static const T *FindView(const std::vector<T> &items, uint64_t h) {
    for (const T &item : items)
        if (item.handle == h) return &item;
    return nullptr;
}

const Inventory::AdapterView *Inventory::adapter(uint64_t h) const { return FindView(adapters, h); }
const Inventory::TeamView *Inventory::team(uint64_t h) const { return FindView(teams, h); }
const Inventory::VlanView *Inventory::vlan(uint64_t h) const { return FindView(vlans, h); }

Records::Records(std::initializer_list<std::pair<uint32_t, std::string>> values) {
    for (const auto &[number, text] : values) texts_.push_back(W(text));
    std::size_t i = 0;
    for (const auto &[number, text] : values) {
        PropertyRecord r{};
        r.propertyNumber = number;
        r.value = texts_[i].data();
        r.size = static_cast<uint32_t>((texts_[i].size() + 1) * 2);
        records_.push_back(r);
        ++i;
    }
}

}  // namespace sim_test
