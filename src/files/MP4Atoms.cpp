#include "files/MP4Atoms.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace Vantrel {

namespace {

// The atoms TagLib looks into, with the bytes it skips before the children.
struct Container {
    const char* name;
    std::uint64_t skip;
};
const Container CONTAINERS[] = {{"moov", 0}, {"udta", 0}, {"mdia", 0}, {"meta", 4}, {"ilst", 0}, {"stbl", 0},
                                {"minf", 0}, {"moof", 0}, {"traf", 0}, {"trak", 0}, {"stsd", 8}};

// An atom's children may nest no deeper than this; real files use six levels.
const int MAX_DEPTH = 32;

std::uint64_t bigEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

bool readExactly(int descriptor, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
    return pread(descriptor, buffer, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

bool childrenFit(int descriptor, std::uint64_t begin, std::uint64_t end, int depth);

// Checks the atom at `offset` inside [offset, end) and moves `offset` past it.
bool atomFits(int descriptor, std::uint64_t& offset, std::uint64_t end, int depth) {
    unsigned char header[16];
    if (end - offset < 8 || !readExactly(descriptor, header, 8, offset))
        return false;
    std::uint64_t size = bigEndian(header, 4);
    std::uint64_t headerSize = 8;
    if (size == 1) {
        if (end - offset < 16 || !readExactly(descriptor, header + 8, 8, offset + 8))
            return false;
        size = bigEndian(header + 8, 8);
        headerSize = 16;
    } else if (size == 0 && depth == 0) {
        // Only a top-level atom may run to the end of the file.
        size = end - offset;
    }
    if (size < headerSize || size > end - offset)
        return false;
    for (const Container& container : CONTAINERS) {
        if (std::memcmp(header + 4, container.name, 4) != 0)
            continue;
        if (size < headerSize + container.skip ||
            !childrenFit(descriptor, offset + headerSize + container.skip, offset + size, depth + 1))
            return false;
    }
    offset += size;
    return true;
}

bool childrenFit(int descriptor, std::uint64_t begin, std::uint64_t end, int depth) {
    if (depth > MAX_DEPTH)
        return false;
    while (begin < end) {
        if (!atomFits(descriptor, begin, end, depth))
            return false;
    }
    return true;
}

} // namespace

bool mp4AtomsFit(int descriptor) {
    struct stat info;
    if (fstat(descriptor, &info) != 0)
        return false;
    return childrenFit(descriptor, 0, static_cast<std::uint64_t>(info.st_size), 0);
}

} // namespace Vantrel
