#ifndef VANTREL_FILES_FILEDISC_H
#define VANTREL_FILES_FILEDISC_H

#include <taglib/fileref.h>
#include <taglib/tstring.h>

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "disc/Disc.h"
#include "disc/Duration.h"
#include "files/SafeSave.h"
#include "files/TagException.h"

namespace Vantrel {

enum ProblemType : std::int32_t {
    PROBLEM_NONE = 0,
    PROBLEM_READ_ONLY = 1,
    PROBLEM_INVALID = 2,
    PROBLEM_INVALID_AND_READ_ONLY = 3
};

// A file that cannot be used, and why.
struct ProblemFile {
    std::string path;
    ProblemType type = PROBLEM_NONE;
};

// Start of every file in CD frames, the lead-out frame, and the disc length
// in seconds as CDDB defines it: the lead-out frame divided by
// frames_per_second. The files' playing times come along for a search
// around lengths that are only estimates.
struct Offsets {
    std::vector<int> frameOffsets;
    unsigned int length = 0;
    int leadOut = 0;
    std::vector<PlayingTime> times;
};

// One entry of a rename plan.
struct OldNameNewName {
    std::string oldName;
    std::string newName;
};

// One entry of a rename plan that was refused or failed, with the reason.
struct RenameProblem {
    std::string oldName;
    std::string reason;
};

// The text of a tag, read as UTF-8.
TagLib::String toUTF8String(const std::string& s);

// The audio files of one disc, in track order, each kept open from
// construction to destruction.
class FileDisc {
public:
    struct PathFileRef {
        std::string path;
        TagLib::FileRef fileRef;
    };

    explicit FileDisc(const std::vector<std::string>& paths);
    virtual ~FileDisc();

    FileDisc(const FileDisc&) = delete;
    FileDisc& operator=(const FileDisc&) = delete;

    const std::vector<ProblemFile>& checkFiles();
    static std::string ProblemTypeToString(const ProblemType& type);
    void printDetails(std::ostream& os);

    const Offsets& generateOffsets(int firstOffset);

    // Each throws TagException after tagging every file it could when any
    // file could not be saved.
    void tagByBestFit(const Disc& disc);
    void tagByOrder(const Disc& disc);
    void stripTag(const TagLib::FileRef& fileRef);
    void setTag(const Disc& disc, const Track& track, TagLib::FileRef& fileRef);
    // The disc's and track's MusicBrainz identifiers, under the names each
    // format's taggers read, replacing earlier ones.
    void setIdentifiers(const Disc& disc, const Track& track, TagLib::FileRef& fileRef);

    const std::vector<OldNameNewName>& generateNewNames(const std::string& templateString);
    // Entries of the plan that would end at the same target as another one.
    // A target is the old name's directory plus the new name's last component.
    static std::vector<RenameProblem> findClashes(const std::vector<OldNameNewName>& plan);
    // Renames each file inside its own directory, never replacing an
    // existing file; returns the entries that were not renamed.
    const std::vector<RenameProblem>& renameFiles(const std::vector<OldNameNewName>& plan);

private:
    std::vector<PathFileRef> files;
    std::vector<OldNameNewName> newNames;
    Offsets offsets;
    std::vector<ProblemFile> problemFiles;
    std::vector<RenameProblem> renameProblems;

    // Strips, sets and saves one file.
    SaveOutcome writeTrack(const Disc& disc, const Track& track, const std::string& path);
    void closeReplaced(const std::string& path);
};

// Opens every path through TagLib; applied with std::for_each.
class InstantiateTagLibFiles {
public:
    explicit InstantiateTagLibFiles(std::vector<FileDisc::PathFileRef>& files) : files(files) {}
    void operator()(const std::string& path);

private:
    std::vector<FileDisc::PathFileRef>& files;
    // Files opened so far, by device and inode: a file named twice (under
    // any spelling) shares one open file, so two writers never clash.
    std::map<std::pair<dev_t, ino_t>, TagLib::FileRef> opened;
};

// Collects the files that cannot be used; applied with std::for_each.
struct CheckValidity {
    std::vector<ProblemFile> problemFiles;
    void operator()(const FileDisc::PathFileRef& entry);
};

// Writes the listing of one file; applied with std::for_each.
class PrintFileDisc {
public:
    explicit PrintFileDisc(std::ostream& stream) : stream(stream) {}
    void operator()(const FileDisc::PathFileRef& entry);

private:
    std::ostream& stream;
    unsigned int count = 0;
};

// Collects the files' playing times, exact where the files keep them;
// applied with std::for_each. Throws TagException when the files would end
// past the last frame a CD's time code can name.
struct OffsetsCounter {
    explicit OffsetsCounter(const int& firstOffset) : firstOffset(firstOffset) {}
    void operator()(const FileDisc::PathFileRef& entry);

    int firstOffset;
    Duration elapsed;
    std::vector<PlayingTime> times;
};

// The file's audio properties; throws TagException when there are none.
const TagLib::AudioProperties& audioPropertiesOf(const TagLib::FileRef& fileRef);

// Pairs every file with its exact length in whole seconds, counted as CDDB
// counts a track's (whole frames, then seconds); applied with std::for_each.
struct DiscCopyWithLengths {
    std::vector<std::pair<TagLib::FileRef, long long>> filesWithLengths;
    void operator()(const FileDisc::PathFileRef& entry);
};

// Expands the rename template for every file; applied with std::for_each.
// The new name is the last component of the expansion (the file stays in its
// directory), in UTF-8, with the tag texts shortened when the name is longer
// than the file system allows.
class PrepareNewNames {
public:
    explicit PrepareNewNames(const std::string& templateString) : templateString(templateString) {}
    void operator()(const FileDisc::PathFileRef& entry);

    std::string templateString;
    std::vector<OldNameNewName> newNames;
};

// Renames one file of a plan, collecting the entries that were not renamed;
// applied with std::for_each.
struct RenameFiles {
    void operator()(const OldNameNewName& entry);

    std::vector<RenameProblem> problems;
};

} // namespace Vantrel

#endif
