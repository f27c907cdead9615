// setArguments, observed through the calls it makes on a recording CDDBQuery.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "RecordingCDDBQuery.h"
#include "cli/ParseException.h"
#include "connection.h"

using Vantrel::CommandLineArguments;
using Calls = std::vector<std::string>;

namespace {

const std::string DEFAULT_HOST = DEFAULT_CDDB_SERVER;
const std::string ON = "setCache " + std::to_string(Vantrel::CACHE_MODE_ON);

// Arguments of `id` with the protocol, server and port given (an empty
// server and port 0 stand for flags not given).
CommandLineArguments given(Vantrel::Protocol protocol, const std::string& server = "", int port = 0) {
    CommandLineArguments arguments;
    arguments.command = Vantrel::COMMAND_ID;
    arguments.protocolGiven = protocol != Vantrel::PROTOCOL_NONE;
    arguments.protocol = protocol;
    arguments.serverGiven = !server.empty();
    arguments.server = server;
    arguments.portGiven = port != 0;
    arguments.port = port;
    return arguments;
}

// The calls setArguments makes, with http_proxy set to `proxy` (unset when
// null); a ParseException's message is the last entry.
Calls apply(const CommandLineArguments& arguments, const char* proxy = nullptr) {
    if (proxy != nullptr)
        setenv("http_proxy", proxy, 1);
    else
        unsetenv("http_proxy");
    recordedQueryCalls().clear();
    Vantrel::CDDBQuery query;
    try {
        setArguments(arguments, &query);
    } catch (const Vantrel::ParseException& error) {
        recordedQueryCalls().push_back(error.what());
    }
    unsetenv("http_proxy");
    return recordedQueryCalls();
}

} // namespace

TEST(SetArguments, ProtocolServerAndPort) {
    using namespace Vantrel;
    // Each protocol's own default port; -s and -p replace the defaults.
    EXPECT_EQ(apply(given(PROTOCOL_CDDBP)), (Calls{"setProtocolCDDBP " + DEFAULT_HOST + " 888", ON}));
    EXPECT_EQ(apply(given(PROTOCOL_CDDBP, "cddb.example", 8880)), (Calls{"setProtocolCDDBP cddb.example 8880", ON}));
    EXPECT_EQ(apply(given(PROTOCOL_HTTP)), (Calls{"setProtocolHTTP " + DEFAULT_HOST + " 80", ON}));
    EXPECT_EQ(apply(given(PROTOCOL_HTTP, "", 8080)), (Calls{"setProtocolHTTP " + DEFAULT_HOST + " 8080", ON}));
    // Without -P no protocol is set, unless -s or -p asks for cddbp.
    EXPECT_EQ(apply(given(PROTOCOL_NONE)), (Calls{ON}));
    EXPECT_EQ(apply(given(PROTOCOL_NONE, "cddb.example")), (Calls{"setProtocolCDDBP cddb.example 888", ON}));
    EXPECT_EQ(apply(given(PROTOCOL_NONE, "", 8880)), (Calls{"setProtocolCDDBP " + DEFAULT_HOST + " 8880", ON}));
}

TEST(SetArguments, ProxyTakesItsDetailsFromTheEnvironment) {
    using namespace Vantrel;
    EXPECT_EQ(apply(given(PROTOCOL_PROXY), "http://user:pass:word@proxy.example:3128"),
              (Calls{"setProtocolHTTP " + DEFAULT_HOST + " 80 proxy proxy.example 3128 [user] [pass:word]", ON}));
    // -s and -p name the CDDB server behind the proxy.
    EXPECT_EQ(apply(given(PROTOCOL_PROXY, "cddb.example", 8000), "http://proxy.example"),
              (Calls{"setProtocolHTTP cddb.example 8000 proxy proxy.example 8080 [] []", ON}));

    // A proxy problem stops before any setting.
    EXPECT_EQ(apply(given(PROTOCOL_PROXY)),
              (Calls{"Parse Exception: You must have the environemnt variable http_proxy"}));
    EXPECT_EQ(apply(given(PROTOCOL_PROXY), ""), (Calls{"Parse Exception: proxy string must begin http://"}));
    EXPECT_EQ(apply(given(PROTOCOL_PROXY), "http://user@proxy.example"),
              (Calls{"Parse Exception: Proxy strings with an @ must contain both a username and a password"}));
}

TEST(SetArguments, CacheModeIsTheGivenOneOrOn) {
    for (Vantrel::Cache mode : {Vantrel::CACHE_MODE_ON, Vantrel::CACHE_MODE_OFF, Vantrel::CACHE_MODE_ONLY}) {
        CommandLineArguments arguments = given(Vantrel::PROTOCOL_HTTP);
        arguments.cacheModeGiven = true;
        arguments.cacheMode = mode;
        EXPECT_EQ(apply(arguments).back(), "setCache " + std::to_string(mode));
    }
    // A mode not marked as given does not count.
    CommandLineArguments notGiven = given(Vantrel::PROTOCOL_NONE);
    notGiven.cacheMode = Vantrel::CACHE_MODE_ONLY;
    EXPECT_EQ(apply(notGiven), (Calls{ON}));
}
