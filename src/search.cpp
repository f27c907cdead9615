#include "search.h"

#include <chrono>
#include <thread>
#include <vector>

#include "connection.h"
#include "disc/Layout.h"

using namespace Vantrel;

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<CDDBQuery> lookUp(const CommandLineArguments& arguments, const std::vector<int>& frameOffsets,
                                  int leadOut) {
    auto query = std::make_unique<CDDBQuery>(static_cast<unsigned int>(leadOut / frames_per_second), frameOffsets);
    setArguments(arguments, query.get());
    query->query();
    return query;
}

} // namespace

std::unique_ptr<CDDBQuery> lookUpByLengths(const CommandLineArguments& arguments, const Offsets& offsets,
                                           std::ostream& notes) {
    Clock::time_point lastStart = Clock::now();
    std::unique_ptr<CDDBQuery> query = lookUp(arguments, offsets.frameOffsets, offsets.leadOut);
    if (!query->getResults().empty())
        return query;

    const int firstOffset = offsets.frameOffsets.empty() ? offsets.leadOut : offsets.frameOffsets.front();
    const bool cacheOnly = arguments.cacheModeGiven && arguments.cacheMode == CACHE_MODE_ONLY;
    for (const Layout& layout : nearbyLayouts(offsets.times, firstOffset, MAX_NEARBY_LOOKUPS)) {
        // A good client of a public server asks it at most once a second.
        if (!cacheOnly)
            std::this_thread::sleep_until(lastStart + std::chrono::seconds(1));
        lastStart = Clock::now();
        query = lookUp(arguments, layout.frameOffsets, layout.leadOut);
        if (!query->getResults().empty()) {
            notes << "Vantrel: found with the lengths adjusted by " << layout.adjustment.milliseconds() << " ms"
                  << std::endl;
            return query;
        }
    }
    return query;
}
