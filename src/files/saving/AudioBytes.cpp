#include "files/saving/AudioBytes.h"

#include <algorithm>
#include <cstring>

#include <taglib/aifffile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/wavfile.h>

namespace Vantrel {

namespace {

using Bytes = std::vector<unsigned char>;

const long COMPARE_CHUNK = 1 << 20;

std::optional<Bytes> bytesAt(OverlayStream& file, long offset, long count) {
    Bytes bytes(static_cast<std::size_t>(count));
    if (!file.readAt(offset, reinterpret_cast<char*>(bytes.data()), count))
        return std::nullopt;
    return bytes;
}

bool startsWith(const std::optional<Bytes>& bytes, const char* text) {
    return bytes && bytes->size() >= std::strlen(text) && std::memcmp(bytes->data(), text, std::strlen(text)) == 0;
}

unsigned long bigEndian(const unsigned char* bytes, int count) {
    unsigned long value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

unsigned long littleEndian(const unsigned char* bytes, int count) {
    unsigned long value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// The end of an ID3v2 tag at the start of the file (0 when there is none).
// A footer counts only when it is really there: a flag alone moves nothing.
long id3v2End(OverlayStream& file) {
    const std::optional<Bytes> header = bytesAt(file, 0, 10);
    if (!startsWith(header, "ID3"))
        return 0;
    const Bytes& h = *header;
    const long end = 10 + (long{h[6] & 0x7f} << 21 | long{h[7] & 0x7f} << 14 | long{h[8] & 0x7f} << 7 | (h[9] & 0x7f));
    if (h[3] == 4 && (h[5] & 0x10) != 0 && startsWith(bytesAt(file, end, 3), "3DI"))
        return end + 10;
    return end;
}

// The MPEG stream: after the ID3v2 tag, before an APE tag and an ID3v1 tag.
std::optional<std::vector<AudioSpan>> mpegSpans(OverlayStream& file) {
    const long begin = id3v2End(file);
    long end = file.length();
    if (end - 128 >= begin && startsWith(bytesAt(file, end - 128, 3), "TAG"))
        end -= 128;
    const std::optional<Bytes> ape = end - 32 >= begin ? bytesAt(file, end - 32, 32) : std::nullopt;
    if (startsWith(ape, "APETAGEX")) {
        const long size = static_cast<long>(littleEndian(ape->data() + 12, 4));
        const bool header = (ape->data()[23] & 0x80) != 0;
        end -= size + (header ? 32 : 0);
    }
    if (end <= begin)
        return std::nullopt;
    return std::vector<AudioSpan>{{begin, end}};
}

// The FLAC frames: after the last metadata block, before an ID3v1 tag.
std::optional<std::vector<AudioSpan>> flacSpans(OverlayStream& file) {
    long offset = id3v2End(file);
    if (!startsWith(bytesAt(file, offset, 4), "fLaC"))
        return std::nullopt;
    offset += 4;
    for (bool last = false; !last;) {
        const std::optional<Bytes> header = bytesAt(file, offset, 4);
        if (!header)
            return std::nullopt;
        last = ((*header)[0] & 0x80) != 0;
        offset += 4 + static_cast<long>(bigEndian(header->data() + 1, 3));
    }
    long end = file.length();
    if (end - 128 >= offset && startsWith(bytesAt(file, end - 128, 3), "TAG"))
        end -= 128;
    if (end < offset)
        return std::nullopt;
    return std::vector<AudioSpan>{{offset, end}};
}

// A RIFF (WAV, little-endian) or IFF (AIFF, big-endian) chunk: where its
// data starts and the size it declares.
struct Chunk {
    long data = 0;
    long size = 0;
};

std::optional<Chunk> findChunk(OverlayStream& file, const char* form, const char* id, bool big) {
    const std::optional<Bytes> head = bytesAt(file, 0, 12);
    if (!head || std::memcmp(head->data(), form, 4) != 0)
        return std::nullopt;
    for (long offset = 12; offset + 8 <= file.length();) {
        const std::optional<Bytes> header = bytesAt(file, offset, 8);
        if (!header)
            return std::nullopt;
        const long size = static_cast<long>(big ? bigEndian(header->data() + 4, 4) : littleEndian(header->data() + 4, 4));
        if (std::memcmp(header->data(), id, 4) == 0)
            return Chunk{offset + 8, size};
        offset += 8 + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<Chunk> soundChunk(Container container, OverlayStream& file) {
    return container == Container::WAV ? findChunk(file, "RIFF", "data", false) : findChunk(file, "FORM", "SSND", true);
}

std::optional<std::vector<AudioSpan>> chunkSpans(Container container, OverlayStream& file) {
    const std::optional<Chunk> chunk = soundChunk(container, file);
    if (!chunk || chunk->size == 0 || chunk->data + chunk->size > file.length())
        return std::nullopt;
    return std::vector<AudioSpan>{{chunk->data, chunk->data + chunk->size}};
}

// The contents of the MP4 file's top-level `mdat` atoms.
std::optional<std::vector<AudioSpan>> mp4Spans(OverlayStream& file) {
    std::vector<AudioSpan> spans;
    const long length = file.length();
    for (long offset = 0; offset + 8 <= length;) {
        const std::optional<Bytes> header = bytesAt(file, offset, std::min(16L, length - offset));
        if (!header)
            return std::nullopt;
        long size = static_cast<long>(bigEndian(header->data(), 4));
        long headerSize = 8;
        if (size == 1 && header->size() == 16) {
            size = static_cast<long>(bigEndian(header->data() + 8, 8));
            headerSize = 16;
        } else if (size == 0) {
            size = length - offset;
        }
        if (size < headerSize || size > length - offset)
            return std::nullopt;
        if (std::memcmp(header->data() + 4, "mdat", 4) == 0)
            spans.push_back({offset + headerSize, offset + size});
        offset += size;
    }
    if (spans.empty())
        return std::nullopt;
    return spans;
}

// One Ogg page: where it starts, its header's length and its payload's.
struct OggPage {
    long offset = 0;
    long headerLength = 0;
    long payloadLength = 0;
    // Packets that end on this page.
    int packetsEnded = 0;
};

std::optional<std::vector<OggPage>> oggPages(OverlayStream& file) {
    std::vector<OggPage> pages;
    for (long offset = 0; offset < file.length();) {
        const std::optional<Bytes> header = bytesAt(file, offset, 27);
        if (!startsWith(header, "OggS"))
            return std::nullopt;
        const long segments = (*header)[26];
        const std::optional<Bytes> table = bytesAt(file, offset + 27, segments);
        if (!table)
            return std::nullopt;
        OggPage page{offset, 27 + segments, 0, 0};
        for (unsigned char lacing : *table) {
            page.payloadLength += lacing;
            page.packetsEnded += lacing < 255 ? 1 : 0;
        }
        pages.push_back(page);
        offset += page.headerLength + page.payloadLength;
    }
    return pages;
}

// How many packets of an Ogg stream are headers, from its first packet.
std::optional<long> oggHeaderPackets(OverlayStream& file, const OggPage& first) {
    const std::optional<Bytes> packet = bytesAt(file, first.offset + first.headerLength, std::min(80L, first.payloadLength));
    if (startsWith(packet, "\x01vorbis"))
        return 3;
    if (startsWith(packet, "OpusHead"))
        return 2;
    if (startsWith(packet, "Speex   ") && packet->size() >= 72)
        return 2 + static_cast<long>(littleEndian(packet->data() + 68, 4));
    if (startsWith(packet, "\x7f" "FLAC") && packet->size() >= 9 && bigEndian(packet->data() + 7, 2) != 0)
        return 1 + static_cast<long>(bigEndian(packet->data() + 7, 2));
    return std::nullopt;
}

// The audio pages: those after the page on which the last header packet ends.
std::optional<std::vector<AudioSpan>> oggSpans(OverlayStream& file) {
    const std::optional<std::vector<OggPage>> pages = oggPages(file);
    if (!pages || pages->empty())
        return std::nullopt;
    std::optional<long> headers = oggHeaderPackets(file, pages->front());
    if (!headers)
        return std::nullopt;
    std::vector<AudioSpan> spans;
    for (const OggPage& page : *pages) {
        if (*headers <= 0)
            spans.push_back({page.offset, page.offset + page.headerLength + page.payloadLength});
        *headers -= page.packetsEnded;
    }
    return spans;
}

bool sameBytes(OverlayStream& before, long beforeOffset, OverlayStream& after, long afterOffset, long length) {
    // The file's own bytes, unmoved or moved but unchanged, need no reading.
    if (before.pristine() && after.diskOffsetOf(afterOffset, length) == beforeOffset)
        return true;
    std::vector<char> a(static_cast<std::size_t>(std::min(COMPARE_CHUNK, length)));
    std::vector<char> b(a.size());
    for (long done = 0; done < length;) {
        const long size = std::min(COMPARE_CHUNK, length - done);
        if (!before.readAt(beforeOffset + done, a.data(), size) || !after.readAt(afterOffset + done, b.data(), size) ||
            std::memcmp(a.data(), b.data(), static_cast<std::size_t>(size)) != 0)
            return false;
        done += size;
    }
    return true;
}

// Two Ogg pages alike but for the sequence number and checksum
// (bytes 18 to 25 of the header), which a renumbering changes.
bool sameOggPage(OverlayStream& before, const AudioSpan& old, OverlayStream& after, const AudioSpan& now) {
    const long length = old.end - old.begin;
    if (length != now.end - now.begin || length < 27)
        return false;
    const std::optional<Bytes> a = bytesAt(before, old.begin, 27), b = bytesAt(after, now.begin, 27);
    if (!a || !b || std::memcmp(a->data(), b->data(), 18) != 0 || (*a)[26] != (*b)[26])
        return false;
    return sameBytes(before, old.begin + 26, after, now.begin + 26, length - 26);
}

} // namespace

Container containerOf(const TagLib::File& file) {
    if (dynamic_cast<const TagLib::MPEG::File*>(&file) != nullptr)
        return Container::MPEG;
    if (dynamic_cast<const TagLib::FLAC::File*>(&file) != nullptr)
        return Container::FLAC;
    if (dynamic_cast<const TagLib::RIFF::WAV::File*>(&file) != nullptr)
        return Container::WAV;
    if (dynamic_cast<const TagLib::RIFF::AIFF::File*>(&file) != nullptr)
        return Container::AIFF;
    if (dynamic_cast<const TagLib::MP4::File*>(&file) != nullptr)
        return Container::MP4;
    if (dynamic_cast<const TagLib::Ogg::File*>(&file) != nullptr)
        return Container::OGG;
    return Container::OTHER;
}

std::optional<std::vector<AudioSpan>> audioSpansOf(Container container, OverlayStream& file) {
    switch (container) {
    case Container::MPEG:
        return mpegSpans(file);
    case Container::FLAC:
        return flacSpans(file);
    case Container::WAV:
    case Container::AIFF:
        return chunkSpans(container, file);
    case Container::MP4:
        return mp4Spans(file);
    case Container::OGG:
        return oggSpans(file);
    case Container::OTHER:
        break;
    }
    return std::vector<AudioSpan>();
}

std::optional<std::string> unsoundToSave(Container container, OverlayStream& file) {
    if (container != Container::WAV && container != Container::AIFF)
        return std::nullopt;
    const std::string chunk = container == Container::WAV ? "the WAV's data chunk" : "the AIFF's sound chunk";
    const std::optional<Chunk> sound = soundChunk(container, file);
    if (sound && sound->size == 0)
        return chunk + " declares no size";
    if (sound && sound->data + sound->size > file.length())
        return chunk + " declares more than the file holds";
    return std::nullopt;
}

bool sameAudioBytes(Container container, OverlayStream& before, OverlayStream& after) {
    const std::optional<std::vector<AudioSpan>> old = audioSpansOf(container, before);
    const std::optional<std::vector<AudioSpan>> now = audioSpansOf(container, after);
    if (!old || !now || old->size() != now->size())
        return false;
    for (std::size_t i = 0; i < old->size(); ++i) {
        const AudioSpan& a = (*old)[i];
        const AudioSpan& b = (*now)[i];
        const bool same = container == Container::OGG
                              ? sameOggPage(before, a, after, b)
                              : a.end - a.begin == b.end - b.begin && sameBytes(before, a.begin, after, b.begin, a.end - a.begin);
        if (!same)
            return false;
    }
    return true;
}

} // namespace Vantrel
