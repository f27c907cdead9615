// A CDDBQuery that records the calls made to it instead of reaching the CDDB
// library; this binary links it in place of the real one.

#include "RecordingCDDBQuery.h"

#include "cddb/CDDBQuery.h"

std::vector<std::string>& recordedQueryCalls() {
    static std::vector<std::string> calls;
    return calls;
}

namespace {

void record(const std::string& call) { recordedQueryCalls().push_back(call); }

} // namespace

namespace Vantrel {

class CDDBQueryImpl {};

CDDBQuery::CDDBQuery() = default;
CDDBQuery::CDDBQuery(unsigned int, const std::vector<int>&) {}
CDDBQuery::CDDBQuery(const std::string&, unsigned int) {}
CDDBQuery::~CDDBQuery() = default;

void CDDBQuery::query() { record("query"); }

const std::vector<Disc>& CDDBQuery::getResults() {
    static const std::vector<Disc> none;
    return none;
}

void CDDBQuery::setProtocolCDDBP(const std::string& server, unsigned int port) {
    record("setProtocolCDDBP " + server + " " + std::to_string(port));
}

void CDDBQuery::setProtocolHTTP(const std::string& server, unsigned int port) {
    record("setProtocolHTTP " + server + " " + std::to_string(port));
}

void CDDBQuery::setProtocolHTTP(const std::string& server, unsigned int port, const std::string& proxyServer,
                                unsigned int proxyPort, const std::string& username, const std::string& password) {
    record("setProtocolHTTP " + server + " " + std::to_string(port) + " proxy " + proxyServer + " " +
           std::to_string(proxyPort) + " [" + username + "] [" + password + "]");
}

void CDDBQuery::setCache(const Cache& mode) { record("setCache " + std::to_string(mode)); }

} // namespace Vantrel
