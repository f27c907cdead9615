#include "connection.h"

#include <cstdlib>

#include "cli/ParseException.h"

using Vantrel::ParseException;

void parseProxyString(const std::string& proxy, ProxyDetails& details) {
    const std::string prefix = "http://";
    if (proxy.compare(0, prefix.size(), prefix) != 0)
        throw ParseException("proxy string must begin http://");
    if (proxy.size() == prefix.size())
        throw ParseException("proxy string must contain at least a hostname");

    std::string::size_type start = prefix.size();
    const std::string::size_type at = proxy.find('@', start);
    if (at != std::string::npos) {
        const std::string::size_type colon = proxy.find(':', start);
        if (colon == std::string::npos || colon > at)
            throw ParseException("Proxy strings with an @ must contain both a username and a password");
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

namespace {

unsigned int portOr(const Vantrel::CommandLineArguments& arguments, unsigned int defaultPort) {
    return arguments.portGiven ? static_cast<unsigned int>(arguments.port) : defaultPort;
}

ProxyDetails proxyFromEnvironment() {
    const char* variable = "http_proxy";
    const char* value = std::getenv(variable);
    if (value == nullptr)
        throw ParseException(std::string("You must have the environemnt variable ") + variable);
    ProxyDetails details;
    parseProxyString(value, details);
    return details;
}

} // namespace

void setArguments(const Vantrel::CommandLineArguments& arguments, Vantrel::CDDBQuery* query) {
    const std::string host = arguments.serverGiven ? arguments.server : DEFAULT_CDDB_SERVER;
    Vantrel::Protocol protocol = arguments.protocol;
    // A server or port without a protocol means cddbp, so neither flag is ignored.
    if (protocol == Vantrel::PROTOCOL_NONE && (arguments.serverGiven || arguments.portGiven))
        protocol = Vantrel::PROTOCOL_CDDBP;

    switch (protocol) {
    case Vantrel::PROTOCOL_CDDBP:
        query->setProtocolCDDBP(host, portOr(arguments, DEFAULT_CDDBP_PORT));
        break;
    case Vantrel::PROTOCOL_HTTP:
        query->setProtocolHTTP(host, portOr(arguments, DEFAULT_HTTP_PORT));
        break;
    case Vantrel::PROTOCOL_PROXY: {
        const ProxyDetails proxy = proxyFromEnvironment();
        query->setProtocolHTTP(host, portOr(arguments, DEFAULT_HTTP_PORT), proxy.host,
                               static_cast<unsigned int>(proxy.port), proxy.username, proxy.password);
        break;
    }
    case Vantrel::PROTOCOL_NONE:
        break;
    }
    query->setCache(arguments.cacheModeGiven ? arguments.cacheMode : Vantrel::CACHE_MODE_ON);
}
