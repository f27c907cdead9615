#ifndef VANTREL_FILES_FILERECORDS_H
#define VANTREL_FILES_FILERECORDS_H

#include <cstdint>
#include <string>

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

// What the listing shows of one file: its playing time and its tag's fields,
// texts in UTF-8.
struct FileDetails {
    std::string path;
    unsigned int seconds = 0;
    std::string artist;
    std::string title;
    unsigned int track = 0;
    unsigned int year = 0;
    std::string genre;
};

// How the tagging of one file ended.
struct TagResult {
    // UNCHANGED: the file already held these very bytes; nothing was written.
    enum Outcome { SAVED, UNCHANGED, FAILED };

    // Counted from 1 in the order the files were tagged.
    unsigned int number = 0;
    std::string path;
    // The track's name when files were matched to tracks by length; else empty.
    std::string matchedTrack;
    bool matched = false;
    Outcome outcome = SAVED;
    // Why the file was not saved.
    std::string reason;
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

} // namespace Vantrel

#endif
