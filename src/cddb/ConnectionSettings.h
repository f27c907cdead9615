#ifndef VANTREL_CDDB_CONNECTIONSETTINGS_H
#define VANTREL_CDDB_CONNECTIONSETTINGS_H

#include <optional>
#include <string>

#include "lookup/LookupSettings.h"

namespace Vantrel {

const char* const DEFAULT_CDDB_SERVER = "gnudb.gnudb.org";
const unsigned int DEFAULT_CDDBP_PORT = 888;
const unsigned int DEFAULT_HTTP_PORT = 80;
const int DEFAULT_PROXY_PORT = 8080;

// What the user asked of CDDB lookups.
struct CddbSettings {
    Cache cacheMode = CACHE_MODE_ON;
    // Empty, and 0, when not given.
    std::string server;
    unsigned int port = 0;
    Protocol protocol = PROTOCOL_NONE;
    bool serverFirst = false;
};

struct ProxyDetails {
    std::string host;
    int port = 0;
    std::string username;
    std::string password;
};

// Fills details from "http://[user:password@]host[:port]"; throws
// CDDBQueryException ("Parse Exception: ...") when the string is malformed.
void parseProxyString(const std::string& proxy, ProxyDetails& details);

// How to reach the CDDB server.
struct Connection {
    enum Kind { LIBRARY_DEFAULT, CDDBP, HTTP };

    Kind kind = LIBRARY_DEFAULT;
    std::string host;
    unsigned int port = 0;
    // Only over HTTP.
    std::optional<ProxyDetails> proxy;
    Cache cacheMode = CACHE_MODE_ON;
    bool serverFirst = false;
};

// The connection the settings ask for, the proxy taken from http_proxy.
// Without a protocol, a server or port means cddbp; with none of the three
// the library's own default server is used. Throws CDDBQueryException when
// the proxy is missing or malformed.
Connection connectionOf(const CddbSettings& settings);

} // namespace Vantrel

#endif
