#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERY_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERY_H

#include <optional>
#include <string>
#include <vector>

#include "disc/Disc.h"
#include "disc/TableOfContents.h"
#include "lookup/Database.h"
#include "musicbrainz/AnswerCache.h"
#include "musicbrainz/MusicBrainzAnswer.h"
#include "musicbrainz/MusicBrainzDatabase.h"

namespace Vantrel {

// A release MBID: 8-4-4-4-12 hexadecimal digits.
bool isReleaseId(const std::string& text);

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

    // A stored answer that offers discs.
    struct CachedOffer {
        DiscIdAnswer answer;
        StoredAnswer stored;
    };

    std::string url() const;
    std::string cacheName() const;
    DiscIdAnswer discsOf(const std::string& answer) const;
    // The answer's discs, or the error that says where the answer came from.
    DiscIdAnswer read(const std::string& answer, const std::string& source) const;
    std::optional<CachedOffer> fromCache(const AnswerCache& cache, const NoteSink& notes) const;

    Lookup lookup;
    std::string identifier; // disc ID or release MBID
    std::string toc;        // with TABLE_OF_CONTENTS only
    // The lengths of the files, in milliseconds; with TABLE_OF_CONTENTS only.
    std::vector<unsigned long long> fileMilliseconds;
    MusicBrainzSettings settings;
};

} // namespace Vantrel

#endif
