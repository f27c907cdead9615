#include "musicbrainz/MusicBrainzAnswer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

namespace Vantrel {

namespace {

using Json = nlohmann::json;

// The text under key; empty when the key is absent or null.
std::string textOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found == object.end() || found->is_null() ? std::string() : found->get<std::string>();
}

// The list under key; an empty list when the key is absent or null, unless
// the answer cannot do without it.
const Json& listOf(const Json& object, const char* key, bool required = false) {
    static const Json none = Json::array();
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        if (required)
            throw AnswerFormatError(std::string("no \"") + key + "\" list");
        return none;
    }
    if (!found->is_array())
        throw AnswerFormatError(std::string("\"") + key + "\" is not a list");
    return *found;
}

// Credited names and join phrases, as MusicBrainz shows the credit.
std::string creditOf(const Json& object) {
    std::string credit;
    for (const Json& part : listOf(object, "artist-credit"))
        credit += textOf(part, "name") + textOf(part, "joinphrase");
    return credit;
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The year of a date "YYYY", "YYYY-MM" or "YYYY-MM-DD"; 0 without one.
unsigned int yearOf(const std::string& date) {
    if (date.size() < 4 || !std::all_of(date.begin(), date.begin() + 4, isDigit))
        return 0;
    return static_cast<unsigned int>(std::stoul(date.substr(0, 4)));
}

// The genre with the highest count, the first of equal ones.
std::string topGenreOf(const Json& object) {
    std::string genre;
    long long best = 0;
    for (const Json& candidate : listOf(object, "genres")) {
        const long long count = candidate.value("count", 0LL);
        if (genre.empty() || count > best) {
            genre = textOf(candidate, "name");
            best = count;
        }
    }
    return genre;
}

std::string genreOf(const Json& release) {
    const std::string genre = topGenreOf(release);
    const auto group = release.find("release-group");
    return genre.empty() && group != release.end() && group->is_object() ? topGenreOf(*group) : genre;
}

unsigned int secondsOf(const Json& track) {
    const auto length = track.find("length");
    return length == track.end() || length->is_null() ? 0 : length->get<unsigned int>() / 1000;
}

// The medium's audio tracks; a hidden pregap track and data tracks are
// listed apart and never reach a file.
Disc discOf(const Json& release, const Json& medium, const std::string& discId) {
    const std::string artist = creditOf(release);
    Disc disc(textOf(release, "title"), artist, genreOf(release), yearOf(textOf(release, "date")),
              textOf(release, "id"), discId);
    unsigned int number = 0;
    for (const Json& track : listOf(medium, "tracks")) {
        ++number;
        const std::string trackArtist = creditOf(track);
        const auto recording = track.find("recording");
        disc.appendTrack(Track(textOf(track, "title"), trackArtist.empty() ? artist : trackArtist,
                               secondsOf(track), track.value("position", number), textOf(track, "id"),
                               recording != track.end() && recording->is_object() ? textOf(*recording, "id")
                                                                                    : std::string()));
    }
    return disc;
}

bool holdsDisc(const Json& medium, const std::string& discId) {
    const Json& discs = listOf(medium, "discs");
    return std::any_of(discs.begin(), discs.end(), [&](const Json& disc) { return textOf(disc, "id") == discId; });
}

Json parse(const std::string& answer) {
    const Json json = Json::parse(answer);
    if (!json.is_object())
        throw AnswerFormatError("not a JSON object");
    return json;
}

// Runs a reading, turning the JSON library's errors into AnswerFormatError.
template <typename Reading>
std::vector<Disc> reading(Reading read) {
    try {
        return read();
    } catch (const Json::exception& error) {
        throw AnswerFormatError(error.what());
    }
}

} // namespace

std::vector<Disc> discsOfDiscIdAnswer(const std::string& answer, const std::string& discId,
                                      std::size_t trackCount) {
    return reading([&] {
        const Json json = parse(answer);
        const bool knownDisc = !json.contains("release-count");
        std::vector<Disc> discs;
        for (const Json& release : listOf(json, "releases", true))
            for (const Json& medium : listOf(release, "media", true)) {
                if (knownDisc ? holdsDisc(medium, discId) : listOf(medium, "tracks").size() == trackCount)
                    discs.push_back(discOf(release, medium, knownDisc ? discId : std::string()));
            }
        return discs;
    });
}

std::vector<Disc> discsOfReleaseAnswer(const std::string& answer) {
    return reading([&] {
        const Json release = parse(answer);
        std::vector<Disc> discs;
        for (const Json& medium : listOf(release, "media", true))
            discs.push_back(discOf(release, medium, ""));
        return discs;
    });
}

std::string errorOfAnswer(const std::string& answer) {
    const Json json = Json::parse(answer, nullptr, false);
    const auto error = json.is_object() ? json.find("error") : json.end();
    return json.is_object() && error != json.end() && error->is_string() ? error->get<std::string>() : "";
}

} // namespace Vantrel
