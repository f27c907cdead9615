#include "cddb/CDDBQuery.h"

#include "cddb/CDDBQueryImpl.h"

namespace Vantrel {

CDDBQuery::CDDBQuery() : impl(std::make_unique<CDDBQueryImpl>()) {}

CDDBQuery::CDDBQuery(unsigned int length, const std::vector<int>& offsets)
    : impl(std::make_unique<CDDBQueryImpl>(length, offsets)) {}

CDDBQuery::CDDBQuery(const std::string& category, unsigned int discId)
    : impl(std::make_unique<CDDBQueryImpl>(category, discId)) {}

CDDBQuery::~CDDBQuery() = default;

void CDDBQuery::query() { impl->query(); }

const std::vector<Disc>& CDDBQuery::getResults() { return impl->getResults(); }

void CDDBQuery::setProtocolCDDBP(const std::string& server, unsigned int port) {
    impl->setProtocolCDDBP(server, port);
}

void CDDBQuery::setProtocolHTTP(const std::string& server, unsigned int port) {
    impl->setProtocolHTTP(server, port);
}

void CDDBQuery::setProtocolHTTP(const std::string& server, unsigned int port, const std::string& proxyServer,
                                unsigned int proxyPort, const std::string& username, const std::string& password) {
    impl->setProtocolHTTP(server, port, proxyServer, proxyPort, username, password);
}

void CDDBQuery::setCache(const Cache& mode) { impl->setCache(mode); }

} // namespace Vantrel
