// The parameter listing of `stipplex params`: a table for people and JSON
// for programs, with the same fields. The effect's display names and popup
// items are GBK bytes; both forms show them as UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Session.h"

namespace cli {

std::string FormatParamTable(const std::vector<ToolParam> &params);

// An array of objects: index, id, identifier, name, meaning, type, range
// (as text), default (typed), and by type: valid, slider (pairs of
// numbers), precision, percent, items ({value, label, separator}).
nlohmann::ordered_json ParamJson(const std::vector<ToolParam> &params);

// Columns a UTF-8 text takes on a terminal: CJK characters take two.
std::size_t DisplayWidth(const std::string &utf8);

}  // namespace cli
