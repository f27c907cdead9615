#include "cddb/ConnectionSettings.h"

#include <cstdlib>

#include "cddb/CDDBQueryException.h"

namespace Vantrel {

namespace {

// Proxy problems read as the command line's own.
[[noreturn]] void proxyProblem(const std::string& detail) {
    throw CDDBQueryException("Parse Exception: " + detail);
}

ProxyDetails proxyFromEnvironment() {
    const char* variable = "http_proxy";
    const char* value = std::getenv(variable);
    if (value == nullptr)
        proxyProblem(std::string("You must have the environemnt variable ") + variable);
    ProxyDetails details;
    parseProxyString(value, details);
    return details;
}

} // namespace

void parseProxyString(const std::string& proxy, ProxyDetails& details) {
    const std::string prefix = "http://";
    if (proxy.compare(0, prefix.size(), prefix) != 0)
        proxyProblem("proxy string must begin http://");
    if (proxy.size() == prefix.size())
        proxyProblem("proxy string must contain at least a hostname");

    std::string::size_type start = prefix.size();
    const std::string::size_type at = proxy.find('@', start);
    if (at != std::string::npos) {
        const std::string::size_type colon = proxy.find(':', start);
        if (colon == std::string::npos || colon > at)
            proxyProblem("Proxy strings with an @ must contain both a username and a password");
        details.username = proxy.substr(start, colon - start);
        details.password = proxy.substr(colon + 1, at - colon - 1);
        start = at + 1;
    }

    const std::string::size_type colon = proxy.find(':', start);
    if (colon != std::string::npos) {
        details.port = std::atoi(proxy.c_str() + colon + 1);
        details.host = proxy.substr(start, colon - start);
    } else {
        details.port = DEFAULT_PROXY_PORT;
        details.host = proxy.substr(start);
    }
}

Connection connectionOf(const CddbSettings& settings) {
    Connection connection;
    connection.cacheMode = settings.cacheMode;
    connection.serverFirst = settings.serverFirst;
    connection.host = settings.server.empty() ? DEFAULT_CDDB_SERVER : settings.server;
    Protocol protocol = settings.protocol;
    // A server or port without a protocol means cddbp, so neither flag is ignored.
    if (protocol == PROTOCOL_NONE && (!settings.server.empty() || settings.port != 0))
        protocol = PROTOCOL_CDDBP;
    const auto portOr = [&settings](unsigned int defaultPort) {
        return settings.port != 0 ? settings.port : defaultPort;
    };
    switch (protocol) {
    case PROTOCOL_CDDBP:
        connection.kind = Connection::CDDBP;
        connection.port = portOr(DEFAULT_CDDBP_PORT);
        break;
    case PROTOCOL_PROXY:
        connection.proxy = proxyFromEnvironment();
        [[fallthrough]];
    case PROTOCOL_HTTP:
        connection.kind = Connection::HTTP;
        connection.port = portOr(DEFAULT_HTTP_PORT);
        break;
    case PROTOCOL_NONE:
        connection.host.clear();
        break;
    }
    return connection;
}

} // namespace Vantrel
