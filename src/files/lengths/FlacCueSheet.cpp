#include "files/lengths/FlacCueSheet.h"

#include <FLAC/metadata.h>

#include <algorithm>
#include <memory>

#include "disc/Disc.h"

namespace Vantrel {

namespace {

// A CD frame holds 588 samples at 44.1 kHz.
const FLAC__uint64 SAMPLES_PER_FRAME = 44100 / frames_per_second;

struct BlockDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};

int frameOffsetOf(FLAC__uint64 samples) {
    return static_cast<int>(std::min<FLAC__uint64>(samples / SAMPLES_PER_FRAME, LAST_CD_FRAME + 1)) +
           FIRST_TRACK_OFFSET;
}

// Where a track's INDEX 01 lies, in samples from the start of the stream.
FLAC__uint64 startOf(const FLAC__StreamMetadata_CueSheet_Track& track) {
    for (unsigned index = 0; index < track.num_indices; ++index)
        if (track.indices[index].number == 1)
            return track.offset + track.indices[index].offset;
    return track.offset;
}

} // namespace

std::optional<TrackLayout> flacCueSheetOf(const std::string& path) {
    FLAC__StreamMetadata* found = nullptr;
    if (!FLAC__metadata_get_cuesheet(path.c_str(), &found))
        return std::nullopt;
    const std::unique_ptr<FLAC__StreamMetadata, BlockDeleter> block(found);
    const FLAC__StreamMetadata_CueSheet& sheet = block->data.cue_sheet;
    // The last track is the lead-out.
    if (!sheet.is_cd || sheet.num_tracks < 2)
        return std::nullopt;
    TrackLayout layout;
    for (unsigned track = 0; track + 1 < sheet.num_tracks; ++track)
        layout.tracks.push_back(SourceTrack{frameOffsetOf(startOf(sheet.tracks[track])), sheet.tracks[track].type == 0});
    layout.leadOut = frameOffsetOf(sheet.tracks[sheet.num_tracks - 1].offset);
    return layout;
}

} // namespace Vantrel
