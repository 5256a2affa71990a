// Tables for people and JSON for scripts.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "lxniccfg.h"

namespace lxnicctl {

using Row = std::vector<std::string>;

// Columns padded to their widest cell (counted in characters, not bytes),
// every cell escaped for the terminal (Printable). An empty header prints
// no header line.
void PrintTable(std::ostream &out, const Row &header, const std::vector<Row> &rows);

// A range as people read it: "a|b|c" as "a, b, c"; "lo-hi" stays. The
// table of a panel adds the step where one applies ("80-2048 step 8").
std::string ReadableRange(const std::string &range);

// One panel: its entries as table rows (property id, display name, value,
// range, default) or as JSON objects. Hidden entries only with `all`.
std::vector<Row> PanelRows(PanelEntry *list, bool all);
nlohmann::json PanelJson(PanelEntry *list, bool all);

}  // namespace lxnicctl
