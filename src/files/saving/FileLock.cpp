#include "files/saving/FileLock.h"

#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "files/saving/FileIo.h"

namespace Vantrel {

namespace {

// Another vantrel holds the lock only while it saves the same file.
const std::chrono::seconds LOCK_WAIT(30);

} // namespace

FileLocation locationOf(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        throw LockFailure(describe("cannot open", errno));
    FileLocation location;
    location.path = resolved;
    std::free(resolved);
    const std::string::size_type slash = location.path.find_last_of('/');
    location.folder = slash == 0 ? "/" : location.path.substr(0, slash);
    location.name = location.path.substr(slash + 1);
    return location;
}

FileLock::FileLock(int descriptor) : descriptor(descriptor) {
    const auto deadline = std::chrono::steady_clock::now() + LOCK_WAIT;
    while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (std::chrono::steady_clock::now() > deadline)
            throw LockFailure("another program keeps the file locked");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

FileLock::~FileLock() { flock(descriptor, LOCK_UN); }

} // namespace Vantrel
