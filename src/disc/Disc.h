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
    // The MusicBrainz identifiers stay empty for a CDDB track.
    Track(const std::string& name, const std::string& artist, unsigned int length, unsigned int trackNo,
          const std::string& releaseTrackId = "", const std::string& recordingId = "");

    const std::string& getName() const { return name; }
    const std::string& getArtist() const { return artist; }
    unsigned int getLength() const { return length; }
    unsigned int getTrackNo() const { return trackNo; }
    const std::string& getReleaseTrackId() const { return releaseTrackId; }
    const std::string& getRecordingId() const { return recordingId; }

private:
    std::string name;
    std::string artist;
    unsigned int length;
    unsigned int trackNo;
    std::string releaseTrackId;
    std::string recordingId;
};

// One disc of a database: album data and its tracks in disc order.
class Disc {
public:
    // The MusicBrainz release ID, and the disc ID of the lookup when this
    // medium holds it; both empty for a CDDB entry.
    Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year,
         const std::string& releaseId = "", const std::string& musicBrainzDiscId = "");

    void appendTrack(const Track& track);

    const std::string& getTitle() const { return title; }
    const std::string& getArtist() const { return artist; }
    const std::string& getGenre() const { return genre; }
    unsigned int getYear() const { return year; }
    const std::vector<Track>& getTracks() const { return tracks; }
    const std::string& getReleaseId() const { return releaseId; }
    const std::string& getMusicBrainzDiscId() const { return musicBrainzDiscId; }

    // Taken from the cache because the server could not be reached, so that
    // it may not be all the server knows.
    void markUnconfirmed() { unconfirmed = true; }
    bool isUnconfirmed() const { return unconfirmed; }

private:
    std::string title;
    std::string artist;
    std::string genre;
    unsigned int year;
    std::vector<Track> tracks;
    std::string releaseId;
    std::string musicBrainzDiscId;
    bool unconfirmed = false;
};

} // namespace Vantrel

#endif
