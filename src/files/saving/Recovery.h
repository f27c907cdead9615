#ifndef VANTREL_FILES_SAVING_RECOVERY_H
#define VANTREL_FILES_SAVING_RECOVERY_H

#include <functional>
#include <string>
#include <vector>

#include "files/saving/FileLock.h"

namespace Vantrel {

// What became of the journal of an interrupted save.
enum class Recovery { NO_JOURNAL, RESTORED, TORN, NOT_THIS_FILE };

// Puts the file open (and locked) on `descriptor` back as it was before a
// save that was interrupted, from the journal its device and inode name:
// a complete journal is rolled back and removed, a torn one (the save had
// not touched the file yet) removed. Throws JournalFailure.
Recovery putBackInterruptedSave(const FileLocation& file, int descriptor);

// Looks for the journals of the named files, each in the folder of the
// file's resolved path, and puts back every file whose save was
// interrupted, each under its lock, so that a save running in another
// vantrel is waited for, never disturbed. A complete journal of a file
// that is gone or another file now is removed. Tells `note` what it did
// ("Vantrel: restored <file> from an interrupted save").
void recoverInterruptedSaves(const std::vector<std::string>& paths,
                             const std::function<void(const std::string&)>& note);

} // namespace Vantrel

#endif
