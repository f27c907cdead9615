#ifndef VANTREL_MUSICBRAINZ_WEBSERVICE_H
#define VANTREL_MUSICBRAINZ_WEBSERVICE_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace Vantrel {

struct HttpAnswer {
    long status = 0;
    std::string body;
    // How many seconds the server asks to be left alone (Retry-After); 0
    // when it does not say.
    long long retryAfterSeconds = 0;
    // Where a redirect points, as an absolute URL.
    std::optional<std::string> redirectUrl;
};

// One GET, redirects not followed; throws MusicBrainzQueryException when no
// answer comes (refused, timed out), AnswerTooLarge when the body passes
// maxBytes. beforeSending runs once the connection stands, right before the
// request goes out, and may wait. Proxy variables apply as in any libcurl
// program.
HttpAnswer httpGet(const std::string& url, const std::string& userAgent, const std::function<void()>& beforeSending,
                   std::size_t maxBytes);

} // namespace Vantrel

#endif
