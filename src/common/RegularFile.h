#ifndef VANTREL_COMMON_REGULARFILE_H
#define VANTREL_COMMON_REGULARFILE_H

#include <sys/stat.h>

#include <string>
#include <variant>

#include "common/Descriptor.h"

namespace Vantrel {

// A regular file, open, and its status when it was opened.
struct RegularFile {
    Descriptor descriptor;
    struct stat status;
};

// Why a path could not be opened as a regular file: the opening's error, or
// 0 for a file that is not a regular one.
struct OpenProblem {
    int error = 0;

    // "cannot open: <reason>" or "is not a regular file".
    std::string text() const;
};

// Opens `path` with `flags` (O_RDONLY or O_RDWR) when it is a regular file
// (a symbolic link's target). Opening never waits: a FIFO or a device put in
// the file's place is refused, not waited for. Throws nothing, so that it
// serves where no descriptor is left for anything else.
std::variant<RegularFile, OpenProblem> openRegularFile(const std::string& path, int flags);

} // namespace Vantrel

#endif
