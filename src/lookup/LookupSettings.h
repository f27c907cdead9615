#ifndef VANTREL_LOOKUP_LOOKUPSETTINGS_H
#define VANTREL_LOOKUP_LOOKUPSETTINGS_H

#include <cstdint>
#include <string>

namespace Vantrel {

enum Cache : std::int32_t {
    CACHE_MODE_ON = 0,
    CACHE_MODE_OFF = 1,
    CACHE_MODE_ONLY = 2
};

enum Protocol : std::int32_t {
    PROTOCOL_NONE = 0,
    PROTOCOL_CDDBP = 1,
    PROTOCOL_HTTP = 2,
    PROTOCOL_PROXY = 3
};

// How the user asked for lookups to be made, whatever the database; each
// database is handed the part it needs.
struct LookupSettings {
    Cache cacheMode = CACHE_MODE_ON;
    // Empty, and 0, when the user named no server or port.
    std::string server;
    unsigned int port = 0;
    Protocol protocol = PROTOCOL_NONE;
    // With the cache on: ask the server even for a disc the cache holds, and
    // store its answer; the cache serves only when the server cannot be
    // reached, and what it gives then is unconfirmed.
    bool serverFirst = false;
};

} // namespace Vantrel

#endif
