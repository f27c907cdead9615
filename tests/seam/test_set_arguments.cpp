// setArguments, observed through the calls it makes on a CDDBQuery that this
// binary links in place of the real one and that records every call.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cddb/CDDBQuery.h"
#include "cli/ParseException.h"
#include "connection.h"

namespace {

std::vector<std::string> calls;

void record(const std::string& call) { calls.push_back(call); }

} // namespace

namespace Vantrel {

class CDDBQueryImpl {};
CDDBQuery::CDDBQuery() = default;
CDDBQuery::~CDDBQuery() = default;
void CDDBQuery::setProtocolCDDBP(const std::string& server, unsigned int port) {
    record("cddbp " + server + " " + std::to_string(port));
}
void CDDBQuery::setProtocolHTTP(const std::string& server, unsigned int port) {
    record("http " + server + " " + std::to_string(port));
}
void CDDBQuery::setProtocolHTTP(const std::string& server, unsigned int port, const std::string& proxyServer,
                                unsigned int proxyPort, const std::string& username, const std::string& password) {
    record("http " + server + " " + std::to_string(port) + " via " + proxyServer + " " + std::to_string(proxyPort) +
           " [" + username + "] [" + password + "]");
}
void CDDBQuery::setCache(const Cache& mode) { record("cache " + std::to_string(mode)); }

} // namespace Vantrel

TEST(SetArguments, ProtocolServerPortProxyAndCache) {
    using namespace Vantrel;
    const std::string host = DEFAULT_CDDB_SERVER;
    const struct {
        Protocol protocol;
        const char* server; // empty: no -s
        int port;           // 0: no -p
        int cache;          // -1: no -c
        const char* proxy;  // null: no http_proxy
        std::vector<std::string> calls;
    } cases[] = {
        // Each protocol's own default port; -s and -p replace the defaults.
        {PROTOCOL_CDDBP, "", 0, -1, nullptr, {"cddbp " + host + " 888", "cache 0"}},
        {PROTOCOL_CDDBP, "cddb.example", 8880, CACHE_MODE_OFF, nullptr, {"cddbp cddb.example 8880", "cache 1"}},
        {PROTOCOL_HTTP, "", 0, CACHE_MODE_ONLY, nullptr, {"http " + host + " 80", "cache 2"}},
        // Without -P no protocol is set, unless -s or -p asks for cddbp.
        {PROTOCOL_NONE, "", 0, -1, nullptr, {"cache 0"}},
        {PROTOCOL_NONE, "cddb.example", 0, -1, nullptr, {"cddbp cddb.example 888", "cache 0"}},
        // -s and -p name the CDDB server behind the proxy.
        {PROTOCOL_PROXY, "", 0, -1, "http://user:pass:word@proxy.example:3128",
         {"http " + host + " 80 via proxy.example 3128 [user] [pass:word]", "cache 0"}},
        {PROTOCOL_PROXY, "cddb.example", 8000, -1, "http://proxy.example",
         {"http cddb.example 8000 via proxy.example 8080 [] []", "cache 0"}},
        // A proxy problem stops before any setting.
        {PROTOCOL_PROXY, "", 0, -1, nullptr, {"Parse Exception: You must have the environemnt variable http_proxy"}},
        {PROTOCOL_PROXY, "", 0, -1, "", {"Parse Exception: proxy string must begin http://"}},
    };
    for (const auto& c : cases) {
        CommandLineArguments arguments;
        arguments.protocolGiven = c.protocol != PROTOCOL_NONE;
        arguments.protocol = c.protocol;
        arguments.serverGiven = *c.server != '\0';
        arguments.server = c.server;
        arguments.portGiven = c.port != 0;
        arguments.port = c.port;
        arguments.cacheModeGiven = c.cache >= 0;
        // A mode not marked as given does not count.
        arguments.cacheMode = c.cache >= 0 ? static_cast<Cache>(c.cache) : CACHE_MODE_ONLY;
        if (c.proxy != nullptr)
            setenv("http_proxy", c.proxy, 1);
        else
            unsetenv("http_proxy");
        calls.clear();
        CDDBQuery query;
        try {
            setArguments(arguments, &query);
        } catch (const ParseException& error) {
            calls.push_back(error.what());
        }
        EXPECT_EQ(calls, c.calls) << c.protocol << " " << c.server << " " << c.port;
    }
}
