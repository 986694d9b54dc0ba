#include "ParamListing.h"

#include <algorithm>
#include <charconv>
#include <locale>
#include <sstream>

#include "ParamValue.h"
#include "TextEncoding.h"

namespace cli {

namespace {

std::string TrimEnd(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.pop_back();
    }
    return s;
}

std::string TrimBoth(std::string s)
{
    s = TrimEnd(std::move(s));
    const std::size_t first = s.find_first_not_of(" \t");
    return first == std::string::npos ? "" : s.substr(first);
}

std::string Pad(const std::string &s, std::size_t width)
{
    const std::size_t w = DisplayWidth(s);
    return w >= width ? s + " " : s + std::string(width - w, ' ');
}

// A float setting as the decimal it was written as (0.05, not
// 0.0500000007), for JSON, which holds doubles.
double Decimal(float value)
{
    const std::string text = FormatNumber(value);
    double out = value;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

std::string PadLeft(const std::string &s, std::size_t width)
{
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace

std::size_t DisplayWidth(const std::string &utf8)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        unsigned codePoint = lead;
        if (lead >= 0xF0) {
            length = 4;
            codePoint = lead & 0x07u;
        } else if (lead >= 0xE0) {
            length = 3;
            codePoint = lead & 0x0Fu;
        } else if (lead >= 0xC0) {
            length = 2;
            codePoint = lead & 0x1Fu;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        // East Asian wide characters: CJK, kana, Hangul and full-width forms.
        const bool wide = (codePoint >= 0x1100 && codePoint <= 0x115F) ||
                          (codePoint >= 0x2E80 && codePoint <= 0xA4CF) ||
                          (codePoint >= 0xAC00 && codePoint <= 0xD7A3) ||
                          (codePoint >= 0xF900 && codePoint <= 0xFAFF) ||
                          (codePoint >= 0xFF00 && codePoint <= 0xFF60) ||
                          (codePoint >= 0xFFE0 && codePoint <= 0xFFE6);
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

std::string FormatParamTable(const std::vector<ToolParam> &params)
{
    // One row of cells per parameter; popup items go on a line of their own.
    struct Row {
        std::string cells[6];
        std::string items;
    };
    const std::string header[6] = {"identifier", "name", "type", "default", "range", "meaning"};
    std::vector<Row> rows;
    std::size_t width[6] = {};
    for (int c = 0; c < 6; ++c) {
        width[c] = DisplayWidth(header[c]);
    }
    for (const ToolParam &p : params) {
        const host::ParamInfo &info = *p.info;
        Row row;
        row.cells[0] = p.identifier;
        row.cells[1] = TrimEnd(GbkToUtf8(info.name));
        row.cells[2] = TypeName(info.type);
        row.cells[3] = DescribeDefault(info);
        row.cells[4] = DescribeRange(info);
        row.cells[5] = p.meaning;
        if (info.type == PF_Param_POPUP && !info.popup_items.empty()) {
            row.items = "items:";
            for (std::size_t i = 0; i < info.popup_items.size(); ++i) {
                const std::string &item = info.popup_items[i];
                row.items += (i == 0 ? " " : ", ") + std::to_string(i + 1) + " " +
                             (IsSeparatorItem(item) ? std::string("(separator)")
                                                    : TrimBoth(GbkToUtf8(item)));
            }
        }
        for (int c = 0; c < 6; ++c) {
            width[c] = std::max(width[c], DisplayWidth(row.cells[c]));
        }
        rows.push_back(std::move(row));
    }

    std::ostringstream out;
    out.imbue(std::locale::classic());  // the effect may have changed the global locale
    out << "idx   id  ";
    for (int c = 0; c < 5; ++c) {
        out << Pad(header[c], width[c] + 2);
    }
    out << header[5] << "\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const host::ParamInfo &info = *params[r].info;
        out << PadLeft(std::to_string(params[r].index), 3) << PadLeft(std::to_string(info.id), 5)
            << "  ";
        for (int c = 0; c < 5; ++c) {
            out << Pad(rows[r].cells[c], width[c] + 2);
        }
        out << rows[r].cells[5] << "\n";
        if (!rows[r].items.empty()) {
            out << std::string(10, ' ') << rows[r].items << "\n";
        }
    }
    return out.str();
}

nlohmann::ordered_json ParamJson(const std::vector<ToolParam> &params)
{
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const ToolParam &p : params) {
        const host::ParamInfo &info = *p.info;
        const PF_ParamDef &d = info.def;
        nlohmann::ordered_json j;
        j["index"] = p.index;
        j["id"] = info.id;
        j["identifier"] = p.identifier;
        j["name"] = GbkToUtf8(info.name);
        j["meaning"] = p.meaning;
        j["type"] = TypeName(info.type);
        j["range"] = DescribeRange(info);
        switch (info.type) {
            case PF_Param_SLIDER:
                j["valid"] = {d.u.sd.valid_min, d.u.sd.valid_max};
                j["slider"] = {d.u.sd.slider_min, d.u.sd.slider_max};
                j["default"] = d.u.sd.dephault;
                break;
            case PF_Param_FLOAT_SLIDER:
                j["valid"] = {Decimal(d.u.fs_d.valid_min), Decimal(d.u.fs_d.valid_max)};
                j["slider"] = {Decimal(d.u.fs_d.slider_min), Decimal(d.u.fs_d.slider_max)};
                j["default"] = Decimal(d.u.fs_d.dephault);
                j["precision"] = d.u.fs_d.precision;
                j["percent"] = IsPercent(info);
                break;
            case PF_Param_POPUP: {
                j["default"] = d.u.pd.dephault;
                nlohmann::ordered_json items = nlohmann::ordered_json::array();
                for (std::size_t i = 0; i < info.popup_items.size(); ++i) {
                    const std::string &item = info.popup_items[i];
                    const bool separator = IsSeparatorItem(item);
                    items.push_back({{"value", i + 1},
                                     {"label", separator ? "" : TrimBoth(GbkToUtf8(item))},
                                     {"separator", separator}});
                }
                j["items"] = items;
                break;
            }
            case PF_Param_CHECKBOX:
                j["default"] = d.u.bd.dephault ? 1 : 0;
                break;
            case PF_Param_ANGLE:
                j["default"] = d.u.ad.dephault / 65536.0;
                break;
            case PF_Param_COLOR:
                j["default"] = {d.u.cd.dephault.red, d.u.cd.dephault.green, d.u.cd.dephault.blue};
                break;
            case PF_Param_POINT:
                // In percent of the layer's size, as point defaults are given.
                j["default_percent"] = {d.u.td.x_dephault / 65536.0, d.u.td.y_dephault / 65536.0};
                break;
            case PF_Param_LAYER:
                j["default"] = d.u.ld.dephault == PF_LayerDefault_MYSELF ? "self" : "none";
                break;
            default:
                break;
        }
        all.push_back(std::move(j));
    }
    return all;
}

}  // namespace cli
