#include "files/FileDisc.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>

#include "disc/Text.h"

namespace Vantrel {

namespace {

const char* saveResult(bool saved) { return saved ? " [Tag Saved]" : " [Save Failed]"; }

bool sameFields(const TagLib::Tag& a, const TagLib::Tag& b) {
    return a.title() == b.title() && a.artist() == b.artist() && a.album() == b.album() &&
           a.genre() == b.genre() && a.year() == b.year() && a.track() == b.track();
}

// TagLib ignores failed writes (a full disk, a file size limit) and still
// answers success, so a save counts only when a fresh reading of the file
// finds the fields that the open file holds.
bool saveConfirmed(TagLib::FileRef& fileRef) {
    if (!fileRef.save())
        return false;
    TagLib::File* file = fileRef.file();
    file->seek(0); // hands what the stream still buffers to the file system
    const TagLib::FileRef reread(file->name(), false);
    return !reread.isNull() && reread.tag() != nullptr && sameFields(*fileRef.tag(), *reread.tag());
}

void throwIfUnsaved(unsigned int unsaved) {
    if (unsaved == 0)
        return;
    throw TagException(std::to_string(unsaved) + (unsaved == 1 ? " file" : " files") + " could not be saved.");
}

} // namespace

void DiscCopyWithLengths::operator()(const FileDisc::PathFileRef& entry) {
    const TagLib::AudioProperties& properties = audioPropertiesOf(entry.fileRef);
    filesWithLengths.emplace_back(entry.fileRef, static_cast<unsigned int>(properties.length()));
}

bool DiffFromX::operator()(const std::pair<TagLib::FileRef, unsigned int>& a,
                           const std::pair<TagLib::FileRef, unsigned int>& b) const {
    const std::int64_t target = x;
    return std::llabs(a.second - target) < std::llabs(b.second - target);
}

void FileDisc::tagByBestFit(const Disc& disc) {
    std::vector<std::pair<TagLib::FileRef, unsigned int>> candidates =
        std::for_each(files.begin(), files.end(), DiscCopyWithLengths()).filesWithLengths;
    unsigned int counter = 1;
    unsigned int unsaved = 0;
    for (const Track& track : disc.getTracks()) {
        if (candidates.empty())
            break;
        // min_element keeps the earliest of equally near files.
        const auto nearest = std::min_element(candidates.begin(), candidates.end(), DiffFromX(track.getLength()));
        TagLib::FileRef fileRef = nearest->first;
        candidates.erase(nearest);
        const bool saved = writeTrack(disc, track, fileRef);
        unsaved += saved ? 0 : 1;
        std::cout << counter++ << ": File " << forTerminal(fileRef.file()->name()) << " matches "
                  << forTerminal(track.getName()) << saveResult(saved) << std::endl;
    }
    throwIfUnsaved(unsaved);
}

void FileDisc::tagByOrder(const Disc& disc) {
    const std::vector<Track>& tracks = disc.getTracks();
    const std::size_t count = std::min(tracks.size(), files.size());
    unsigned int unsaved = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const bool saved = writeTrack(disc, tracks[i], files[i].fileRef);
        unsaved += saved ? 0 : 1;
        std::cout << i + 1 << ": File " << forTerminal(files[i].path) << saveResult(saved) << std::endl;
    }
    throwIfUnsaved(unsaved);
}

bool FileDisc::writeTrack(const Disc& disc, const Track& track, TagLib::FileRef& fileRef) {
    stripTag(fileRef);
    setTag(disc, track, fileRef);
    return saveConfirmed(fileRef);
}

} // namespace Vantrel
