#ifndef VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYIMPL_H
#define VANTREL_MUSICBRAINZ_MUSICBRAINZQUERYIMPL_H

#include <cstddef>
#include <string>
#include <vector>

#include "cli/CommandLineArguments.h"
#include "disc/Disc.h"

namespace Vantrel {

// The web service behind MusicBrainzQuery: one request, answered from the
// cache when it can be, and its answer read into discs.
class MusicBrainzQueryImpl {
public:
    MusicBrainzQueryImpl(const std::vector<int>& offsets, int leadOut);
    MusicBrainzQueryImpl(const std::string& lookup, const std::string& identifier);
    virtual ~MusicBrainzQueryImpl() = default;

    MusicBrainzQueryImpl(const MusicBrainzQueryImpl&) = delete;
    MusicBrainzQueryImpl& operator=(const MusicBrainzQueryImpl&) = delete;

    void setServer(const std::string& host, unsigned int port);
    void setCache(const Cache& mode) { cacheMode = mode; }

    void query();
    const std::vector<Disc>& getResults() const { return results; }

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
    std::string host;
    unsigned int port;
    Cache cacheMode = CACHE_MODE_ON;
    std::vector<Disc> results;
};

} // namespace Vantrel

#endif
