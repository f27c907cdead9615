#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestAudio.h"
#include "files/FileDisc.h"

using namespace Vantrel;

// The classic layout (100, 200 and 50 s give 150, 7650, 22650 and 352) and
// real entries' layouts are checked end to end against the query line and
// the cache.
TEST(Offsets, EdgeSets) {
    TemporaryFolder folder;
    FileDisc none({});
    EXPECT_TRUE(none.generateOffsets(150).frameOffsets.empty());
    EXPECT_EQ(none.generateOffsets(150).length, 2u);

    FileDisc one(filesOfSeconds(folder, {200}));
    EXPECT_EQ(one.generateOffsets(150).frameOffsets, std::vector<int>{150});
    EXPECT_EQ(one.generateOffsets(150).length, 202u);

    const std::string empty = writeWav(folder.path("empty.wav"), 0, 75);
    const std::string after = writeWav(folder.path("after.wav"), 75 * 3, 75);
    FileDisc withEmpty({empty, after});
    EXPECT_EQ(withEmpty.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150}));
}

// Half a frame is 294 samples at 44100 Hz and 320 at 48000 Hz. Each start is
// rounded from the exact sum of the lengths before it, so halves neither
// vanish (truncation) nor pile up (summing rounded lengths).
TEST(Offsets, StartsAreRoundedFromTheExactSumAcrossSampleRates) {
    TemporaryFolder folder;
    FileDisc halves({writeWav(folder.path("1.wav"), 294, 44100), writeWav(folder.path("2.wav"), 320, 48000),
                     writeWav(folder.path("3.wav"), 294, 44100)});
    const Offsets& offsets = halves.generateOffsets(150);
    EXPECT_EQ(offsets.frameOffsets, (std::vector<int>{150, 151, 151}));
    EXPECT_EQ(offsets.length, 2u);

    // 37 s and a third of a frame per file: the third file starts two thirds
    // of a frame late, which rounds up.
    FileDisc thirds({writeWav(folder.path("a.wav"), 37 * 44100 + 196, 44100),
                     writeWav(folder.path("b.wav"), 37 * 44100 + 196, 44100),
                     writeWav(folder.path("c.wav"), 37 * 44100 + 196, 44100)});
    EXPECT_EQ(thirds.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150 + 2775, 150 + 5550 + 1}));

    // 288 samples are 0.49 frames, but 7 ms (0.525 frames) counted in milliseconds.
    FileDisc underHalf({writeWav(folder.path("x.wav"), 288, 44100), writeWav(folder.path("y.wav"), 75, 75)});
    EXPECT_EQ(underHalf.generateOffsets(150).frameOffsets, (std::vector<int>{150, 150}));
}
