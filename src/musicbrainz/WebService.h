#ifndef VANTREL_MUSICBRAINZ_WEBSERVICE_H
#define VANTREL_MUSICBRAINZ_WEBSERVICE_H

#include <string>

namespace Vantrel {

struct HttpAnswer {
    long status = 0;
    std::string body;
};

// One GET; throws MusicBrainzQueryException when no answer comes (refused,
// timed out, too large). Proxy variables apply as in any libcurl program.
HttpAnswer httpGet(const std::string& url, const std::string& userAgent);

} // namespace Vantrel

#endif
