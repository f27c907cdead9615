#ifndef VANTREL_DISC_LAYOUT_H
#define VANTREL_DISC_LAYOUT_H

#include <cstddef>
#include <vector>

#include "disc/Duration.h"

namespace Vantrel {

// The last frame a CD's time code can name: 99:59:74.
const int LAST_CD_FRAME = 449999;

// Where consecutive tracks start and where the disc ends, in CD frames.
struct Layout {
    std::vector<int> frameOffsets;
    int leadOut = 0;
    // How much every estimated length was shortened to get here.
    Duration adjustment;
};

// Tracks of these playing times one after the other from firstOffset, each
// estimated one shortened by `adjustment`. Each start is rounded on its own
// from the exact sum of the times before it, so rounding never adds up.
// The unshortened lead-out must not pass LAST_CD_FRAME.
Layout layoutOf(const std::vector<PlayingTime>& times, int firstOffset, Duration adjustment = Duration());

// The other layouts that the estimated times allow, nearest first. Estimates
// are taken to be too long by one and the same amount, from 0 up to the
// largest bound among them; a disc ID depends only on the whole seconds of
// the starts and of the lead-out, so only the smallest adjustment for each
// new combination of seconds is kept, up to `limit` of them.
std::vector<Layout> nearbyLayouts(const std::vector<PlayingTime>& times, int firstOffset, std::size_t limit);

} // namespace Vantrel

#endif
