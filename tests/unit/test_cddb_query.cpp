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

// Track layouts (length in seconds, frame offsets) of the test entries.
const unsigned int SKA_LENGTH = 3541;
const std::vector<int> SKA_OFFSETS = {150,    21052,  43715,  58057,  71430,  92865,  117600, 131987,
                                      150625, 163292, 181490, 195685, 210197, 233230, 249257};
const unsigned int TWO_MATCHES_LENGTH = 642;
const std::vector<int> TWO_MATCHES_OFFSETS = {150, 15150, 33150};
const unsigned int NO_MATCH_LENGTH = 700;
const std::vector<int> NO_MATCH_OFFSETS = {150, 15150, 33150};

enum class Transport { CDDBP, HTTP, PROXY };

const char* name(Transport transport) {
    switch (transport) {
    case Transport::CDDBP:
        return "cddbp";
    case Transport::HTTP:
        return "http";
    case Transport::PROXY:
        return "proxy";
    }
    return "";
}

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

void copyEntry(const std::string& root, const std::string& entry, const std::string& cacheFolder) {
    const std::filesystem::path target = std::filesystem::path(cacheFolder) / entry;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(root + "/" + entry, target);
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

    void SetUp() override {
        realLogStart = real->logLines().size();
        madeUpLogStart = madeUp->logLines().size();
    }

    // Log lines of this test only.
    static std::vector<std::string> since(const TestCddbServer& server, std::size_t start) {
        std::vector<std::string> lines = server.logLines();
        return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(start), lines.end());
    }
    int countNewLines(const TestCddbServer& server, std::size_t start, std::initializer_list<std::string> fragments) {
        int count = 0;
        for (const std::string& line : since(server, start)) {
            bool all = true;
            for (const std::string& fragment : fragments)
                all = all && line.find(fragment) != std::string::npos;
            count += all ? 1 : 0;
        }
        return count;
    }

    TemporaryHome home;
    std::size_t realLogStart = 0;
    std::size_t madeUpLogStart = 0;
    static std::unique_ptr<TestCddbServer> real;
    static std::unique_ptr<TestCddbServer> madeUp;
};

std::unique_ptr<TestCddbServer> CddbQueryTest::real;
std::unique_ptr<TestCddbServer> CddbQueryTest::madeUp;

} // namespace

TEST_F(CddbQueryTest, ReadsOneEntryByCategoryAndIdOverEveryTransport) {
    for (Transport transport : {Transport::CDDBP, Transport::HTTP, Transport::PROXY}) {
        SCOPED_TRACE(name(transport));
        CDDBQuery query("misc", 0xd50dd30f);
        connect(query, transport, *real);
        query.setCache(Vantrel::CACHE_MODE_OFF);
        query.query();
        ASSERT_EQ(query.getResults().size(), 1u);
        expectSkaIsland(query.getResults()[0]);
        EXPECT_EQ(countNewLines(*real, realLogStart,
                                {"\"via\": \"" + std::string(name(transport)) + "\"", "cddb read misc d50dd30f"}),
                  1);
    }
    // Over HTTP the hello travels with each request; the program names itself.
    EXPECT_EQ(countNewLines(*real, realLogStart, {"\"hello\": \"" + DEFAULT_HELLO + "\""}), 2);
    EXPECT_EQ(countNewLines(*real, realLogStart, {"cddb hello " + DEFAULT_HELLO}), 1);
    EXPECT_EQ(countNewLines(*real, realLogStart, {"\"host\": \"cddb.example:80\""}), 1);
}

TEST_F(CddbQueryTest, UnknownEntryIsAQueryErrorAndLeavesNoResult) {
    for (Transport transport : {Transport::CDDBP, Transport::HTTP}) {
        SCOPED_TRACE(name(transport));
        CDDBQuery query("rock", 0xd50dd30f);
        connect(query, transport, *real);
        query.setCache(Vantrel::CACHE_MODE_OFF);
        EXPECT_EQ(errorOf(query), "Query error: libcddb: disc not found");
        EXPECT_TRUE(query.getResults().empty());
    }
    EXPECT_EQ(countNewLines(*real, realLogStart, {"cddb read rock d50dd30f", "\"status\": 401"}), 2);
}

TEST_F(CddbQueryTest, CategoryNamesOutsideLibcddbsListWarnAndReadUnderMisc) {
    for (const std::string category : {"Misc", "nonsense", ""}) {
        SCOPED_TRACE(category);
        CDDBQuery query(category, 0xd50dd30f);
        connect(query, Transport::CDDBP, *real);
        query.setCache(Vantrel::CACHE_MODE_OFF);
        testing::internal::CaptureStderr();
        query.query();
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Vantrel: Warning \"" + category + "\" matches CDDB_CAT_MISC\n");
        ASSERT_EQ(query.getResults().size(), 1u);
        EXPECT_EQ(query.getResults()[0].getTitle(), "Ska Island");
    }
    EXPECT_EQ(countNewLines(*real, realLogStart, {"cddb read misc d50dd30f"}), 3);

    CDDBQuery exact("misc", 0xd50dd30f);
    connect(exact, Transport::CDDBP, *real);
    exact.setCache(Vantrel::CACHE_MODE_OFF);
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
        query->setCache(Vantrel::CACHE_MODE_OFF);
        testing::internal::CaptureStderr();
        EXPECT_EQ(errorOf(*query), "Query error: libcddb: command data missing");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Vantrel: Warning \"\" matches CDDB_CAT_MISC\n");
    }
    EXPECT_TRUE(since(*real, realLogStart).empty());
}

TEST_F(CddbQueryTest, TrackLayoutSearchWithNoMatchReadsNothing) {
    for (Transport transport : {Transport::CDDBP, Transport::HTTP}) {
        SCOPED_TRACE(name(transport));
        CDDBQuery query(NO_MATCH_LENGTH, NO_MATCH_OFFSETS);
        connect(query, transport, *madeUp);
        query.setCache(Vantrel::CACHE_MODE_OFF);
        query.query();
        EXPECT_TRUE(query.getResults().empty());
    }
    EXPECT_EQ(countNewLines(*madeUp, madeUpLogStart, {"cddb query", "\"status\": 202"}), 2);
    EXPECT_EQ(countNewLines(*madeUp, madeUpLogStart, {"cddb read"}), 0);
}

TEST_F(CddbQueryTest, TrackLayoutSearchWithOneMatchReadsIt) {
    CDDBQuery query(SKA_LENGTH, SKA_OFFSETS);
    connect(query, Transport::HTTP, *real);
    query.setCache(Vantrel::CACHE_MODE_OFF);
    query.query();
    ASSERT_EQ(query.getResults().size(), 1u);
    expectSkaIsland(query.getResults()[0]);
    EXPECT_EQ(countNewLines(*real, realLogStart,
                            {"cddb query d50dd30f 15 150 21052 43715 58057 71430 92865 117600 131987 150625 163292 "
                             "181490 195685 210197 233230 249257",
                             "3541\"", "\"status\": 200"}),
              1);
}

// The second entry lacks DYEAR, DGENRE and one track title: none of these
// may come from the first entry.
TEST_F(CddbQueryTest, TrackLayoutSearchWithTwoMatchesKeepsEachEntrysOwnData) {
    for (Transport transport : {Transport::CDDBP, Transport::HTTP}) {
        SCOPED_TRACE(name(transport));
        CDDBQuery query(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
        connect(query, transport, *madeUp);
        query.setCache(Vantrel::CACHE_MODE_OFF);
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
        const unsigned int lengths[] = {200, 240, 200};
        for (unsigned int index = 0; index < 3; ++index) {
            EXPECT_EQ(rock.getTracks()[index].getLength(), lengths[index]);
            EXPECT_EQ(rock.getTracks()[index].getTrackNo(), index + 1);
            EXPECT_EQ(jazz.getTracks()[index].getLength(), lengths[index]);
        }
    }
    EXPECT_EQ(countNewLines(*madeUp, madeUpLogStart, {"cddb query 10028003 3", "\"status\": 210"}), 2);
    EXPECT_EQ(countNewLines(*madeUp, madeUpLogStart, {"cddb read jazz 10028003"}), 2);
    EXPECT_EQ(countNewLines(*madeUp, madeUpLogStart, {"cddb read rock 10028003"}), 2);
}

TEST_F(CddbQueryTest, EntryWithoutGenreOrYearReadById) {
    CDDBQuery query("rock", 0x10028003);
    connect(query, Transport::CDDBP, *madeUp);
    query.setCache(Vantrel::CACHE_MODE_OFF);
    query.query();
    ASSERT_EQ(query.getResults().size(), 1u);
    EXPECT_EQ(query.getResults()[0].getGenre(), "rock");
    EXPECT_EQ(query.getResults()[0].getYear(), 0u);
    EXPECT_EQ(query.getResults()[0].getTracks()[2].getName(), "");
}

TEST_F(CddbQueryTest, Utf8TextArrivesByteForByte) {
    CDDBQuery query("folk", 0x0a01f302);
    connect(query, Transport::HTTP, *madeUp);
    query.setCache(Vantrel::CACHE_MODE_OFF);
    query.query();
    ASSERT_EQ(query.getResults().size(), 1u);
    const Disc& disc = query.getResults()[0];
    EXPECT_EQ(disc.getTitle(), u8"Café Déjà Vu 日本語");
    EXPECT_EQ(disc.getArtist(), u8"Zoë Ångström");
    EXPECT_EQ(disc.getGenre(), u8"Música Folk");
    ASSERT_EQ(disc.getTracks().size(), 2u);
    EXPECT_EQ(disc.getTracks()[0].getName(), u8"Ñandú");
    EXPECT_EQ(disc.getTracks()[0].getArtist(), u8"Zoë Ångström");
    EXPECT_EQ(disc.getTracks()[1].getName(), u8"Straße");
    EXPECT_EQ(disc.getTracks()[1].getArtist(), u8"Ελληνικά");
    EXPECT_EQ(disc.getTracks()[1].getLength(), 259u);
}

TEST_F(CddbQueryTest, SecondQueryAppendsItsMatches) {
    CDDBQuery query("misc", 0xd50dd30f);
    connect(query, Transport::CDDBP, *real);
    query.setCache(Vantrel::CACHE_MODE_OFF);
    query.query();
    query.query();
    ASSERT_EQ(query.getResults().size(), 2u);
    expectSkaIsland(query.getResults()[1]);
}

TEST_F(CddbQueryTest, ProxyPassesCredentialsAndTheServerItIsAskedFor) {
    TestCddbServer proxy(MADE_UP_ENTRIES, "normal", "user:se:cret");

    CDDBQuery right(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(right, Transport::PROXY, 0, proxy.httpPort(), "user", "se:cret");
    right.setCache(Vantrel::CACHE_MODE_OFF);
    right.query();
    EXPECT_EQ(right.getResults().size(), 2u);
    EXPECT_EQ(proxy.countLogLines({"\"via\": \"proxy\"", "\"proxy_credentials\": [\"user\", \"se:cret\"]",
                                   "\"host\": \"cddb.example:80\"", "\"status\": 210"}),
              3);

    CDDBQuery wrong(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(wrong, Transport::PROXY, 0, proxy.httpPort(), "user", "wrong");
    wrong.setCache(Vantrel::CACHE_MODE_OFF);
    EXPECT_EQ(errorOf(wrong), "Connection error: libcddb: proxy authentication failed");

    CDDBQuery none("jazz", 0x10028003);
    connect(none, Transport::PROXY, 0, proxy.httpPort());
    none.setCache(Vantrel::CACHE_MODE_OFF);
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

    EXPECT_EQ(countNewLines(*real, realLogStart, {"\"via\": \"http\"", "cddb read misc d50dd30f"}), 2);
}

TEST_F(CddbQueryTest, CacheOnlyFindsACachedEntryWithNoServer) {
    copyEntry(REAL_ENTRIES, "blues/7d0b170a", home.path(".cddbslave"));
    const unsigned int nowhere = closedPort();

    CDDBQuery byId("blues", 0x7d0b170a);
    byId.setProtocolCDDBP(LOCALHOST, nowhere);
    byId.setCache(Vantrel::CACHE_MODE_ONLY);
    byId.query();
    ASSERT_EQ(byId.getResults().size(), 1u);
    EXPECT_EQ(byId.getResults()[0].getTitle(), "El Rojo");
    EXPECT_EQ(byId.getResults()[0].getGenre(), "Rock");
    EXPECT_EQ(byId.getResults()[0].getTracks()[3].getName(), u8"Bien Clásico");

    CDDBQuery missing("blues", 0x7d0b170b);
    missing.setProtocolCDDBP(LOCALHOST, nowhere);
    missing.setCache(Vantrel::CACHE_MODE_ONLY);
    EXPECT_TRUE(startsWith(errorOf(missing), "Query error: libcddb: "));
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
    off.setCache(Vantrel::CACHE_MODE_OFF);
    off.query();
    EXPECT_EQ(off.getResults().at(0).getTitle(), "Ska Island");
    EXPECT_EQ(countNewLines(*real, realLogStart, {"cddb read misc d50dd30f"}), 1);

    CDDBQuery on("misc", 0xd50dd30f);
    connect(on, Transport::CDDBP, *real);
    on.setCache(Vantrel::CACHE_MODE_ON);
    on.query();
    EXPECT_EQ(on.getResults().at(0).getTitle(), "Cached Ska");
    EXPECT_EQ(countNewLines(*real, realLogStart, {"cddb read misc d50dd30f"}), 1);

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

TEST_F(CddbQueryTest, RefusedConnectionIsAnError) {
    const unsigned int nowhere = closedPort();
    for (Transport transport : {Transport::CDDBP, Transport::HTTP, Transport::PROXY}) {
        SCOPED_TRACE(name(transport));
        CDDBQuery search(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
        connect(search, transport, nowhere, nowhere);
        search.setCache(Vantrel::CACHE_MODE_OFF);
        EXPECT_EQ(errorOf(search), "Connection error: libcddb: connection error");

        CDDBQuery byId("jazz", 0x10028003);
        connect(byId, transport, nowhere, nowhere);
        byId.setCache(Vantrel::CACHE_MODE_OFF);
        EXPECT_EQ(errorOf(byId), "Query error: libcddb: connection error");
    }
}

TEST_F(CddbQueryTest, ServerThatClosesOrSendsGarbageIsAnError) {
    for (const std::string mode : {"close", "garbage"}) {
        TestCddbServer faulty(MADE_UP_ENTRIES, mode);
        for (Transport transport : {Transport::CDDBP, Transport::HTTP}) {
            SCOPED_TRACE(mode + " over " + name(transport));
            CDDBQuery search(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
            connect(search, transport, faulty);
            search.setCache(Vantrel::CACHE_MODE_OFF);
            EXPECT_TRUE(startsWith(errorOf(search), "Connection error: libcddb: "));
            EXPECT_TRUE(search.getResults().empty());

            CDDBQuery byId("jazz", 0x10028003);
            connect(byId, transport, faulty);
            byId.setCache(Vantrel::CACHE_MODE_OFF);
            EXPECT_TRUE(startsWith(errorOf(byId), "Query error: libcddb: "));
            EXPECT_TRUE(byId.getResults().empty());
        }
    }
}

// libcddb takes an entry cut short by a closed connection for a whole one;
// over cddbp the next read then fails on the closed connection, and the
// disc read before stays in the results.
TEST_F(CddbQueryTest, ConnectionDroppedDuringReadsKeepsEarlierDiscs) {
    TestCddbServer dropping(MADE_UP_ENTRIES, "drop-read");
    CDDBQuery query(TWO_MATCHES_LENGTH, TWO_MATCHES_OFFSETS);
    connect(query, Transport::CDDBP, dropping);
    query.setCache(Vantrel::CACHE_MODE_OFF);
    EXPECT_TRUE(startsWith(errorOf(query), "Query error: libcddb: "));
    ASSERT_EQ(query.getResults().size(), 1u);
    EXPECT_EQ(query.getResults()[0].getArtist(), "The Jazz Entry Band");
}

TEST_F(CddbQueryTest, WithoutHomeTheQueryStillRuns) {
    unsetenv("HOME");
    CDDBQuery query("misc", 0xd50dd30f);
    connect(query, Transport::CDDBP, *real);
    query.setCache(Vantrel::CACHE_MODE_OFF);
    query.query();
    EXPECT_EQ(query.getResults().size(), 1u);
    EXPECT_EQ(std::getenv("HOME"), nullptr);
}

TEST_F(CddbQueryTest, EmailWithAnAtSignIsSentInTheHello) {
    setenv("EMAIL", "someone@example.org", 1);
    CDDBQuery withAddress("misc", 0xd50dd30f);
    connect(withAddress, Transport::HTTP, *real);
    withAddress.setCache(Vantrel::CACHE_MODE_OFF);
    withAddress.query();

    setenv("EMAIL", "no address here", 1);
    CDDBQuery withoutAddress("misc", 0xd50dd30f);
    connect(withoutAddress, Transport::HTTP, *real);
    withoutAddress.setCache(Vantrel::CACHE_MODE_OFF);
    withoutAddress.query();
    unsetenv("EMAIL");

    const std::vector<std::string> lines = since(*real, realLogStart);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"hello\": \"someone example.org vantrel " TEXT(VANTREL_VERSION) "\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\"hello\": \"" + DEFAULT_HELLO + "\""), std::string::npos) << lines[1];
}
