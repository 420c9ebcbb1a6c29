#include "protocol/SegmentedUploadClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvo::test {
namespace {

using Step = SegmentedUploadClient::Step;

struct Segment {
    uint8_t count;
    const char* bytes;  // seven bytes
    bool last;
    Step step;            // what Take answers
    uint8_t nextCommand;  // the request that follows, when one does
};

struct Case {
    const char* name;
    size_t limit;
    std::vector<Segment> segments;
    std::string text;  // the bytes taken, in order
};

constexpr size_t kNone = SegmentedUploadClient::kNoLimit;

// The request command bytes after each segment are written out: 0x60 toggle clear, 0x70 set.
const Case kCases[] = {
    {"short first segment ends it",
     kNone,
     {{5, "Tarvo\0\0", false, Step::Complete, 0x60}},
     "Tarvo"},
    {"empty last segment appends nothing",
     kNone,
     {{7, "1234567", false, Step::NextSegment, 0x70}, {0, "xxxxxxx", true, Step::Complete, 0x70}},
     "1234567"},
    {"last bit on a full segment ends it",
     kNone,
     {{7, "ABCDEFG", true, Step::Complete, 0x60}},
     "ABCDEFG"},
    {"toggle alternates over full segments",
     kNone,
     {{7, "aaaaaaa", false, Step::NextSegment, 0x70},
      {7, "bbbbbbb", false, Step::NextSegment, 0x60},
      {7, "ccccccc", false, Step::NextSegment, 0x70},
      {2, "dd\0\0\0\0\0", true, Step::Complete, 0x70}},
     "aaaaaaabbbbbbbcccccccdd"},
    {"zero bytes are data",
     kNone,
     {{3, "a\0b\0\0\0\0", true, Step::Complete, 0x60}},
     std::string("a\0b", 3)},
    {"a count above seven is seven",
     kNone,
     {{9, "1234567", false, Step::NextSegment, 0x70}},
     "1234567"},
    {"exactly the limit fits",
     9,
     {{7, "1234567", false, Step::NextSegment, 0x70},
      {2, "89\0\0\0\0\0", true, Step::Complete, 0x70}},
     "123456789"},
    {"one byte past the limit overruns and is not taken",
     9,
     {{7, "1234567", false, Step::NextSegment, 0x70},
      {3, "89A\0\0\0\0", true, Step::Overrun, 0x70}},
     "1234567"},
    {"a full segment past the limit overruns",
     7,
     {{7, "1234567", false, Step::NextSegment, 0x70}, {7, "89ABCDE", false, Step::Overrun, 0x70}},
     "1234567"},
    {"a segment after the last one does not fit",
     kNone,
     {{1, "Z\0\0\0\0\0\0", false, Step::Complete, 0x60},
      {7, "again!!", false, Step::Overrun, 0x60}},
     "Z"},
};

TEST(SegmentedUploadClient, TakesSegmentsUntilTheDriveEndsTheUpload) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        SegmentedUploadClient upload;
        upload.Start(c.limit);
        EXPECT_EQ(upload.NextCommand(), static_cast<SdoCommand>(0x60));
        EXPECT_TRUE(upload.active());
        for (size_t i = 0; i < c.segments.size(); ++i) {
            const Segment& s = c.segments[i];
            SCOPED_TRACE(i);
            Step step = upload.Take(s.count, reinterpret_cast<const uint8_t*>(s.bytes), s.last);
            EXPECT_EQ(step, s.step);
            EXPECT_EQ(upload.active(), s.step == Step::NextSegment);
            EXPECT_EQ(static_cast<int>(upload.NextCommand()), s.nextCommand);
        }
        EXPECT_EQ(std::string(upload.bytes().begin(), upload.bytes().end()), c.text);
    }
}

TEST(SegmentedUploadClient, StartingAgainForgetsTheUploadBefore) {
    SegmentedUploadClient upload;
    upload.Start(7);
    const uint8_t full[7] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(upload.Take(7, full, false), Step::NextSegment);
    ASSERT_EQ(upload.Take(7, full, false), Step::Overrun);
    upload.Start();
    EXPECT_TRUE(upload.bytes().empty());
    EXPECT_EQ(upload.NextCommand(), SdoCommand::SegmentToggleClear);
    EXPECT_EQ(upload.Take(7, full, false), Step::NextSegment);
    EXPECT_EQ(upload.Take(7, full, false), Step::NextSegment);
    EXPECT_EQ(upload.NextCommand(), SdoCommand::SegmentToggleClear);
    EXPECT_EQ(upload.bytes().size(), 14u);
}

}  // namespace
}  // namespace tarvo::test
