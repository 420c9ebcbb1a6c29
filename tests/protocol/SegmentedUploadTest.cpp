#include "protocol/SegmentedUpload.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace tarvo::test {
namespace {

// A segment reply as it follows the node byte of a frame: command, then seven bytes.
using Segment = std::array<uint8_t, 8>;

// Seven bytes, toggle clear, not last; seven bytes, toggle set, not last.
const Segment kFull0 = {0x00, 'T', 'S', 'D', '2', '4', '0', '5'};
const Segment kFull1 = {0x10, 'A', 'B', 'C', 'D', 'E', 'F', 'G'};

SegmentedUpload Delivered(uint32_t size, const std::vector<Segment>& segments) {
    SegmentedUpload upload;
    upload.Start(0x100800, size);
    for (const Segment& segment : segments) {
        upload.Deliver(segment[0], segment.data() + 1);
    }
    return upload;
}

TEST(SegmentedUpload, SegmentsFitTheAnnouncedSizeExactly) {
    struct Case {
        const char* what;
        uint32_t size;
        std::vector<Segment> before;
        uint8_t command;
        bool fits;
    };
    const Case cases[] = {
        {"last of two bytes completes 9", 9, {kFull0}, 0x1B, true},
        {"last of two bytes ends short of 10", 10, {kFull0}, 0x1B, false},
        {"two bytes without the last bit end short of 10", 10, {kFull0}, 0x1A, false},
        {"two bytes without the last bit complete 9", 9, {kFull0}, 0x1A, true},
        {"last of two bytes runs past 8", 8, {kFull0}, 0x1B, false},
        {"seven bytes, not last, exactly fill 14", 14, {kFull0}, 0x10, false},
        {"seven bytes, not last, leave room in 15", 15, {kFull0}, 0x10, true},
        {"seven bytes, last, complete 14", 14, {kFull0}, 0x11, true},
        {"seven bytes, last, end short of 15", 15, {kFull0}, 0x11, false},
        {"an empty last segment completes an empty upload", 0, {}, 0x0F, true},
        {"an empty last segment ends short of 1", 1, {}, 0x0F, false},
        {"seven bytes run past an empty upload", 0, {}, 0x00, false},
        {"the third segment completes 21", 21, {kFull0, kFull1}, 0x01, true},
        {"the third segment, not last, fills 21", 21, {kFull0, kFull1}, 0x00, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Delivered(c.size, c.before).Fits(c.command), c.fits) << c.what;
    }
}

TEST(SegmentedUpload, TheLastSegmentEndsTheUploadAndTheToggleAlternates) {
    SegmentedUpload upload = Delivered(9, {});
    EXPECT_EQ(upload.NextCommand(), SdoCommand::SegmentToggleClear);
    upload.Deliver(kFull0[0], kFull0.data() + 1);
    EXPECT_TRUE(upload.active());
    EXPECT_EQ(upload.NextCommand(), SdoCommand::SegmentToggleSet);
    const Segment last = {0x1B, '0', '1', 0, 0, 0, 0, 0};
    upload.Deliver(last[0], last.data() + 1);
    EXPECT_FALSE(upload.active());
    EXPECT_EQ(upload.delivered(), 2u);
    // A new start forgets what the old upload delivered.
    upload.Start(0x100900, 3);
    EXPECT_TRUE(upload.active());
    EXPECT_EQ(upload.delivered(), 0u);
    EXPECT_TRUE(upload.Fits(0x19));
}

TEST(SegmentedUpload, ARefetchedSegmentMustBeTheDeliveredOne) {
    const Segment last = {0x1B, '0', '1', 'x', 'y', 0, 0, 0};
    const SegmentedUpload upload = Delivered(9, {kFull0, last});
    struct Case {
        const char* what;
        size_t index;
        Segment segment;
        bool same;
    };
    const Case cases[] = {
        {"the first, unchanged", 0, kFull0, true},
        {"the last, unchanged", 1, last, true},
        {"bytes past the count hold no data", 1, {0x1B, '0', '1', 'p', 'q', 'r', 's', 't'}, true},
        {"the first with the last bit", 0, {0x01, 'T', 'S', 'D', '2', '4', '0', '5'}, false},
        {"the last without its last bit", 1, {0x1A, '0', '1', 'x', 'y', 0, 0, 0}, false},
        {"the last with three bytes, the same bytes",
         1,
         {0x19, '0', '1', 'x', 'y', 0, 0, 0},
         false},
        {"the first with six bytes, the same bytes",
         0,
         {0x02, 'T', 'S', 'D', '2', '4', '0', '5'},
         false},
        {"another byte within the count", 1, {0x1B, '0', '2', 'x', 'y', 0, 0, 0}, false},
        {"the first's last byte changed", 0, {0x00, 'T', 'S', 'D', '2', '4', '0', '6'}, false},
        {"a segment never delivered", 2, kFull0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(upload.SameAsDelivered(c.index, c.segment[0], c.segment.data() + 1), c.same)
            << c.what;
    }
}

}  // namespace
}  // namespace tarvo::test
