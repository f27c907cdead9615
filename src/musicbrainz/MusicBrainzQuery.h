#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERY_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERY_H

#include <cstddef>
#include <string>
#include <vector>

#include "disc/Disc.h"
#include "disc/TableOfContents.h"
#include "lookup/Database.h"
#include "musicbrainz/MusicBrainzDatabase.h"

namespace Vantrel {

// One request to the web service, answered from the cache when it can be,
// and its answer read into discs. Failures are thrown as
// MusicBrainzQueryException.
class MusicBrainzQuery {
public:
    // By the disc ID and table of contents of `toc`.
    MusicBrainzQuery(const TableOfContents& toc, const MusicBrainzSettings& settings);
    // lookup is "release" (identifier: a release MBID) or "discid"
    // (identifier: a MusicBrainz disc ID).
    MusicBrainzQuery(const std::string& lookup, const std::string& identifier, const MusicBrainzSettings& settings);

    // Finding nothing is no error: the list is empty.
    std::vector<Disc> query(const NoteSink& notes) const;

private:
    enum class Lookup { TABLE_OF_CONTENTS, DISC_ID, RELEASE };

    std::string url() const;
    std::string cacheName() const;
    std::vector<Disc> discsOf(const std::string& answer) const;
    // The answer's discs, or the error that says where the answer came from.
    std::vector<Disc> read(const std::string& answer, const std::string& source) const;

    Lookup lookup;
    std::string identifier; // disc ID or release MBID
    std::string toc;        // with TABLE_OF_CONTENTS only
    std::size_t trackCount = 0;
    MusicBrainzSettings settings;
};

} // namespace Vantrel

#endif
