#include "files/tags/TagFields.h"

#include <string>
#include <vector>

#include <taglib/aifffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace Vantrel {

namespace {

// One MusicBrainz identifier under the names that taggers read in each
// format. An empty value removes an earlier one.
struct Identifier {
    const char* vorbisKey; // also the generic property name
    const char* id3Description; // of a TXXX frame; null for the recording, kept in a UFID frame
    const char* mp4Name;        // of a ----:com.apple.iTunes: item
    std::string value;
};

const char* const UFID_OWNER = "http://musicbrainz.org";

std::vector<Identifier> identifiersOf(const Disc& disc, const Track& track) {
    return {{"MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id", "MusicBrainz Album Id", disc.getReleaseId()},
            {"MUSICBRAINZ_RELEASETRACKID", "MusicBrainz Release Track Id", "MusicBrainz Release Track Id",
             track.getReleaseTrackId()},
            {"MUSICBRAINZ_TRACKID", nullptr, "MusicBrainz Track Id", track.getRecordingId()},
            {"MUSICBRAINZ_DISCID", "MusicBrainz Disc Id", "MusicBrainz Disc Id", disc.getMusicBrainzDiscId()}};
}

// TagLib upper-cases the field names it reads, so replacing a field
// replaces it whatever its case in the file.
void writeVorbis(TagLib::Ogg::XiphComment& comment, const std::vector<Identifier>& identifiers) {
    for (const Identifier& identifier : identifiers) {
        comment.removeFields(identifier.vorbisKey);
        if (!identifier.value.empty())
            comment.addField(identifier.vorbisKey, toUTF8String(identifier.value));
    }
}

// Removes the frames of one kind that the predicate names.
template <typename Frame, typename Predicate>
void removeFrames(TagLib::ID3v2::Tag& tag, const char* frameId, Predicate names) {
    const TagLib::ID3v2::FrameList frames = tag.frameList(frameId);
    for (TagLib::ID3v2::Frame* frame : frames) {
        const auto* specific = dynamic_cast<const Frame*>(frame);
        if (specific != nullptr && names(*specific))
            tag.removeFrame(frame);
    }
}

void writeId3(TagLib::ID3v2::Tag& tag, const std::vector<Identifier>& identifiers) {
    for (const Identifier& identifier : identifiers) {
        if (identifier.id3Description == nullptr) {
            const TagLib::String owner = TagLib::String(UFID_OWNER).upper();
            removeFrames<TagLib::ID3v2::UniqueFileIdentifierFrame>(
                tag, "UFID", [&](const auto& frame) { return frame.owner().upper() == owner; });
            if (!identifier.value.empty())
                tag.addFrame(new TagLib::ID3v2::UniqueFileIdentifierFrame(
                    UFID_OWNER, TagLib::ByteVector(identifier.value.data(),
                                                   static_cast<unsigned int>(identifier.value.size()))));
            continue;
        }
        const TagLib::String description = TagLib::String(identifier.id3Description).upper();
        removeFrames<TagLib::ID3v2::UserTextIdentificationFrame>(
            tag, "TXXX", [&](const auto& frame) { return frame.description().upper() == description; });
        if (identifier.value.empty())
            continue;
        auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        frame->setDescription(identifier.id3Description);
        frame->setText(toUTF8String(identifier.value));
        tag.addFrame(frame);
    }
}

void writeMp4(TagLib::MP4::Tag& tag, const std::vector<Identifier>& identifiers) {
    for (const Identifier& identifier : identifiers) {
        const TagLib::String name = TagLib::String("----:com.apple.iTunes:") + identifier.mp4Name;
        const TagLib::MP4::ItemMap items = tag.itemMap();
        for (const auto& item : items)
            if (item.first.upper() == name.upper())
                tag.removeItem(item.first);
        if (!identifier.value.empty())
            tag.setItem(name, TagLib::StringList(toUTF8String(identifier.value)));
    }
}

void writeProperties(TagLib::File& file, const std::vector<Identifier>& identifiers) {
    TagLib::PropertyMap properties = file.properties();
    for (const Identifier& identifier : identifiers) {
        properties.erase(identifier.vorbisKey);
        if (!identifier.value.empty())
            properties.insert(identifier.vorbisKey, TagLib::StringList(toUTF8String(identifier.value)));
    }
    file.setProperties(properties);
}

// The ID3v2 tag of a file that keeps its fields there, or null.
TagLib::ID3v2::Tag* id3v2TagOf(TagLib::File* file) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return mpeg->ID3v2Tag(true);
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        return wav->ID3v2Tag();
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
        return aiff->tag();
    return nullptr;
}

} // namespace

void setIdentifiers(const Disc& disc, const Track& track, TagLib::File& target) {
    TagLib::File* file = &target;
    const std::vector<Identifier> identifiers = identifiersOf(disc, track);
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file))
        writeVorbis(*flac->xiphComment(true), identifiers);
    else if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag()))
        writeVorbis(*comment, identifiers);
    else if (TagLib::ID3v2::Tag* id3 = id3v2TagOf(file))
        writeId3(*id3, identifiers);
    else if (auto* mp4 = dynamic_cast<TagLib::MP4::Tag*>(file->tag()))
        writeMp4(*mp4, identifiers);
    else
        writeProperties(*file, identifiers);
}

} // namespace Vantrel
