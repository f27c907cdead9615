#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace Vantrel {

namespace {

OpenFailure cannotOpen(int error) { return OpenFailure(std::string("cannot open: ") + std::strerror(error), error); }

} // namespace

Descriptor openRegularFile(const std::string& path, int flags) {
    Descriptor file(open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        throw cannotOpen(errno);
    struct stat info;
    if (fstat(file.get(), &info) != 0)
        throw cannotOpen(errno);
    if (!S_ISREG(info.st_mode))
        throw OpenFailure("is not a regular file", 0);
    const int status = fcntl(file.get(), F_GETFL);
    if (status < 0 || fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        throw cannotOpen(errno);
    return file;
}

} // namespace Vantrel
