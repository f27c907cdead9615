#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZDATABASE_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZDATABASE_H

#include <memory>
#include <string>

#include "lookup/Database.h"
#include "lookup/LookupSettings.h"

namespace Vantrel {

const char* const MUSICBRAINZ_SERVER = "musicbrainz.org";
const unsigned int MUSICBRAINZ_HTTPS_PORT = 443;

// What the user asked of MusicBrainz lookups: a server (a mirror) is
// reached by HTTPS on port 443, by plain HTTP on any other port.
struct MusicBrainzSettings {
    Cache cacheMode = CACHE_MODE_ON;
    // Empty, and 0, for musicbrainz.org on 443.
    std::string server;
    unsigned int port = 0;
    // Ask even when the cache holds an answer that has not expired.
    bool serverFirst = false;
};

// The MusicBrainz web service as a database of discs. An identifier's kind
// is "release" (a release MBID) or "discid" (a MusicBrainz disc ID).
std::unique_ptr<Database> openMusicBrainz(const MusicBrainzSettings& settings, const NoteSink& notes);

} // namespace Vantrel

#endif
