#include "files/FileDisc.h"

#include <algorithm>

#include <taglib/aiffproperties.h>
#include <taglib/apeproperties.h>
#include <taglib/audioproperties.h>
#include <taglib/flacproperties.h>
#include <taglib/mpcproperties.h>
#include <taglib/trueaudioproperties.h>
#include <taglib/wavpackproperties.h>
#include <taglib/wavproperties.h>

namespace Vantrel {

namespace {

// The duration as sample frames over the sample rate, when the properties
// are of this format and know both.
template <typename Properties>
bool sampleFramesOf(const TagLib::AudioProperties& properties, Duration& duration) {
    const auto* specific = dynamic_cast<const Properties*>(&properties);
    if (specific == nullptr || specific->sampleRate() <= 0 || specific->sampleFrames() == 0)
        return false;
    duration = Duration::of(specific->sampleFrames(), static_cast<unsigned long long>(specific->sampleRate()));
    return true;
}

// Whole seconds would make every later start drift, so a file counts with
// its exact length: sample frames where the format reports them, else
// milliseconds.
Duration exactDuration(const TagLib::AudioProperties& properties) {
    const int milliseconds = properties.lengthInMilliseconds();
    Duration duration = Duration::of(static_cast<unsigned long long>(std::max(milliseconds, 0)), 1000);
    sampleFramesOf<TagLib::FLAC::Properties>(properties, duration) ||
        sampleFramesOf<TagLib::RIFF::WAV::Properties>(properties, duration) ||
        sampleFramesOf<TagLib::RIFF::AIFF::Properties>(properties, duration) ||
        sampleFramesOf<TagLib::APE::Properties>(properties, duration) ||
        sampleFramesOf<TagLib::MPC::Properties>(properties, duration) ||
        sampleFramesOf<TagLib::TrueAudio::Properties>(properties, duration) ||
        sampleFramesOf<TagLib::WavPack::Properties>(properties, duration);
    return duration;
}

} // namespace

const TagLib::AudioProperties& audioPropertiesOf(const TagLib::FileRef& fileRef) {
    const TagLib::AudioProperties* properties = fileRef.isNull() ? nullptr : fileRef.audioProperties();
    if (properties == nullptr)
        throw TagException("File or audioProperties is NULL");
    return *properties;
}

Duration Duration::of(unsigned long long count, unsigned long long perSecond) {
    // Whole seconds and the rest apart, so that no product overflows.
    const unsigned long long rest = count % perSecond;
    Duration duration;
    duration.ticks = count / perSecond * TICKS_PER_SECOND + (rest * TICKS_PER_SECOND + perSecond / 2) / perSecond;
    return duration;
}

Duration& Duration::operator+=(const Duration& other) {
    ticks += other.ticks;
    return *this;
}

unsigned long long Duration::frames() const {
    const unsigned long long ticksPerFrame = TICKS_PER_SECOND / frames_per_second;
    return (ticks + ticksPerFrame / 2) / ticksPerFrame;
}

void OffsetsCounter::operator()(const FileDisc::PathFileRef& entry) {
    const TagLib::AudioProperties& properties = audioPropertiesOf(entry.fileRef);
    frameOffsets.push_back(nextOffset());
    elapsed += exactDuration(properties);
}

int OffsetsCounter::nextOffset() const { return firstOffset + static_cast<int>(elapsed.frames()); }

const Offsets& FileDisc::generateOffsets(int firstOffset) {
    const OffsetsCounter counter = std::for_each(files.begin(), files.end(), OffsetsCounter(firstOffset));
    const int leadOut = counter.nextOffset();
    Offsets result;
    result.frameOffsets = counter.frameOffsets;
    result.leadOut = leadOut;
    // CDDB's disc length counts from frame 0 up to the lead-out.
    result.length = leadOut > 0 ? static_cast<unsigned int>(leadOut / frames_per_second) : 0;
    offsets = result;
    return offsets;
}

} // namespace Vantrel
