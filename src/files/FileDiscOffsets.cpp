#include "files/FileDisc.h"

#include <algorithm>

#include "disc/Layout.h"
#include "files/FileLengths.h"

namespace Vantrel {

const TagLib::AudioProperties& audioPropertiesOf(const TagLib::FileRef& fileRef) {
    const TagLib::AudioProperties* properties = fileRef.isNull() ? nullptr : fileRef.audioProperties();
    if (properties == nullptr)
        throw TagException("File or audioProperties is NULL");
    return *properties;
}

void OffsetsCounter::operator()(const FileDisc::PathFileRef& entry) {
    const PlayingTime time = playingTimeOf(entry.fileRef);
    times.push_back(time);
    elapsed += time.length;
    // Durations saturate at 2^64 ticks, some 4e11 frames.
    if (static_cast<long long>(firstOffset) + static_cast<long long>(elapsed.frames()) > LAST_CD_FRAME)
        throw TagException("The files are too long for one CD: they would end past 99:59:74.");
}

const Offsets& FileDisc::generateOffsets(int firstOffset) {
    const OffsetsCounter counter = std::for_each(files.begin(), files.end(), OffsetsCounter(firstOffset));
    const Layout layout = layoutOf(counter.times, firstOffset);
    Offsets result;
    result.frameOffsets = layout.frameOffsets;
    result.leadOut = layout.leadOut;
    // CDDB's disc length counts from frame 0 up to the lead-out.
    result.length = layout.leadOut > 0 ? static_cast<unsigned int>(layout.leadOut / frames_per_second) : 0;
    result.times = counter.times;
    offsets = result;
    return offsets;
}

} // namespace Vantrel
