#include "cddb/CDDBQueryImpl.h"

// Placeholder until the CDDB client lands: every lookup fails cleanly.
namespace Vantrel {

CDDBQueryImpl::CDDBQueryImpl() { init(); }
CDDBQueryImpl::CDDBQueryImpl(unsigned int length, const std::vector<int>& offsets) : length(length), offsets(offsets) {
    init();
}
CDDBQueryImpl::CDDBQueryImpl(const std::string& category, unsigned int discId) : category(category), discId(discId) {
    init();
}
CDDBQueryImpl::~CDDBQueryImpl() = default;
void CDDBQueryImpl::init() {}
void CDDBQueryImpl::query() { throw CDDBQueryException("CDDB lookups are not yet available"); }
void CDDBQueryImpl::setProtocolCDDBP(const std::string&, unsigned int) {}
void CDDBQueryImpl::setProtocolHTTP(const std::string&, unsigned int) {}
void CDDBQueryImpl::setProtocolHTTP(const std::string&, unsigned int, const std::string&, unsigned int,
                                    const std::string&, const std::string&) {}
void CDDBQueryImpl::setCache(const Cache&) {}
Disc CDDBQueryImpl::createDiscFromCDDBDisc(cddb_disc_s*) { return Disc("", "", "", 0); }

} // namespace Vantrel
