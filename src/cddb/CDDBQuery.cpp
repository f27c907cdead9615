#include "cddb/CDDBQuery.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cddb/DiscRecord.h"
#include "common/Home.h"
#include "cddb/IsolatedRun.h"
#include "disc/Text.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#define VANTREL_STRINGIFY(x) #x
#define VANTREL_TEXT(x) VANTREL_STRINGIFY(x)

namespace Vantrel {

namespace {

const char* const CLIENT_NAME = "vantrel";
const char* const CLIENT_VERSION = VANTREL_TEXT(VANTREL_VERSION);

// libcddb answers null for a field that the entry does not have.
std::string text(const char* value) { return value != nullptr ? value : ""; }

// Entries come in UTF-8 or, when older, in Latin-1.
std::string entryText(const char* value) { return entryTextToUtf8(text(value)); }

// The entry as a finished disc record; the conversion happens in the child,
// so only records cross to the parent.
Disc discOf(cddb_disc_t* entry) {
    Disc disc(entryText(cddb_disc_get_title(entry)), entryText(cddb_disc_get_artist(entry)),
              entryText(cddb_disc_get_genre(entry)), cddb_disc_get_year(entry));
    for (cddb_track_t* track = cddb_disc_get_track_first(entry); track != nullptr;
         track = cddb_disc_get_track_next(entry))
        disc.appendTrack(Track(entryText(cddb_track_get_title(track)), entryText(cddb_track_get_artist(track)),
                               static_cast<unsigned int>(cddb_track_get_length(track)),
                               static_cast<unsigned int>(cddb_track_get_number(track))));
    return disc;
}

// libcddb builds its cache folder name from HOME, in libcddb_init and in
// cddb_new, and crashes when HOME is unset. While HOME is unset, this sets it
// to the user's home from the password database, or to a folder that does
// not exist when there is none (the cache then stays off), and unsets it
// again when it goes.
class HomeForLibrary {
public:
    HomeForLibrary() : wasSet(std::getenv("HOME") != nullptr) {
        if (wasSet)
            return;
        const std::string home = homeFromPasswordDatabase();
        usable = !home.empty();
        setenv("HOME", usable ? home.c_str() : "/nonexistent", 1);
    }
    ~HomeForLibrary() {
        if (!wasSet)
            unsetenv("HOME");
    }
    HomeForLibrary(const HomeForLibrary&) = delete;
    HomeForLibrary& operator=(const HomeForLibrary&) = delete;

    bool cacheUsable() const { return usable; }

private:
    bool wasSet;
    bool usable = true;
};

// libcddb never frees the encoded proxy credentials: cddb_destroy leaves
// them behind. Under the leak checker that one allocation is let go here, so
// that no suppression has to cover the whole library (which would hide a
// disc object this code forgot to destroy).
class LibraryLeakAllowed {
public:
#ifdef __SANITIZE_ADDRESS__
    LibraryLeakAllowed() { __lsan_disable(); }
    ~LibraryLeakAllowed() { __lsan_enable(); }
#else
    LibraryLeakAllowed() {}
#endif
    LibraryLeakAllowed(const LibraryLeakAllowed&) = delete;
    LibraryLeakAllowed& operator=(const LibraryLeakAllowed&) = delete;
};

// An entry with neither a disc title nor any track title is what a
// connection closed early leaves.
bool isComplete(cddb_disc_t* disc) {
    if (!text(cddb_disc_get_title(disc)).empty())
        return true;
    for (cddb_track_t* track = cddb_disc_get_track_first(disc); track != nullptr;
         track = cddb_disc_get_track_next(disc))
        if (!text(cddb_track_get_title(track)).empty())
            return true;
    return false;
}

const char RECORD_DISC = 'D';
const char RECORD_INCOMPLETE = 'I';
const unsigned int MAX_LOOKUP_SECONDS = 60;
// Far more than any real answer needs.
const std::size_t MAX_GROWTH = 64u << 20;

// VANTREL_LOOKUP_TIMEOUT may shorten the limit (for tests), never lengthen it.
unsigned int lookupSeconds() {
    const char* value = std::getenv("VANTREL_LOOKUP_TIMEOUT");
    const long seconds = value != nullptr ? std::strtol(value, nullptr, 10) : 0;
    return seconds > 0 && seconds < static_cast<long>(MAX_LOOKUP_SECONDS) ? static_cast<unsigned int>(seconds)
                                                                           : MAX_LOOKUP_SECONDS;
}

} // namespace

CDDBQuery::CDDBQuery(const Connection& settings) {
    const HomeForLibrary home;
    cacheUsable = home.cacheUsable();
    libcddb_init();
    connection.reset(cddb_new());
    if (!connection) {
        libcddb_shutdown();
        throw CDDBQueryException("Out of memory when calling cddb_new()");
    }
    if (!cacheUsable)
        cddb_cache_disable(connection.get());
    identify();
    connectTo(settings);
}

CDDBQuery::~CDDBQuery() {
    connection.reset();
    libcddb_shutdown();
}

// Public servers refuse clients that do not name themselves, and some want
// a real e-mail address in the greeting.
void CDDBQuery::identify() {
    cddb_set_client(connection.get(), CLIENT_NAME, CLIENT_VERSION);
    const char* email = std::getenv("EMAIL");
    if (email != nullptr && std::string(email).find('@') != std::string::npos)
        cddb_set_email_address(connection.get(), email);
}

void CDDBQuery::connectTo(const Connection& settings) {
    switch (settings.kind) {
    case Connection::CDDBP:
        cddb_set_server_name(connection.get(), settings.host.c_str());
        cddb_set_server_port(connection.get(), static_cast<int>(settings.port));
        break;
    case Connection::HTTP:
        cddb_http_enable(connection.get());
        cddb_set_server_name(connection.get(), settings.host.c_str());
        cddb_set_server_port(connection.get(), static_cast<int>(settings.port));
        cddb_http_proxy_disable(connection.get());
        if (settings.proxy)
            useProxy(*settings.proxy);
        break;
    case Connection::LIBRARY_DEFAULT:
        break;
    }
    setCache(settings.cacheMode);
}

void CDDBQuery::useProxy(const ProxyDetails& proxy) {
    cddb_http_proxy_enable(connection.get());
    cddb_set_http_proxy_server_name(connection.get(), proxy.host.c_str());
    cddb_set_http_proxy_server_port(connection.get(), proxy.port);
    // libcddb encodes "user:password" into a buffer one byte too small when
    // both are empty; with no credentials it sends none, which is what an
    // empty pair means anyway.
    if (!proxy.username.empty() || !proxy.password.empty()) {
        LibraryLeakAllowed allowed;
        cddb_set_http_proxy_credentials(connection.get(), proxy.username.c_str(), proxy.password.c_str());
    }
}

// Without a home folder there is no cache to use: "on" reads and writes
// nothing, and "only" finds nothing.
void CDDBQuery::setCache(Cache mode) {
    switch (mode) {
    case CACHE_MODE_ON:
        if (cacheUsable)
            cddb_cache_enable(connection.get());
        else
            cddb_cache_disable(connection.get());
        return;
    case CACHE_MODE_OFF:
        cddb_cache_disable(connection.get());
        return;
    case CACHE_MODE_ONLY:
        cddb_cache_only(connection.get());
        return;
    }
    throw CDDBQueryException("Unknown cache mode");
}

unsigned int cddbDiscIdOf(const TableOfContents& toc) {
    return cddb_disc_get_discid(CDDBQuery::queryDiscOf(toc).get());
}

// A disc of the table's tracks and length, its disc ID computed.
CDDBQuery::DiscPointer CDDBQuery::queryDiscOf(const TableOfContents& toc) {
    DiscPointer disc = newDisc();
    cddb_disc_set_length(disc.get(), static_cast<unsigned int>(toc.discLeadOut() / frames_per_second));
    for (const int offset : toc.allFrameOffsets()) {
        cddb_track_t* track = cddb_track_new();
        if (track == nullptr)
            throw CDDBQueryException("Out of memory whilst calling cddb_track_new()");
        cddb_track_set_frame_offset(track, offset);
        cddb_disc_add_track(disc.get(), track);
    }
    cddb_disc_calc_discid(disc.get());
    return disc;
}

std::vector<Disc> CDDBQuery::discsFor(const TableOfContents& toc) {
    DiscPointer disc = queryDiscOf(toc);
    return run([&](RecordSink& sink) {
        const int matches = cddb_query(connection.get(), disc.get());
        if (matches == -1)
            throw CDDBQueryException(libraryError("Connection error: libcddb: "));
        for (int match = 0; match < matches; ++match) {
            readMatch(disc.get(), sink);
            cddb_query_next(connection.get(), disc.get());
        }
    });
}

std::vector<Disc> CDDBQuery::read(const std::string& category, unsigned int discId, const NoteSink& notes) {
    DiscPointer disc = newDisc();
    cddb_disc_set_category_str(disc.get(), category.c_str());
    if (cddb_disc_get_category(disc.get()) == CDDB_CAT_MISC && category != "misc")
        notes("Vantrel: Warning \"" + category + "\" matches CDDB_CAT_MISC");
    cddb_disc_set_discid(disc.get(), discId);
    return run([&](RecordSink& sink) { readMatch(disc.get(), sink); });
}

CDDBQuery::DiscPointer CDDBQuery::newDisc() {
    DiscPointer disc(cddb_disc_new());
    if (!disc)
        throw CDDBQueryException("Out of memory when calling cddb_disc_new()");
    return disc;
}

// The network part of the lookup runs in a child process that is killed
// when it takes too long or grows too large; the entries it read come back
// as finished disc records, in match order.
std::vector<Disc> CDDBQuery::run(const std::function<void(RecordSink&)>& work) {
    const std::vector<Record> records = runIsolated(work, RunLimits{lookupSeconds(), MAX_GROWTH});
    std::vector<Disc> results;
    bool incomplete = false;
    for (const Record& record : records) {
        if (record.type == RECORD_ERROR)
            throw CDDBQueryException(record.payload);
        incomplete = incomplete || record.type == RECORD_INCOMPLETE;
        if (record.type == RECORD_DISC)
            results.push_back(decodeDisc(record.payload));
    }
    if (incomplete && results.empty())
        throw CDDBQueryException("Query error: the server's answer was incomplete");
    return results;
}

// Each entry is read into a copy of the disc object as the search left it:
// libcddb keeps whatever a disc object already holds for every field that an
// entry lacks, so reading every match into the one object would hand a
// later match the year or genre of an earlier one. The title and artist
// that the search's answer gave are dropped, so that only the entry itself
// can make it complete.
void CDDBQuery::readMatch(cddb_disc_t* match, RecordSink& sink) {
    DiscPointer entry(cddb_disc_clone(match));
    if (!entry)
        throw CDDBQueryException("Out of memory when calling cddb_disc_clone()");
    cddb_disc_set_title(entry.get(), nullptr);
    cddb_disc_set_artist(entry.get(), nullptr);
    const std::string cached = cachePath(entry.get());
    const bool fromServer = cddb_cache_mode(connection.get()) == CACHE_ON && access(cached.c_str(), F_OK) != 0;
    if (cddb_read(connection.get(), entry.get()) == 0)
        throw CDDBQueryException(libraryError("Query error: libcddb: "));
    if (isComplete(entry.get())) {
        sink.send(RECORD_DISC, encodeDisc(discOf(entry.get())));
        return;
    }
    // An answer cut short is not kept, so the next run asks again.
    if (fromServer)
        unlink(cached.c_str());
    sink.send(RECORD_INCOMPLETE, "");
}

std::string CDDBQuery::cachePath(cddb_disc_t* disc) const {
    char discIdText[9];
    std::snprintf(discIdText, sizeof discIdText, "%08x", cddb_disc_get_discid(disc));
    return text(cddb_cache_get_dir(connection.get())) + "/" + text(cddb_disc_get_category_str(disc)) + "/" +
           discIdText;
}

// libcddb reports no error when the connection closed or timed out.
std::string CDDBQuery::libraryError(const std::string& prefix) const {
    const cddb_error_t error = cddb_errno(connection.get());
    return prefix + (error == CDDB_ERR_OK ? "the connection was closed or timed out" : text(cddb_error_str(error)));
}

} // namespace Vantrel
