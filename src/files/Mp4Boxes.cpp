#include "files/Mp4Boxes.h"

#include <taglib/tbytevector.h>

namespace Vantrel {

namespace {

// A box's contents: from just after its header to its end, in file bytes.
struct Box {
    long long begin = 0;
    long long end = 0;
};

// Reads exactly `length` bytes at `offset` of the box, or nothing.
bool readIn(TagLib::File& file, const Box& box, long long offset, unsigned int length, TagLib::ByteVector& data) {
    if (offset < 0 || box.end - box.begin - offset < static_cast<long long>(length))
        return false;
    file.seek(box.begin + offset);
    data = file.readBlock(length);
    return data.size() == length;
}

// The first box of this type among the children that fill `parent`, from
// the child that starts at `from` on.
bool findChild(TagLib::File& file, const Box& parent, const char* type, Box& found, long long from) {
    TagLib::ByteVector header;
    for (long long at = from; readIn(file, parent, at - parent.begin, 8, header);) {
        const long long room = parent.end - at;
        unsigned long long size = header.toUInt(0U, true);
        long long headerSize = 8;
        TagLib::ByteVector largeSize;
        if (size == 1) {
            if (!readIn(file, parent, at - parent.begin + 8, 8, largeSize))
                return false;
            size = static_cast<unsigned long long>(largeSize.toLongLong(0U, true));
            headerSize = 16;
        } else if (size == 0) {
            size = static_cast<unsigned long long>(room); // up to the end of its parent
        }
        if (size < static_cast<unsigned long long>(headerSize) || size > static_cast<unsigned long long>(room))
            return false;
        if (header.mid(4, 4) == TagLib::ByteVector(type, 4)) {
            found = Box{at + headerSize, at + static_cast<long long>(size)};
            return true;
        }
        at += static_cast<long long>(size);
    }
    return false;
}

bool findChild(TagLib::File& file, const Box& parent, const char* type, Box& found) {
    return findChild(file, parent, type, found, parent.begin);
}

// Time scale and duration of a movie or media header (mvhd, mdhd), whose
// version 1 has 64-bit times. A duration of all ones means unknown: 0 here.
bool readHeaderTimes(TagLib::File& file, const Box& box, unsigned long long& timeScale,
                     unsigned long long& duration) {
    TagLib::ByteVector data;
    if (!readIn(file, box, 0, 32, data) && !readIn(file, box, 0, 20, data))
        return false;
    const bool wide = data[0] == 1;
    if (wide && data.size() < 32)
        return false;
    timeScale = data.toUInt(wide ? 20U : 12U, true);
    duration = wide ? static_cast<unsigned long long>(data.toLongLong(24U, true)) : data.toUInt(16U, true);
    if (duration == (wide ? ~0ULL : 0xFFFFFFFFULL))
        duration = 0;
    return timeScale != 0;
}

bool isSoundTrack(TagLib::File& file, const Box& trak) {
    Box mdia, hdlr;
    TagLib::ByteVector handler;
    return findChild(file, trak, "mdia", mdia) && findChild(file, mdia, "hdlr", hdlr) &&
           readIn(file, hdlr, 8, 4, handler) && handler == "soun";
}

// The track's edit list, when it holds one edit that plays media.
void readSingleEdit(TagLib::File& file, const Box& trak, Mp4SoundTrack& track) {
    Box edts, elst;
    TagLib::ByteVector head, entry;
    if (!findChild(file, trak, "edts", edts) || !findChild(file, edts, "elst", elst) ||
        !readIn(file, elst, 0, 8, head) || head.toUInt(4U, true) != 1)
        return;
    const bool wide = head[0] == 1;
    if (!readIn(file, elst, 8, wide ? 16 : 8, entry))
        return;
    const long long mediaTime = wide ? entry.toLongLong(8U, true) : static_cast<int>(entry.toUInt(4U, true));
    if (mediaTime < 0) // an empty edit: silence first
        return;
    track.edited = true;
    track.editDuration = wide ? static_cast<unsigned long long>(entry.toLongLong(0U, true)) : entry.toUInt(0U, true);
    track.editMediaTime = static_cast<unsigned long long>(mediaTime);
}

} // namespace

bool readMp4SoundTrack(TagLib::File& file, Mp4SoundTrack& track) {
    const Box whole{0, file.length()};
    Box moov, mvhd, trak, mdia, mdhd;
    unsigned long long movieDuration = 0;
    if (!findChild(file, whole, "moov", moov) || !findChild(file, moov, "mvhd", mvhd) ||
        !readHeaderTimes(file, mvhd, track.movieTimeScale, movieDuration))
        return false;
    for (long long from = moov.begin; findChild(file, moov, "trak", trak, from); from = trak.end) {
        if (!isSoundTrack(file, trak))
            continue;
        if (!findChild(file, trak, "mdia", mdia) || !findChild(file, mdia, "mdhd", mdhd) ||
            !readHeaderTimes(file, mdhd, track.mediaTimeScale, track.mediaDuration) || track.mediaDuration == 0)
            return false;
        readSingleEdit(file, trak, track);
        return true;
    }
    return false;
}

} // namespace Vantrel
