#include "files/tags/TagFields.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <taglib/flacfile.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/xiphcomment.h>

#include "files/TagException.h"
#include "files/tags/FrontCover.h"
#include "files/tags/ReleaseFields.h"

namespace Vantrel {

namespace {

// Frames that are not the tagger's to replace: pictures, lyrics, ReplayGain
// values, and the descriptive fields, which only a disc from MusicBrainz
// replaces.
bool keptThroughStrip(const TagLib::ID3v2::Frame& frame) {
    const TagLib::ByteVector id = frame.frameID();
    if (id == "APIC" || id == "USLT" || id == "RVA2" || holdsDescription(frame))
        return true;
    const auto* text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(&frame);
    return text != nullptr && text->description().upper().startsWith("REPLAYGAIN_");
}

// Takes the kept frames out of the file's ID3v2 tag, unchanged.
std::vector<std::unique_ptr<TagLib::ID3v2::Frame>> takeKeptFrames(TagLib::MPEG::File& mpeg) {
    std::vector<std::unique_ptr<TagLib::ID3v2::Frame>> kept;
    TagLib::ID3v2::Tag* tag = mpeg.ID3v2Tag();
    if (tag == nullptr)
        return kept;
    // Not a copy of the tag's frame list: a copy shares the list's duty to
    // delete every frame, and would delete them all when it goes.
    std::vector<TagLib::ID3v2::Frame*> chosen;
    for (TagLib::ID3v2::Frame* frame : tag->frameList())
        if (keptThroughStrip(*frame))
            chosen.push_back(frame);
    for (TagLib::ID3v2::Frame* frame : chosen) {
        tag->removeFrame(frame, false);
        kept.emplace_back(frame);
    }
    return kept;
}

void setID3v2AlbumArtist(TagLib::ID3v2::Tag& tag, const TagLib::String& artist) {
    tag.removeFrames("TPE2");
    if (artist.isEmpty())
        return;
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(
        "TPE2", TagLib::ID3v2::FrameFactory::instance()->defaultTextEncoding());
    frame->setText(artist);
    tag.addFrame(frame.release());
}

void setXiphAlbumArtist(TagLib::Ogg::XiphComment& comment, const TagLib::String& artist) {
    comment.removeFields("ALBUMARTIST");
    if (!artist.isEmpty())
        comment.addField("ALBUMARTIST", artist);
}

// The disc's artist as the album artist, so that players keep a disc of
// several artists together as one album. Each format's own field where the
// generic tag has none; the property interface for the other formats.
void setAlbumArtist(const Disc& disc, TagLib::File& file) {
    const TagLib::String artist = toUTF8String(disc.getArtist());
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file)) {
        setID3v2AlbumArtist(*mpeg->ID3v2Tag(true), artist);
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        setXiphAlbumArtist(*flac->xiphComment(true), artist);
    } else if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file.tag())) {
        setXiphAlbumArtist(*comment, artist);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        if (artist.isEmpty())
            mp4->tag()->removeItem("aART");
        else
            mp4->tag()->setItem("aART", TagLib::StringList(artist));
    } else {
        TagLib::PropertyMap properties = file.properties();
        if (artist.isEmpty())
            properties.erase("ALBUMARTIST");
        else
            properties.replace("ALBUMARTIST", TagLib::StringList(artist));
        file.setProperties(properties);
    }
}

} // namespace

TagLib::String toUTF8String(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

void stripTag(TagLib::File& file) {
    auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file);
    if (mpeg == nullptr)
        return;
    std::vector<std::unique_ptr<TagLib::ID3v2::Frame>> kept = takeKeptFrames(*mpeg);
    mpeg->strip(TagLib::MPEG::File::AllTags);
    // Stripping leaves no tag to write into: the fields would go nowhere.
    TagLib::ID3v2::Tag* fresh = mpeg->ID3v2Tag(true);
    for (std::unique_ptr<TagLib::ID3v2::Frame>& frame : kept)
        fresh->addFrame(frame.release());
}

namespace {

// The frames of an MP3 file's fresh tag in one order, whatever order the
// frames carried over from its old tag had: the same disc written twice gives
// the same bytes, and the second save changes nothing.
void sortFrames(TagLib::File& file) {
    auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file);
    TagLib::ID3v2::Tag* tag = mpeg == nullptr ? nullptr : mpeg->ID3v2Tag();
    if (tag == nullptr)
        return;
    std::vector<TagLib::ID3v2::Frame*> frames(tag->frameList().begin(), tag->frameList().end());
    std::stable_sort(frames.begin(), frames.end(), [](const TagLib::ID3v2::Frame* a, const TagLib::ID3v2::Frame* b) {
        return a->frameID() < b->frameID();
    });
    for (TagLib::ID3v2::Frame* frame : frames)
        tag->removeFrame(frame, false);
    for (TagLib::ID3v2::Frame* frame : frames)
        tag->addFrame(frame);
}

} // namespace

void setTag(const Disc& disc, const Track& track, TagLib::File& file) {
    TagLib::Tag* tag = file.tag();
    if (tag == nullptr)
        throw TagException("Tag is NULL");
    tag->setTitle(toUTF8String(track.getName()));
    tag->setArtist(toUTF8String(track.getArtist()));
    tag->setTrack(track.getTrackNo());
    tag->setAlbum(toUTF8String(disc.getTitle()));
    tag->setGenre(toUTF8String(disc.getGenre()));
    tag->setYear(disc.getYear());
    setAlbumArtist(disc, file);
    writeReleaseFields(disc, track, file);
    if (disc.getFrontCover())
        addFrontCover(file, *disc.getFrontCover());
    sortFrames(file);
}

} // namespace Vantrel
