#ifndef VANTREL_FILES_SAVING_JOURNAL_H
#define VANTREL_FILES_SAVING_JOURNAL_H

#include <sys/stat.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/saving/FileIo.h"

namespace Vantrel {

// A stretch of a file.
struct ByteRange {
    long offset = 0;
    long length = 0;
};

// What a journal could not do, as "what: reason".
class JournalFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The journal of one file: beside the file (its resolved path), named by
// the file's device and inode, never by its name, so that it fits wherever
// the file does.
std::string journalPathFor(const std::string& folder, const struct stat& file);
// The device and inode a journal's name gives; nothing for another name.
std::optional<std::pair<dev_t, ino_t>> fileOfJournalName(const std::string& name);

// Where a journal keeps the old bytes of one range of the file.
struct KeptRange {
    ByteRange range;
    long journalOffset = 0;
};

// What a complete journal holds.
struct JournalContents {
    dev_t device = 0;
    ino_t inode = 0;
    long oldSize = 0;
    std::string name;
    std::vector<KeptRange> kept;
};

// A rollback journal, written before a file is changed in place: the old
// bytes of every range about to change, the old size, the file's name,
// device and inode, and a checksum over all of it. Once written it is
// synced with its folder; while it exists, the file can be put back.
class Journal {
public:
    // Writes the journal of the file `name` in `folder`, open on
    // `descriptor` with status `file`, keeping the old bytes of `ranges`.
    // Throws JournalFailure when it cannot be written whole; nothing is
    // left behind then.
    Journal(const std::string& folder, const std::string& name, int descriptor, const struct stat& file,
            const std::vector<ByteRange>& ranges);
    // Leaves the journal on disk unless it was committed or rolled back:
    // the next run puts the file back from it.
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // The old bytes at `offset` of the file, read from the journal where
    // they were kept and from the file elsewhere (bytes that are not kept do
    // not change); false when they cannot be read.
    bool readOld(long offset, char* data, long count) const;

    // The file's new bytes are synced: the journal goes (its folder is
    // synced by `later`). Throws JournalFailure when it cannot be removed,
    // for the next run would put the old bytes back from it.
    void commit(FolderSyncs& later);
    // Puts the file's old bytes and size back, syncs it and removes the
    // journal; throws JournalFailure when that fails, and the journal stays.
    void rollBack();

private:
    std::string folder;
    std::string path;
    int file;
    int journal = -1;
    JournalContents contents;
};

// The contents of the journal open on `descriptor`; nothing when it is torn
// (incomplete or damaged: its checksum fails).
std::optional<JournalContents> readJournal(int descriptor);

// Puts back the old bytes and size a journal keeps into the file open on
// `file`, and syncs it; throws JournalFailure.
void restoreFile(int journal, const JournalContents& contents, int file);

// Removes a journal, syncing its folder; false when it could not be removed.
bool removeJournal(const std::string& path, const std::string& folder);

} // namespace Vantrel

#endif
