#include "cli/DiscSearch.h"

#include <chrono>
#include <thread>

namespace Vantrel {

namespace {

using Clock = std::chrono::steady_clock;

std::optional<Clock::time_point> lastStart;

} // namespace

void waitForTurn(bool paced) {
    if (paced && lastStart)
        std::this_thread::sleep_until(*lastStart + std::chrono::seconds(1));
    lastStart = Clock::now();
}

SearchResult searchByTableOfContents(Database& database, const TableOfContents& toc, bool paced) {
    SearchResult result;
    waitForTurn(paced);
    result.discs = database.discsFor(toc);
    if (!result.discs.empty() || !database.identifiesByWholeSeconds())
        return result;

    for (const NearbyTableOfContents& nearby : nearbyTablesOfContents(toc, MAX_NEARBY_LOOKUPS)) {
        waitForTurn(paced);
        result.discs = database.discsFor(nearby.toc);
        if (!result.discs.empty()) {
            result.adjustment = nearby.adjustment;
            return result;
        }
    }
    return result;
}

} // namespace Vantrel
