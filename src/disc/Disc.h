#ifndef VANTREL_DISC_DISC_H
#define VANTREL_DISC_DISC_H

#include <optional>
#include <string>
#include <vector>

namespace Vantrel {

// CD audio frames per second: track offsets are in frames, lengths in seconds.
const int frames_per_second = 75;

// A length in seconds as minutes, ':' and two-digit seconds ("1:05").
std::string minutesAndSeconds(unsigned int length);

// A track's MusicBrainz identifiers; all empty for a CDDB track.
struct TrackIds {
    std::string releaseTrackId;
    std::string recordingId;
    // The artists of the track's credit, in its order.
    std::vector<std::string> artistIds;
};

class Track {
public:
    Track(const std::string& name, const std::string& artist, unsigned int length, unsigned int trackNo,
          const TrackIds& ids = TrackIds());

    const std::string& getName() const { return name; }
    const std::string& getArtist() const { return artist; }
    unsigned int getLength() const { return length; }
    unsigned int getTrackNo() const { return trackNo; }
    const TrackIds& getIds() const { return ids; }

private:
    std::string name;
    std::string artist;
    unsigned int length;
    unsigned int trackNo;
    TrackIds ids;
};

// What MusicBrainz tells of one medium of a release beyond what a CDDB entry
// holds. Texts are empty and lists empty where the release has no such value.
struct ReleaseDetails {
    std::string releaseId;
    // The disc ID of the lookup, when this medium holds it.
    std::string discId;
    std::vector<std::string> albumArtistIds;
    std::string releaseGroupId;
    unsigned int discNumber = 0;
    unsigned int discTotal = 0;
    // As given: YYYY, YYYY-MM or YYYY-MM-DD.
    std::string date;
    std::string originalDate;
    // The medium's own title.
    std::string discSubtitle;
    std::string country;
    std::string status;           // lower case, as taggers write it
    std::vector<std::string> types; // primary, then secondary ones; lower case
    std::string mediaFormat;
    std::vector<std::string> labels;
    std::vector<std::string> catalogNumbers;
    std::string barcode;
    // Set when the disc was matched by its tracks' lengths, not its disc ID:
    // the sum of the differences between each track and its file.
    std::optional<unsigned long long> lengthsOffByMilliseconds;
};

// An image to embed, as its bytes and their MIME type.
struct Picture {
    std::string mimeType;
    std::string data;
};

// One disc of a database: album data and its tracks in disc order.
class Disc {
public:
    // A CDDB entry.
    Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year);
    // One medium of a MusicBrainz release.
    Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year,
         const ReleaseDetails& release);

    void appendTrack(const Track& track);

    const std::string& getTitle() const { return title; }
    const std::string& getArtist() const { return artist; }
    const std::string& getGenre() const { return genre; }
    unsigned int getYear() const { return year; }
    const std::vector<Track>& getTracks() const { return tracks; }
    // Present for a disc from MusicBrainz only.
    const std::optional<ReleaseDetails>& getRelease() const { return release; }

    // Taken from the cache because the server could not be reached, so that
    // it may not be all the server knows.
    void markUnconfirmed() { unconfirmed = true; }
    bool isUnconfirmed() const { return unconfirmed; }

    // The front cover to give files that have none.
    void setFrontCover(const Picture& picture) { frontCover = picture; }
    const std::optional<Picture>& getFrontCover() const { return frontCover; }

private:
    std::string title;
    std::string artist;
    std::string genre;
    unsigned int year;
    std::vector<Track> tracks;
    std::optional<ReleaseDetails> release;
    bool unconfirmed = false;
    std::optional<Picture> frontCover;
};

} // namespace Vantrel

#endif
