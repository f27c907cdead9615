#ifndef VANTREL_COMMON_REGULARFILE_H
#define VANTREL_COMMON_REGULARFILE_H

#include <sys/stat.h>

#include <stdexcept>
#include <string>

#include "common/Descriptor.h"

namespace Vantrel {

// Why a path could not be opened as a regular file.
class OpenFailure : public std::runtime_error {
public:
    OpenFailure(const std::string& what, int error) : std::runtime_error(what), error(error) {}
    // The opening's errno value; 0 for a file that is not a regular one.
    int code() const { return error; }

private:
    int error;
};

// A regular file, open, and its status when it was opened.
struct RegularFile {
    Descriptor descriptor;
    struct stat status;
};

// Opens `path` with `flags` (O_RDONLY or O_RDWR) when it is a regular file
// (a symbolic link's target). Opening never waits: a FIFO or a device put in
// the file's place is refused, not waited for. Throws OpenFailure with
// "cannot open: <reason>" or "is not a regular file".
RegularFile openRegularFile(const std::string& path, int flags);

} // namespace Vantrel

#endif
