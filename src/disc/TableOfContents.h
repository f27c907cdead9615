#ifndef VANTREL_DISC_TABLEOFCONTENTS_H
#define VANTREL_DISC_TABLEOFCONTENTS_H

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <vector>

#include "disc/Duration.h"

namespace Vantrel {

// The last frame a CD's time code can name: 99:59:74.
const int LAST_CD_FRAME = 449999;
// Where the first track of a disc usually starts: after the two-second lead-in.
const int FIRST_TRACK_OFFSET = 150;
// An enhanced CD's data session starts this many frames after its audio ends
// (the lead-out and lead-in between the two sessions).
const int SESSION_GAP_FRAMES = 11400;
// A disc has at most this many tracks.
const std::size_t MAX_TRACKS = 99;

// A data track after the audio (enhanced CD): where it starts, and where the
// whole disc ends.
struct DataTrack {
    int frameOffset = 0;
    int leadOut = 0;
};

// A disc's table of contents, in CD frames counted from the start of the disc
// (lead-in included). It holds the audio tracks' starts and where the audio
// ends, any data track after the audio, and how long each audio track plays:
// exactly, or an estimate that may be too long by a known bound (files whose
// headers keep no exact length).
struct TableOfContents {
    std::vector<int> frameOffsets;
    // The end of the audio: the lead-out of an audio CD, the end of the audio
    // session of an enhanced CD.
    int leadOut = 0;
    std::optional<DataTrack> dataTrack;
    // One per audio track.
    std::vector<PlayingTime> times;

    // True when no length is an estimate.
    bool exact() const;
    // Every track's start, the data track's included, and where the whole
    // disc ends: what CDDB counts.
    std::vector<int> allFrameOffsets() const;
    int discLeadOut() const;
};

// A track as a rip log, CUE sheet or FLAC cue sheet lists it: where it
// starts, in CD frames from the start of the disc, and whether it holds audio.
struct SourceTrack {
    int frameOffset = 0;
    bool audio = true;
};

// Every track of a disc, data tracks included, and where the disc ends.
struct TrackLayout {
    std::vector<SourceTrack> tracks;
    int leadOut = 0;
};

// The exact table of contents of audio tracks starting at these offsets,
// each playing to the next start and the last to `leadOut`, with any data
// track after them. Throws std::range_error when the starts do not rise,
// the lead-out is not after them, or a frame lies before the end of the
// lead-in or past 99:59:74.
TableOfContents exactTableOfContents(const std::vector<int>& frameOffsets, int leadOut,
                                     const std::optional<DataTrack>& dataTrack = std::nullopt);

// Tracks of these playing times one after the other from firstOffset, each
// estimated one shortened by `adjustment`. Each start is rounded on its own
// from the exact sum of the times before it, so rounding never adds up.
// The unshortened lead-out must not pass LAST_CD_FRAME.
TableOfContents tableOfContentsOf(const std::vector<PlayingTime>& times, int firstOffset,
                                  Duration adjustment = Duration());

// A table of contents that estimated lengths allow, and by how much every
// estimate was shortened to get it.
struct NearbyTableOfContents {
    TableOfContents toc;
    Duration adjustment;
};

// The other tables of contents that the estimated times allow, nearest
// first. Estimates are taken to be too long by one and the same amount, from
// 0 up to the largest bound among them; a CDDB disc ID depends only on the
// whole seconds of the starts and of the lead-out, so only the smallest
// adjustment for each new combination of seconds is kept, up to `limit` of
// them.
std::vector<NearbyTableOfContents> nearbyTablesOfContents(const TableOfContents& toc, std::size_t limit);

} // namespace Vantrel

#endif
