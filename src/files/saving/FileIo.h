#ifndef VANTREL_FILES_SAVING_FILEIO_H
#define VANTREL_FILES_SAVING_FILEIO_H

#include <sys/types.h>

#include <cstddef>
#include <set>
#include <string>

namespace Vantrel {

// Whole reads and writes at an offset, retried after interruptions. False
// when they fell short: errno then tells why (0 at the end of the file).
bool readFully(int descriptor, void* data, std::size_t size, off_t offset);
bool writeFully(int descriptor, const void* data, std::size_t size, off_t offset);

// "what: reason" for the error `error`.
std::string describe(const std::string& what, int error);

// Syncs a folder, so that a file created, renamed or removed in it stays so
// after a crash; false when it could not be.
bool syncFolder(const std::string& folder);

// Folders synced once, when this goes, rather than after each of a run of
// saves: the removal of a committed save's journal may wait, since a
// journal that a crash brings back puts the old file back, never a mix.
// A journal written later in the same folder syncs it anyway.
class FolderSyncs {
public:
    FolderSyncs() = default;
    ~FolderSyncs();
    FolderSyncs(const FolderSyncs&) = delete;
    FolderSyncs& operator=(const FolderSyncs&) = delete;

    void add(const std::string& folder) { folders.insert(folder); }

private:
    std::set<std::string> folders;
};

} // namespace Vantrel

#endif
