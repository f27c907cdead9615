#include "cddb/DiscRecord.h"

#include <cstdint>

#include "cddb/CDDBQueryException.h"

namespace Vantrel {

namespace {

class Writer {
public:
    void number(std::uint64_t value) {
        for (int shift = 56; shift >= 0; shift -= 8)
            bytes += static_cast<char>(value >> shift & 0xff);
    }
    void text(const std::string& value) {
        number(value.size());
        bytes += value;
    }
    std::string bytes;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes(bytes) {}
    std::uint64_t number() {
        need(8);
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[offset++]);
        return value;
    }
    unsigned int smallNumber() { return static_cast<unsigned int>(number()); }
    std::string text() {
        const std::uint64_t length = number();
        need(length);
        const std::string value = bytes.substr(offset, static_cast<std::size_t>(length));
        offset += static_cast<std::size_t>(length);
        return value;
    }
    bool atEnd() const { return offset == bytes.size(); }

private:
    void need(std::uint64_t count) const {
        if (bytes.size() - offset < count)
            throw CDDBQueryException("Connection error: the lookup failed");
    }

    const std::string& bytes;
    std::size_t offset = 0;
};

} // namespace

std::string encodeDisc(const Disc& disc) {
    Writer out;
    out.text(disc.getTitle());
    out.text(disc.getArtist());
    out.text(disc.getGenre());
    out.number(disc.getYear());
    out.number(disc.getTracks().size());
    for (const Track& track : disc.getTracks()) {
        out.text(track.getName());
        out.text(track.getArtist());
        out.number(track.getLength());
        out.number(track.getTrackNo());
    }
    return out.bytes;
}

Disc decodeDisc(const std::string& bytes) {
    Reader in(bytes);
    const std::string title = in.text();
    const std::string artist = in.text();
    const std::string genre = in.text();
    Disc disc(title, artist, genre, in.smallNumber());
    for (std::uint64_t count = in.number(); count > 0; --count) {
        const std::string name = in.text();
        const std::string trackArtist = in.text();
        const unsigned int length = in.smallNumber();
        disc.appendTrack(Track(name, trackArtist, length, in.smallNumber()));
    }
    if (!in.atEnd())
        throw CDDBQueryException("Connection error: the lookup failed");
    return disc;
}

} // namespace Vantrel
