#include "cli/DiscSearch.h"

#include <chrono>
#include <thread>

namespace Vantrel {

SearchResult searchByTableOfContents(Database& database, const TableOfContents& toc, bool paced) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastStart = Clock::now();
    SearchResult result;
    result.discs = database.discsFor(toc);
    if (!result.discs.empty() || !database.identifiesByWholeSeconds())
        return result;

    for (const NearbyTableOfContents& nearby : nearbyTablesOfContents(toc, MAX_NEARBY_LOOKUPS)) {
        // A good client of a public server asks it at most once a second.
        if (paced)
            std::this_thread::sleep_until(lastStart + std::chrono::seconds(1));
        lastStart = Clock::now();
        result.discs = database.discsFor(nearby.toc);
        if (!result.discs.empty()) {
            result.adjustment = nearby.adjustment;
            return result;
        }
    }
    return result;
}

} // namespace Vantrel
