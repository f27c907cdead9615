#include "cddb/DiscRecord.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace Vantrel {

namespace {

class Writer {
public:
    void number(long long value) {
        for (int shift = 56; shift >= 0; shift -= 8)
            bytes += static_cast<char>(static_cast<unsigned long long>(value) >> shift & 0xff);
    }
    // A null text stays null.
    void text(const char* value) {
        number(value == nullptr ? -1 : static_cast<long long>(std::char_traits<char>::length(value)));
        if (value != nullptr)
            bytes += value;
    }
    std::string bytes;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes(bytes) {}
    long long number() {
        if (bytes.size() - offset < 8)
            throw std::out_of_range("disc record");
        unsigned long long value = 0;
        for (int i = 0; i < 8; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[offset++]);
        return static_cast<long long>(value);
    }
    // Sets the text through `set` unless it was null.
    template <typename Set> void text(Set set) {
        const long long length = number();
        if (length < 0)
            return;
        if (static_cast<unsigned long long>(length) > bytes.size() - offset)
            throw std::out_of_range("disc record");
        set(bytes.substr(offset, static_cast<std::size_t>(length)).c_str());
        offset += static_cast<std::size_t>(length);
    }

private:
    const std::string& bytes;
    std::size_t offset = 0;
};

struct DiscDeleter {
    void operator()(cddb_disc_t* disc) const { cddb_disc_destroy(disc); }
};

} // namespace

std::string encodeDisc(cddb_disc_t* disc) {
    Writer out;
    out.number(cddb_disc_get_category(disc));
    out.number(cddb_disc_get_discid(disc));
    out.number(cddb_disc_get_length(disc));
    out.number(cddb_disc_get_revision(disc));
    out.number(cddb_disc_get_year(disc));
    out.text(cddb_disc_get_title(disc));
    out.text(cddb_disc_get_artist(disc));
    out.text(cddb_disc_get_genre(disc));
    out.text(cddb_disc_get_ext_data(disc));
    out.number(cddb_disc_get_track_count(disc));
    for (cddb_track_t* track = cddb_disc_get_track_first(disc); track != nullptr;
         track = cddb_disc_get_track_next(disc)) {
        out.number(cddb_track_get_frame_offset(track));
        out.number(cddb_track_get_length(track));
        out.text(cddb_track_get_title(track));
        out.text(cddb_track_get_artist(track));
        out.text(cddb_track_get_ext_data(track));
    }
    return out.bytes;
}

cddb_disc_t* decodeDisc(const std::string& bytes) {
    std::unique_ptr<cddb_disc_t, DiscDeleter> disc(cddb_disc_new());
    if (!disc)
        return nullptr;
    cddb_disc_t* d = disc.get();
    try {
        Reader in(bytes);
        cddb_disc_set_category(d, static_cast<cddb_cat_t>(in.number()));
        cddb_disc_set_discid(d, static_cast<unsigned int>(in.number()));
        cddb_disc_set_length(d, static_cast<unsigned int>(in.number()));
        cddb_disc_set_revision(d, static_cast<unsigned int>(in.number()));
        cddb_disc_set_year(d, static_cast<unsigned int>(in.number()));
        in.text([d](const char* value) { cddb_disc_set_title(d, value); });
        in.text([d](const char* value) { cddb_disc_set_artist(d, value); });
        in.text([d](const char* value) { cddb_disc_set_genre(d, value); });
        in.text([d](const char* value) { cddb_disc_set_ext_data(d, value); });
        for (long long count = in.number(); count > 0; --count) {
            cddb_track_t* track = cddb_track_new();
            if (track == nullptr)
                return nullptr;
            cddb_disc_add_track(d, track);
            cddb_track_set_frame_offset(track, static_cast<int>(in.number()));
            cddb_track_set_length(track, static_cast<int>(in.number()));
            in.text([track](const char* value) { cddb_track_set_title(track, value); });
            in.text([track](const char* value) { cddb_track_set_artist(track, value); });
            in.text([track](const char* value) { cddb_track_set_ext_data(track, value); });
        }
    } catch (const std::out_of_range&) {
        return nullptr;
    }
    return disc.release();
}

} // namespace Vantrel
