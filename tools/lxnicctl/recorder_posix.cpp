// The NIC interface library's property writes, defined by lxnicctl itself:
// the configuration library's calls reach these first (the program's own
// definitions come first in the dynamic linker's lookup), which pass them on
// to the library and note the writes made while panels are read.
#include <dlfcn.h>

#include <string>

#include "lxnicif.h"
#include "recorder.h"
#include "text.h"

namespace lxnicctl::recorder {

bool Reading();
void Note(ReadWrite write);

namespace {

using SetFunction = uint32_t (*)(uint64_t, uint32_t, const void *, uint32_t);
using GetFunction = uint32_t (*)(uint64_t, uint32_t, lx_wchar **, uint8_t *);

template <typename Function>
Function Next(const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string ValueText(const void *value, uint32_t size) {
    if (value == nullptr) return {};
    const auto *units = static_cast<const char16_t *>(value);
    std::u16string text;
    std::size_t limit = size == 0xFFFFFFFFu ? std::u16string::npos : size / 2;
    for (std::size_t i = 0; i < limit && units[i] != 0; ++i) text += units[i];
    return ToUtf8(text);
}

uint32_t Write(Kind kind, const char *setName, const char *getName, uint64_t handle, uint32_t property,
               const void *value, uint32_t size) {
    static_assert(sizeof(lx_wchar) == sizeof(char16_t));
    SetFunction set = Next<SetFunction>(setName);
    if (set == nullptr) return 8;
    std::string found;
    bool reading = Reading();
    if (reading) {
        GetFunction get = Next<GetFunction>(getName);
        lx_wchar *text = nullptr;
        uint8_t mustFree = 0;
        if (get != nullptr && get(handle, property, &text, &mustFree) == 0) found = ToUtf8(text);
        if (mustFree) std::free(text);
    }
    uint32_t result = set(handle, property, value, size);
    if (reading && (result == 0 || result == 7)) Note({kind, handle, property, found, ValueText(value, size)});
    return result;
}

}  // namespace

}  // namespace lxnicctl::recorder

using namespace lxnicctl::recorder;

extern "C" {

__attribute__((visibility("default"))) uint32_t NicIfSetAdapterProperty(uint64_t handle, uint32_t property,
                                                                          const void *value, uint32_t size) {
    return Write(Kind::Adapter, "NicIfSetAdapterProperty", "NicIfGetAdapterProperty", handle, property, value, size);
}

__attribute__((visibility("default"))) uint32_t NicIfSetTeamProperty(uint64_t handle, uint32_t property,
                                                                       const void *value, uint32_t size) {
    return Write(Kind::Team, "NicIfSetTeamProperty", "NicIfGetTeamProperty", handle, property, value, size);
}

__attribute__((visibility("default"))) uint32_t NicIfSetVlanProperty(uint64_t handle, uint32_t property,
                                                                       const void *value, uint32_t size) {
    return Write(Kind::Vlan, "NicIfSetVlanProperty", "NicIfGetVlanProperty", handle, property, value, size);
}

}  // extern "C"
