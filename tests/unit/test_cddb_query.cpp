// CDDBQuery against the local test CDDB server and against libcddb's cache.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestCddbServer.h"
#include "cddb/CDDBQuery.h"
#include "system.h"

using Vantrel::CDDBQuery;
using Vantrel::CDDBQueryException;
using Vantrel::Disc;
using Vantrel::Track;

namespace {

const std::string REAL_ENTRIES = std::string(VANTREL_TEST_DATA) + "/xmcd";
const std::string MADE_UP_ENTRIES = std::string(VANTREL_TEST_DATA) + "/xmcd-made-up";
#define STRINGIFY(x) #x
#define TEXT(x) STRINGIFY(x)
// What libcddb sends as the hello without an e-mail address.
const std::string DEFAULT_HELLO = "anonymous localhost vantrel " TEXT(VANTREL_VERSION);
const char* const LOCALHOST = "127.0.0.1";
// The proxy answers for any server name; this one is never looked up.
const char* const NAME_BEHIND_PROXY = "cddb.example";

// The track layout (length in seconds, frame offsets) of the two made-up
// entries jazz/10028003 and rock/10028003.
const unsigned int TWO_MATCHES_LENGTH = 642;
const std::vector<int> TWO_MATCHES_OFFSETS = {150, 15150, 33150};

enum class Transport { CDDBP, HTTP, PROXY };

const char* name(Transport transport) {
    static const char* const names[] = {"cddbp", "http", "proxy"};
    return names[static_cast<int>(transport)];
}

// Points the query at the server over the transport, with the cache off.
void connect(CDDBQuery& query, Transport transport, unsigned int cddbpPort, unsigned int httpPort,
             const std::string& user = "", const std::string& password = "") {
    switch (transport) {
    case Transport::CDDBP:
        query.setProtocolCDDBP(LOCALHOST, cddbpPort);
        break;
    case Transport::HTTP:
        query.setProtocolHTTP(LOCALHOST, httpPort);
        break;
    case Transport::PROXY:
        query.setProtocolHTTP(NAME_BEHIND_PROXY, 80, LOCALHOST, httpPort, user, password);
        break;
    }
    query.setCache(Vantrel::CACHE_MODE_OFF);
}

void connect(CDDBQuery& query, Transport transport, const TestCddbServer& server) {
    connect(query, transport, server.port(), server.httpPort());
}

// The message of the CDDBQueryException that query() throws.
std::string errorOf(CDDBQuery& query) {
    try {
        query.query();
    } catch (const CDDBQueryException& error) {
        return error.what();
    }
    return "(no exception)";
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// A port on 127.0.0.1 where nothing listens.
unsigned int closedPort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(socket, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    close(socket);
    return ntohs(address.sin_port);
}

void expectSkaIsland(const Disc& disc) {
    EXPECT_EQ(disc.getTitle(), "Ska Island");
    EXPECT_EQ(disc.getArtist(), "Various");
    EXPECT_EQ(disc.getGenre(), "Reggae");
    EXPECT_EQ(disc.getYear(), 1997u);
    const std::vector<Track>& tracks = disc.getTracks();
    ASSERT_EQ(tracks.size(), 15u);
    EXPECT_EQ(tracks[0].getName(), "King of Kings");
    EXPECT_EQ(tracks[0].getArtist(), "Various");
    EXPECT_EQ(tracks[0].getLength(), 278u);
    EXPECT_EQ(tracks[0].getTrackNo(), 1u);
    EXPECT_EQ(tracks[14].getName(), "Keep On Running");
    EXPECT_EQ(tracks[14].getLength(), 218u);
    EXPECT_EQ(tracks[14].getTrackNo(), 15u);
}

class CddbQueryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // As the program does at start: a write to a refused or closed
        // connection must fail, not end the process.
        prepareProcess();
        real = std::make_unique<TestCddbServer>(REAL_ENTRIES);
        madeUp = std::make_unique<TestCddbServer>(MADE_UP_ENTRIES);
    }
    static void TearDownTestSuite() {
        real.reset();
        madeUp.reset();
    }

    // The servers' log counts start with each test.
    void SetUp() override {
        real->markLog();
        madeUp->markLog();
    }

    TemporaryHome home;
    static std::unique_ptr<TestCddbServer> real;
    static std::unique_ptr<TestCddbServer> madeUp;
};

std::unique_ptr<TestCddbServer> CddbQueryTest::real;
std::unique_ptr<TestCddbServer> CddbQueryTest::madeUp;

} // namespace

// Over the proxy: see ProxyPassesCredentialsAndTheServerItIsAskedFor.
TEST_F(CddbQueryTest, ReadsOneEntryByCategoryAndIdOverCddbpAndHttp) {
    for (Transport transport : {Transport::CDDBP, Transport::HTTP}) {
        SCOPED_TRACE(name(transport));
        CDDBQuery query("misc", 0xd50dd30f);
        connect(query, transport, *real);
        query.query();
        ASSERT_EQ(query.getResults().size(), 1u);
        expectSkaIsland(query.getResults()[0]);
        EXPECT_EQ(real->countLogLines({"\"via\": \"" + std::string(name(transport)) + "\"", "cddb read misc d50dd30f"}),
                  1);
    }
    // Over HTTP the hello travels with the request; the program names itself.
    EXPECT_EQ(real->countLogLines({"\"hello\": \"" + DEFAULT_HELLO + "\""}), 1);
    EXPECT_EQ(real->countLogLines({"cddb hello " + DEFAULT_HELLO}), 1);
}

TEST_F(CddbQueryTest, CategoryNamesOutsideLibcddbsListWarnAndReadUnderMisc) {
    for (const std::string category : {"Misc", "nonsense"}) {
        SCOPED_TRACE(category);
        CDDBQuery query(category, 0xd50dd30f);
        connect(query, Transport::CDDBP, *real);
        testing::internal::CaptureStderr();
        query.query();
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Vantrel: Warning \"" + category + "\" matches CDDB_CAT_MISC\n");
        ASSERT_EQ(query.getResults().size(), 1u);
        EXPECT_EQ(query.getResults()[0].getTitle(), "Ska Island");
    }
    EXPECT_EQ(real->countLogLines({"cddb read misc d50dd30f"}), 2);

    CDDBQuery exact("misc", 0xd50dd30f);
    connect(exact, Transport::CDDBP, *real);
    testing::internal::CaptureStderr();
    exact.query();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(exact.getResults().size(), 1u);
}

// Without offsets a query reads by category and ID, whichever constructor
// made it: here the empty category (filed under misc) and disc ID 0, which
// libcddb refuses before it sends anything.
TEST_F(CddbQueryTest, QueryWithoutOffsetsReadsByCategoryAndId) {
    CDDBQuery noOffsets(600, {});
    CDDBQuery noData;
    for (CDDBQuery* query : {&noOffsets, &noData}) {
        connect(*query, Transport::CDDBP, *real);
        testing::internal::CaptureStderr();
        EXPECT_EQ(errorOf(*query), "Query error: libcddb: command data missing");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Vantrel: Warning \"\" matches CDDB_CAT_MISC\n");
    }
    EXPECT_EQ(real->countLogLines({}), 0);
}

// The second entry lacks DYEAR, DGENRE and one track title: none of these
// may come from the first entry.
TEST_F(CddbQueryTest, TrackLayoutSearchWithTwoMatchesKeepsEachEntrysOwnData) {
    CDDBQuery query(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(query, Transport::CDDBP, *madeUp);
    query.query();
    const std::vector<Disc>& results = query.getResults();
    ASSERT_EQ(results.size(), 2u);

    const Disc& jazz = results[0];
    EXPECT_EQ(jazz.getTitle(), "First Of Two");
    EXPECT_EQ(jazz.getArtist(), "The Jazz Entry Band");
    EXPECT_EQ(jazz.getGenre(), "Jazz");
    EXPECT_EQ(jazz.getYear(), 1971u);
    ASSERT_EQ(jazz.getTracks().size(), 3u);
    EXPECT_EQ(jazz.getTracks()[0].getName(), "Opening Jazz");
    EXPECT_EQ(jazz.getTracks()[0].getArtist(), "Guest Singer");
    EXPECT_EQ(jazz.getTracks()[1].getArtist(), "The Jazz Entry Band");
    EXPECT_EQ(jazz.getTracks()[2].getName(), "Closing Jazz");

    const Disc& rock = results[1];
    EXPECT_EQ(rock.getTitle(), "Second Of Two");
    EXPECT_EQ(rock.getArtist(), "Rock Entry Players");
    // Without DGENRE libcddb reports the category name as the genre.
    EXPECT_EQ(rock.getGenre(), "rock");
    EXPECT_EQ(rock.getYear(), 0u);
    ASSERT_EQ(rock.getTracks().size(), 3u);
    EXPECT_EQ(rock.getTracks()[0].getName(), "Rock One");
    EXPECT_EQ(rock.getTracks()[0].getArtist(), "Rock Entry Players");
    EXPECT_EQ(rock.getTracks()[2].getName(), "");
    EXPECT_EQ(rock.getTracks()[2].getArtist(), "Rock Entry Players");
    EXPECT_EQ(rock.getTracks()[2].getLength(), 200u);
    EXPECT_EQ(rock.getTracks()[2].getTrackNo(), 3u);
    EXPECT_EQ(madeUp->countLogLines({"cddb query 10028003 3", "\"status\": 210"}), 1);
    EXPECT_EQ(madeUp->countLogLines({"cddb read jazz 10028003"}), 1);
    EXPECT_EQ(madeUp->countLogLines({"cddb read rock 10028003"}), 1);
}

TEST_F(CddbQueryTest, SecondQueryAppendsItsMatches) {
    CDDBQuery query("misc", 0xd50dd30f);
    connect(query, Transport::CDDBP, *real);
    query.query();
    query.query();
    ASSERT_EQ(query.getResults().size(), 2u);
    expectSkaIsland(query.getResults()[1]);
}

TEST_F(CddbQueryTest, ProxyPassesCredentialsAndTheServerItIsAskedFor) {
    TestCddbServer proxy(MADE_UP_ENTRIES, "normal", "user:se:cret");

    CDDBQuery right(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(right, Transport::PROXY, 0, proxy.httpPort(), "user", "se:cret");
    right.query();
    EXPECT_EQ(right.getResults().size(), 2u);
    EXPECT_EQ(proxy.countLogLines({"\"via\": \"proxy\"", "\"proxy_credentials\": [\"user\", \"se:cret\"]",
                                   "\"host\": \"cddb.example:80\"", "\"status\": 210"}),
              3);

    CDDBQuery wrong(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(wrong, Transport::PROXY, 0, proxy.httpPort(), "user", "wrong");
    EXPECT_EQ(errorOf(wrong), "Connection error: libcddb: proxy authentication failed");

    CDDBQuery none("jazz", 0x10028003);
    connect(none, Transport::PROXY, 0, proxy.httpPort());
    EXPECT_EQ(errorOf(none), "Query error: libcddb: proxy authentication failed");
    EXPECT_TRUE(none.getResults().empty());

    EXPECT_EQ(proxy.countLogLines({"\"status\": 407"}), 2);
    // Empty credentials are not sent at all.
    EXPECT_EQ(proxy.countLogLines({"\"proxy_credentials\": null", "\"status\": 407"}), 1);
}

TEST_F(CddbQueryTest, LaterProtocolSettingsReplaceOnlyWhatTheySet) {
    // The two-argument HTTP form switches a proxy off again.
    CDDBQuery direct("misc", 0xd50dd30f);
    direct.setProtocolHTTP(NAME_BEHIND_PROXY, 80, LOCALHOST, closedPort(), "user", "password");
    direct.setProtocolHTTP(LOCALHOST, real->httpPort());
    direct.setCache(Vantrel::CACHE_MODE_OFF);
    direct.query();
    EXPECT_EQ(direct.getResults().size(), 1u);

    // cddbp settings after HTTP change only server and port: HTTP stays on.
    CDDBQuery stillHttp("misc", 0xd50dd30f);
    stillHttp.setProtocolHTTP(LOCALHOST, closedPort());
    stillHttp.setProtocolCDDBP(LOCALHOST, real->httpPort());
    stillHttp.setCache(Vantrel::CACHE_MODE_OFF);
    stillHttp.query();
    EXPECT_EQ(stillHttp.getResults().size(), 1u);

    EXPECT_EQ(real->countLogLines({"\"via\": \"http\"", "cddb read misc d50dd30f"}), 2);
}

TEST_F(CddbQueryTest, CacheOnIsReadAndWrittenCacheOffIsNot) {
    // A cached entry that differs from the server's shows which one was used.
    const std::string cached = home.path(".cddbslave/misc/d50dd30f");
    std::filesystem::create_directories(home.path(".cddbslave/misc"));
    {
        std::ifstream original(REAL_ENTRIES + "/misc/d50dd30f");
        std::ofstream copy(cached);
        for (std::string line; std::getline(original, line);)
            copy << (line.rfind("DTITLE=", 0) == 0 ? "DTITLE=Various / Cached Ska" : line) << '\n';
    }

    CDDBQuery off("misc", 0xd50dd30f);
    connect(off, Transport::CDDBP, *real);
    off.query();
    EXPECT_EQ(off.getResults().at(0).getTitle(), "Ska Island");
    EXPECT_EQ(real->countLogLines({"cddb read misc d50dd30f"}), 1);

    CDDBQuery on("misc", 0xd50dd30f);
    connect(on, Transport::CDDBP, *real);
    on.setCache(Vantrel::CACHE_MODE_ON);
    on.query();
    EXPECT_EQ(on.getResults().at(0).getTitle(), "Cached Ska");
    EXPECT_EQ(real->countLogLines({"cddb read misc d50dd30f"}), 1);

    // With the cache on, an entry read from the server is kept there.
    CDDBQuery stored(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(stored, Transport::HTTP, *madeUp);
    stored.setCache(Vantrel::CACHE_MODE_ON);
    stored.query();
    EXPECT_TRUE(std::filesystem::exists(home.path(".cddbslave/jazz/10028003")));
    EXPECT_TRUE(std::filesystem::exists(home.path(".cddbslave/rock/10028003")));
}

TEST_F(CddbQueryTest, UnknownCacheModeIsRefused) {
    CDDBQuery query("misc", 0xd50dd30f);
    try {
        query.setCache(static_cast<Vantrel::Cache>(3));
        FAIL() << "no exception";
    } catch (const CDDBQueryException& error) {
        EXPECT_STREQ(error.what(), "Unknown cache mode");
    }
}

TEST_F(CddbQueryTest, ServerThatClosesOrSendsGarbageIsAnError) {
    for (const std::string mode : {"close", "garbage"}) {
        TestCddbServer faulty(MADE_UP_ENTRIES, mode);
        for (Transport transport : {Transport::CDDBP, Transport::HTTP}) {
            SCOPED_TRACE(mode + " over " + name(transport));
            CDDBQuery search(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
            connect(search, transport, faulty);
            EXPECT_TRUE(startsWith(errorOf(search), "Connection error: libcddb: "));
            EXPECT_TRUE(search.getResults().empty());

            CDDBQuery byId("jazz", 0x10028003);
            connect(byId, transport, faulty);
            EXPECT_TRUE(startsWith(errorOf(byId), "Query error: libcddb: "));
            EXPECT_TRUE(byId.getResults().empty());
        }
    }
}

// libcddb takes an entry cut short by a closed connection for a whole one:
// this one has no title left, so it is neither offered nor kept in the
// cache; the next read fails on the closed connection, which libcddb
// reports as no error at all.
TEST_F(CddbQueryTest, EntryCutShortIsDroppedAndTheNextReadFails) {
    TestCddbServer dropping(MADE_UP_ENTRIES, "drop-read");
    CDDBQuery query(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(query, Transport::CDDBP, dropping);
    query.setCache(Vantrel::CACHE_MODE_ON);
    EXPECT_EQ(errorOf(query), "Query error: libcddb: the connection was closed or timed out");
    EXPECT_TRUE(query.getResults().empty());
    EXPECT_TRUE(std::filesystem::exists(home.path(".cddbslave/jazz")));
    EXPECT_FALSE(std::filesystem::exists(home.path(".cddbslave/jazz/10028003")));

    CDDBQuery byId("rock", 0x10028003);
    connect(byId, Transport::HTTP, dropping);
    EXPECT_EQ(errorOf(byId), "Query error: the server's answer was incomplete");
}

// A server that never ends its answer: the lookup stops at its time limit,
// or sooner when the answer outgrows any real one.
TEST_F(CddbQueryTest, EndlessAnswerStopsAtTheTimeOrSizeLimit) {
    TestCddbServer endless(MADE_UP_ENTRIES, "endless");
    setenv("VANTREL_LOOKUP_TIMEOUT", "1", 1);
    CDDBQuery timed(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(timed, Transport::HTTP, endless);
    EXPECT_EQ(errorOf(timed), "Connection error: the server did not finish its answer in 1 s");
    unsetenv("VANTREL_LOOKUP_TIMEOUT");

    CDDBQuery sized(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(sized, Transport::CDDBP, endless);
    EXPECT_EQ(errorOf(sized), "Connection error: the server's answer was too large");
}
