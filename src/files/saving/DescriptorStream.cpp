#include "files/saving/DescriptorStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace Vantrel {

namespace {

const long MOVE_CHUNK = 1 << 20;

} // namespace

DescriptorStream::DescriptorStream(int descriptor, const std::string& name) : descriptor(descriptor), fileName(name) {}

TagLib::FileName DescriptorStream::name() const { return fileName.c_str(); }

TagLib::ByteVector DescriptorStream::readBlock(unsigned long length) {
    const long available = std::max(0L, this->length() - position);
    TagLib::ByteVector data(static_cast<unsigned int>(std::min<unsigned long>(length, available)));
    const long count = readAt(data.data(), data.size(), position);
    data.resize(static_cast<unsigned int>(std::max(0L, count)));
    position += data.size();
    return data;
}

void DescriptorStream::writeBlock(const TagLib::ByteVector& data) {
    if (writeAt(data.data(), data.size(), position))
        position += data.size();
}

void DescriptorStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace) {
    const long begin = static_cast<long>(start);
    const long size = static_cast<long>(data.size());
    const long end = this->length();
    if (size > static_cast<long>(replace))
        moveTail(begin + static_cast<long>(replace), begin + size);
    if (!writeAt(data.data(), data.size(), begin))
        return;
    if (size < static_cast<long>(replace)) {
        moveTail(begin + static_cast<long>(replace), begin + size);
        truncate(end - (static_cast<long>(replace) - size));
    }
    position = begin + size;
}

void DescriptorStream::removeBlock(unsigned long start, unsigned long length) {
    const long end = this->length();
    const long begin = static_cast<long>(start);
    const long removed = std::min(static_cast<long>(length), std::max(0L, end - begin));
    moveTail(begin + removed, begin);
    truncate(end - removed);
}

void DescriptorStream::seek(long offset, Position p) {
    const long base = p == Beginning ? 0 : p == Current ? position : length();
    // As with a C stream, a seek before the start fails and leaves the position.
    if (base + offset >= 0)
        position = base + offset;
}

long DescriptorStream::length() {
    struct stat info;
    if (fstat(descriptor, &info) != 0) {
        fail("cannot read", errno);
        return 0;
    }
    return static_cast<long>(info.st_size);
}

void DescriptorStream::watch(long begin, long end) {
    watchedBegin = begin;
    watchedEnd = end;
    watchedTouched = false;
}

void DescriptorStream::truncate(long length) {
    if (firstFailure)
        return;
    watchedTouched = watchedTouched || length < watchedEnd;
    if (ftruncate(descriptor, length) != 0)
        fail("cannot write", errno);
}

void DescriptorStream::moveTail(long from, long to) {
    const long end = length();
    if (from >= end || from == to)
        return;
    std::vector<char> buffer(static_cast<std::size_t>(std::min(MOVE_CHUNK, end - from)));
    const bool towardsEnd = to > from;
    for (long done = 0; done < end - from && !firstFailure;) {
        const long size = std::min(static_cast<long>(buffer.size()), end - from - done);
        // Moving towards the end, the last chunk goes first.
        const long offset = towardsEnd ? end - done - size : from + done;
        if (readAt(buffer.data(), static_cast<std::size_t>(size), offset) != size) {
            fail("cannot read", errno != 0 ? errno : EIO);
            return;
        }
        writeAt(buffer.data(), static_cast<std::size_t>(size), offset + (to - from));
        done += size;
    }
}

bool DescriptorStream::writeAt(const char* data, std::size_t size, long offset) {
    // After a failure the copy is thrown away: writing on is wasted work.
    if (firstFailure)
        return false;
    watchedTouched = watchedTouched || (offset < watchedEnd && offset + static_cast<long>(size) > watchedBegin);
    while (size > 0) {
        const ssize_t written = pwrite(descriptor, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fail("cannot write", written < 0 ? errno : ENOSPC);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    return true;
}

long DescriptorStream::readAt(char* data, std::size_t size, long offset) {
    long total = 0;
    errno = 0;
    while (size > 0) {
        const ssize_t count = pread(descriptor, data + total, size, offset + total);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            fail("cannot read", errno);
            break;
        }
        if (count == 0)
            break;
        total += count;
        size -= static_cast<std::size_t>(count);
    }
    return total;
}

void DescriptorStream::fail(const std::string& what, int error) {
    if (!firstFailure)
        firstFailure = what + ": " + std::strerror(error);
}

} // namespace Vantrel
