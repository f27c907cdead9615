#include "files/FileDisc.h"

#include <algorithm>
#include <filesystem>

#include <taglib/flacfile.h>

#include "disc/Assignment.h"
#include "files/lengths/FileLengths.h"
#include "files/lengths/FlacCueSheet.h"
#include "files/naming/RenamePlan.h"
#include "files/saving/FileIo.h"
#include "files/saving/Recovery.h"
#include "files/saving/SafeSave.h"
#include "files/set/DiscFolder.h"
#include "files/set/OpenFiles.h"
#include "files/tags/TagFields.h"

namespace Vantrel {

FileDisc::FileDisc(const std::vector<std::string>& paths) : files(openFiles(paths)) {}

FileDisc::~FileDisc() {
    // The C library keeps open streams newest first; closing them in the
    // same order makes each close a short walk instead of a full one.
    while (!files.empty())
        files.pop_back();
}

std::vector<std::string> FileDisc::audioFilesIn(const std::string& folder) { return Vantrel::audioFilesIn(folder); }

const std::vector<ProblemFile>& FileDisc::checkFiles() {
    problemFiles = problemsOf(files);
    return problemFiles;
}

std::vector<FileDetails> FileDisc::details() const {
    std::vector<FileDetails> listing;
    for (const OpenFile& file : files)
        listing.push_back(detailsOf(file));
    return listing;
}

std::vector<PlayingTime> FileDisc::playingTimes() const {
    std::vector<PlayingTime> times;
    for (const OpenFile& file : files)
        times.push_back(playingTimeOf(file.fileRef));
    return times;
}

std::optional<PlayingTime> FileDisc::playingTimeOfFile(const std::string& path) {
    // Opening anything else, a FIFO say, could wait for ever.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    const TagLib::FileRef fileRef(path.c_str());
    if (fileRef.isNull() || fileRef.audioProperties() == nullptr)
        return std::nullopt;
    return playingTimeOf(fileRef);
}

std::optional<FileCueSheet> FileDisc::firstFlacCueSheet() const {
    for (const OpenFile& file : files) {
        if (dynamic_cast<const TagLib::FLAC::File*>(file.fileRef.file()) == nullptr)
            continue;
        if (std::optional<TrackLayout> layout = flacCueSheetOf(file.path))
            return FileCueSheet{file.path, std::move(*layout)};
        return std::nullopt;
    }
    return std::nullopt;
}

const TableOfContents& FileDisc::generateOffsets(int firstOffset) {
    const std::vector<PlayingTime> times = playingTimes();
    Duration elapsed;
    for (const PlayingTime& time : times) {
        elapsed += time.length;
        // Durations saturate at 2^64 ticks, some 4e11 frames.
        if (static_cast<long long>(firstOffset) + static_cast<long long>(elapsed.frames()) > LAST_CD_FRAME)
            throw TagException("The files are too long for one CD: they would end past 99:59:74.");
    }
    toc = tableOfContentsOf(times, firstOffset);
    return toc;
}

std::vector<TagResult> FileDisc::tagByBestFit(const Disc& disc, const TagReport& report) {
    // Each file's exact length in whole seconds, counted as CDDB counts a
    // track's: whole frames, then seconds. At most 2^64 ticks: some 5.4e9 s.
    // Each file goes by the name it was opened under (where a file was named
    // twice, its first name).
    std::vector<long long> fileLengths;
    std::vector<std::string> names;
    for (const OpenFile& file : files) {
        fileLengths.push_back(static_cast<long long>(playingTimeOf(file.fileRef).length.frames() / frames_per_second));
        names.emplace_back(file.fileRef.file()->name());
    }
    const std::vector<Track>& tracks = disc.getTracks();
    std::vector<long long> trackLengths;
    for (const Track& track : tracks)
        trackLengths.push_back(track.getLength());
    const std::vector<int> fileOfTrack = assignByLength(trackLengths, fileLengths);

    std::vector<TagResult> results;
    FolderSyncs folderSyncs;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (fileOfTrack[i] < 0)
            continue;
        TagResult result = writeTrack(disc, tracks[i], names[static_cast<std::size_t>(fileOfTrack[i])], folderSyncs);
        result.number = static_cast<unsigned int>(results.size() + 1);
        result.matched = true;
        result.matchedTrack = tracks[i].getName();
        report(result);
        results.push_back(result);
    }
    return results;
}

std::vector<TagResult> FileDisc::tagByOrder(const Disc& disc, const TagReport& report) {
    const std::vector<Track>& tracks = disc.getTracks();
    const std::size_t count = std::min(tracks.size(), files.size());
    std::vector<TagResult> results;
    FolderSyncs folderSyncs;
    for (std::size_t i = 0; i < count; ++i) {
        TagResult result = writeTrack(disc, tracks[i], files[i].path, folderSyncs);
        result.number = static_cast<unsigned int>(i + 1);
        report(result);
        results.push_back(result);
    }
    return results;
}

// Nothing read from the file before the disc question is written back: the
// edit works on a fresh reading of what the file holds now.
TagResult FileDisc::writeTrack(const Disc& disc, const Track& track, const std::string& path, FolderSyncs& later) {
    const SaveOutcome outcome = saveInPlace(path, [&](TagLib::FileRef& fresh) {
        stripTag(*fresh.file());
        setTag(disc, track, *fresh.file());
    }, later);
    TagResult result;
    result.path = path;
    result.outcome = outcome.result == SaveOutcome::SAVED       ? TagResult::SAVED
                     : outcome.result == SaveOutcome::UNCHANGED ? TagResult::UNCHANGED
                                                                : TagResult::FAILED;
    result.reason = outcome.problem;
    return result;
}

void FileDisc::recoverInterruptedSaves(const std::vector<std::string>& paths, const Notes& note) {
    Vantrel::recoverInterruptedSaves(paths, note);
}

bool FileDisc::isTemplate(const std::string& templateString) { return holdsToken(templateString); }

const std::vector<OldNameNewName>& FileDisc::generateNewNames(const std::string& templateString) {
    newNames = planNewNames(files, templateString);
    return newNames;
}

std::vector<RenameProblem> FileDisc::findClashes(const std::vector<OldNameNewName>& plan) {
    return Vantrel::findClashes(plan);
}

const std::vector<RenameProblem>& FileDisc::renameFiles(const std::vector<OldNameNewName>& plan) {
    renameProblems = renameAll(plan);
    return renameProblems;
}

} // namespace Vantrel
