#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/Utf16Text.h"
#include "platform/AtomicFile.h"
#include "tests/oscilloscope/ScopeRig.h"

namespace tarvo::test {
namespace {

ScopeRecord SampleRecord() {
    ScopeRecord record;
    record.time = 16;
    record.offset = 10;
    record.number = 3;
    record.triggerItem = 1;
    record.triggerItemValue = 0x606C00;
    record.triggerCollectValue = "120.000000";
    record.triggerCollectUnit = 0;
    record.channels[0] = {true, 0x60770010, 200, -500, 1, 1, 1};
    record.channels[2] = {true, static_cast<int32_t>(0x60640020), 5e-2, 0.25, 0.117188, 0, 0};
    for (int k = 0; k < 4; ++k) {
        PlotRecord sample;
        sample.mask = 0b101;
        sample.values = {12.0 + k, 0, -40.0 - k, 0};
        record.samples.push_back(sample);
    }
    return record;
}

TEST(ScopeFiles, RecordFileLinesAndRoundTrip) {
    std::string bytes = ScopeRecordFile::Encode(SampleRecord());
    // UTF-16LE without byte-order mark.
    EXPECT_EQ(bytes.substr(0, 6), std::string("[\0o\0s\0", 6));
    std::string text = Utf16Text::ToUtf8(bytes);
    EXPECT_EQ(text.substr(0, 84),
              "[oscilloscope]\ntime=16\noffset=10\nnumber=3\ntrigger item=1\n"
              "trigger item value=6319104\n");
    EXPECT_NE(text.find("\nch1 check=1\nch1 item=1618411536\nch1 scale=200.000000\n"
                        "ch1 offset=-500.000000\nch1 unit coef=1.000000\nch1 unit=1\nch1 auto=1\n"
                        "ch2 check=0\nch3 check=1\n"),
              std::string::npos);
    EXPECT_EQ(text.find("ch2 item"), std::string::npos);
    EXPECT_NE(text.find("\nch1-1=12\nch3-1=-40\nch1-2=13\n"), std::string::npos);

    // "number" is 3: only the first three of the four sample records come back.
    ScopeRecord back;
    ASSERT_EQ(ScopeRecordFile::Decode(bytes, back), ScopeRecordFile::ReadResult::kOk);
    EXPECT_EQ(back.samples.size(), 3u);
    EXPECT_EQ(back.samples[2].values[2], -42.0);
    EXPECT_EQ(back.channels[2].item, static_cast<int32_t>(0x60640020));
    EXPECT_DOUBLE_EQ(back.channels[2].unitCoefficient, 0.117188);
    EXPECT_EQ(back.triggerCollectValue, "120.000000");
    EXPECT_FALSE(back.channels[1].checked);

    // A hand-written file: any case of names, blanks, missing keys read as 0.
    std::string hand = "[Oscilloscope]\n Number = 2\nCH2 CHECK=1\nch2-1=5\nch2-2=-6\n";
    ASSERT_EQ(ScopeRecordFile::Decode(Utf16Text::FromUtf8(hand), back),
              ScopeRecordFile::ReadResult::kOk);
    EXPECT_EQ(back.time, 0);
    ASSERT_EQ(back.samples.size(), 2u);
    EXPECT_EQ(back.samples[1].values[1], -6.0);
}

TEST(ScopeFiles, BadRecordFilesAreRefused) {
    using R = ScopeRecordFile::ReadResult;
    std::string good = ScopeRecordFile::Encode(SampleRecord());
    ScopeRecord out;
    out.time = 99;
    EXPECT_EQ(ScopeRecordFile::Decode("", out), R::kEmpty);
    EXPECT_EQ(ScopeRecordFile::Decode(good.substr(0, good.size() - 1), out), R::kOddSize);
    EXPECT_EQ(ScopeRecordFile::Decode(good.substr(0, good.size() - 10), out), R::kTruncated);
    EXPECT_EQ(ScopeRecordFile::Decode(Utf16Text::FromUtf8("hello\n"), out), R::kNotRecord);
    EXPECT_EQ(
        ScopeRecordFile::Decode(Utf16Text::FromUtf8("[oscilloscope]\nnumber=3\nch1-1=5"), out),
        R::kTruncated);
    std::string huge = "[oscilloscope]\nnumber=5000\nch1 check=1\n";
    EXPECT_EQ(ScopeRecordFile::Decode(Utf16Text::FromUtf8(huge), out), R::kTooLong);
    EXPECT_EQ(out.time, 99);  // nothing was taken over
    EXPECT_NE(std::string(ScopeRecordFile::Message(R::kTruncated)), "");
}

TEST(ScopeFiles, SampleTableBitmapAndPath) {
    EXPECT_EQ(ScopeExport::SampleTable(SampleRecord().samples).substr(0, 14), "12,-40,\n13,-41");
    PlotRecord wide;
    wide.mask = 0xF;
    wide.values = {-2147483648.0, 4294967295.0, -2147483648.0, 4294967295.0};
    EXPECT_EQ(ScopeExport::SampleTable({wide}), "-2147483648,4294967295,-2147483648,4294967295,\n");

    // 3 x 2 pixels: rows of 9 bytes padded to 12, stored bottom-up as blue, green, red.
    std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    std::string bmp = ScopeExport::Bitmap(3, 2, rgb);
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 |
               uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 3])) << 24;
    };
    ASSERT_EQ(bmp.size(), 54u + 24u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(u32(2), 78u);
    EXPECT_EQ(u32(6), 0u);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u);
    EXPECT_EQ(u32(26), 1u | 24u << 16);  // planes, bits per pixel
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(uint8_t(bmp[54]), 12);  // bottom row first, blue first
    EXPECT_EQ(uint8_t(bmp[56]), 10);
    EXPECT_EQ(uint8_t(bmp[66]), 3);

    EXPECT_EQ(ScopeExport::NormalisePath("/data/run.1.csv", "csv"), "/data/run.csv");
    EXPECT_EQ(ScopeExport::NormalisePath("/home/a.b/run.txt", "txt"), "/home/a.b/run.txt");
    EXPECT_EQ(ScopeExport::NormalisePath("/x/name", "bmp"), "/x/name.bmp");
}

TEST(ScopeFiles, ExportAndImportThroughTheModel) {
    ScopeRig rig;
    while (!rig.link.requests.empty()) {
        rig.Answer(0);
    }
    rig.model.ApplyRecord(SampleRecord());
    // Import restores curves and settings without asking the drive anything.
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_EQ(rig.model.form().periodText, "1.00ms");
    EXPECT_EQ(rig.model.form().trigger.position, 1);
    EXPECT_TRUE(rig.model.form().channels[0].checked);
    EXPECT_EQ(rig.model.form().channels[0].scaleText, "2e2");
    EXPECT_EQ(rig.model.form().channels[2].offsetText, "0.250");
    EXPECT_EQ(rig.model.plot().At(3).points.size(), 4u);

    ScopeRecord again = rig.model.MakeRecord();
    EXPECT_EQ(again.channels[2].item, static_cast<int32_t>(0x60640020));
    EXPECT_EQ(again.samples.size(), 4u);
    std::string path = rig.folder.File("run.txt");
    EXPECT_EQ(ScopeRecordFile::Write(path, again), "");
    ScopeRecord read;
    ASSERT_EQ(ScopeRecordFile::Read(path, read), ScopeRecordFile::ReadResult::kOk);
    // The form's settings as the file holds them; the unit of channel 1 is one its item
    // does not have, so the form shows the first. "number" is what was captured.
    const std::string file =
        "[oscilloscope]\ntime=16\noffset=10\nnumber=4\ntrigger item=1\n"
        "trigger item value=6319104\ntrigger collect value=120.000000\n"
        "trigger collect unit=0\ncontinue=0\n"
        "ch1 check=1\nch1 item=1618411536\nch1 scale=200.000000\nch1 offset=-500.000000\n"
        "ch1 unit coef=1.000000\nch1 unit=0\nch1 auto=1\nch2 check=0\n"
        "ch3 check=1\nch3 item=1617166368\nch3 scale=0.050000\nch3 offset=0.250000\n"
        "ch3 unit coef=0.117188\nch3 unit=0\nch3 auto=0\nch4 check=0\n"
        "ch1-1=12\nch3-1=-40\nch1-2=13\nch3-2=-41\nch1-3=14\nch3-3=-42\nch1-4=15\nch3-4=-43\n";
    std::string written;
    ASSERT_TRUE(AtomicFile::Read(path, written));
    EXPECT_EQ(Utf16Text::ToUtf8(written), file);
    EXPECT_EQ(Utf16Text::ToUtf8(ScopeRecordFile::Encode(read)), file);
    EXPECT_EQ(read.samples.size(), 4u);
    EXPECT_EQ(read.channels[0].autoScale, 1);
    EXPECT_FALSE(read.channels[1].checked);
}

// Found by fuzzing: a value was cut to 63 bytes, which could end inside a character; written
// again, the broken character became another one. The buffer holds 63 characters.
TEST(ScopeFiles, LongValuesAreCutBetweenCharacters) {
    const std::string level = std::string(61, '1') + "\xC3\x84\xC3\x84\xC3\x84";  // 64 characters
    ScopeRecord record;
    ASSERT_EQ(
        ScopeRecordFile::Decode(
            Utf16Text::FromUtf8("[oscilloscope]\ntrigger collect value=" + level + "\n"), record),
        ScopeRecordFile::ReadResult::kOk);
    EXPECT_EQ(record.triggerCollectValue, level.substr(0, 61 + 4));
    ScopeRecord again;
    ASSERT_EQ(ScopeRecordFile::Decode(ScopeRecordFile::Encode(record), again),
              ScopeRecordFile::ReadResult::kOk);
    EXPECT_EQ(again.triggerCollectValue, record.triggerCollectValue);

    // Found by fuzzing: a real too long for the buffer in fixed notation (a scale of 1e147
    // has 155 characters) came back as 1e63, and each export and import took another digit.
    record.channels[3] = {true, 0x60640020, 1e147, -2.5e300, 0.125, 0, 0};
    ASSERT_EQ(ScopeRecordFile::Decode(ScopeRecordFile::Encode(record), again),
              ScopeRecordFile::ReadResult::kOk);
    EXPECT_EQ(again.channels[3].scale, 1e147);
    EXPECT_EQ(again.channels[3].offset, -2.5e300);
    EXPECT_NE(Utf16Text::ToUtf8(ScopeRecordFile::Encode(record)).find("ch4 unit coef=0.125000\n"),
              std::string::npos);
}

// Found by fuzzing: a checked channel without an item (or with the signed mark alone) was
// imported unchecked, or exported without its item, but with its curve, which the export then wrote
// as sample lines that the next import ignored.
TEST(ScopeFiles, ACheckedChannelWithoutAnItemImportsWithoutACurve) {
    const std::string file = Utf16Text::FromUtf8(
        "[Oscilloscope]\nnumber=2\ntrigger item=0\nch1 check=1\nch1 item=1617166368\n"
        "ch3 check=1\nch3 item=1\u3036\n"
        "ch4 check=1\nch4 izem=1617166368\nch4 scale=1e-6\n"
        "ch1-1=7\nch1-2=8\nch3-1=1\nch3-2=2\nch4-1=2147483647\nch4-2=-2147483648\n");
    ScopeRecord record;
    ASSERT_EQ(ScopeRecordFile::Decode(file, record), ScopeRecordFile::ReadResult::kOk);
    ScopeRig rig;
    rig.model.ApplyRecord(record);
    EXPECT_TRUE(rig.model.form().channels[0].checked);
    // Channel 3's item is the signed mark alone, which names no object.
    EXPECT_FALSE(rig.model.form().channels[2].checked);
    EXPECT_FALSE(rig.model.form().channels[3].checked);
    EXPECT_EQ(rig.model.plot().At(1).points.size(), 2u);
    EXPECT_TRUE(rig.model.plot().At(3).points.empty());
    EXPECT_TRUE(rig.model.plot().At(4).points.empty());

    ScopeRecord exported = rig.model.MakeRecord();
    ScopeRecord again;
    ASSERT_EQ(ScopeRecordFile::Decode(ScopeRecordFile::Encode(exported), again),
              ScopeRecordFile::ReadResult::kOk);
    ASSERT_EQ(again.samples.size(), exported.samples.size());
    for (size_t k = 0; k < again.samples.size(); ++k) {
        EXPECT_EQ(again.samples[k].mask, exported.samples[k].mask) << k;
    }
}

// A file this program exported reads back after the channels or the total changed since the
// capture; a sample the file lacks reads as 0, the first of two equal keys counts.
TEST(ScopeFiles, ExportedFilesImportAfterTheChannelSetChanged) {
    ScopeRig rig;
    while (!rig.link.requests.empty()) {
        rig.Answer(0);
    }
    rig.model.ApplyRecord(SampleRecord());  // channels 1 and 3, 4 records
    rig.model.SelectChannelItem(2, 2);
    rig.model.ClickChannel(2, true);                    // ticked after the capture: no samples
    rig.model.ClickChannel(3, false);                   // unticked after it: its samples stay
    rig.model.onMessage(WM_LINK_VALUE, 300, 0x23000A);  // "Samples total" changed
    ScopeRecord exported = rig.model.MakeRecord();
    EXPECT_EQ(exported.number, 4);
    EXPECT_TRUE(exported.channels[0].checked);
    EXPECT_FALSE(exported.channels[1].checked);
    EXPECT_TRUE(exported.channels[2].checked);
    std::string path = rig.folder.File("again.txt");
    ASSERT_EQ(ScopeRecordFile::Write(path, exported), "");
    ScopeRecord read;
    ASSERT_EQ(ScopeRecordFile::Read(path, read), ScopeRecordFile::ReadResult::kOk);
    ASSERT_EQ(read.samples.size(), 4u);
    EXPECT_EQ(read.samples[3].values[0], 15.0);
    EXPECT_EQ(read.samples[3].values[2], -43.0);
    EXPECT_EQ(read.samples[3].mask, 0b101u);

    std::string hand =
        "[oscilloscope]\nnumber=3\nnumber=9\nch2 check=1\nch2 item=1618411536\nch2-1=5\n"
        "ch2-3=7\nch2-1=6\n";
    ASSERT_EQ(ScopeRecordFile::Decode(Utf16Text::FromUtf8(hand), read),
              ScopeRecordFile::ReadResult::kOk);
    ASSERT_EQ(read.samples.size(), 3u);
    EXPECT_EQ(read.samples[0].values[1], 5.0);
    EXPECT_EQ(read.samples[1].values[1], 0.0);
    EXPECT_EQ(read.samples[2].values[1], 7.0);

    // Far larger than any record file: refused before it is read, with a reason.
    std::string huge = rig.folder.File("huge.txt");
    { std::ofstream(huge) << "x"; }
    std::filesystem::resize_file(huge, ScopeRecordFile::kLargestFile + 2);
    std::string reason;
    EXPECT_EQ(ScopeRecordFile::Read(huge, read, &reason), ScopeRecordFile::ReadResult::kUnreadable);
    EXPECT_FALSE(reason.empty());
}

// The table for spreadsheets: time in seconds, every channel in its unit, a literal record.
TEST(ScopeFiles, TimeTableGolden) {
    ScopeRig rig;
    while (!rig.link.requests.empty()) {
        rig.Answer(0);
    }
    ScopeRecord record;
    record.time = 16;                                                              // 1 ms
    record.channels[0] = {true, 0x60770010, 1, 0, 1, 0, 0};                        // DEC
    record.channels[1] = {true, static_cast<int32_t>(0x606C0020), 1, 0, 1, 0, 0};  // rpm
    for (auto [torque, velocity] : {std::pair{-3.0, 512.0}, {7.0, -1024.0}}) {
        PlotRecord sample;
        sample.mask = 0b11;
        sample.values = {torque, velocity, 0, 0};
        record.samples.push_back(sample);
    }
    rig.model.ApplyRecord(record);
    EXPECT_EQ(rig.model.TimeTable(),
              "time (s),ch1 Torque actual value (DEC),ch2 Velocity actual value (rpm)\n"
              "0.0010000,-3,60.000000\n"
              "0.0020000,7,-120.000000\n");

    // Names with commas or quotes are quoted; a record without the channel leaves it empty.
    PlotRecord only3;
    only3.mask = 0b100;
    only3.values = {0, 0, 5, 0};
    PlotRecord both;
    both.mask = 0b101;
    both.values = {1, 0, 6, 0};
    TimeTableColumn one{1, "Speed, \"filtered\"", "r/s",
                        [](double v) { return std::to_string(int(v) * 2); }};
    TimeTableColumn three{3, "Torque", "DEC", [](double v) { return std::to_string(int(v)); }};
    EXPECT_EQ(ScopeExport::TimeTable({both, only3}, 1, {one, three}),
              "time (s),\"ch1 Speed, \"\"filtered\"\" (r/s)\",ch3 Torque (DEC)\n"
              "0.0000625,2,6\n"
              "0.0001250,,5\n");
}

}  // namespace
}  // namespace tarvo::test
