#include "cli/Process.h"

#include <sys/resource.h>

#include <csignal>

namespace {

// Every file stays open while the command runs, so a large rip needs more
// descriptors than the usual soft limit allows.
void raiseOpenFileLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

void prepareProcess() {
    raiseOpenFileLimit();
    // A write to a socket the server has closed must fail with EPIPE, which
    // the CDDB library reports, instead of killing the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a write past the file size limit must fail, so that the save
    // sees the failure and keeps the original, instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
}
