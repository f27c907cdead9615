#include "files/lengths/FileLengths.h"

#include <fcntl.h>
#include <mpg123.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <variant>

#include <taglib/aiffproperties.h>
#include <taglib/apeproperties.h>
#include <taglib/audioproperties.h>
#include <taglib/commentsframe.h>
#include <taglib/flacproperties.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4properties.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcproperties.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/oggpageheader.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/trueaudioproperties.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavpackproperties.h>
#include <taglib/wavproperties.h>
#include <taglib/xingheader.h>

#include "common/RegularFile.h"
#include "files/TagException.h"
#include "files/lengths/Mp4Atoms.h"

namespace Vantrel {

namespace {

// Without gapless data an MP3 counts all its frames, which LAME makes 1,152
// to 2,303 samples longer than the source (encoder delay and padding); three
// frames leave room for encoders with a longer delay.
const unsigned long long MP3_EXCESS_FRAMES = 3;
// AAC without gapless data: up to 2,112 samples of priming (Apple's; most
// encoders prime 1,024) and up to one frame of padding.
const unsigned long long AAC_EXCESS = 2112 + 1024;
const unsigned long long OPUS_RATE = 48000;
const char* const ITUNSMPB = "iTunSMPB";

SampleCount counted(unsigned long long samples, unsigned long long rate, unsigned long long maxExcess = 0) {
    SampleCount count;
    count.samples = samples;
    count.rate = rate;
    count.maxExcess = maxExcess;
    return count;
}

SampleCount fromMilliseconds(const TagLib::AudioProperties& properties, unsigned long long maxExcess = 0) {
    return counted(static_cast<unsigned long long>(std::max(properties.lengthInMilliseconds(), 0)), 1000, maxExcess);
}

unsigned long long rateOf(const TagLib::AudioProperties& properties) {
    return static_cast<unsigned long long>(std::max(properties.sampleRate(), 0));
}

// The source's sample count in an iTunSMPB text: hexadecimal fields
// " 00000000 PPPPPPPP RRRRRRRR SSSSSSSSSSSSSSSS ...", reserved, priming,
// padding and the count.
std::optional<unsigned long long> countOfITunSMPB(const TagLib::String& text) {
    std::istringstream fields(text.to8Bit());
    std::string field;
    for (int i = 0; i < 4; ++i)
        if (!(fields >> field))
            return std::nullopt;
    const char* end = field.data() + field.size();
    unsigned long long samples = 0;
    const std::from_chars_result parsed = std::from_chars(field.data(), end, samples, 16);
    if (parsed.ec != std::errc() || parsed.ptr != end || samples == 0)
        return std::nullopt;
    return samples;
}

template <typename Properties>
std::optional<SampleCount> losslessCount(const TagLib::AudioProperties& properties) {
    const auto* specific = dynamic_cast<const Properties*>(&properties);
    if (specific == nullptr || specific->sampleRate() <= 0 || specific->sampleFrames() == 0)
        return std::nullopt;
    return counted(specific->sampleFrames(), rateOf(properties));
}

std::optional<unsigned long long> mp3ITunSMPB(TagLib::MPEG::File& file) {
    if (!file.hasID3v2Tag())
        return std::nullopt;
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    const auto* comment = TagLib::ID3v2::CommentsFrame::findByDescription(tag, ITUNSMPB);
    if (comment != nullptr)
        if (const auto samples = countOfITunSMPB(comment->text()))
            return samples;
    const auto* text = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, ITUNSMPB);
    if (text == nullptr || text->fieldList().size() < 2)
        return std::nullopt;
    return countOfITunSMPB(text->fieldList()[1]);
}

struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};

// libmpg123 reads the Info frame and its LAME extension without decoding;
// its gapless length is the frames times the samples per frame less the
// encoder's delay and padding. Without them it counts the frames. The file
// is opened again by its name, so only as a regular file and never waited
// for: it may have been replaced by a FIFO since it was first opened.
SampleCount mp3Count(TagLib::MPEG::File& file, const TagLib::MPEG::Properties& properties) {
    const unsigned long long rate = rateOf(properties);
    const unsigned long long excessMs = rate > 0 ? (MP3_EXCESS_FRAMES * 1152 * 1000 + rate - 1) / rate : 80;
    // Closed after the handle, which does not close a descriptor it was given.
    const std::variant<RegularFile, OpenProblem> opened = openRegularFile(file.name(), O_RDONLY);
    const RegularFile* regular = std::get_if<RegularFile>(&opened);
    std::unique_ptr<mpg123_handle, Mpg123Deleter> handle(mpg123_new(nullptr, nullptr));
    mpg123_frameinfo info;
    if (regular == nullptr || !handle ||
        mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0) != MPG123_OK ||
        mpg123_open_fd(handle.get(), regular->descriptor.get()) != MPG123_OK ||
        mpg123_info(handle.get(), &info) != MPG123_OK ||
        info.rate <= 0 || mpg123_spf(handle.get()) <= 0)
        return fromMilliseconds(properties, excessMs);
    const auto mpegRate = static_cast<unsigned long long>(info.rate);
    const auto samplesPerFrame = static_cast<unsigned long long>(mpg123_spf(handle.get()));

    long delay = -1, padding = -1;
    double unused = 0;
    mpg123_getstate(handle.get(), MPG123_ENC_DELAY, &delay, &unused);
    mpg123_getstate(handle.get(), MPG123_ENC_PADDING, &padding, &unused);
    const TagLib::MPEG::XingHeader* xing = properties.xingHeader();
    const long long length = mpg123_length(handle.get());
    // The count is exact only when it is the header's frames less delay and
    // padding, not a guess from the file's size.
    if (delay >= 0 && padding >= 0 && xing != nullptr && length > 0 &&
        static_cast<unsigned long long>(length) + static_cast<unsigned long long>(delay + padding) ==
            xing->totalFrames() * samplesPerFrame)
        return counted(static_cast<unsigned long long>(length), mpegRate);

    if (const auto samples = mp3ITunSMPB(file))
        return counted(*samples, mpegRate);
    if (mpg123_scan(handle.get()) == MPG123_OK && mpg123_length(handle.get()) > 0)
        return counted(static_cast<unsigned long long>(mpg123_length(handle.get())), mpegRate,
                       MP3_EXCESS_FRAMES * samplesPerFrame);
    return fromMilliseconds(properties, excessMs);
}

// The playable part of an edited track, in the track's time scale: the media
// less its priming when that agrees with the edit's length (which counts in
// the coarser movie time scale), else the edit's length itself.
unsigned long long editedSamples(const Mp4SoundTrack& track) {
    using Wide = unsigned __int128;
    const Wide fromEdit = (Wide(track.editDuration) * track.mediaTimeScale + track.movieTimeScale / 2) /
                          track.movieTimeScale;
    if (track.editMediaTime < track.mediaDuration) {
        const Wide trimmed = track.mediaDuration - track.editMediaTime;
        const Wide a = trimmed * track.movieTimeScale, b = Wide(track.editDuration) * track.mediaTimeScale;
        if ((a > b ? a - b : b - a) <= track.mediaTimeScale)
            return static_cast<unsigned long long>(trimmed);
    }
    return fromEdit > ~0ULL ? ~0ULL : static_cast<unsigned long long>(fromEdit);
}

SampleCount mp4Count(TagLib::MP4::File& file, const TagLib::MP4::Properties& properties) {
    const unsigned long long rate = rateOf(properties);
    const TagLib::MP4::Tag* tag = file.tag();
    const TagLib::String item = TagLib::String("----:com.apple.iTunes:") + ITUNSMPB;
    if (rate > 0 && tag != nullptr && tag->contains(item)) {
        const TagLib::StringList texts = tag->item(item).toStringList();
        if (!texts.isEmpty())
            if (const auto samples = countOfITunSMPB(texts.front()))
                return counted(*samples, rate);
    }
    const bool aac = properties.codec() == TagLib::MP4::Properties::AAC;
    const unsigned long long excessMs = rate > 0 ? (AAC_EXCESS * 1000 + rate - 1) / rate : 72;
    const std::optional<Mp4SoundTrack> soundTrack = readMp4SoundTrack(file);
    if (!soundTrack)
        return fromMilliseconds(properties, aac ? excessMs : 0);
    const Mp4SoundTrack& track = *soundTrack;
    // An AAC edit that starts the media at 0 skips no priming: it keeps no
    // gapless data.
    if (track.edited && (!aac || track.editMediaTime > 0))
        return counted(editedSamples(track), track.mediaTimeScale);
    if (!aac)
        return counted(track.mediaDuration, track.mediaTimeScale);
    const unsigned long long excess =
        rate > 0 ? (AAC_EXCESS * track.mediaTimeScale + rate - 1) / rate : AAC_EXCESS;
    return counted(track.mediaDuration, track.mediaTimeScale, excess);
}

// Samples from the first page's granule position to the last one's.
std::optional<unsigned long long> granuleSpan(TagLib::Ogg::File& file) {
    const TagLib::Ogg::PageHeader* first = file.firstPageHeader();
    const TagLib::Ogg::PageHeader* last = file.lastPageHeader();
    if (first == nullptr || last == nullptr)
        return std::nullopt;
    const long long start = first->absoluteGranularPosition();
    const long long end = last->absoluteGranularPosition();
    if (start < 0 || end <= start)
        return std::nullopt;
    return static_cast<unsigned long long>(end - start);
}

// Opus counts at 48 kHz whatever the source's rate, and its decoder drops
// the pre-skip of the identification header first.
std::optional<SampleCount> opusCount(TagLib::Ogg::Opus::File& file) {
    const std::optional<unsigned long long> samples = granuleSpan(file);
    const TagLib::ByteVector head = file.packet(0);
    if (!samples || head.size() < 12 || !head.startsWith("OpusHead"))
        return std::nullopt;
    const unsigned long long preSkip = head.toUShort(10U, false);
    if (*samples <= preSkip)
        return std::nullopt;
    return counted(*samples - preSkip, OPUS_RATE);
}

} // namespace

const TagLib::AudioProperties& audioPropertiesOf(const TagLib::FileRef& fileRef) {
    const TagLib::AudioProperties* properties = fileRef.isNull() ? nullptr : fileRef.audioProperties();
    if (properties == nullptr)
        throw TagException("File or audioProperties is NULL");
    return *properties;
}

SampleCount sampleCountOf(const TagLib::FileRef& fileRef) {
    const TagLib::AudioProperties& properties = audioPropertiesOf(fileRef);
    TagLib::File* file = fileRef.file();
    for (const auto lossless :
         {losslessCount<TagLib::FLAC::Properties>, losslessCount<TagLib::RIFF::WAV::Properties>,
          losslessCount<TagLib::RIFF::AIFF::Properties>, losslessCount<TagLib::APE::Properties>,
          losslessCount<TagLib::MPC::Properties>, losslessCount<TagLib::TrueAudio::Properties>,
          losslessCount<TagLib::WavPack::Properties>})
        if (const std::optional<SampleCount> count = lossless(properties))
            return *count;
    const auto* mpegProperties = dynamic_cast<const TagLib::MPEG::Properties*>(&properties);
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file); mpeg != nullptr && mpegProperties != nullptr)
        return mp3Count(*mpeg, *mpegProperties);
    const auto* mp4Properties = dynamic_cast<const TagLib::MP4::Properties*>(&properties);
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file); mp4 != nullptr && mp4Properties != nullptr)
        return mp4Count(*mp4, *mp4Properties);
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file); vorbis != nullptr && rateOf(properties) > 0)
        if (const std::optional<unsigned long long> samples = granuleSpan(*vorbis))
            return counted(*samples, rateOf(properties));
    if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file))
        if (const std::optional<SampleCount> count = opusCount(*opus))
            return *count;
    return fromMilliseconds(properties);
}

PlayingTime playingTimeOf(const TagLib::FileRef& fileRef) {
    const SampleCount count = sampleCountOf(fileRef);
    PlayingTime time;
    time.length = Duration::of(count.samples, count.rate);
    time.maxExcess = Duration::of(count.maxExcess, count.rate);
    return time;
}

} // namespace Vantrel
