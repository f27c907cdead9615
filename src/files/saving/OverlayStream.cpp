#include "files/saving/OverlayStream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files/saving/FileIo.h"

namespace Vantrel {

long sizeOf(const Layout& layout) {
    long size = 0;
    for (const Piece& piece : layout)
        size += piece.length;
    return size;
}

Layout sliceOf(const Layout& layout, long begin, long end) {
    Layout slice;
    long start = 0;
    for (const Piece& piece : layout) {
        const long from = std::max(begin, start), to = std::min(end, start + piece.length);
        if (from < to) {
            Piece part = piece;
            part.length = to - from;
            if (part.fromDisk())
                part.source += from - start;
            else
                part.bytes = piece.bytes.mid(static_cast<unsigned int>(from - start), static_cast<unsigned int>(to - from));
            slice.push_back(part);
        }
        start += piece.length;
    }
    return slice;
}

OverlayStream::OverlayStream(int descriptor, const std::string& name) : descriptor(descriptor), fileName(name) {
    struct stat info;
    if (fstat(descriptor, &info) != 0) {
        firstFailure = describe("cannot read", errno);
        return;
    }
    size = static_cast<long>(info.st_size);
    if (size > 0)
        pieces.push_back(Piece{size, 0, {}});
}

OverlayStream::OverlayStream(int descriptor, const std::string& name, Layout layout)
    : descriptor(descriptor), fileName(name), pieces(std::move(layout)), size(sizeOf(pieces)) {}

bool OverlayStream::readAt(long offset, char* data, long count) {
    if (offset < 0 || count < 0 || offset + count > size)
        return false;
    long start = 0;
    for (const Piece& piece : pieces) {
        const long end = start + piece.length;
        if (count == 0)
            break;
        if (offset < end) {
            const long within = offset - start;
            const long taken = std::min(count, piece.length - within);
            if (!piece.fromDisk()) {
                std::memcpy(data, piece.bytes.data() + within, static_cast<std::size_t>(taken));
            } else if (!readFully(descriptor, data, static_cast<std::size_t>(taken), piece.source + within)) {
                if (!firstFailure)
                    firstFailure = describe("cannot read", errno != 0 ? errno : EIO);
                return false;
            }
            data += taken;
            offset += taken;
            count -= taken;
        }
        start = end;
    }
    return count == 0;
}

std::optional<long> OverlayStream::diskOffsetOf(long offset, long count) const {
    long start = 0;
    for (const Piece& piece : pieces) {
        const long end = start + piece.length;
        if (offset >= start && offset < end) {
            if (!piece.fromDisk() || offset + count > end)
                return std::nullopt;
            return piece.source + (offset - start);
        }
        start = end;
    }
    return std::nullopt;
}

TagLib::ByteVector OverlayStream::readBlock(unsigned long length) {
    const long count = std::min(static_cast<long>(std::min<unsigned long>(length, 1UL << 30)),
                                std::max(0L, size - position));
    TagLib::ByteVector data(static_cast<unsigned int>(count));
    if (!readAt(position, data.data(), count))
        return TagLib::ByteVector();
    position += count;
    return data;
}

// A write that starts past the end replaces nothing: the gap is filled first.
void OverlayStream::writeBlock(const TagLib::ByteVector& data) {
    const long end = position + static_cast<long>(data.size());
    replace(position, std::max(position, std::min(end, size)), data);
    position = end;
}

void OverlayStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replaced) {
    const long begin = std::min(static_cast<long>(start), size);
    replace(begin, std::min(begin + static_cast<long>(replaced), size), data);
    position = begin + static_cast<long>(data.size());
}

void OverlayStream::removeBlock(unsigned long start, unsigned long length) {
    const long begin = std::min(static_cast<long>(start), size);
    replace(begin, std::min(begin + static_cast<long>(length), size), TagLib::ByteVector());
}

void OverlayStream::seek(long offset, Position p) {
    const long base = p == Beginning ? 0 : p == Current ? position : size;
    // As with a C stream, a seek before the start fails and leaves the position.
    if (base + offset >= 0)
        position = base + offset;
}

void OverlayStream::truncate(long length) {
    if (length < 0)
        return;
    if (length < size)
        replace(length, size, TagLib::ByteVector());
    else if (length > size)
        replace(size, size, TagLib::ByteVector(static_cast<unsigned int>(length - size), '\0'));
}

// A write past the end first fills the gap with zeros, as a file would.
void OverlayStream::replace(long begin, long end, const TagLib::ByteVector& data) {
    if (begin > size) {
        const TagLib::ByteVector gap(static_cast<unsigned int>(begin - size), '\0');
        replace(size, size, gap);
    }
    const std::size_t first = splitAt(begin);
    const std::size_t last = splitAt(end);
    pieces.erase(pieces.begin() + static_cast<long>(first), pieces.begin() + static_cast<long>(last));
    if (!data.isEmpty())
        pieces.insert(pieces.begin() + static_cast<long>(first), Piece{static_cast<long>(data.size()), -1, data});
    size = sizeOf(pieces);
}

std::size_t OverlayStream::splitAt(long offset) {
    long start = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (offset == start)
            return i;
        const long end = start + pieces[i].length;
        if (offset < end) {
            const long within = offset - start;
            Piece tail = pieces[i];
            tail.length -= within;
            if (tail.fromDisk())
                tail.source += within;
            else
                tail.bytes = pieces[i].bytes.mid(static_cast<unsigned int>(within));
            pieces[i].length = within;
            if (!pieces[i].fromDisk())
                pieces[i].bytes.resize(static_cast<unsigned int>(within));
            pieces.insert(pieces.begin() + static_cast<long>(i) + 1, tail);
            return i + 1;
        }
        start = end;
    }
    return pieces.size();
}

} // namespace Vantrel
