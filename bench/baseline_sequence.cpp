// Benchmark baseline for `vantrel -c off -s HOST -p PORT sequence FILE...`:
// opens the files the same way, computes the track offsets from their exact
// playing times (MP3 only, through libmpg123), asks the CDDB server through
// libcddb, reads every match, lists them, reads the choice from standard
// input and tags the files in order (MP3 files stripped first, as vantrel
// does), saving each at once.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <cddb/cddb.h>
#include <mpg123.h>
#include <taglib/id3v2tag.h>
#include <taglib/flacproperties.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include "baseline_common.h"

namespace {

struct Track {
    int number;
    std::string title;
    std::string artist;
    int length;
};

struct Disc {
    std::string artist, title, genre;
    unsigned int year = 0;
    std::vector<Track> tracks;
};

std::string text(const char* s) { return s == nullptr ? std::string() : std::string(s); }

Disc convert(cddb_disc_t* disc) {
    Disc result;
    result.artist = text(cddb_disc_get_artist(disc));
    result.title = text(cddb_disc_get_title(disc));
    result.genre = text(cddb_disc_get_genre(disc));
    result.year = cddb_disc_get_year(disc);
    for (cddb_track_t* track = cddb_disc_get_track_first(disc); track != nullptr;
         track = cddb_disc_get_track_next(disc))
        result.tracks.push_back(Track{cddb_track_get_number(track), text(cddb_track_get_title(track)),
                                      text(cddb_track_get_artist(track)), cddb_track_get_length(track)});
    return result;
}

void printTime(int length) {
    std::cout << length / 60 << ':' << (length % 60 <= 9 ? "0" : "") << length % 60;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 1;
    std::vector<baseline::OpenFile> files;
    if (!baseline::openAll(argc, argv, 3, files))
        return 3;

    // Frame offsets from the exact playing times (samples, as libmpg123 counts
    // them from the Info frame of an MP3, or as a FLAC file's header gives
    // them; the files share one rate), rounded to the nearest frame; the
    // first at 150.
    std::vector<int> offsets;
    long long samples = 0;
    long long rate = 1;
    auto frames = [&rate](long long count) { return static_cast<int>((2 * 75 * count + rate) / (2 * rate)); };
    for (const baseline::OpenFile& entry : files) {
        offsets.push_back(150 + frames(samples));
        if (const auto* flac = dynamic_cast<const TagLib::FLAC::Properties*>(entry.ref.audioProperties())) {
            samples += static_cast<long long>(flac->sampleFrames());
            rate = flac->sampleRate();
            continue;
        }
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        mpg123_frameinfo info;
        const bool read = mpg123_open(handle, entry.path.c_str()) == MPG123_OK &&
                          mpg123_info(handle, &info) == MPG123_OK && mpg123_length(handle) > 0;
        samples += read ? mpg123_length(handle) : 0;
        rate = read ? info.rate : rate;
        mpg123_delete(handle);
        if (!read)
            return 4;
    }
    const long leadOut = 150 + frames(samples);

    libcddb_init();
    cddb_conn_t* connection = cddb_new();
    cddb_cache_disable(connection);
    cddb_set_server_name(connection, argv[1]);
    cddb_set_server_port(connection, std::atoi(argv[2]));
    cddb_set_client(connection, "vantrel-baseline", "0.1");
    cddb_disc_t* disc = cddb_disc_new();
    for (int offset : offsets) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, offset);
        cddb_disc_add_track(disc, track);
    }
    cddb_disc_set_length(disc, static_cast<int>(leadOut / 75));

    std::vector<Disc> results;
    int matches = cddb_query(connection, disc);
    for (int i = 0; i < matches; ++i) {
        if (!cddb_read(connection, disc))
            return 4;
        results.push_back(convert(disc));
        if (i + 1 < matches && !cddb_query_next(connection, disc))
            return 4;
    }
    cddb_disc_destroy(disc);
    cddb_destroy(connection);
    libcddb_shutdown();
    if (matches < 0)
        return 4;
    if (results.empty()) {
        std::cout << "No results." << std::endl;
        return 2;
    }

    unsigned int count = 0;
    for (const Disc& d : results) {
        ++count;
        std::cout << '[' << (count <= 9 ? " " : "") << count << "] " << d.artist << " - " << d.title
                  << " (Year: " << d.year << " Genre: " << d.genre << ")" << std::endl;
        for (const Track& t : d.tracks) {
            std::cout << "     " << (t.number <= 9 ? " " : "") << t.number << ". " << t.title << " (";
            printTime(t.length);
            std::cout << ")" << std::endl;
        }
    }
    unsigned int choice = 0;
    do {
        std::cout << "Which disc [1-" << results.size() << "] ? " << std::flush;
        if (!(std::cin >> choice))
            return 4;
    } while (choice < 1 || choice > results.size());
    const Disc& chosen = results[choice - 1];

    for (std::size_t i = 0; i < files.size() && i < chosen.tracks.size(); ++i) {
        TagLib::FileRef& ref = files[i].ref;
        TagLib::Tag* tag = ref.tag();
        if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref.file())) {
            mpeg->strip(TagLib::MPEG::File::AllTags);
            tag = mpeg->ID3v2Tag(true);
        }
        const Track& track = chosen.tracks[i];
        tag->setArtist(TagLib::String(track.artist, TagLib::String::UTF8));
        tag->setTitle(TagLib::String(track.title, TagLib::String::UTF8));
        tag->setAlbum(TagLib::String(chosen.title, TagLib::String::UTF8));
        tag->setGenre(TagLib::String(chosen.genre, TagLib::String::UTF8));
        tag->setYear(chosen.year);
        tag->setTrack(track.number);
        const bool saved = ref.save();
        std::cout << i + 1 << ": File " << files[i].path << (saved ? " [Tag Saved]" : " [Save Failed]") << std::endl;
    }
    return 0;
}
