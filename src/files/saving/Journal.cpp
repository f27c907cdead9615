#include "files/saving/Journal.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "files/saving/FileIo.h"

namespace Vantrel {

namespace {

const char MAGIC[16] = {'V', 'A', 'N', 'T', 'R', 'E', 'L', ' ', 'J', 'O', 'U', 'R', 'N', 'A', 'L', '1'};
const long CHUNK = 1 << 20;

[[noreturn]] void fail(const std::string& what, int error) { throw JournalFailure(describe(what, error)); }

// Appends to the journal, keeping the checksum of everything written.
class JournalWriter {
public:
    explicit JournalWriter(int descriptor) : descriptor(descriptor) {}

    void bytes(const void* data, long count) {
        if (!writeFully(descriptor, data, static_cast<std::size_t>(count), offset))
            fail("cannot write the save's journal", errno);
        checksum = crc32(checksum, static_cast<const Bytef*>(data), static_cast<uInt>(count));
        offset += count;
    }
    void number(std::uint64_t value) {
        unsigned char encoded[8];
        for (int i = 0; i < 8; ++i)
            encoded[i] = static_cast<unsigned char>(value >> (8 * i));
        bytes(encoded, 8);
    }
    void finish() {
        const std::uint64_t sum = checksum;
        number(sum);
    }
    long position() const { return offset; }

private:
    int descriptor;
    long offset = 0;
    uLong checksum = crc32(0, Z_NULL, 0);
};

// Reads a journal from the start, checking every size against what is left.
class JournalReader {
public:
    JournalReader(int descriptor, long size) : descriptor(descriptor), size(size) {}

    bool bytes(void* data, long count) {
        if (count < 0 || count > size - offset ||
            !readFully(descriptor, data, static_cast<std::size_t>(count), offset))
            return false;
        checksum = crc32(checksum, static_cast<const Bytef*>(data), static_cast<uInt>(count));
        offset += count;
        return true;
    }
    std::optional<std::uint64_t> number() {
        unsigned char encoded[8];
        if (!bytes(encoded, 8))
            return std::nullopt;
        std::uint64_t value = 0;
        for (int i = 7; i >= 0; --i)
            value = value << 8 | encoded[i];
        return value;
    }
    // Passes over `count` bytes, still checking them.
    bool skip(long count) {
        std::vector<char> buffer(static_cast<std::size_t>(std::min(CHUNK, std::max(count, 0L))));
        for (long done = 0; done < count;) {
            const long part = std::min(CHUNK, count - done);
            if (!bytes(buffer.data(), part))
                return false;
            done += part;
        }
        return count >= 0;
    }
    // True when the checksum that follows holds and nothing comes after it.
    bool checksumHolds() {
        const uLong expected = checksum;
        const std::optional<std::uint64_t> stored = number();
        return stored && *stored == expected && offset == size;
    }
    long position() const { return offset; }
    long left() const { return size - offset; }

private:
    int descriptor;
    long size;
    long offset = 0;
    uLong checksum = crc32(0, Z_NULL, 0);
};

bool syncData(int descriptor) { return fdatasync(descriptor) == 0; }

} // namespace

std::string journalPathFor(const std::string& folder, const struct stat& file) {
    return folder + "/.vantrel-" + std::to_string(static_cast<unsigned long long>(file.st_dev)) + "-" +
           std::to_string(static_cast<unsigned long long>(file.st_ino)) + ".journal";
}

std::optional<std::pair<dev_t, ino_t>> fileOfJournalName(const std::string& name) {
    unsigned long long device = 0, inode = 0;
    int used = 0;
    if (std::sscanf(name.c_str(), ".vantrel-%llu-%llu.journal%n", &device, &inode, &used) != 2 ||
        static_cast<std::size_t>(used) != name.size())
        return std::nullopt;
    return std::make_pair(static_cast<dev_t>(device), static_cast<ino_t>(inode));
}

Journal::Journal(const std::string& folder, const std::string& name, int descriptor, const struct stat& file,
                 const std::vector<ByteRange>& ranges)
    : folder(folder), path(journalPathFor(folder, file)), file(descriptor) {
    journal = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (journal < 0)
        fail("cannot create the save's journal in its folder", errno);
    try {
        contents = JournalContents{file.st_dev, file.st_ino, static_cast<long>(file.st_size), name, {}};
        JournalWriter writer(journal);
        writer.bytes(MAGIC, sizeof MAGIC);
        writer.number(file.st_dev);
        writer.number(file.st_ino);
        writer.number(static_cast<std::uint64_t>(file.st_size));
        writer.number(name.size());
        writer.bytes(name.data(), static_cast<long>(name.size()));
        writer.number(ranges.size());
        std::vector<char> buffer(CHUNK);
        for (const ByteRange& range : ranges) {
            writer.number(static_cast<std::uint64_t>(range.offset));
            writer.number(static_cast<std::uint64_t>(range.length));
            contents.kept.push_back(KeptRange{range, writer.position()});
            for (long done = 0; done < range.length;) {
                const long part = std::min(CHUNK, range.length - done);
                if (!readFully(descriptor, buffer.data(), static_cast<std::size_t>(part), range.offset + done))
                    fail("cannot read", errno != 0 ? errno : EIO);
                writer.bytes(buffer.data(), part);
                done += part;
            }
        }
        writer.finish();
        if (!syncData(journal))
            fail("cannot write the save's journal", errno);
        if (!syncFolder(folder))
            fail("cannot write the save's journal", errno);
    } catch (...) {
        close(journal);
        journal = -1;
        unlink(path.c_str());
        throw;
    }
}

Journal::~Journal() {
    if (journal >= 0)
        close(journal);
}

bool Journal::readOld(long offset, char* data, long count) const {
    while (count > 0) {
        long part = count;
        bool fromJournal = false;
        long at = offset;
        for (const KeptRange& kept : contents.kept) {
            const long begin = kept.range.offset;
            const long end = begin + kept.range.length;
            if (offset >= begin && offset < end) {
                fromJournal = true;
                part = std::min(part, end - offset);
                at = kept.journalOffset + (offset - begin);
            } else if (begin > offset) {
                part = std::min(part, begin - offset);
            }
        }
        if (!readFully(fromJournal ? journal : file, data, static_cast<std::size_t>(part), at))
            return false;
        data += part;
        offset += part;
        count -= part;
    }
    return true;
}

void Journal::commit(FolderSyncs& later) {
    if (unlink(path.c_str()) != 0)
        fail("cannot remove the save's journal", errno);
    close(journal);
    journal = -1;
    later.add(folder);
}

void Journal::rollBack() {
    restoreFile(journal, contents, file);
    close(journal);
    journal = -1;
    removeJournal(path, folder);
}

std::optional<JournalContents> readJournal(int descriptor) {
    struct stat info;
    if (fstat(descriptor, &info) != 0)
        return std::nullopt;
    JournalReader reader(descriptor, static_cast<long>(info.st_size));
    char magic[sizeof MAGIC];
    if (!reader.bytes(magic, sizeof magic) || std::memcmp(magic, MAGIC, sizeof magic) != 0)
        return std::nullopt;
    JournalContents contents;
    const auto device = reader.number(), inode = reader.number(), oldSize = reader.number(), nameSize = reader.number();
    if (!nameSize || *nameSize > 4096 || static_cast<long>(*oldSize) < 0)
        return std::nullopt;
    contents.device = static_cast<dev_t>(*device);
    contents.inode = static_cast<ino_t>(*inode);
    contents.oldSize = static_cast<long>(*oldSize);
    contents.name.resize(*nameSize);
    const auto count = reader.bytes(&contents.name[0], static_cast<long>(*nameSize)) ? reader.number() : std::nullopt;
    if (!count)
        return std::nullopt;
    for (std::uint64_t i = 0; i < *count; ++i) {
        const auto offset = reader.number(), length = reader.number();
        if (!length || static_cast<long>(*length) < 0 || static_cast<long>(*length) > reader.left() ||
            static_cast<long>(*offset) < 0 || static_cast<long>(*offset) > contents.oldSize)
            return std::nullopt;
        contents.kept.push_back(KeptRange{{static_cast<long>(*offset), static_cast<long>(*length)}, reader.position()});
        if (!reader.skip(static_cast<long>(*length)))
            return std::nullopt;
    }
    if (!reader.checksumHolds())
        return std::nullopt;
    return contents;
}

void restoreFile(int journal, const JournalContents& contents, int file) {
    std::vector<char> buffer(CHUNK);
    for (const KeptRange& kept : contents.kept) {
        for (long done = 0; done < kept.range.length;) {
            const long part = std::min(CHUNK, kept.range.length - done);
            if (!readFully(journal, buffer.data(), static_cast<std::size_t>(part), kept.journalOffset + done))
                fail("cannot read the save's journal", errno != 0 ? errno : EIO);
            if (!writeFully(file, buffer.data(), static_cast<std::size_t>(part), kept.range.offset + done))
                fail("cannot put the file back", errno);
            done += part;
        }
    }
    if (ftruncate(file, contents.oldSize) != 0 || !syncData(file))
        fail("cannot put the file back", errno);
}

bool removeJournal(const std::string& path, const std::string& folder) {
    return unlink(path.c_str()) == 0 && syncFolder(folder);
}

} // namespace Vantrel
