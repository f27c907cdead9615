#ifndef VANTREL_FILES_SAVING_FILELOCK_H
#define VANTREL_FILES_SAVING_FILELOCK_H

#include <stdexcept>
#include <string>

namespace Vantrel {

// Where a file really is: its resolved path (symbolic links followed), the
// folder that holds it and its name there.
struct FileLocation {
    std::string path;
    std::string folder;
    std::string name;
};

// Why a file could not be located or locked.
class LockFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws LockFailure "cannot open: <reason>" when the path leads nowhere.
FileLocation locationOf(const std::string& path);

// The lock that vantrels take on a file while they save it or put it back,
// so that they take turns. Waits a bounded time for another vantrel; where
// the file system has no locks, goes on without one.
class FileLock {
public:
    // Throws LockFailure "another program keeps the file locked".
    explicit FileLock(int descriptor);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int descriptor;
};

} // namespace Vantrel

#endif
