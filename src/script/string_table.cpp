#include "script/string_table.h"

#include "platform/platform.h"

namespace lxniccfg {
namespace {

struct StringResource {
    unsigned id;
    const char *text;
};

#define LX_STRING(id, text) {id, text},
constexpr StringResource kEnglish[] = {
#include "../../resources/strings_en.inc"
};

constexpr StringResource kJapanese[] = {
#include "../../resources/strings_ja.inc"
};
#undef LX_STRING

template <std::size_t N>
const char *Find(const StringResource (&table)[N], unsigned id) {
    for (const StringResource &entry : table)
        if (entry.id == id) return entry.text;
    return "";
}

}  // namespace

const char *LoadString(unsigned id, bool japanese) {
    return japanese ? Find(kJapanese, id) : Find(kEnglish, id);
}

std::string LoadString(unsigned id) {
    if (std::optional<std::string> text = platform::resourceString(id)) return *std::move(text);
    return LoadString(id, platform::japaneseMessages());
}

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(format.size() + 64);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char kind = format[i + 1];
            if (kind == '%') {
                out.push_back('%');
                ++i;
                continue;
            }
            if (kind == 's' || kind == 'd') {
                if (next != args.end()) out.append(*next++);
                ++i;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

void CutUtf8(std::string &text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return;
    std::size_t cut = maxBytes;
    // Step back over continuation bytes to the start of the character that
    // would be split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
}

}  // namespace lxniccfg
