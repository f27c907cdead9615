#include "disc/Duration.h"

#include <limits>

#include "disc/Disc.h"

namespace Vantrel {

namespace {

const unsigned long long MOST_TICKS = std::numeric_limits<unsigned long long>::max();

unsigned long long rounded(unsigned long long ticks, unsigned long long ticksPerUnit) {
    return ticks / ticksPerUnit + (ticks % ticksPerUnit >= ticksPerUnit - ticksPerUnit / 2 ? 1 : 0);
}

} // namespace

Duration Duration::of(unsigned long long count, unsigned long long perSecond) {
    Duration duration;
    if (perSecond == 0)
        return duration;
    // Whole seconds and the rest apart, so that no product overflows.
    const unsigned long long seconds = count / perSecond;
    const unsigned long long rest = count % perSecond;
    if (seconds > MOST_TICKS / TICKS_PER_SECOND - 1) {
        duration.ticks = MOST_TICKS;
        return duration;
    }
    // rest < perSecond, so rest * TICKS_PER_SECOND overflows only for rates
    // beyond 5 GHz; those are divided first, at a loss of precision nobody hears.
    const unsigned long long restTicks = perSecond <= MOST_TICKS / TICKS_PER_SECOND
                                             ? (rest * TICKS_PER_SECOND + perSecond / 2) / perSecond
                                             : rest / (perSecond / TICKS_PER_SECOND);
    duration.ticks = seconds * TICKS_PER_SECOND + restTicks;
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

unsigned long long Duration::frames() const { return rounded(ticks, TICKS_PER_SECOND / frames_per_second); }

unsigned long long Duration::milliseconds() const { return rounded(ticks, TICKS_PER_SECOND / 1000); }

} // namespace Vantrel
