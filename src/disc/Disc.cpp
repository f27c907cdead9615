#include "disc/Disc.h"

namespace Vantrel {

std::string minutesAndSeconds(unsigned int length) {
    const unsigned int seconds = length % 60;
    return std::to_string(length / 60) + (seconds <= 9 ? ":0" : ":") + std::to_string(seconds);
}

Track::Track(const std::string& name, const std::string& artist, unsigned int length, unsigned int trackNo,
             const std::string& releaseTrackId, const std::string& recordingId)
    : name(name), artist(artist), length(length), trackNo(trackNo), releaseTrackId(releaseTrackId),
      recordingId(recordingId) {}

Disc::Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year,
           const std::string& releaseId, const std::string& musicBrainzDiscId)
    : title(title), artist(artist), genre(genre), year(year), releaseId(releaseId),
      musicBrainzDiscId(musicBrainzDiscId) {}

void Disc::appendTrack(const Track& track) { tracks.push_back(track); }

} // namespace Vantrel
