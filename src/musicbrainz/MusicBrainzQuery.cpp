#include "musicbrainz/MusicBrainzQuery.h"

#include "musicbrainz/MusicBrainzQueryImpl.h"

namespace Vantrel {

MusicBrainzQuery::MusicBrainzQuery(const std::vector<int>& offsets, int leadOut)
    : impl(std::make_unique<MusicBrainzQueryImpl>(offsets, leadOut)) {}

MusicBrainzQuery::MusicBrainzQuery(const std::string& lookup, const std::string& identifier)
    : impl(std::make_unique<MusicBrainzQueryImpl>(lookup, identifier)) {}

MusicBrainzQuery::~MusicBrainzQuery() = default;

void MusicBrainzQuery::setServer(const std::string& host, unsigned int port) { impl->setServer(host, port); }

void MusicBrainzQuery::setCache(const Cache& mode) { impl->setCache(mode); }

void MusicBrainzQuery::query() { impl->query(); }

const std::vector<Disc>& MusicBrainzQuery::getResults() { return impl->getResults(); }

} // namespace Vantrel
