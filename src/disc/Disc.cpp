#include "disc/Disc.h"

namespace Vantrel {

std::string minutesAndSeconds(unsigned int length) {
    const unsigned int seconds = length % 60;
    return std::to_string(length / 60) + (seconds <= 9 ? ":0" : ":") + std::to_string(seconds);
}

Track::Track(const std::string& name, const std::string& artist, unsigned int length, unsigned int trackNo,
             const TrackIds& ids)
    : name(name), artist(artist), length(length), trackNo(trackNo), ids(ids) {}

Disc::Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year)
    : title(title), artist(artist), genre(genre), year(year) {}

Disc::Disc(const std::string& title, const std::string& artist, const std::string& genre, unsigned int year,
           const ReleaseDetails& release)
    : title(title), artist(artist), genre(genre), year(year), release(release) {}

void Disc::appendTrack(const Track& track) { tracks.push_back(track); }

} // namespace Vantrel
