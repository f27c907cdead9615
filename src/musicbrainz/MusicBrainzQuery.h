#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERY_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERY_H

#include <memory>
#include <string>
#include <vector>

#include "cli/CommandLineArguments.h"
#include "disc/Disc.h"
#include "musicbrainz/MusicBrainzQueryException.h"

namespace Vantrel {

const char* const MUSICBRAINZ_SERVER = "musicbrainz.org";
const unsigned int MUSICBRAINZ_HTTPS_PORT = 443;

class MusicBrainzQueryImpl;

// One MusicBrainz lookup: by a table of contents, or by a release or disc ID.
// Hides the web service; failures are thrown as MusicBrainzQueryException.
class MusicBrainzQuery {
public:
    // Table of contents: track start offsets and the lead-out, in frames
    // counted from the start of the disc (the first track at 150).
    MusicBrainzQuery(const std::vector<int>& offsets, int leadOut);
    // lookup is "release" (identifier: a release MBID) or "discid"
    // (identifier: a MusicBrainz disc ID).
    MusicBrainzQuery(const std::string& lookup, const std::string& identifier);
    virtual ~MusicBrainzQuery();

    MusicBrainzQuery(const MusicBrainzQuery&) = delete;
    MusicBrainzQuery& operator=(const MusicBrainzQuery&) = delete;

    // HTTPS on port 443, plain HTTP on any other; musicbrainz.org:443 by default.
    void setServer(const std::string& host, unsigned int port);
    void setCache(const Cache& mode);

    // Finding nothing is no error: the results stay empty.
    void query();
    const std::vector<Disc>& getResults();

private:
    std::unique_ptr<MusicBrainzQueryImpl> impl;
};

} // namespace Vantrel

#endif
