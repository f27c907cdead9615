#include "disc/TableOfContents.h"

#include <algorithm>
#include <functional>
#include <set>

#include "disc/Disc.h"

namespace Vantrel {

namespace {

const unsigned long long TICKS_PER_FRAME = Duration::TICKS_PER_SECOND / frames_per_second;

int frameAfter(int firstOffset, const Duration& elapsed) {
    return firstOffset + static_cast<int>(std::min<unsigned long long>(elapsed.frames(), LAST_CD_FRAME));
}

// The whole seconds of every start and of the lead-out: all that a disc ID
// is made of, besides the number of tracks.
std::vector<int> secondsOf(const TableOfContents& toc) {
    std::vector<int> seconds;
    for (const int offset : toc.frameOffsets)
        seconds.push_back(offset / frames_per_second);
    seconds.push_back(toc.leadOut / frames_per_second);
    return seconds;
}

// Adds the first `limit` adjustments, up to `largest`, at which a start that
// follows `before` of playing time, `estimated` files of it estimates, moves
// into an earlier second. Shortening by d starts it at frameAfter(firstOffset,
// before - estimated * d), and Duration::frames() rounds t up to n or more
// frames exactly when t >= n * TICKS_PER_FRAME - TICKS_PER_FRAME / 2.
void addCrossings(const Duration& before, unsigned long long estimated, int firstOffset, const Duration& largest,
                  std::size_t limit, std::set<unsigned long long>& crossings) {
    if (estimated == 0)
        return;
    long long second = frameAfter(firstOffset, before) / frames_per_second;
    for (std::size_t found = 0; found < limit; ++found, --second) {
        // Frames that elapsed time must fall short of to start before `second`.
        const long long frames = second * frames_per_second - firstOffset;
        if (frames < 1)
            return;
        const unsigned long long highest =
            static_cast<unsigned long long>(frames) * TICKS_PER_FRAME - TICKS_PER_FRAME / 2 - 1;
        if (before.ticks <= highest)
            return;
        const unsigned long long adjustment = (before.ticks - highest + estimated - 1) / estimated;
        if (adjustment > largest.ticks)
            return;
        crossings.insert(adjustment);
    }
}

} // namespace

bool TableOfContents::exact() const {
    return std::all_of(times.begin(), times.end(), [](const PlayingTime& time) { return time.exact(); });
}

std::vector<int> TableOfContents::allFrameOffsets() const {
    std::vector<int> offsets = frameOffsets;
    if (dataTrack)
        offsets.push_back(dataTrack->frameOffset);
    return offsets;
}

int TableOfContents::discLeadOut() const { return dataTrack ? dataTrack->leadOut : leadOut; }

TableOfContents tableOfContentsOf(const std::vector<PlayingTime>& times, int firstOffset, Duration adjustment) {
    TableOfContents toc;
    toc.times = times;
    Duration elapsed;
    for (const PlayingTime& time : times) {
        toc.frameOffsets.push_back(frameAfter(firstOffset, elapsed));
        elapsed += time.exact() ? time.length : time.length.minus(adjustment);
    }
    toc.leadOut = frameAfter(firstOffset, elapsed);
    return toc;
}

TableOfContents exactTableOfContents(const std::vector<int>& frameOffsets, int leadOut,
                                     const std::optional<DataTrack>& dataTrack) {
    std::vector<int> frames = frameOffsets;
    frames.push_back(leadOut);
    if (dataTrack) {
        frames.push_back(dataTrack->frameOffset);
        frames.push_back(dataTrack->leadOut);
    }
    if (frameOffsets.empty() || frameOffsets.size() > MAX_TRACKS)
        throw std::range_error("a disc has 1 to 99 tracks");
    if (frames.front() < FIRST_TRACK_OFFSET || frames.back() > LAST_CD_FRAME)
        throw std::range_error("a track lies outside the disc");
    if (std::adjacent_find(frames.begin(), frames.end(), std::greater_equal<int>()) != frames.end())
        throw std::range_error("its tracks do not follow one another");
    TableOfContents toc;
    toc.frameOffsets = frameOffsets;
    toc.leadOut = leadOut;
    toc.dataTrack = dataTrack;
    for (std::size_t track = 0; track < frameOffsets.size(); ++track) {
        const int end = track + 1 < frameOffsets.size() ? frameOffsets[track + 1] : leadOut;
        toc.times.push_back(PlayingTime{Duration::of(static_cast<unsigned long long>(end - frameOffsets[track]),
                                                     frames_per_second),
                                        Duration()});
    }
    return toc;
}

std::vector<NearbyTableOfContents> nearbyTablesOfContents(const TableOfContents& toc, std::size_t limit) {
    const std::vector<PlayingTime>& times = toc.times;
    const int firstOffset = toc.frameOffsets.empty() ? toc.leadOut : toc.frameOffsets.front();
    Duration largest;
    for (const PlayingTime& time : times)
        largest.ticks = std::max(largest.ticks, time.maxExcess.ticks);

    // Starts only move earlier as the adjustment grows, so each crossing
    // gives seconds not seen before, and the first `limit` crossings of each
    // start are all that the `limit` nearest layouts can need.
    std::set<unsigned long long> crossings;
    Duration before;
    unsigned long long estimated = 0;
    for (const PlayingTime& time : times) {
        addCrossings(before, estimated, firstOffset, largest, limit, crossings);
        before += time.length;
        estimated += time.exact() ? 0 : 1;
    }
    addCrossings(before, estimated, firstOffset, largest, limit, crossings);

    std::vector<NearbyTableOfContents> nearby;
    std::vector<int> seconds = secondsOf(toc);
    for (const unsigned long long ticks : crossings) {
        if (nearby.size() == limit)
            break;
        Duration adjustment;
        adjustment.ticks = ticks;
        TableOfContents adjusted = tableOfContentsOf(times, firstOffset, adjustment);
        // A file shorter than the adjustment stops shrinking, so a crossing
        // may change nothing after all.
        std::vector<int> next = secondsOf(adjusted);
        if (next != seconds)
            nearby.push_back(NearbyTableOfContents{std::move(adjusted), adjustment});
        seconds = std::move(next);
    }
    return nearby;
}

} // namespace Vantrel
