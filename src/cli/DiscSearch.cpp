#include "cli/DiscSearch.h"

namespace Vantrel {

SearchResult searchByTableOfContents(Database& database, const TableOfContents& toc) {
    SearchResult result;
    result.discs = database.discsFor(toc);
    if (!result.discs.empty() || !database.identifiesByWholeSeconds())
        return result;

    for (const NearbyTableOfContents& nearby : nearbyTablesOfContents(toc, MAX_NEARBY_LOOKUPS)) {
        result.discs = database.discsFor(nearby.toc);
        if (!result.discs.empty()) {
            result.adjustment = nearby.adjustment;
            return result;
        }
    }
    return result;
}

} // namespace Vantrel
