#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "console.h"

using Vantrel::Disc;
using Vantrel::Track;

// Disc numbers [ 9] and [10] are checked end to end, with ten matches.
// Control characters from the server never reach the terminal.
TEST(DiscList, TrackLinesPadNumbersAndShowMinutesAndSeconds) {
    Disc disc("Title\x1b[2J", "Art\nist", "Gen\x7fre", 0);
    disc.appendTrack(Track("Sh\rort", "A", 59, 1));
    disc.appendTrack(Track("Minute", "A", 60, 2));
    disc.appendTrack(Track("Over", "A", 65, 9));
    disc.appendTrack(Track("Long", "A", 605, 10));
    disc.appendTrack(Track("Hour", "A", 3600, 123));

    std::ostringstream out;
    PrintDisc print(out);
    print(disc);
    EXPECT_EQ(out.str(), "[ 1] Art?ist - Title?[2J (Year: 0 Genre: Gen?re)\n"
                         "      1. Sh?ort (0:59)\n"
                         "      2. Minute (1:00)\n"
                         "      9. Over (1:05)\n"
                         "     10. Long (10:05)\n"
                         "     123. Hour (60:00)\n");
}
