#include "disc/Duration.h"

#include <limits>

#include "disc/Disc.h"

namespace Vantrel {

namespace {

const unsigned long long MOST_TICKS = std::numeric_limits<unsigned long long>::max();
// Below MOST_TICKS / TICKS_PER_SECOND, so rest * TICKS_PER_SECOND fits.
const unsigned long long LARGEST_RATE = 1ULL << 32;

} // namespace

Duration Duration::of(unsigned long long count, unsigned long long perSecond) {
    Duration duration;
    if (perSecond == 0 || perSecond > LARGEST_RATE)
        return duration;
    // Whole seconds and the rest apart, so that no product overflows.
    const unsigned long long seconds = count / perSecond;
    const unsigned long long rest = count % perSecond;
    if (seconds >= MOST_TICKS / TICKS_PER_SECOND) {
        duration.ticks = MOST_TICKS;
        return duration;
    }
    duration.ticks = seconds * TICKS_PER_SECOND + (rest * TICKS_PER_SECOND + perSecond / 2) / perSecond;
    return duration;
}

Duration& Duration::operator+=(const Duration& other) {
    ticks = other.ticks > MOST_TICKS - ticks ? MOST_TICKS : ticks + other.ticks;
    return *this;
}

Duration Duration::minus(const Duration& other) const {
    Duration difference;
    difference.ticks = ticks > other.ticks ? ticks - other.ticks : 0;
    return difference;
}

unsigned long long Duration::frames() const {
    // Adding half a frame first could overflow; the frame's ticks are even.
    const unsigned long long ticksPerFrame = TICKS_PER_SECOND / frames_per_second;
    return ticks / ticksPerFrame + (ticks % ticksPerFrame >= ticksPerFrame / 2 ? 1 : 0);
}

unsigned long long Duration::milliseconds() const {
    const unsigned long long ticksPerMillisecond = TICKS_PER_SECOND / 1000;
    return ticks / ticksPerMillisecond + (ticks % ticksPerMillisecond != 0 ? 1 : 0);
}

} // namespace Vantrel
