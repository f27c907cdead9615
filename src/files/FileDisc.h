#ifndef VANTREL_FILES_FILEDISC_H
#define VANTREL_FILES_FILEDISC_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "disc/Disc.h"
#include "disc/TableOfContents.h"
#include "files/FileRecords.h"
#include "files/TagException.h"

namespace Vantrel {

struct OpenFile;
class FolderSyncs;

// A file's own description of its disc.
struct FileCueSheet {
    std::string path;
    TrackLayout layout;
};

// The audio files of one disc, in track order, each kept open from
// construction to destruction. Hides the audio library: what it finds and
// does comes back as records.
class FileDisc {
public:
    // Told each file's outcome as soon as it is known.
    using TagReport = std::function<void(const TagResult&)>;
    // Takes notes for the user, one line each.
    using Notes = std::function<void(const std::string&)>;

    // Puts back every named file whose save was interrupted (a crash, a
    // killed run), before anything reads it; tells `note` of each.
    static void recoverInterruptedSaves(const std::vector<std::string>& paths, const Notes& note);

    explicit FileDisc(const std::vector<std::string>& paths);
    // The audio files of a disc's folder, in natural name order.
    static std::vector<std::string> audioFilesIn(const std::string& folder);
    ~FileDisc();

    FileDisc(const FileDisc&) = delete;
    FileDisc& operator=(const FileDisc&) = delete;

    const std::vector<ProblemFile>& checkFiles();
    // The listing of every file, in order.
    std::vector<FileDetails> details() const;

    // Each file's playing time, in order.
    std::vector<PlayingTime> playingTimes() const;
    // The playing time of the audio file at `path`, or nothing when there is none.
    static std::optional<PlayingTime> playingTimeOfFile(const std::string& path);
    // The CUESHEET block of the first FLAC file, when it has one.
    std::optional<FileCueSheet> firstFlacCueSheet() const;

    // The table of contents of a disc whose tracks are these files, the
    // first one starting at firstOffset. Throws TagException when the files
    // are too long for one CD.
    const TableOfContents& generateOffsets(int firstOffset);

    // Tags the files and returns every file's outcome, each also reported as
    // it comes; a file that cannot be saved does not stop the others.
    std::vector<TagResult> tagByBestFit(const Disc& disc, const TagReport& report);
    std::vector<TagResult> tagByOrder(const Disc& disc, const TagReport& report);

    // True when a rename template holds the character every token begins with.
    static bool isTemplate(const std::string& templateString);
    const std::vector<OldNameNewName>& generateNewNames(const std::string& templateString);
    // Entries of the plan that would end at the same target as another one.
    static std::vector<RenameProblem> findClashes(const std::vector<OldNameNewName>& plan);
    // Renames each file inside its own directory, never replacing an
    // existing file; returns the entries that were not renamed.
    const std::vector<RenameProblem>& renameFiles(const std::vector<OldNameNewName>& plan);

private:
    TagResult writeTrack(const Disc& disc, const Track& track, const std::string& path, FolderSyncs& later);

    std::vector<OpenFile> files;
    std::vector<OldNameNewName> newNames;
    TableOfContents toc;
    std::vector<ProblemFile> problemFiles;
    std::vector<RenameProblem> renameProblems;
};

} // namespace Vantrel

#endif
