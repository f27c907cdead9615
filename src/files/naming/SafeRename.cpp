#include "files/naming/SafeRename.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <cerrno>
#include <cstdio>
#include <system_error>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace Vantrel {

namespace {

#ifdef __linux__
int renameat2NoReplace(const char* from, const char* to) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#elif defined(SYS_renameat2)
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}
#endif

[[noreturn]] void fail(int error) { throw std::system_error(error, std::generic_category()); }

} // namespace

void renameNoReplace(const std::string& from, const std::string& to) {
#ifdef __linux__
    if (renameat2NoReplace(from.c_str(), to.c_str()) == 0)
        return;
    // EINVAL: the file system does not support the flag; ENOSYS: the kernel
    // has no renameat2.
    if (errno != EINVAL && errno != ENOSYS)
        fail(errno);
#endif
    moveByLink(from, to);
}

void moveByLink(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) != 0)
        fail(errno);
    if (unlink(from.c_str()) != 0) {
        const int error = errno;
        // The file keeps its old name; drop the second name again.
        unlink(to.c_str());
        fail(error);
    }
}

} // namespace Vantrel
