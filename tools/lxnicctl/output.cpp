#include "output.h"

#include <algorithm>

#include "console.h"
#include "records.h"
#include "text.h"

namespace lxnicctl {

namespace {

std::size_t DisplayWidth(const std::string &text) {
    std::size_t width = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    }
    return width;
}

}  // namespace

void PrintTable(std::ostream &out, const Row &rawHeader, const std::vector<Row> &rawRows) {
    // Every cell is shown escaped: a name cannot reach the terminal as a
    // control sequence.
    auto printable = [](const Row &row) {
        Row shown;
        for (const std::string &cell : row) shown.push_back(Printable(cell));
        return shown;
    };
    Row header = printable(rawHeader);
    std::vector<Row> rows;
    for (const Row &row : rawRows) rows.push_back(printable(row));
    std::size_t columns = header.size();
    for (const Row &row : rows) columns = std::max(columns, row.size());
    std::vector<std::size_t> widths(columns, 0);
    auto measure = [&](const Row &row) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    };
    measure(header);
    for (const Row &row : rows) measure(row);
    auto print = [&](const Row &row) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - DisplayWidth(row[i]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << "\n";
    };
    if (!header.empty()) print(header);
    for (const Row &row : rows) print(row);
}

std::string ReadableRange(const std::string &range) {
    std::string out;
    for (char c : range) {
        if (c == '|') {
            out += ", ";
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<Row> PanelRows(PanelEntry *list, bool all) {
    std::vector<Row> rows;
    for (PanelEntry *e : Entries(list)) {
        if (e->hide && !all) continue;
        std::string range = ReadableRange(ToUtf8(e->range));
        std::string step = ToUtf8(e->step);
        if (!range.empty() && !step.empty() && step != "1" && step != "0" &&
            range.find(", ") == std::string::npos) {
            range += " step " + step;
        }
        rows.push_back({ToUtf8(e->id), ToUtf8(e->displayName), ShownValue(e), range, ToUtf8(e->defaultValue)});
    }
    return rows;
}

nlohmann::json PanelJson(PanelEntry *list, bool all) {
    nlohmann::json entries = nlohmann::json::array();
    auto text = [](const lx_wchar *t) -> nlohmann::json {
        return t == nullptr ? nlohmann::json(nullptr) : nlohmann::json(ToUtf8(t));
    };
    for (PanelEntry *e : Entries(list)) {
        if (e->hide && !all) continue;
        nlohmann::json entry = {
            {"id", text(e->id)},           {"displayName", text(e->displayName)},
            {"value", text(e->value)},     {"range", text(e->range)},
            {"default", text(e->defaultValue)}, {"controlType", text(e->controlType)},
            {"hint", text(e->hint)},       {"propertyNumber", text(e->linkId)},
        };
        if (e->derivedValue != nullptr) entry["derivedValue"] = ToUtf8(e->derivedValue);
        if (e->rangeType != nullptr) entry["rangeType"] = ToUtf8(e->rangeType);
        if (e->step != nullptr) entry["step"] = ToUtf8(e->step);
        if (e->hide) entry["hidden"] = true;
        if (e->vbdRestart) entry["takesRestart"] = true;
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace lxnicctl
