#include "files/saving/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Descriptor.h"

namespace Vantrel {

bool readFully(int descriptor, void* data, std::size_t size, off_t offset) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t count = pread(descriptor, bytes, size, offset);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = 0;
            return false;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
        offset += count;
    }
    return true;
}

bool writeFully(int descriptor, const void* data, std::size_t size, off_t offset) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t count = pwrite(descriptor, bytes, size, offset);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = ENOSPC;
            return false;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
        offset += count;
    }
    return true;
}

std::string describe(const std::string& what, int error) { return what + ": " + std::strerror(error); }

FolderSyncs::~FolderSyncs() {
    for (const std::string& folder : folders)
        syncFolder(folder);
}

bool syncFolder(const std::string& folder) {
    const Descriptor descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return descriptor.get() >= 0 && fsync(descriptor.get()) == 0;
}

} // namespace Vantrel
