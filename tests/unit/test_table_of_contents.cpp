#include <gtest/gtest.h>

#include <vector>

#include "disc/Assignment.h"
#include "disc/TableOfContents.h"

using namespace Vantrel;

TEST(Assignment, SmallestTotalDifferenceThenEarliestFiles) {
    struct Case {
        std::vector<long long> tracks, files;
        std::vector<int> fileOfTrack;
    };
    const Case cases[] = {
        {{150, 100, 200}, {100, 200}, {-1, 0, 1}}, // a partial rip
        {{200, 300}, {300, 200}, {1, 0}},
        {{150, 101}, {100, 400, 200}, {2, 0}},
        {{10, 61, 62}, {60}, {-1, 0, -1}},
        {{5, 5}, {5, 9, 5, 5}, {0, 2}}, // ties: earliest files, in track order
        {{200, 240, 200}, {200}, {0, -1, -1}}, // ties: the earliest track
        {{7, 3, 7, 7}, {7, 7}, {0, -1, 1, -1}},
        {{7}, {6, 8}, {0}},
        {{}, {1}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(assignByLength(c.tracks, c.files), c.fileOfTrack) << c.tracks.size() << " " << c.files.size();
}

// Frames at 75 per second keep the arithmetic readable: an estimated 4 s
// file that may be 2 s too long, then an exact 2 s one, from frame 150.
TEST(TableOfContents, NearbyOnesAreTheSmallestAdjustmentsThatChangeASecond) {
    const PlayingTime estimated{Duration::of(300, 75), Duration::of(150, 75)};
    const PlayingTime exact{Duration::of(150, 75), Duration()};
    EXPECT_TRUE(nearbyTablesOfContents(tableOfContentsOf({exact, exact}, 150), 16).empty());

    const TableOfContents start = tableOfContentsOf({estimated, exact}, 150);
    EXPECT_EQ(start.frameOffsets, (std::vector<int>{150, 450}));
    EXPECT_EQ(start.leadOut, 600);
    // The second start leaves second 6 once it is half a frame early (it
    // rounds to 449), and second 5 after 75.5 frames; the lead-out moves with it.
    const std::vector<NearbyTableOfContents> nearby = nearbyTablesOfContents(start, 16);
    ASSERT_EQ(nearby.size(), 2u);
    EXPECT_EQ(nearby[0].adjustment.ticks, Duration::of(1, 150).ticks + 1);
    EXPECT_EQ(nearby[0].toc.frameOffsets, (std::vector<int>{150, 449}));
    EXPECT_EQ(nearby[0].toc.leadOut, 599);
    EXPECT_EQ(nearby[1].adjustment.milliseconds(), 1007u);
    EXPECT_EQ(nearby[1].toc.frameOffsets, (std::vector<int>{150, 374}));
    EXPECT_EQ(nearby[1].toc.leadOut, 524);
    EXPECT_EQ(nearbyTablesOfContents(start, 1).size(), 1u);

    // Twenty estimates that may each be a second too long allow far more
    // layouts than the limit; those kept are the nearest, each one new.
    const std::vector<PlayingTime> many(20, PlayingTime{Duration::of(750, 75), Duration::of(75, 75)});
    const auto seconds = [](const TableOfContents& toc) {
        std::vector<int> result;
        for (const int offset : toc.frameOffsets)
            result.push_back(offset / 75);
        result.push_back(toc.leadOut / 75);
        return result;
    };
    const std::vector<NearbyTableOfContents> capped = nearbyTablesOfContents(tableOfContentsOf(many, 150), 16);
    ASSERT_EQ(capped.size(), 16u);
    EXPECT_NE(seconds(capped[0].toc), seconds(tableOfContentsOf(many, 150)));
    for (std::size_t i = 1; i < capped.size(); ++i) {
        EXPECT_LT(capped[i - 1].adjustment.ticks, capped[i].adjustment.ticks);
        EXPECT_NE(seconds(capped[i - 1].toc), seconds(capped[i].toc));
    }
    // Start k leaves its second at half a frame / k: the 16 nearest are k = 20 (the lead-out) to 5.
    EXPECT_LT(capped.back().adjustment.ticks, Duration::of(1, 600).ticks);
}
