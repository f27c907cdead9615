#include "common/RegularFile.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace Vantrel {

std::string OpenProblem::text() const {
    return error == 0 ? "is not a regular file" : std::string("cannot open: ") + std::strerror(error);
}

std::variant<RegularFile, OpenProblem> openRegularFile(const std::string& path, int flags) {
    RegularFile file{Descriptor(open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)), {}};
    if (file.descriptor.get() < 0 || fstat(file.descriptor.get(), &file.status) != 0)
        return OpenProblem{errno};
    if (!S_ISREG(file.status.st_mode))
        return OpenProblem{0};
    // No other status flag was asked for: clearing them all clears O_NONBLOCK.
    if (fcntl(file.descriptor.get(), F_SETFL, 0) != 0)
        return OpenProblem{errno};
    return file;
}

} // namespace Vantrel
