#include "files/FileDisc.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>

#include "files/SafeSave.h"

namespace Vantrel {

namespace {

const char* saveResult(const SaveOutcome& outcome) { return outcome.saved ? " [Tag Saved]" : " [Save Failed]"; }

// Why a file was not saved, after its tagging line.
void reportProblem(const std::string& path, const SaveOutcome& outcome) {
    if (!outcome.saved)
        std::cerr << path << ": " << outcome.problem << std::endl;
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
        const std::string path = nearest->first.file()->name();
        candidates.erase(nearest);
        const SaveOutcome outcome = writeTrack(disc, track, path);
        unsaved += outcome.saved ? 0 : 1;
        std::cout << counter++ << ": File " << path << " matches " << track.getName() << saveResult(outcome)
                  << std::endl;
        reportProblem(path, outcome);
    }
    throwIfUnsaved(unsaved);
}

void FileDisc::tagByOrder(const Disc& disc) {
    const std::vector<Track>& tracks = disc.getTracks();
    const std::size_t count = std::min(tracks.size(), files.size());
    unsigned int unsaved = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const SaveOutcome outcome = writeTrack(disc, tracks[i], files[i].path);
        unsaved += outcome.saved ? 0 : 1;
        std::cout << i + 1 << ": File " << files[i].path << saveResult(outcome) << std::endl;
        reportProblem(files[i].path, outcome);
    }
    throwIfUnsaved(unsaved);
}

// Nothing read from the file before the disc question is written back: the
// edit works on a fresh copy of what the file holds now.
SaveOutcome FileDisc::writeTrack(const Disc& disc, const Track& track, const std::string& path) {
    const SaveOutcome outcome = saveThroughCopy(path, [&](TagLib::FileRef& copy) {
        stripTag(copy);
        setTag(disc, track, copy);
    });
    if (outcome.saved)
        closeReplaced(path);
    return outcome;
}

// The replaced file's content lives on while it is open; closing it gives
// its space back before the next file is copied.
void FileDisc::closeReplaced(const std::string& path) {
    const TagLib::File* replaced = nullptr;
    for (const PathFileRef& entry : files)
        if (entry.path == path && !entry.fileRef.isNull())
            replaced = entry.fileRef.file();
    for (PathFileRef& entry : files)
        if (replaced != nullptr && entry.fileRef.file() == replaced)
            entry.fileRef = TagLib::FileRef();
}

} // namespace Vantrel
