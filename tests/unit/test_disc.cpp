#include <gtest/gtest.h>

#include "disc/Disc.h"

using Vantrel::Disc;
using Vantrel::Track;

TEST(Disc, CopiesAreIndependentAndKeepAppendOrder) {
    Disc disc("Album", "Artist", "Rock", 1999);
    EXPECT_TRUE(disc.getTracks().empty());
    disc.appendTrack(Track("Second", "B", 200, 2));
    disc.appendTrack(Track("First", "A", 100, 1));

    Disc copy = disc;
    copy.appendTrack(Track("Third", "C", 0, 3));

    ASSERT_EQ(disc.getTracks().size(), 2u);
    ASSERT_EQ(copy.getTracks().size(), 3u);
    EXPECT_EQ(disc.getTracks()[0].getName(), "Second");
    EXPECT_EQ(disc.getTracks()[0].getTrackNo(), 2u);
    EXPECT_EQ(copy.getTracks()[2].getLength(), 0u);
}

TEST(Disc, StoresEmptyAndZeroValuesUnchanged) {
    Disc disc("", "", "", 0);
    EXPECT_EQ(disc.getTitle(), "");
    EXPECT_EQ(disc.getArtist(), "");
    EXPECT_EQ(disc.getGenre(), "");
    EXPECT_EQ(disc.getYear(), 0u);
    Track track("", "", 0, 0);
    EXPECT_EQ(track.getArtist(), "");
    EXPECT_EQ(track.getLength(), 0u);
}
