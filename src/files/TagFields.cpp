#include "files/FileDisc.h"

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

namespace Vantrel {

void FileDisc::stripTag(const TagLib::FileRef& fileRef) {
    auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(fileRef.file());
    if (mpeg == nullptr)
        return;
    mpeg->strip(TagLib::MPEG::File::AllTags);
    // Stripping leaves no tag to write into: the fields would go nowhere.
    mpeg->ID3v2Tag(true);
}

void FileDisc::setTag(const Disc& disc, const Track& track, TagLib::FileRef& fileRef) {
    TagLib::Tag* tag = fileRef.isNull() ? nullptr : fileRef.tag();
    if (tag == nullptr)
        throw TagException("Tag is NULL");
    tag->setTitle(toUTF8String(track.getName()));
    tag->setArtist(toUTF8String(track.getArtist()));
    tag->setTrack(track.getTrackNo());
    tag->setAlbum(toUTF8String(disc.getTitle()));
    tag->setGenre(toUTF8String(disc.getGenre()));
    tag->setYear(disc.getYear());
    if (!disc.getReleaseId().empty())
        setIdentifiers(disc, track, fileRef);
}

} // namespace Vantrel
