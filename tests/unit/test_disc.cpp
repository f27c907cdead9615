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
    EXPECT_EQ(copy.getTitle(), "Album");
    EXPECT_EQ(copy.getArtist(), "Artist");
    EXPECT_EQ(copy.getGenre(), "Rock");
    EXPECT_EQ(copy.getYear(), 1999u);
    EXPECT_EQ(disc.getTracks()[0].getName(), "Second");
    EXPECT_EQ(disc.getTracks()[0].getArtist(), "B");
    EXPECT_EQ(disc.getTracks()[0].getLength(), 200u);
    EXPECT_EQ(disc.getTracks()[0].getTrackNo(), 2u);
    EXPECT_EQ(copy.getTracks()[2].getName(), "Third");
}
