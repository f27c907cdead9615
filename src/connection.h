#ifndef VANTREL_CONNECTION_H
#define VANTREL_CONNECTION_H

#include <string>

#include "cddb/CDDBQuery.h"
#include "cli/CommandLineArguments.h"

// CDDB connection settings from the command line and the environment.

const char* const DEFAULT_CDDB_SERVER = "gnudb.gnudb.org";
const unsigned int DEFAULT_CDDBP_PORT = 888;
const unsigned int DEFAULT_HTTP_PORT = 80;
const int DEFAULT_PROXY_PORT = 8080;

struct ProxyDetails {
    std::string host;
    int port = 0;
    std::string username;
    std::string password;
};

// Fills details from "http://[user:password@]host[:port]"; throws
// Vantrel::ParseException when the string is malformed.
void parseProxyString(const std::string& proxy, ProxyDetails& details);

// Applies the protocol, server, port, proxy and cache settings to the query.
void setArguments(const Vantrel::CommandLineArguments& arguments, Vantrel::CDDBQuery* query);

#endif
