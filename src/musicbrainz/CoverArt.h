#ifndef VANTREL_MUSICBRAINZ_COVERART_H
#define VANTREL_MUSICBRAINZ_COVERART_H

#include <optional>
#include <string>

#include "disc/Disc.h"
#include "lookup/Database.h"
#include "musicbrainz/MusicBrainzDatabase.h"

namespace Vantrel {

// The release's front cover from the Cover Art Archive (or from the server
// the settings name, at the same path), under the cache modes of the
// answers. Nothing, with a note that says why, when it has none, when it is
// over 10 MB, or when it cannot be had.
std::optional<Picture> frontCoverOf(const std::string& releaseId, const MusicBrainzSettings& settings,
                                    const NoteSink& notes);

} // namespace Vantrel

#endif
