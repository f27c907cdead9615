#ifndef VANTREL_DISC_DISC_H
#define VANTREL_DISC_DISC_H

#include <string>
#include <vector>

namespace Vantrel {

// CD audio frames per second: track offsets are in frames, lengths in seconds.
const int frames_per_second = 75;

// A length in seconds as minutes, ':' and two-digit seconds ("1:05").
std::string minutesAndSeconds(unsigned int length);

class Track {
public:
    Track(const std::string& name, const std::string& artist, unsigned int length, unsigned int trackNo);

    const std::string& getName() const { return name; }
    const std::string& getArtist() const { return artist; }
    unsigned int getLength() const { return length; }
    unsigned int getTrackNo() const { return trackNo; }

private:
    std::string name;
    std::string artist;
    unsigned int length;
    unsigned int trackNo;
};

// One CDDB entry: album data and its tracks in disc order.
class Disc {
public:
    Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year);

    void appendTrack(const Track& track);

    const std::string& getTitle() const { return title; }
    const std::string& getArtist() const { return artist; }
    const std::string& getGenre() const { return genre; }
    unsigned int getYear() const { return year; }
    const std::vector<Track>& getTracks() const { return tracks; }

private:
    std::string title;
    std::string artist;
    std::string genre;
    unsigned int year;
    std::vector<Track> tracks;
};

} // namespace Vantrel

#endif
