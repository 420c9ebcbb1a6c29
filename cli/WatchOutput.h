#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvo {

// The lines `tarvoctl watch` prints: a table for a person at a terminal, CSV for files and
// pipes, or one JSON object per line. One row per poll of the entries.
class WatchOutput {
public:
    enum class Form { Table, Csv, Json };

    struct Column {
        std::string key;   // "606C:00"
        std::string name;  // "Velocity actual value"
        std::string unit;  // shown unit; empty, DEC or HEX for plain numbers
    };

    // One entry's sample of a row: its text in the shown unit and raw number, or the
    // drive's refusal.
    struct Cell {
        std::optional<std::string> text;
        long long raw = 0;
        std::optional<unsigned> abortCode;
    };

    WatchOutput(Form form, std::vector<Column> columns);

    // The header line (with its line end); JSON lines have none.
    std::string Header() const;
    // A row at `time` seconds since the watch began.
    std::string Row(double time, const std::vector<Cell>& cells) const;

private:
    static bool ShowsUnit(const std::string& unit);
    std::string Heading(const Column& column) const;

    Form form_;
    std::vector<Column> columns_;
    std::vector<size_t> widths_;  // table only
};

}  // namespace tarvo
