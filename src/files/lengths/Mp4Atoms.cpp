#include "files/lengths/Mp4Atoms.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>

#include <taglib/tbytevector.h>

namespace Vantrel {

namespace {

// Reads exactly `count` bytes at `offset`, or fails.
using ReadAt = std::function<bool(std::uint64_t offset, unsigned char* bytes, std::size_t count)>;

// One atom: its type, and its contents from just after its header to its end.
struct Atom {
    char type[4] = {0, 0, 0, 0};
    std::uint64_t begin = 0;
    std::uint64_t end = 0;

    bool is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

std::uint64_t bigEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

// The atom that starts at `offset` and must end by `end`. Its size may be
// 64 bits wide (size 1), and may run to the end (size 0) only at the top.
std::optional<Atom> readAtom(const ReadAt& read, std::uint64_t offset, std::uint64_t end, bool topLevel) {
    unsigned char header[16];
    if (end < offset || end - offset < 8 || !read(offset, header, 8))
        return std::nullopt;
    std::uint64_t size = bigEndian(header, 4);
    std::uint64_t headerSize = 8;
    if (size == 1) {
        if (end - offset < 16 || !read(offset + 8, header + 8, 8))
            return std::nullopt;
        size = bigEndian(header + 8, 8);
        headerSize = 16;
    } else if (size == 0 && topLevel) {
        size = end - offset;
    }
    if (size < headerSize || size > end - offset)
        return std::nullopt;
    Atom atom;
    std::memcpy(atom.type, header + 4, 4);
    atom.begin = offset + headerSize;
    atom.end = offset + size;
    return atom;
}

// --- Structure check -----------------------------------------------------------

// The atoms TagLib looks into, with the bytes it skips before the children.
struct Container {
    const char* name;
    std::uint64_t skip;
};
const Container CONTAINERS[] = {{"moov", 0}, {"udta", 0}, {"mdia", 0}, {"meta", 4}, {"ilst", 0}, {"stbl", 0},
                                {"minf", 0}, {"moof", 0}, {"traf", 0}, {"trak", 0}, {"stsd", 8}};

// An atom's children may nest no deeper than this; real files use six levels.
const int MAX_DEPTH = 32;

bool childrenFit(const ReadAt& read, std::uint64_t begin, std::uint64_t end, int depth) {
    if (depth > MAX_DEPTH)
        return false;
    while (begin < end) {
        const std::optional<Atom> atom = readAtom(read, begin, end, depth == 0);
        if (!atom)
            return false;
        for (const Container& container : CONTAINERS) {
            if (atom->is(container.name) && (atom->end - atom->begin < container.skip ||
                                             !childrenFit(read, atom->begin + container.skip, atom->end, depth + 1)))
                return false;
        }
        begin = atom->end;
    }
    return true;
}

// --- Sound track lengths ---------------------------------------------------------

ReadAt readerOf(TagLib::File& file) {
    return [&file](std::uint64_t offset, unsigned char* bytes, std::size_t count) {
        file.seek(static_cast<long>(offset));
        const TagLib::ByteVector data = file.readBlock(static_cast<unsigned long>(count));
        if (data.size() != count)
            return false;
        std::memcpy(bytes, data.data(), count);
        return true;
    };
}

// Exactly `length` bytes at `offset` of the atom's contents, if it holds them.
std::optional<TagLib::ByteVector> readIn(const ReadAt& read, const Atom& atom, std::uint64_t offset,
                                         unsigned int length) {
    if (atom.end - atom.begin < offset || atom.end - atom.begin - offset < length)
        return std::nullopt;
    TagLib::ByteVector data(length, 0);
    if (!read(atom.begin + offset, reinterpret_cast<unsigned char*>(data.data()), length))
        return std::nullopt;
    return data;
}

// The first atom of this type among the children that fill `parent`, from
// the child that starts at `from` on.
std::optional<Atom> findChild(const ReadAt& read, const Atom& parent, const char* type, std::uint64_t from) {
    for (std::uint64_t at = from; at < parent.end;) {
        const std::optional<Atom> found = readAtom(read, at, parent.end, parent.begin == 0);
        if (!found || found->is(type))
            return found;
        at = found->end;
    }
    return std::nullopt;
}

std::optional<Atom> findChild(const ReadAt& read, const Atom& parent, const char* type) {
    return findChild(read, parent, type, parent.begin);
}

struct HeaderTimes {
    unsigned long long timeScale = 0;
    unsigned long long duration = 0;
};

// Time scale and duration of a movie or media header (mvhd, mdhd), whose
// version 1 has 64-bit times. A duration of all ones means unknown: 0 here.
std::optional<HeaderTimes> readHeaderTimes(const ReadAt& read, const Atom& atom) {
    std::optional<TagLib::ByteVector> data = readIn(read, atom, 0, 32);
    if (!data)
        data = readIn(read, atom, 0, 20);
    if (!data)
        return std::nullopt;
    const bool wide = (*data)[0] == 1;
    if (wide && data->size() < 32)
        return std::nullopt;
    HeaderTimes times;
    times.timeScale = data->toUInt(wide ? 20U : 12U, true);
    times.duration = wide ? static_cast<unsigned long long>(data->toLongLong(24U, true)) : data->toUInt(16U, true);
    if (times.duration == (wide ? ~0ULL : 0xFFFFFFFFULL))
        times.duration = 0;
    if (times.timeScale == 0)
        return std::nullopt;
    return times;
}

bool isSoundTrack(const ReadAt& read, const Atom& trak) {
    const std::optional<Atom> mdia = findChild(read, trak, "mdia");
    const std::optional<Atom> hdlr = mdia ? findChild(read, *mdia, "hdlr") : std::nullopt;
    const std::optional<TagLib::ByteVector> handler = hdlr ? readIn(read, *hdlr, 8, 4) : std::nullopt;
    return handler && *handler == "soun";
}

// The track's edit list, when it holds one edit that plays media.
void readSingleEdit(const ReadAt& read, const Atom& trak, Mp4SoundTrack& track) {
    const std::optional<Atom> edts = findChild(read, trak, "edts");
    const std::optional<Atom> elst = edts ? findChild(read, *edts, "elst") : std::nullopt;
    const std::optional<TagLib::ByteVector> head = elst ? readIn(read, *elst, 0, 8) : std::nullopt;
    if (!head || head->toUInt(4U, true) != 1)
        return;
    const bool wide = (*head)[0] == 1;
    const std::optional<TagLib::ByteVector> edit = readIn(read, *elst, 8, wide ? 16 : 8);
    if (!edit)
        return;
    const TagLib::ByteVector& entry = *edit;
    const long long mediaTime = wide ? entry.toLongLong(8U, true) : static_cast<int>(entry.toUInt(4U, true));
    if (mediaTime < 0) // an empty edit: silence first
        return;
    track.edited = true;
    track.editDuration = wide ? static_cast<unsigned long long>(entry.toLongLong(0U, true)) : entry.toUInt(0U, true);
    track.editMediaTime = static_cast<unsigned long long>(mediaTime);
}

} // namespace

bool mp4AtomsFit(int descriptor) {
    struct stat info;
    if (fstat(descriptor, &info) != 0)
        return false;
    const ReadAt read = [descriptor](std::uint64_t offset, unsigned char* bytes, std::size_t count) {
        return pread(descriptor, bytes, count, static_cast<off_t>(offset)) == static_cast<ssize_t>(count);
    };
    return childrenFit(read, 0, static_cast<std::uint64_t>(info.st_size), 0);
}

std::optional<Mp4SoundTrack> readMp4SoundTrack(TagLib::File& file) {
    const ReadAt read = readerOf(file);
    Atom whole;
    whole.end = static_cast<std::uint64_t>(file.length());
    const std::optional<Atom> moov = findChild(read, whole, "moov");
    const std::optional<Atom> mvhd = moov ? findChild(read, *moov, "mvhd") : std::nullopt;
    const std::optional<HeaderTimes> movie = mvhd ? readHeaderTimes(read, *mvhd) : std::nullopt;
    if (!movie)
        return std::nullopt;
    std::optional<Atom> trak;
    for (std::uint64_t from = moov->begin; (trak = findChild(read, *moov, "trak", from)); from = trak->end) {
        if (!isSoundTrack(read, *trak))
            continue;
        const std::optional<Atom> mdia = findChild(read, *trak, "mdia");
        const std::optional<Atom> mdhd = mdia ? findChild(read, *mdia, "mdhd") : std::nullopt;
        const std::optional<HeaderTimes> media = mdhd ? readHeaderTimes(read, *mdhd) : std::nullopt;
        if (!media || media->duration == 0)
            return std::nullopt;
        Mp4SoundTrack track;
        track.movieTimeScale = movie->timeScale;
        track.mediaTimeScale = media->timeScale;
        track.mediaDuration = media->duration;
        readSingleEdit(read, *trak, track);
        return track;
    }
    return std::nullopt;
}

} // namespace Vantrel
