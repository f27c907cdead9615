#include "musicbrainz/Requests.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "disc/Text.h"
#include "musicbrainz/MusicBrainzAnswer.h"
#include "musicbrainz/MusicBrainzQueryException.h"
#include "musicbrainz/WebService.h"

#define VANTREL_STRINGIFY(x) #x
#define VANTREL_TEXT(x) VANTREL_STRINGIFY(x)

namespace Vantrel {

namespace {

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
std::string redirectTarget(const std::string& service, const std::string& from, const std::string& to, int redirects) {
    if (redirects > MAX_REDIRECTS)
        throw MusicBrainzQueryException(service + " redirected the request more than " +
                                        std::to_string(MAX_REDIRECTS) + " times");
    const std::string scheme = lowerCase(to.substr(0, to.find(':')));
    if (startsWith(lowerCase(from), "https:") ? scheme != "https" : scheme != "http" && scheme != "https")
        throw MusicBrainzQueryException(service + " redirected the request from " + from + " to " + to +
                                        ", which is not followed");
    return to;
}

// Waits as long as a busy server asks before it is asked again.
void waitToRetry(const std::string& service, const HttpAnswer& reply, int retries) {
    const long long wait = reply.retryAfterSeconds > 0 ? reply.retryAfterSeconds : DEFAULT_RETRY_SECONDS;
    if (retries > MAX_RETRIES || wait > LONGEST_RETRY_SECONDS)
        throw MusicBrainzQueryException(service + " is busy (" + std::to_string(reply.status) +
                                        "); try again in a moment");
    std::this_thread::sleep_for(std::chrono::seconds(wait));
}

} // namespace

std::string serverAddress(const MusicBrainzSettings& settings) {
    const std::string host = settings.server.empty() ? MUSICBRAINZ_SERVER : settings.server;
    const unsigned int port = settings.port == 0 ? MUSICBRAINZ_HTTPS_PORT : settings.port;
    return port == MUSICBRAINZ_HTTPS_PORT ? "https://" + host : "http://" + host + ":" + std::to_string(port);
}

std::string cacheFolderOf(const MusicBrainzSettings& settings) {
    return fileNameOf(settings.server.empty() ? MUSICBRAINZ_SERVER : settings.server) + ":" +
           std::to_string(settings.port == 0 ? MUSICBRAINZ_HTTPS_PORT : settings.port) + "/";
}

std::optional<std::string> fetchFollowing(const std::string& url, const AnswerCache& cache, const std::string& service,
                                          std::size_t maxBytes) {
    std::string address = url;
    int redirects = 0;
    int retries = 0;
    for (;;) {
        const HttpAnswer reply = httpGet(address, userAgent(), [&cache] { cache.waitForTurn(); }, maxBytes);
        if (isRedirect(reply.status) && reply.redirectUrl) {
            address = redirectTarget(service, address, *reply.redirectUrl, ++redirects);
        } else if (reply.status == HTTP_SERVICE_UNAVAILABLE || reply.status == HTTP_TOO_MANY_REQUESTS) {
            waitToRetry(service, reply, ++retries);
        } else if (reply.status == HTTP_NOT_FOUND) {
            return std::nullopt;
        } else if (reply.status != HTTP_OK) {
            const std::string error = errorOfAnswer(reply.body);
            throw MusicBrainzQueryException(service + " answered HTTP " + std::to_string(reply.status) +
                                            (error.empty() ? "" : ": " + error));
        } else {
            return reply.body;
        }
    }
}

} // namespace Vantrel
