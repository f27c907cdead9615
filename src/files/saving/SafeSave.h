#ifndef VANTREL_FILES_SAVING_SAFESAVE_H
#define VANTREL_FILES_SAVING_SAFESAVE_H

#include <taglib/fileref.h>

#include <functional>
#include <string>

namespace Vantrel {

struct SaveOutcome {
    bool saved = false;
    // Why the file was not saved; empty when it was.
    std::string problem;
};

// Changes the tags of a file so that it is always either wholly the old or
// wholly the new file, whatever happens meanwhile. The file (a symbolic
// link's target) is copied beside itself into a hidden temporary file,
// parsed afresh there, edited by `edit`, saved, synced, read back and
// checked, and only then renamed over the original. A file that another
// program changes meanwhile is started over from its new content, a few
// times at most. An exception from `edit` leaves the original untouched and
// is passed on.
SaveOutcome saveThroughCopy(const std::string& path, const std::function<void(TagLib::FileRef&)>& edit);

} // namespace Vantrel

#endif
