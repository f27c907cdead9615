#include "musicbrainz/MusicBrainzQuery.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "musicbrainz/AnswerCache.h"
#include "musicbrainz/MusicBrainzAnswer.h"
#include "musicbrainz/DiscId.h"
#include "musicbrainz/MusicBrainzQueryException.h"
#include "musicbrainz/WebService.h"

#define VANTREL_STRINGIFY(x) #x
#define VANTREL_TEXT(x) VANTREL_STRINGIFY(x)

namespace Vantrel {

namespace {

const char* const INCLUDES = "inc=artist-credits+recordings+genres+release-groups&fmt=json";
const long HTTP_OK = 200;
const long HTTP_NOT_FOUND = 404;
const long HTTP_SERVICE_UNAVAILABLE = 503;

bool matches(const std::string& text, const std::string& pattern, int (*isAllowed)(int)) {
    return text.size() == pattern.size() &&
           std::equal(text.begin(), text.end(), pattern.begin(), [&](char c, char p) {
               return p == 'x' ? isAllowed(static_cast<unsigned char>(c)) != 0 : c == p;
           });
}

int isDiscIdCharacter(int c) { return std::isalnum(c) || c == '.' || c == '_' || c == '-'; }

// A release MBID: 8-4-4-4-12 hexadecimal digits.
bool isReleaseId(const std::string& text) {
    return matches(text, "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", isxdigit);
}

// A disc ID: base64 of a SHA-1 in MusicBrainz's alphabet, padded with '-'.
bool isDiscId(const std::string& text) { return matches(text, "xxxxxxxxxxxxxxxxxxxxxxxxxxx-", isDiscIdCharacter); }

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The service asks every client to name itself and a way to reach its user.
std::string userAgent() {
    const char* email = std::getenv("EMAIL");
    const std::string contact = email != nullptr && std::strchr(email, '@') != nullptr ? email : "vantrel";
    return std::string("vantrel/") + VANTREL_TEXT(VANTREL_VERSION) + " ( " + contact + " )";
}

} // namespace

MusicBrainzQuery::MusicBrainzQuery(const TableOfContents& contents, const MusicBrainzSettings& settings)
    : lookup(Lookup::TABLE_OF_CONTENTS), trackCount(contents.frameOffsets.size()), settings(settings) {
    const MusicBrainzDiscId discId = musicBrainzDiscIdOf(contents);
    identifier = discId.id;
    toc = discId.toc;
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
    const std::string host = settings.server.empty() ? MUSICBRAINZ_SERVER : settings.server;
    const unsigned int port = settings.port == 0 ? MUSICBRAINZ_HTTPS_PORT : settings.port;
    const std::string server =
        port == MUSICBRAINZ_HTTPS_PORT ? "https://" + host : "http://" + host + ":" + std::to_string(port);
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

// A disc ID stands for its table of contents, so it names the answer of a
// lookup by table of contents too.
std::string MusicBrainzQuery::cacheName() const {
    switch (lookup) {
    case Lookup::TABLE_OF_CONTENTS:
        return "discid-" + identifier + "-toc.json";
    case Lookup::DISC_ID:
        return "discid-" + identifier + ".json";
    case Lookup::RELEASE:
        break;
    }
    return "release-" + identifier + ".json";
}

std::vector<Disc> MusicBrainzQuery::discsOf(const std::string& answer) const {
    if (lookup == Lookup::RELEASE)
        return discsOfReleaseAnswer(answer);
    return discsOfDiscIdAnswer(answer, identifier, lookup == Lookup::TABLE_OF_CONTENTS ? trackCount : 0);
}

std::vector<Disc> MusicBrainzQuery::read(const std::string& answer, const std::string& source) const {
    try {
        return discsOf(answer);
    } catch (const AnswerFormatError& error) {
        throw MusicBrainzQueryException(source + " is not the JSON expected: " + error.what());
    }
}

std::vector<Disc> MusicBrainzQuery::query(const NoteSink& notes) const {
    const AnswerCache cache(notes);
    const std::string name = cacheName();
    const Cache cacheMode = settings.cacheMode;
    if (cacheMode != CACHE_MODE_OFF) {
        if (const std::optional<std::string> answer = cache.load(name))
            return read(*answer, "The MusicBrainz answer stored in " + cache.pathOf(name));
    }
    if (cacheMode == CACHE_MODE_ONLY)
        return {};

    cache.waitForTurn();
    const HttpAnswer reply = httpGet(url(), userAgent());
    if (reply.status == HTTP_NOT_FOUND)
        return {};
    if (reply.status == HTTP_SERVICE_UNAVAILABLE)
        throw MusicBrainzQueryException("MusicBrainz is busy (503); try again in a moment");
    if (reply.status != HTTP_OK) {
        const std::string error = errorOfAnswer(reply.body);
        throw MusicBrainzQueryException("MusicBrainz answered HTTP " + std::to_string(reply.status) +
                                        (error.empty() ? "" : ": " + error));
    }
    const std::vector<Disc> discs = read(reply.body, "The answer of MusicBrainz");
    // An answer without a disc is not kept: the disc may be added later.
    if (cacheMode == CACHE_MODE_ON && !discs.empty())
        cache.store(name, reply.body);
    return discs;
}

} // namespace Vantrel
