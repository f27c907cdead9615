#include "musicbrainz/MusicBrainzAnswer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>

#include "disc/Text.h"

namespace Vantrel {

namespace {

using Json = nlohmann::json;

// Whole numbers up to 2^53 are exact as doubles, so a number sent either as
// an integer or as a double can be range-checked before it is converted.
const long long LARGEST_COUNT = 1LL << 53;
// Track lengths (milliseconds) and positions become unsigned ints.
const long long LARGEST_SMALL_NUMBER = 0xFFFFFFFFLL;

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

// The object under key, or null when there is none.
const Json* objectOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? &*found : nullptr;
}

// The whole number from 0 to highest (at most LARGEST_COUNT) under key;
// nothing when the key is absent or null.
std::optional<long long> wholeNumberOf(const Json& object, const char* key, long long highest) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    const auto outOfRange = [&] {
        return AnswerValueError("\"" + std::string(key) + "\" is " + found->dump() + ", out of range");
    };
    if (found->is_number_unsigned()) {
        if (found->get<std::uint64_t>() > static_cast<std::uint64_t>(highest))
            throw outOfRange();
        return static_cast<long long>(found->get<std::uint64_t>());
    }
    if (found->is_number_integer()) {
        const std::int64_t value = found->get<std::int64_t>();
        if (value < 0 || value > highest)
            throw outOfRange();
        return value;
    }
    if (found->is_number_float()) {
        const double value = found->get<double>();
        if (!(value >= 0 && value <= static_cast<double>(highest)) || value != std::floor(value))
            throw outOfRange();
        return static_cast<long long>(value);
    }
    throw AnswerFormatError("\"" + std::string(key) + "\" is not a number");
}

void addUnique(std::vector<std::string>& list, const std::string& text) {
    if (!text.empty() && std::find(list.begin(), list.end(), text) == list.end())
        list.push_back(text);
}

// Credited names and join phrases, as MusicBrainz shows the credit.
std::string creditOf(const Json& object) {
    std::string credit;
    for (const Json& part : listOf(object, "artist-credit"))
        credit += textOf(part, "name") + textOf(part, "joinphrase");
    return credit;
}

std::vector<std::string> artistIdsOf(const Json& object) {
    std::vector<std::string> ids;
    for (const Json& part : listOf(object, "artist-credit"))
        if (const Json* artist = objectOf(part, "artist"))
            addUnique(ids, textOf(*artist, "id"));
    return ids;
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// A date "YYYY", "YYYY-MM" or "YYYY-MM-DD" as given; empty for anything else.
std::string dateOf(const Json& object, const char* key) {
    const std::string date = textOf(object, key);
    const std::string shape = "dddd-dd-dd";
    const bool fits = (date.size() == 4 || date.size() == 7 || date.size() == 10) &&
                      std::equal(date.begin(), date.end(), shape.begin(),
                                 [](char c, char s) { return s == 'd' ? isDigit(c) : c == s; });
    return fits ? date : std::string();
}

unsigned int yearOf(const std::string& date) {
    return date.empty() ? 0 : static_cast<unsigned int>(std::stoul(date.substr(0, 4)));
}

// The genre with the highest count, the first of equal ones.
std::string topGenreOf(const Json& object) {
    std::string genre;
    long long best = 0;
    for (const Json& candidate : listOf(object, "genres")) {
        const long long count = wholeNumberOf(candidate, "count", LARGEST_COUNT).value_or(0);
        if (genre.empty() || count > best) {
            genre = textOf(candidate, "name");
            best = count;
        }
    }
    return genre;
}

std::string genreOf(const Json& release) {
    const std::string genre = topGenreOf(release);
    const Json* group = objectOf(release, "release-group");
    return genre.empty() && group != nullptr ? topGenreOf(*group) : genre;
}

// The primary type, then the secondary ones, in lower case as taggers write them.
std::vector<std::string> typesOf(const Json& group) {
    std::vector<std::string> types;
    addUnique(types, lowerCase(textOf(group, "primary-type")));
    for (const Json& type : listOf(group, "secondary-types"))
        addUnique(types, lowerCase(type.get<std::string>()));
    return types;
}

ReleaseDetails detailsOf(const Json& release, const Json& medium, std::size_t mediumIndex, std::size_t mediaCount,
                         const std::string& discId) {
    ReleaseDetails details;
    details.releaseId = textOf(release, "id");
    details.discId = discId;
    details.albumArtistIds = artistIdsOf(release);
    if (const Json* group = objectOf(release, "release-group")) {
        details.releaseGroupId = textOf(*group, "id");
        details.originalDate = dateOf(*group, "first-release-date");
        details.types = typesOf(*group);
    }
    details.discNumber = static_cast<unsigned int>(
        wholeNumberOf(medium, "position", LARGEST_SMALL_NUMBER).value_or(static_cast<long long>(mediumIndex + 1)));
    details.discTotal = static_cast<unsigned int>(mediaCount);
    details.date = dateOf(release, "date");
    details.discSubtitle = textOf(medium, "title");
    details.country = textOf(release, "country");
    details.status = lowerCase(textOf(release, "status"));
    details.mediaFormat = textOf(medium, "format");
    for (const Json& info : listOf(release, "label-info")) {
        if (const Json* label = objectOf(info, "label"))
            addUnique(details.labels, textOf(*label, "name"));
        addUnique(details.catalogNumbers, textOf(info, "catalog-number"));
    }
    details.barcode = textOf(release, "barcode");
    return details;
}

std::optional<long long> millisecondsOf(const Json& track) {
    return wholeNumberOf(track, "length", LARGEST_SMALL_NUMBER);
}

// The sum of the differences between each track and its file, when there is
// a track for each file and none is further off than the tolerance.
std::optional<unsigned long long> lengthsOffBy(const Json& tracks, const std::vector<unsigned long long>& files) {
    if (tracks.size() != files.size())
        return std::nullopt;
    unsigned long long total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::optional<long long> length = millisecondsOf(tracks[i]);
        if (!length)
            return std::nullopt;
        const unsigned long long track = static_cast<unsigned long long>(*length);
        const unsigned long long difference = track > files[i] ? track - files[i] : files[i] - track;
        if (difference > FUZZY_TRACK_TOLERANCE_MILLISECONDS)
            return std::nullopt;
        total += difference;
    }
    return total;
}

// The medium's audio tracks; a hidden pregap track and data tracks are
// listed apart and never reach a file. A track without its own credit is
// the release's artists'.
Disc discOf(const Json& release, const Json& medium, const ReleaseDetails& details) {
    const std::string artist = creditOf(release);
    Disc disc(textOf(release, "title"), artist, genreOf(release), yearOf(details.date), details);
    unsigned int number = 0;
    for (const Json& track : listOf(medium, "tracks")) {
        ++number;
        const std::string trackArtist = creditOf(track);
        TrackIds ids{textOf(track, "id"), "", trackArtist.empty() ? details.albumArtistIds : artistIdsOf(track)};
        if (const Json* recording = objectOf(track, "recording"))
            ids.recordingId = textOf(*recording, "id");
        const long long position = wholeNumberOf(track, "position", LARGEST_SMALL_NUMBER).value_or(number);
        disc.appendTrack(Track(textOf(track, "title"), trackArtist.empty() ? artist : trackArtist,
                               static_cast<unsigned int>(millisecondsOf(track).value_or(0) / 1000),
                               static_cast<unsigned int>(position), ids));
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
auto reading(Reading read) -> decltype(read()) {
    try {
        return read();
    } catch (const Json::exception& error) {
        throw AnswerFormatError(error.what());
    }
}

// Calls offer(medium, its details) for each medium with tracks of each release.
template <typename Offer>
void forEachMedium(const Json& release, const std::string& discId, Offer offer) {
    const Json& media = listOf(release, "media", true);
    for (std::size_t i = 0; i < media.size(); ++i)
        if (!listOf(media[i], "tracks").empty())
            offer(media[i], detailsOf(release, media[i], i, media.size(), discId));
}

} // namespace

DiscIdAnswer discsOfDiscIdAnswer(const std::string& answer, const std::string& discId,
                                 const std::vector<unsigned long long>& fileMilliseconds) {
    return reading([&] {
        const Json json = parse(answer);
        const bool knownDisc = !json.contains("release-count");
        const Json& releases = listOf(json, "releases", true);
        DiscIdAnswer result;
        for (const Json& release : releases)
            forEachMedium(release, knownDisc ? discId : "", [&](const Json& medium, ReleaseDetails details) {
                if (knownDisc) {
                    if (!holdsDisc(medium, discId))
                        return;
                } else {
                    details.lengthsOffByMilliseconds = lengthsOffBy(listOf(medium, "tracks"), fileMilliseconds);
                    if (!details.lengthsOffByMilliseconds)
                        return;
                }
                result.discs.push_back(discOf(release, medium, details));
            });
        if (!knownDisc) {
            std::stable_sort(result.discs.begin(), result.discs.end(), [](const Disc& a, const Disc& b) {
                return *a.getRelease()->lengthsOffByMilliseconds < *b.getRelease()->lengthsOffByMilliseconds;
            });
            result.releasesKnown =
                static_cast<unsigned long long>(wholeNumberOf(json, "release-count", LARGEST_COUNT).value_or(0));
            result.releasesSent = releases.size();
        }
        return result;
    });
}

std::vector<Disc> discsOfReleaseAnswer(const std::string& answer) {
    return reading([&] {
        const Json release = parse(answer);
        std::vector<Disc> discs;
        forEachMedium(release, "", [&](const Json& medium, const ReleaseDetails& details) {
            discs.push_back(discOf(release, medium, details));
        });
        return discs;
    });
}

std::string errorOfAnswer(const std::string& answer) {
    const Json json = Json::parse(answer, nullptr, false);
    const auto error = json.is_object() ? json.find("error") : json.end();
    return json.is_object() && error != json.end() && error->is_string() ? error->get<std::string>() : "";
}

} // namespace Vantrel
