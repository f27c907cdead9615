#ifndef VANTREL_DISC_DURATION_H
#define VANTREL_DISC_DURATION_H

namespace Vantrel {

// A playing time in ticks of 1/3,386,880,000 s. Milliseconds and every usual
// sample rate (the 8 and 48 kHz families up to 768 kHz, 11.025 and 7.5 kHz
// with their multiples, 37.8 kHz) divide a second into whole ticks, so sums
// of such durations stay exact; any other rate is rounded to the nearest tick.
// Arithmetic saturates instead of wrapping, so absurd lengths stay absurd.
struct Duration {
    static constexpr unsigned long long TICKS_PER_SECOND = 3386880000ULL;

    // count units of 1/perSecond second; nothing when perSecond is 0 or
    // beyond 2^32, which no rate or time scale is.
    static Duration of(unsigned long long count, unsigned long long perSecond);
    Duration& operator+=(const Duration& other);
    // This duration less another one, or nothing when the other is longer.
    Duration minus(const Duration& other) const;
    // The nearest whole number of CD frames; halves round up.
    unsigned long long frames() const;
    // Whole milliseconds, rounded up.
    unsigned long long milliseconds() const;

    unsigned long long ticks = 0;
};

// How long a file plays. A length that the file does not record exactly is
// an estimate that may be too long by up to maxExcess, never too short.
struct PlayingTime {
    Duration length;
    Duration maxExcess;

    bool exact() const { return maxExcess.ticks == 0; }
};

} // namespace Vantrel

#endif
