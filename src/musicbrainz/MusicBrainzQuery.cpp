#include "musicbrainz/MusicBrainzQuery.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "disc/Text.h"
#include "musicbrainz/AnswerCache.h"
#include "musicbrainz/DiscId.h"
#include "musicbrainz/MusicBrainzQueryException.h"
#include "musicbrainz/Requests.h"

namespace Vantrel {

namespace {

const char* const INCLUDES = "inc=artist-credits+labels+recordings+genres+release-groups&fmt=json";
// A whole release with every medium is far smaller; anything larger is not
// an answer of the web service.
const std::size_t MAX_ANSWER_BYTES = 64 * 1024 * 1024;

bool matches(const std::string& text, const std::string& pattern, int (*isAllowed)(int)) {
    return text.size() == pattern.size() &&
           std::equal(text.begin(), text.end(), pattern.begin(), [&](char c, char p) {
               return p == 'x' ? isAllowed(static_cast<unsigned char>(c)) != 0 : c == p;
           });
}

int isDiscIdCharacter(int c) { return std::isalnum(c) || c == '.' || c == '_' || c == '-'; }

// A disc ID: base64 of a SHA-1 in MusicBrainz's alphabet, padded with '-'.
bool isDiscId(const std::string& text) { return matches(text, "xxxxxxxxxxxxxxxxxxxxxxxxxxx-", isDiscIdCharacter); }

std::vector<Disc> offered(const DiscIdAnswer& answer, const NoteSink& notes) {
    if (answer.releasesKnown > answer.releasesSent)
        notes("Vantrel: MusicBrainz knows " + std::to_string(answer.releasesKnown) +
              " releases for this disc; showing the first " + std::to_string(answer.releasesSent));
    return answer.discs;
}

} // namespace

bool isReleaseId(const std::string& text) {
    return matches(text, "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", isxdigit);
}

MusicBrainzQuery::MusicBrainzQuery(const TableOfContents& contents, const MusicBrainzSettings& settings)
    : lookup(Lookup::TABLE_OF_CONTENTS), settings(settings) {
    const MusicBrainzDiscId discId = musicBrainzDiscIdOf(contents);
    identifier = discId.id;
    toc = discId.toc;
    // In whole milliseconds as the service counts a track's frames.
    const std::vector<int>& starts = contents.frameOffsets;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1] : contents.leadOut;
        fileMilliseconds.push_back(static_cast<unsigned long long>(end - starts[i]) * 1000 / frames_per_second);
    }
}

MusicBrainzQuery::MusicBrainzQuery(const std::string& lookup, const std::string& identifier,
                                   const MusicBrainzSettings& settings)
    : lookup(Lookup::RELEASE), identifier(identifier), settings(settings) {
    if (lookup == "release") {
        if (!isReleaseId(identifier))
            throw MusicBrainzQueryException("Not a MusicBrainz release ID: " + identifier);
        this->identifier = lowerCase(identifier);
    } else if (lookup == "discid") {
        if (!isDiscId(identifier))
            throw MusicBrainzQueryException("Not a MusicBrainz disc ID: " + identifier);
        this->lookup = Lookup::DISC_ID;
    } else {
        throw MusicBrainzQueryException("Unknown MusicBrainz lookup: " + lookup);
    }
}

std::string MusicBrainzQuery::url() const {
    const std::string server = serverAddress(settings);
    switch (lookup) {
    case Lookup::TABLE_OF_CONTENTS:
        return server + "/ws/2/discid/" + identifier + "?toc=" + toc + "&cdstubs=no&" + INCLUDES;
    case Lookup::DISC_ID:
        return server + "/ws/2/discid/" + identifier + "?cdstubs=no&" + INCLUDES;
    case Lookup::RELEASE:
        break;
    }
    return server + "/ws/2/release/" + identifier + "?" + INCLUDES;
}

// Each server and port has its own folder: a mirror's answers are not
// musicbrainz.org's. A disc ID stands for its table of contents, so it
// names the answer of a lookup by table of contents too.
std::string MusicBrainzQuery::cacheName() const {
    const std::string folder = cacheFolderOf(settings);
    switch (lookup) {
    case Lookup::TABLE_OF_CONTENTS:
        return folder + "discid-" + identifier + "-toc.json";
    case Lookup::DISC_ID:
        return folder + "discid-" + identifier + ".json";
    case Lookup::RELEASE:
        break;
    }
    return folder + "release-" + identifier + ".json";
}

DiscIdAnswer MusicBrainzQuery::discsOf(const std::string& answer) const {
    if (lookup == Lookup::RELEASE)
        return DiscIdAnswer{discsOfReleaseAnswer(answer)};
    return discsOfDiscIdAnswer(answer, identifier, fileMilliseconds);
}

DiscIdAnswer MusicBrainzQuery::read(const std::string& answer, const std::string& source) const {
    try {
        return discsOf(answer);
    } catch (const AnswerValueError& error) {
        throw MusicBrainzQueryException(source + " is not the answer expected: " + error.what());
    } catch (const AnswerFormatError& error) {
        throw MusicBrainzQueryException(source + " is not the JSON expected: " + error.what());
    }
}

// An entry that cannot be read, or offers no disc, is as good as none: it
// goes, so that the server is asked again.
std::optional<MusicBrainzQuery::CachedOffer> MusicBrainzQuery::fromCache(const AnswerCache& cache,
                                                                         const NoteSink& notes) const {
    const std::string name = cacheName();
    std::optional<StoredAnswer> stored = cache.load(name);
    if (!stored)
        return std::nullopt;
    std::string problem = "it offers no disc";
    try {
        DiscIdAnswer answer = discsOf(stored->text);
        if (!answer.discs.empty())
            return CachedOffer{std::move(answer), std::move(*stored)};
    } catch (const AnswerFormatError& error) {
        problem = error.what();
    }
    cache.remove(name);
    notes("Vantrel: deleted the damaged MusicBrainz answer stored in " + cache.pathOf(name) + " (" + problem + ")");
    return std::nullopt;
}

std::vector<Disc> MusicBrainzQuery::query(const NoteSink& notes) const {
    const AnswerCache cache(notes);
    const Cache cacheMode = settings.cacheMode;
    std::optional<CachedOffer> cached;
    if (cacheMode != CACHE_MODE_OFF)
        cached = fromCache(cache, notes);
    if (cached && (cacheMode == CACHE_MODE_ONLY || (!cached->stored.expired() && !settings.serverFirst)))
        return offered(cached->answer, notes);
    if (cacheMode == CACHE_MODE_ONLY)
        return {};

    std::optional<std::string> body;
    DiscIdAnswer answer;
    try {
        body = fetchFollowing(url(), cache, "MusicBrainz", MAX_ANSWER_BYTES);
        if (body)
            answer = read(*body, "The answer of MusicBrainz");
    } catch (const MusicBrainzQueryException& error) {
        if (!cached)
            throw;
        notes(std::string("Vantrel: MusicBrainz could not be asked again (") + error.what() +
              "); using its answer stored " + std::to_string(cached->stored.ageInDays) + " days ago");
        std::vector<Disc> discs = offered(cached->answer, notes);
        for (Disc& disc : discs)
            disc.markUnconfirmed();
        return discs;
    }
    // An answer without a disc is not kept, and takes an older one's place:
    // the disc may be added later.
    if (cacheMode == CACHE_MODE_ON) {
        if (answer.discs.empty())
            cache.remove(cacheName());
        else
            cache.store(cacheName(), *body);
    }
    return offered(answer, notes);
}

} // namespace Vantrel
