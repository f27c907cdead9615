#include "files/FileDisc.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>

#include "disc/Assignment.h"
#include "disc/Text.h"
#include "files/FileLengths.h"
#include "files/SafeSave.h"

namespace Vantrel {

namespace {

const char* saveResult(const SaveOutcome& outcome) { return outcome.saved ? " [Tag Saved]" : " [Save Failed]"; }

// Why a file was not saved, after its tagging line.
void reportProblem(const std::string& path, const SaveOutcome& outcome) {
    if (!outcome.saved)
        std::cerr << forTerminal(path) << ": " << outcome.problem << std::endl;
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
        const std::string path = candidates[static_cast<std::size_t>(fileOfTrack[i])].first.file()->name();
        const SaveOutcome outcome = writeTrack(disc, tracks[i], path);
        unsaved += outcome.saved ? 0 : 1;
        std::cout << counter++ << ": File " << forTerminal(path) << " matches " << forTerminal(tracks[i].getName())
                  << saveResult(outcome) << std::endl;
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
        std::cout << i + 1 << ": File " << forTerminal(files[i].path) << saveResult(outcome) << std::endl;
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
