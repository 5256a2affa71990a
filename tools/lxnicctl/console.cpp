#include "console.h"

#include <cstdio>
#include <iostream>

#include "library.h"

namespace lxnicctl {

namespace {

OutputOptions g_options;
std::ostream g_discard(nullptr);

nlohmann::json &Root() {
    static nlohmann::json root = nlohmann::json::object();
    return root;
}

}  // namespace

namespace console {

void Configure(const OutputOptions &options) { g_options = options; }
const OutputOptions &Options() { return g_options; }

std::ostream &Text() { return g_options.json || g_options.quiet ? g_discard : std::cout; }
std::ostream &Listing() { return g_options.json ? g_discard : std::cout; }
nlohmann::json &Document() { return Root(); }

void Note(const std::string &text) {
    if (g_options.json) Root()["notes"].push_back(text);
    if (g_options.quiet) return;
    std::cout << std::flush;
    std::cerr << "lxnicctl: note: " << Printable(text) << "\n" << std::flush;
}

void Warning(const std::string &text) {
    if (g_options.json) Root()["warnings"].push_back(text);
    std::cout << std::flush;
    std::cerr << "lxnicctl: warning: " << Printable(text) << "\n" << std::flush;
}

void Verbose(const std::string &text) {
    if (!g_options.verbose) return;
    std::cout << std::flush;
    std::cerr << "lxnicctl: " << Printable(text) << "\n" << std::flush;
}

void Change(std::ostream &out, const ValueChange &c) { Change(out, c, Root()["changes"]); }

void Change(std::ostream &out, const ValueChange &c, nlohmann::json &list) {
    auto textOrNull = [](bool present, const std::string &text) {
        return present ? nlohmann::json(text) : nlohmann::json(nullptr);
    };
    nlohmann::json forced = nullptr;
    if (!c.forcedBy.empty()) forced = {{"property", c.forcedBy}, {"value", c.forcedByValue}};
    nlohmann::json change = {{"object", c.object},
                             {"property", c.property},
                             {"from", textOrNull(!c.isNew, c.from)},
                             {"to", c.to},
                             {"forcedBy", forced},
                             {"cause", c.cause}};
    if (c.cause == "team") change["team"] = c.team;
    if (c.cause == "reset") change["found"] = c.raw;
    if (list.is_null()) list = nlohmann::json::array();
    list.push_back(change);
    if (c.isNew) {
        out << "  " << c.property << " = \"" << Printable(c.to) << "\"";
    } else {
        out << "  " << c.property << ": \"" << Printable(c.from) << "\" -> \"" << Printable(c.to) << "\"";
    }
    if (!c.forcedBy.empty()) out << " (forced by " << c.forcedBy << " = \"" << Printable(c.forcedByValue) << "\")";
    if (c.cause == "team") out << " (set by team \"" << Printable(c.team) << "\" on its members)";
    if (c.cause == "members") out << " (what its members hold)";
    if (c.cause == "reset") out << " (reset: \"" << Printable(c.raw) << "\" is not one of its values)";
    out << "\n";
}

namespace {
int g_exitCode = 0;
int g_failureExitCode = 1;
}  // namespace

void SetExitCode(int code) { g_exitCode = code; }
int ExitCode() { return g_exitCode; }
void SetFailureExitCode(int code) { g_failureExitCode = code; }
int FailureExitCode() { return g_failureExitCode; }

void Finish() {
    std::cout << std::flush;
    if (!g_options.json) return;
    nlohmann::json &root = Root();
    std::cout << root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n" << std::flush;
}

void Fail(int exitCode, const std::string &message, const std::string &call, bool hasResult,
          uint32_t result, const std::string &meaning) {
    std::cout << std::flush;
    std::cerr << "lxnicctl: " << Printable(message) << "\n" << std::flush;
    if (!g_options.json) return;
    nlohmann::json error = {
        {"message", message},
        {"call", call.empty() ? nlohmann::json(nullptr) : nlohmann::json(call)},
        {"result", hasResult ? nlohmann::json(result) : nlohmann::json(nullptr)},
        {"meaning", hasResult ? nlohmann::json(meaning) : nlohmann::json(nullptr)},
        {"exitCode", exitCode},
    };
    nlohmann::json out = {{"error", error}};
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n" << std::flush;
}

}  // namespace console

std::string Printable(const std::string &text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            }
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A whole, shortest-form UTF-8 sequence passes, except the C1
        // controls U+0080..U+009F; anything else is shown byte by byte.
        std::size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        char32_t cp = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))) valid = false;
        if (!valid) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
            continue;
        }
        if (cp >= 0x80 && cp < 0xA0) {
            out += "\\u00";
            out += kHex[(cp >> 4) & 0xF];
            out += kHex[cp & 0xF];
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

}  // namespace lxnicctl
