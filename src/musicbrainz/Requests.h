#ifndef VANTREL_MUSICBRAINZ_REQUESTS_H
#define VANTREL_MUSICBRAINZ_REQUESTS_H

#include <cstddef>
#include <optional>
#include <string>

#include "musicbrainz/AnswerCache.h"
#include "musicbrainz/MusicBrainzDatabase.h"

namespace Vantrel {

// The address of the server the settings name: https://musicbrainz.org by
// default, a mirror by HTTPS on port 443 and by plain HTTP on any other.
std::string serverAddress(const MusicBrainzSettings& settings);

// The cache's folder of that server and port, "/" at its end: a mirror's
// answers are not musicbrainz.org's.
std::string cacheFolderOf(const MusicBrainzSettings& settings);

// The body of a GET as a good client makes it: named, a second after any
// earlier request (the cache keeps the time), through at most 5 redirects
// (never from HTTPS to anything else), and waiting as a busy server asks at
// most twice. Nothing when the server does not know what was asked (404).
// Throws MusicBrainzQueryException, naming `service`, for any other answer;
// AnswerTooLarge when the body passes maxBytes.
std::optional<std::string> fetchFollowing(const std::string& url, const AnswerCache& cache, const std::string& service,
                                          std::size_t maxBytes);

} // namespace Vantrel

#endif
