#include "musicbrainz/MusicBrainzQuery.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "musicbrainz/AnswerCache.h"
#include "musicbrainz/DiscId.h"
#include "musicbrainz/MusicBrainzQueryException.h"
#include "musicbrainz/WebService.h"

#define VANTREL_STRINGIFY(x) #x
#define VANTREL_TEXT(x) VANTREL_STRINGIFY(x)

namespace Vantrel {

namespace {

const char* const INCLUDES = "inc=artist-credits+labels+recordings+genres+release-groups&fmt=json";
const long HTTP_OK = 200;
const long HTTP_NOT_FOUND = 404;
const long HTTP_TOO_MANY_REQUESTS = 429;
const long HTTP_SERVICE_UNAVAILABLE = 503;
const int MAX_REDIRECTS = 5;
const int MAX_RETRIES = 2;
// How long to wait for a busy server that does not say, and the longest
// wait it may ask for.
const long long DEFAULT_RETRY_SECONDS = 2;
const long long LONGEST_RETRY_SECONDS = 10;

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

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A host name as one file name: anything but letters, digits, '.' and '-'
// as %XX, so that no two names meet and none leaves the folder.
std::string fileNameOf(const std::string& host) {
    std::string name;
    for (const unsigned char c : host) {
        if (std::isalnum(c) || c == '.' || c == '-') {
            name += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            name += escaped;
        }
    }
    return name;
}

// The service asks every client to name itself and a way to reach its user.
std::string userAgent() {
    const char* email = std::getenv("EMAIL");
    const std::string contact = email != nullptr && std::strchr(email, '@') != nullptr ? email : "vantrel";
    return std::string("vantrel/") + VANTREL_TEXT(VANTREL_VERSION) + " ( " + contact + " )";
}

bool isRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect leads, when it may be followed: never from HTTPS to
// anything else, and never more than MAX_REDIRECTS times.
std::string redirectTarget(const std::string& from, const std::string& to, int redirects) {
    if (redirects > MAX_REDIRECTS)
        throw MusicBrainzQueryException("MusicBrainz redirected the request more than " +
                                        std::to_string(MAX_REDIRECTS) + " times");
    const std::string scheme = lowerCase(to.substr(0, to.find(':')));
    if (startsWith(lowerCase(from), "https:") ? scheme != "https" : scheme != "http" && scheme != "https")
        throw MusicBrainzQueryException("MusicBrainz redirected the request from " + from + " to " + to +
                                        ", which is not followed");
    return to;
}

// Waits as long as a busy server asks before it is asked again.
void waitToRetry(const HttpAnswer& reply, int retries) {
    const long long wait = reply.retryAfterSeconds > 0 ? reply.retryAfterSeconds : DEFAULT_RETRY_SECONDS;
    if (retries > MAX_RETRIES || wait > LONGEST_RETRY_SECONDS)
        throw MusicBrainzQueryException("MusicBrainz is busy (" + std::to_string(reply.status) +
                                        "); try again in a moment");
    std::this_thread::sleep_for(std::chrono::seconds(wait));
}

std::vector<Disc> offered(const DiscIdAnswer& answer, const NoteSink& notes) {
    if (answer.releasesKnown > answer.releasesSent)
        notes("Vantrel: MusicBrainz knows " + std::to_string(answer.releasesKnown) +
              " releases for this disc; showing the first " + std::to_string(answer.releasesSent));
    return answer.discs;
}

} // namespace

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

std::string MusicBrainzQuery::serverAddress() const {
    const std::string host = settings.server.empty() ? MUSICBRAINZ_SERVER : settings.server;
    const unsigned int port = settings.port == 0 ? MUSICBRAINZ_HTTPS_PORT : settings.port;
    return port == MUSICBRAINZ_HTTPS_PORT ? "https://" + host : "http://" + host + ":" + std::to_string(port);
}

std::string MusicBrainzQuery::url() const {
    const std::string server = serverAddress();
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
    const std::string folder =
        fileNameOf(settings.server.empty() ? MUSICBRAINZ_SERVER : settings.server) + ":" +
        std::to_string(settings.port == 0 ? MUSICBRAINZ_HTTPS_PORT : settings.port) + "/";
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

// The server's answer, through redirects and the waits a busy server asks
// for; nothing when the server does not know what was asked.
std::optional<std::string> MusicBrainzQuery::fetch(const AnswerCache& cache) const {
    std::string address = url();
    int redirects = 0;
    int retries = 0;
    for (;;) {
        const HttpAnswer reply = httpGet(address, userAgent(), [&cache] { cache.waitForTurn(); });
        if (isRedirect(reply.status) && reply.redirectUrl) {
            address = redirectTarget(address, *reply.redirectUrl, ++redirects);
        } else if (reply.status == HTTP_SERVICE_UNAVAILABLE || reply.status == HTTP_TOO_MANY_REQUESTS) {
            waitToRetry(reply, ++retries);
        } else if (reply.status == HTTP_NOT_FOUND) {
            return std::nullopt;
        } else if (reply.status != HTTP_OK) {
            const std::string error = errorOfAnswer(reply.body);
            throw MusicBrainzQueryException("MusicBrainz answered HTTP " + std::to_string(reply.status) +
                                            (error.empty() ? "" : ": " + error));
        } else {
            return reply.body;
        }
    }
}

std::vector<Disc> MusicBrainzQuery::query(const NoteSink& notes) const {
    const AnswerCache cache(notes);
    const Cache cacheMode = settings.cacheMode;
    std::optional<CachedOffer> cached;
    if (cacheMode != CACHE_MODE_OFF)
        cached = fromCache(cache, notes);
    if (cached && (!cached->stored.expired() || cacheMode == CACHE_MODE_ONLY))
        return offered(cached->answer, notes);
    if (cacheMode == CACHE_MODE_ONLY)
        return {};

    std::optional<std::string> body;
    DiscIdAnswer answer;
    try {
        body = fetch(cache);
        if (body)
            answer = read(*body, "The answer of MusicBrainz");
    } catch (const MusicBrainzQueryException& error) {
        if (!cached)
            throw;
        notes(std::string("Vantrel: MusicBrainz could not be asked again (") + error.what() +
              "); using its answer stored " + std::to_string(cached->stored.ageInDays) + " days ago");
        return offered(cached->answer, notes);
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
