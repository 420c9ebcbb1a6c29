#include "cli/WatchOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "oscilloscope/ScopeExport.h"

namespace tarvo {

namespace {

constexpr size_t kTimeWidth = 10;

// Microseconds: two exchanges over a fast line may lie less than a millisecond apart.
std::string TimeText(double time, bool table) {
    char text[32];
    std::snprintf(text, sizeof text, table ? "%.3f" : "%.6f", time);
    return text;
}

std::string PadLeft(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// A number stays a number in JSON; anything else (hexadecimal texts) is a string.
nlohmann::json JsonValue(const std::string& text) {
    char* end = nullptr;
    double number = std::strtod(text.c_str(), &end);
    bool numeric = !text.empty() && end != nullptr && *end == '\0' && text.rfind("0x", 0) != 0;
    return numeric ? nlohmann::json(number) : nlohmann::json(text);
}

}  // namespace

WatchOutput::WatchOutput(Form form, std::vector<Column> columns)
    : form_(form), columns_(std::move(columns)) {
    for (const Column& column : columns_) {
        widths_.push_back(std::max<size_t>(Heading(column).size(), 12));
    }
}

bool WatchOutput::ShowsUnit(const std::string& unit) {
    return !unit.empty() && unit != "DEC" && unit != "HEX";
}

std::string WatchOutput::Heading(const Column& column) const {
    if (form_ == Form::Table) {
        return ShowsUnit(column.unit) ? column.key + " (" + column.unit + ")" : column.key;
    }
    std::string heading = column.key + " " + column.name;
    return ShowsUnit(column.unit) ? heading + " (" + column.unit + ")" : heading;
}

std::string WatchOutput::Header() const {
    std::string line;
    switch (form_) {
        case Form::Json:
            return {};
        case Form::Csv:
            line = "time (s)";
            for (const Column& column : columns_) {
                line += ',' + ScopeExport::CsvCell(Heading(column));
            }
            return line + '\n';
        case Form::Table:
            line = PadLeft("time (s)", kTimeWidth);
            for (size_t i = 0; i < columns_.size(); ++i) {
                line += "  " + PadLeft(Heading(columns_[i]), widths_[i]);
            }
            return line + '\n';
    }
    return line;
}

std::string WatchOutput::Row(double time, const std::vector<Cell>& cells) const {
    std::string line;
    if (form_ == Form::Json) {
        nlohmann::json values = nlohmann::json::array();
        for (size_t i = 0; i < columns_.size() && i < cells.size(); ++i) {
            nlohmann::json value = {{"key", columns_[i].key}};
            if (cells[i].abortCode) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "0x%08x", *cells[i].abortCode);
                value["abort"] = hex;
            } else if (cells[i].text) {
                value["raw"] = cells[i].raw;
                value["value"] = JsonValue(*cells[i].text);
                if (ShowsUnit(columns_[i].unit)) {
                    value["unit"] = columns_[i].unit;
                }
            }
            values.push_back(value);
        }
        nlohmann::json row = {{"time", std::round(time * 1e6) / 1e6}, {"values", values}};
        return row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
    }
    const bool table = form_ == Form::Table;
    line = table ? PadLeft(TimeText(time, true), kTimeWidth) : TimeText(time, false);
    for (size_t i = 0; i < columns_.size(); ++i) {
        std::string text;
        if (i < cells.size() && cells[i].text) {
            text = *cells[i].text;
        } else if (table) {
            text = i < cells.size() && cells[i].abortCode ? "refused" : "-";
        }
        line += table ? "  " + PadLeft(text, widths_[i]) : "," + ScopeExport::CsvCell(text);
    }
    return line + '\n';
}

}  // namespace tarvo
