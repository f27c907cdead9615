#ifndef VANTREL_CLI_DISCSEARCH_H
#define VANTREL_CLI_DISCSEARCH_H

#include <cstddef>
#include <optional>
#include <vector>

#include "disc/Disc.h"
#include "disc/TableOfContents.h"
#include "lookup/Database.h"

namespace Vantrel {

// Extra lookups, at most, when files of estimated length find nothing.
const std::size_t MAX_NEARBY_LOOKUPS = 16;

struct SearchResult {
    std::vector<Disc> discs;
    // Set when the discs were found only with the estimated lengths shortened.
    std::optional<Duration> adjustment;
};

// Looks the disc up by its table of contents. When that finds nothing, some
// lengths were estimates and the database identifies discs by whole seconds,
// tries the nearby tables of contents those estimates allow, nearest first,
// until one finds discs or MAX_NEARBY_LOOKUPS have been made. Each database
// keeps its own requests to a server a second apart.
SearchResult searchByTableOfContents(Database& database, const TableOfContents& toc);

} // namespace Vantrel

#endif
