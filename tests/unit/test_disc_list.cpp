#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "console.h"

using Vantrel::Disc;
using Vantrel::Track;

TEST(DiscList, NumbersDiscsAndTracksWithPaddingAndTimes) {
    std::vector<Disc> discs;
    for (unsigned int i = 1; i <= 10; ++i)
        discs.emplace_back("Title " + std::to_string(i), "Artist", "Genre", i == 1 ? 0 : 1990 + i);
    discs[0].appendTrack(Track("Short", "A", 59, 1));
    discs[0].appendTrack(Track("Minute", "A", 60, 2));
    discs[0].appendTrack(Track("Over", "A", 65, 9));
    discs[0].appendTrack(Track("Long", "A", 605, 10));
    discs[9].appendTrack(Track("Last", "A", 0, 3));

    std::ostringstream out;
    std::for_each(discs.begin(), discs.end(), PrintDisc(out));
    const std::string text = out.str();

    EXPECT_EQ(text.substr(0, text.find("[ 2]")), "[ 1] Artist - Title 1 (Year: 0 Genre: Genre)\n"
                                                 "      1. Short (0:59)\n"
                                                 "      2. Minute (1:00)\n"
                                                 "      9. Over (1:05)\n"
                                                 "     10. Long (10:05)\n");
    EXPECT_NE(text.find("\n[ 9] Artist - Title 9 (Year: 1999 Genre: Genre)\n[10] Artist - Title 10 (Year: 2000 "
                        "Genre: Genre)\n      3. Last (0:00)\n"),
              std::string::npos)
        << text;
}

TEST(DiscList, TrackLinesTakeTheirIndentAndTheTracksOwnNumber) {
    std::ostringstream out;
    const std::vector<Track> tracks{Track("B", "", 125, 7), Track("A", "", 3600, 12)};
    std::for_each(tracks.begin(), tracks.end(), PrintTrack(out, 2));
    EXPECT_EQ(out.str(), "   7. B (2:05)\n  12. A (60:00)\n");
}
