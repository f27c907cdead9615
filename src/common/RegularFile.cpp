#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace Vantrel {

namespace {

OpenFailure cannotOpen(int error) { return OpenFailure(std::string("cannot open: ") + std::strerror(error), error); }

} // namespace

RegularFile openRegularFile(const std::string& path, int flags) {
    RegularFile file{Descriptor(open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)), {}};
    if (file.descriptor.get() < 0 || fstat(file.descriptor.get(), &file.status) != 0)
        throw cannotOpen(errno);
    if (!S_ISREG(file.status.st_mode))
        throw OpenFailure("is not a regular file", 0);
    // No other status flag was asked for: clearing them all clears O_NONBLOCK.
    if (fcntl(file.descriptor.get(), F_SETFL, 0) != 0)
        throw cannotOpen(errno);
    return file;
}

} // namespace Vantrel
