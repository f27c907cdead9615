#include "files/FileDisc.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>

#include "disc/Text.h"
#include "disc/Assignment.h"
#include "files/FileLengths.h"

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
    // At most 2^64 ticks: some 5.4e9 seconds.
    const unsigned long long seconds = playingTimeOf(entry.fileRef).length.frames() / frames_per_second;
    filesWithLengths.emplace_back(entry.fileRef, static_cast<long long>(seconds));
}

void FileDisc::tagByBestFit(const Disc& disc) {
    const std::vector<std::pair<TagLib::FileRef, long long>> candidates =
        std::for_each(files.begin(), files.end(), DiscCopyWithLengths()).filesWithLengths;
    const std::vector<Track>& tracks = disc.getTracks();
    std::vector<long long> trackLengths, fileLengths;
    for (const Track& track : tracks)
        trackLengths.push_back(track.getLength());
    for (const auto& candidate : candidates)
        fileLengths.push_back(candidate.second);
    const std::vector<int> fileOfTrack = assignByLength(trackLengths, fileLengths);

    unsigned int counter = 1;
    unsigned int unsaved = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (fileOfTrack[i] < 0)
            continue;
        TagLib::FileRef fileRef = candidates[static_cast<std::size_t>(fileOfTrack[i])].first;
        const bool saved = writeTrack(disc, tracks[i], fileRef);
        unsaved += saved ? 0 : 1;
        std::cout << counter++ << ": File " << forTerminal(fileRef.file()->name()) << " matches "
                  << forTerminal(tracks[i].getName()) << saveResult(saved) << std::endl;
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
