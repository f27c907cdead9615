#include "files/saving/InPlaceWrite.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/saving/FileIo.h"

namespace Vantrel {

namespace {

const long BLOCK = 4096;
const long CHUNK = 1 << 20;

[[noreturn]] void fail(const std::string& what, int error) { throw JournalFailure(describe(what, error)); }

void addRange(std::vector<ByteRange>& ranges, long offset, long length) {
    if (length <= 0)
        return;
    if (!ranges.empty() && ranges.back().offset + ranges.back().length == offset)
        ranges.back().length += length;
    else
        ranges.push_back(ByteRange{offset, length});
}

// The blocks of in-memory bytes at `offset` that differ from the file's.
void addDifferingBlocks(std::vector<ByteRange>& writes, const Piece& piece, long offset, int descriptor, long oldSize) {
    std::vector<char> old(BLOCK);
    for (long done = 0; done < piece.length; done += BLOCK) {
        const long size = std::min(BLOCK, piece.length - done);
        const long at = offset + done;
        const long comparable = std::max(0L, std::min(size, oldSize - at));
        if (comparable > 0 && !readFully(descriptor, old.data(), static_cast<std::size_t>(comparable), at))
            fail("cannot read", errno != 0 ? errno : EIO);
        if (comparable < size || std::memcmp(old.data(), piece.bytes.data() + done, static_cast<std::size_t>(size)) != 0)
            addRange(writes, at, size);
    }
}

// The bytes of the new file in [offset, offset + count), the moved old ones
// read through the journal.
void newBytes(const Layout& layout, const Journal& journal, long offset, char* data, long count) {
    long start = 0;
    for (const Piece& piece : layout) {
        const long end = start + piece.length;
        if (count > 0 && offset < end && offset >= start) {
            const long within = offset - start;
            const long taken = std::min(count, piece.length - within);
            if (!piece.fromDisk())
                std::memcpy(data, piece.bytes.data() + within, static_cast<std::size_t>(taken));
            else if (!journal.readOld(piece.source + within, data, taken))
                fail("cannot read", errno != 0 ? errno : EIO);
            data += taken;
            offset += taken;
            count -= taken;
        }
        start = end;
    }
}

} // namespace

Changes changesBetween(const Layout& layout, int descriptor, long oldSize) {
    Changes changes;
    changes.oldSize = oldSize;
    changes.newSize = sizeOf(layout);
    long offset = 0;
    for (const Piece& piece : layout) {
        if (!piece.fromDisk())
            addDifferingBlocks(changes.writes, piece, offset, descriptor, oldSize);
        else if (piece.source != offset)
            addRange(changes.writes, offset, piece.length);
        offset += piece.length;
    }
    for (const ByteRange& write : changes.writes)
        addRange(changes.kept, write.offset, std::min(write.length, std::max(0L, oldSize - write.offset)));
    if (changes.newSize < oldSize) {
        const long cutFrom = changes.kept.empty() ? changes.newSize
                                                  : std::max(changes.newSize, changes.kept.back().offset + changes.kept.back().length);
        addRange(changes.kept, cutFrom, oldSize - cutFrom);
    }
    return changes;
}

void writeInPlace(const Layout& layout, const Changes& changes, const Journal& journal, int descriptor) {
    std::vector<char> buffer(CHUNK);
    for (const ByteRange& write : changes.writes) {
        for (long done = 0; done < write.length;) {
            const long size = std::min(CHUNK, write.length - done);
            newBytes(layout, journal, write.offset + done, buffer.data(), size);
            if (!writeFully(descriptor, buffer.data(), static_cast<std::size_t>(size), write.offset + done))
                fail("cannot write", errno);
            done += size;
        }
    }
    if ((changes.newSize < changes.oldSize && ftruncate(descriptor, changes.newSize) != 0) || fdatasync(descriptor) != 0)
        fail("cannot write", errno);
}

} // namespace Vantrel
