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

class SetArgumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        recordedQueryCalls().clear();
        unsetenv("http_proxy");
    }
    void TearDown() override { unsetenv("http_proxy"); }

    static CommandLineArguments withProtocol(Vantrel::Protocol protocol) {
        CommandLineArguments arguments;
        arguments.command = Vantrel::COMMAND_ID;
        arguments.protocolGiven = protocol != Vantrel::PROTOCOL_NONE;
        arguments.protocol = protocol;
        return arguments;
    }
    static void giveServer(CommandLineArguments& arguments, const std::string& server) {
        arguments.serverGiven = true;
        arguments.server = server;
    }
    static void givePort(CommandLineArguments& arguments, int port) {
        arguments.portGiven = true;
        arguments.port = port;
    }

    Calls apply(const CommandLineArguments& arguments) {
        Vantrel::CDDBQuery query;
        setArguments(arguments, &query);
        return recordedQueryCalls();
    }

    // The message of the ParseException, and the calls made before it.
    std::string failure(const CommandLineArguments& arguments, Calls& calls) {
        Vantrel::CDDBQuery query;
        std::string message = "(no exception)";
        try {
            setArguments(arguments, &query);
        } catch (const Vantrel::ParseException& error) {
            message = error.what();
        }
        calls = recordedQueryCalls();
        return message;
    }
};

} // namespace

TEST_F(SetArgumentsTest, CddbpUsesTheDefaultServerAndPort888UnlessGiven) {
    EXPECT_EQ(apply(withProtocol(Vantrel::PROTOCOL_CDDBP)),
              (Calls{"setProtocolCDDBP " + DEFAULT_HOST + " 888", "setCache 0"}));

    recordedQueryCalls().clear();
    CommandLineArguments given = withProtocol(Vantrel::PROTOCOL_CDDBP);
    giveServer(given, "cddb.example");
    givePort(given, 8880);
    EXPECT_EQ(apply(given), (Calls{"setProtocolCDDBP cddb.example 8880", "setCache 0"}));
}

TEST_F(SetArgumentsTest, HttpUsesPort80UnlessGiven) {
    EXPECT_EQ(apply(withProtocol(Vantrel::PROTOCOL_HTTP)),
              (Calls{"setProtocolHTTP " + DEFAULT_HOST + " 80", "setCache 0"}));

    recordedQueryCalls().clear();
    CommandLineArguments given = withProtocol(Vantrel::PROTOCOL_HTTP);
    givePort(given, 8080);
    EXPECT_EQ(apply(given), (Calls{"setProtocolHTTP " + DEFAULT_HOST + " 8080", "setCache 0"}));
}

TEST_F(SetArgumentsTest, ProxyTakesItsDetailsFromTheEnvironment) {
    setenv("http_proxy", "http://user:pass:word@proxy.example:3128", 1);
    EXPECT_EQ(apply(withProtocol(Vantrel::PROTOCOL_PROXY)),
              (Calls{"setProtocolHTTP " + DEFAULT_HOST + " 80 proxy proxy.example 3128 [user] [pass:word]",
                     "setCache 0"}));

    // -s and -p name the CDDB server behind the proxy.
    recordedQueryCalls().clear();
    setenv("http_proxy", "http://proxy.example", 1);
    CommandLineArguments given = withProtocol(Vantrel::PROTOCOL_PROXY);
    giveServer(given, "cddb.example");
    givePort(given, 8000);
    EXPECT_EQ(apply(given), (Calls{"setProtocolHTTP cddb.example 8000 proxy proxy.example 8080 [] []", "setCache 0"}));
}

TEST_F(SetArgumentsTest, ProxyProblemsStopBeforeAnySetting) {
    Calls calls;
    EXPECT_EQ(failure(withProtocol(Vantrel::PROTOCOL_PROXY), calls),
              "Parse Exception: You must have the environemnt variable http_proxy");
    EXPECT_TRUE(calls.empty());

    setenv("http_proxy", "", 1);
    EXPECT_EQ(failure(withProtocol(Vantrel::PROTOCOL_PROXY), calls),
              "Parse Exception: proxy string must begin http://");
    EXPECT_TRUE(calls.empty());

    setenv("http_proxy", "http://user@proxy.example", 1);
    EXPECT_EQ(failure(withProtocol(Vantrel::PROTOCOL_PROXY), calls),
              "Parse Exception: Proxy strings with an @ must contain both a username and a password");
    EXPECT_TRUE(calls.empty());
}

TEST_F(SetArgumentsTest, WithoutProtocolOnlyTheCacheIsSetUnlessServerOrPortIsGiven) {
    EXPECT_EQ(apply(withProtocol(Vantrel::PROTOCOL_NONE)), (Calls{"setCache 0"}));

    recordedQueryCalls().clear();
    CommandLineArguments server = withProtocol(Vantrel::PROTOCOL_NONE);
    giveServer(server, "cddb.example");
    EXPECT_EQ(apply(server), (Calls{"setProtocolCDDBP cddb.example 888", "setCache 0"}));

    recordedQueryCalls().clear();
    CommandLineArguments port = withProtocol(Vantrel::PROTOCOL_NONE);
    givePort(port, 8880);
    EXPECT_EQ(apply(port), (Calls{"setProtocolCDDBP " + DEFAULT_HOST + " 8880", "setCache 0"}));
}

TEST_F(SetArgumentsTest, CacheModeIsTheGivenOneOrOn) {
    for (Vantrel::Cache mode : {Vantrel::CACHE_MODE_ON, Vantrel::CACHE_MODE_OFF, Vantrel::CACHE_MODE_ONLY}) {
        recordedQueryCalls().clear();
        CommandLineArguments arguments = withProtocol(Vantrel::PROTOCOL_HTTP);
        arguments.cacheModeGiven = true;
        arguments.cacheMode = mode;
        EXPECT_EQ(apply(arguments).back(), "setCache " + std::to_string(mode));
    }

    // A mode not marked as given does not count.
    recordedQueryCalls().clear();
    CommandLineArguments notGiven = withProtocol(Vantrel::PROTOCOL_NONE);
    notGiven.cacheMode = Vantrel::CACHE_MODE_ONLY;
    EXPECT_EQ(apply(notGiven), (Calls{"setCache 0"}));
}
