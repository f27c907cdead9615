#ifndef VANTREL_FILES_SAVING_SAFESAVE_H
#define VANTREL_FILES_SAVING_SAFESAVE_H

#include <taglib/fileref.h>

#include <functional>
#include <string>

#include "files/saving/FileIo.h"

namespace Vantrel {

struct SaveOutcome {
    enum Result { SAVED, UNCHANGED, FAILED };
    Result result = FAILED;
    // Why the file was not saved, when it was not.
    std::string problem;
};

// Changes the tags of a file in place so that it is always either wholly
// the old or wholly the new file, whatever happens meanwhile; the file (a
// symbolic link's target) stays the same file. TagLib saves into memory,
// over a fresh reading of the file; the result is read back and checked;
// the old bytes of every range that changes go into a synced journal beside
// the file; only then is the file changed, synced, and the journal removed.
// A failure after that puts the old bytes back. A file that another program
// changes meanwhile is started over from its new content, a few times at
// most. An exception from `edit` leaves the file untouched and is passed on.
// The folders of the saved files are synced by `later`, once for a run of saves.
SaveOutcome saveInPlace(const std::string& path, const std::function<void(TagLib::FileRef&)>& edit,
                        FolderSyncs& later);

} // namespace Vantrel

#endif
