#include <gtest/gtest.h>

#include "cli/ArgumentText.h"
#include "cli/WatchOutput.h"

namespace tarvo {
namespace {

std::vector<WatchOutput::Column> Columns() {
    return {{"606C:00", "Velocity actual value", "rpm"}, {"6041:00", "Status, word", "HEX"}};
}

std::vector<WatchOutput::Cell> Cells() {
    WatchOutput::Cell velocity{std::string("-12.500"), 4294967000LL, std::nullopt};
    WatchOutput::Cell refused{std::nullopt, 0, 0x06020000u};
    return {velocity, refused};
}

TEST(WatchOutput, CsvKeepsNamesUnitsAndEmptyCells) {
    WatchOutput csv(WatchOutput::Form::Csv, Columns());
    EXPECT_EQ(csv.Header(),
              "time (s),606C:00 Velocity actual value (rpm),\"6041:00 Status, word\"\n");
    EXPECT_EQ(csv.Row(1.2345678, Cells()), "1.234568,-12.500,\n");
    EXPECT_EQ(csv.Row(0, {Cells()[0]}), "0.000000,-12.500,\n");  // a missing cell stays empty
}

TEST(WatchOutput, TableAlignsAndNamesRefusals) {
    WatchOutput table(WatchOutput::Form::Table, Columns());
    EXPECT_EQ(table.Header(), "  time (s)  606C:00 (rpm)       6041:00\n");
    EXPECT_EQ(table.Row(12.5, Cells()), "    12.500        -12.500       refused\n");
}

TEST(WatchOutput, JsonLinesCarryRawValueUnitAndAbort) {
    WatchOutput json(WatchOutput::Form::Json, Columns());
    EXPECT_EQ(json.Header(), "");
    EXPECT_EQ(json.Row(0.5000004, Cells()),
              "{\"time\":0.5,\"values\":[{\"key\":\"606C:00\",\"raw\":4294967000,\"unit\":\"rpm\","
              "\"value\":-12.5},{\"abort\":\"0x06020000\",\"key\":\"6041:00\"}]}\n");
    WatchOutput hex(WatchOutput::Form::Json, {{"6041:00", "Statusword", "HEX"}});
    EXPECT_EQ(
        hex.Row(0, {{std::string("0x0237"), 567, std::nullopt}}),
        "{\"time\":0.0,\"values\":[{\"key\":\"6041:00\",\"raw\":567,\"value\":\"0x0237\"}]}\n");
}

TEST(ArgumentText, DurationsWithAndWithoutUnits) {
    for (auto [text, seconds] : std::vector<std::pair<std::string, double>>{
             {"90", 90}, {"90s", 90}, {"500ms", 0.5}, {"5m", 300}, {"2h", 7200}}) {
        double parsed = 0;
        EXPECT_TRUE(ArgumentText::ParseDuration(text, parsed)) << text;
        EXPECT_DOUBLE_EQ(parsed, seconds) << text;
    }
    for (std::string bad : {"", "0", "0s", "s", "ms", "5x", "-5s", "1.5s", "5 s", "5sm"}) {
        double parsed = 0;
        EXPECT_FALSE(ArgumentText::ParseDuration(bad, parsed)) << bad;
    }
}

}  // namespace
}  // namespace tarvo
