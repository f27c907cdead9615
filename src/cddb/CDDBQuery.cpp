#include "cddb/CDDBQuery.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "cddb/DiscRecord.h"
#include "cddb/IncomingEntries.h"
#include "cddb/IsolatedRun.h"
#include "common/Home.h"
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

// An entry is complete when it has tracks and a TTITLE line for each of
// them; the library leaves the title of a track without one null (an empty
// line gives an empty title). A connection closed early, or a cache file cut
// short, leaves some out.
bool isComplete(cddb_disc_t* disc) {
    if (cddb_disc_get_track_count(disc) <= 0)
        return false;
    for (cddb_track_t* track = cddb_disc_get_track_first(disc); track != nullptr;
         track = cddb_disc_get_track_next(disc))
        if (cddb_track_get_title(track) == nullptr)
            return false;
    return true;
}

// Where the entry of a disc's category and ID lies in a cache folder.
std::string entryPath(const std::string& cacheFolder, cddb_disc_t* disc) {
    char discIdText[9];
    std::snprintf(discIdText, sizeof discIdText, "%08x", cddb_disc_get_discid(disc));
    return cacheFolder + "/" + text(cddb_disc_get_category_str(disc)) + "/" + discIdText;
}

const char RECORD_DISC = 'D';
const char RECORD_INCOMPLETE = 'I';
const unsigned int MAX_LOOKUP_SECONDS = 60;
// Far more than any real answer needs.
const std::size_t MAX_GROWTH = 64u << 20;

// A limit lowered by the environment variable named (for tests); never raised.
template <typename Number>
Number loweredBy(const char* variable, Number limit) {
    const char* value = std::getenv(variable);
    const long long lowered = value != nullptr ? std::strtoll(value, nullptr, 10) : 0;
    return lowered > 0 && static_cast<unsigned long long>(lowered) < limit ? static_cast<Number>(lowered) : limit;
}

unsigned int lookupSeconds() { return loweredBy("VANTREL_LOOKUP_TIMEOUT", MAX_LOOKUP_SECONDS); }
std::size_t lookupMemory() { return loweredBy("VANTREL_LOOKUP_MEMORY", MAX_GROWTH); }

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
    serverFirst = settings.serverFirst;
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

std::vector<Disc> CDDBQuery::discsFor(const TableOfContents& toc, const NoteSink& notes) {
    DiscPointer disc = queryDiscOf(toc);
    healCache(cddb_disc_get_discid(disc.get()), notes);
    const cddb_cache_mode_t mode = cddb_cache_mode(connection.get());
    // The library's own search of the cache stops at the first category
    // that holds the disc ID.
    if (mode == CACHE_ONLY)
        return fromCache(disc.get());
    if (mode != CACHE_ON || !serverFirst)
        return fromServer(disc.get(), false);
    try {
        return fromServer(disc.get(), true);
    } catch (const CDDBQueryException& error) {
        std::vector<Disc> cached = fromCache(disc.get());
        if (cached.empty())
            throw;
        notes(std::string("Vantrel: using the cache: ") + error.what());
        for (Disc& found : cached)
            found.markUnconfirmed();
        return cached;
    }
}

// The server's matches; `fresh` reads even the entries the cache holds from
// the server, so that the cache gets what the server has now.
std::vector<Disc> CDDBQuery::fromServer(cddb_disc_t* disc, bool fresh) {
    if (fresh || !cacheHolds(disc, CDDB_CAT_INVALID))
        waitForServer();
    return run([&](RecordSink& sink) {
        const cddb_cache_mode_t mode = cddb_cache_mode(connection.get());
        if (fresh)
            cddb_cache_disable(connection.get());
        const int matches = cddb_query(connection.get(), disc);
        restoreCacheMode(mode);
        if (matches == -1)
            throw CDDBQueryException(libraryError("Connection error: libcddb: "));
        for (int match = 0; match < matches; ++match) {
            readMatch(disc, sink, fresh);
            cddb_query_next(connection.get(), disc);
        }
    });
}

// Every entry the cache holds for the disc ID, in the order of the categories.
std::vector<Disc> CDDBQuery::fromCache(cddb_disc_t* disc) {
    const cddb_cache_mode_t mode = cddb_cache_mode(connection.get());
    cddb_cache_only(connection.get());
    const std::string cacheFolder = text(cddb_cache_get_dir(connection.get()));
    std::vector<Disc> discs = run([&](RecordSink& sink) {
        for (int category = 0; category < CDDB_CAT_INVALID; ++category) {
            cddb_disc_set_category(disc, static_cast<cddb_cat_t>(category));
            if (access(entryPath(cacheFolder, disc).c_str(), F_OK) == 0)
                readMatch(disc, sink);
        }
    });
    restoreCacheMode(mode);
    return discs;
}

std::vector<Disc> CDDBQuery::read(const std::string& category, unsigned int discId, const NoteSink& notes) {
    DiscPointer disc = newDisc();
    cddb_disc_set_category_str(disc.get(), category.c_str());
    if (cddb_disc_get_category(disc.get()) == CDDB_CAT_MISC && category != "misc")
        notes("Vantrel: Warning \"" + category + "\" matches CDDB_CAT_MISC");
    cddb_disc_set_discid(disc.get(), discId);
    healCache(discId, notes);
    if (cddb_cache_mode(connection.get()) != CACHE_ONLY && !cacheHolds(disc.get(), cddb_disc_get_category(disc.get())))
        waitForServer();
    return run([&](RecordSink& sink) { readMatch(disc.get(), sink); });
}

// Whether the cache would answer for the disc ID: in this category, or in
// any (CDDB_CAT_INVALID), as the library's search of the cache looks.
bool CDDBQuery::cacheHolds(cddb_disc_t* disc, cddb_cat_t category) const {
    if (cddb_cache_mode(connection.get()) == CACHE_OFF)
        return false;
    const std::string cacheFolder = text(cddb_cache_get_dir(connection.get()));
    DiscPointer entry(cddb_disc_clone(disc));
    for (int each = 0; entry && each < CDDB_CAT_INVALID; ++each) {
        if (category != CDDB_CAT_INVALID && each != category)
            continue;
        cddb_disc_set_category(entry.get(), static_cast<cddb_cat_t>(each));
        if (access(entryPath(cacheFolder, entry.get()).c_str(), F_OK) == 0)
            return true;
    }
    return false;
}

// A good client of a public server asks it at most once a second: the
// lookups of a run that reach the server start a second apart, whatever
// disc they are for.
void CDDBQuery::waitForServer() {
    using Clock = std::chrono::steady_clock;
    static std::optional<Clock::time_point> lastStart;
    if (lastStart)
        std::this_thread::sleep_until(*lastStart + std::chrono::seconds(1));
    lastStart = Clock::now();
}

CDDBQuery::DiscPointer CDDBQuery::newDisc() {
    DiscPointer disc(cddb_disc_new());
    if (!disc)
        throw CDDBQueryException("Out of memory when calling cddb_disc_new()");
    return disc;
}

// A cached entry of the disc ID that is empty, unreadable or incomplete is
// deleted before the lookup, in every category, so that it is asked for
// again. One that cannot be deleted keeps this lookup away from the cache.
void CDDBQuery::healCache(unsigned int discId, const NoteSink& notes) {
    if (cddb_cache_mode(connection.get()) == CACHE_OFF)
        return;
    for (int category = 0; category < CDDB_CAT_INVALID; ++category) {
        DiscPointer entry = newDisc();
        cddb_disc_set_category(entry.get(), static_cast<cddb_cat_t>(category));
        cddb_disc_set_discid(entry.get(), discId);
        const std::string path = entryPath(text(cddb_cache_get_dir(connection.get())), entry.get());
        const std::optional<std::string> fault = faultOfCachedEntry(path, entry.get());
        if (!fault)
            continue;
        if (std::remove(path.c_str()) == 0 || errno == ENOENT) {
            notes("Vantrel: deleted the " + *fault + " cache entry " + path);
        } else {
            notes("Vantrel: cannot delete the " + *fault + " cache entry " + path + ": " + std::strerror(errno));
            cddb_cache_disable(connection.get());
        }
    }
}

std::optional<std::string> CDDBQuery::faultOfCachedEntry(const std::string& path, cddb_disc_t* entry) {
    if (const std::optional<std::string> fault = unusableCacheFile(path))
        return fault;
    if (access(path.c_str(), F_OK) != 0)
        return std::nullopt;
    const cddb_cache_mode_t mode = cddb_cache_mode(connection.get());
    cddb_cache_only(connection.get());
    const bool complete = cddb_read(connection.get(), entry) != 0 && isComplete(entry);
    restoreCacheMode(mode);
    return complete ? std::nullopt : std::optional<std::string>("incomplete");
}

void CDDBQuery::restoreCacheMode(cddb_cache_mode_t mode) {
    if (mode == CACHE_ON)
        cddb_cache_enable(connection.get());
    else if (mode == CACHE_ONLY)
        cddb_cache_only(connection.get());
    else
        cddb_cache_disable(connection.get());
}

// The network part of the lookup runs in a child process that is killed
// when it takes too long or grows too large; the entries it read come back
// as finished disc records, in match order. Entries fetched meanwhile reach
// the cache only when the whole lookup succeeded.
std::vector<Disc> CDDBQuery::run(const std::function<void(RecordSink&)>& work) {
    std::optional<IncomingEntries> incoming;
    if (cddb_cache_mode(connection.get()) == CACHE_ON)
        incoming.emplace(text(cddb_cache_get_dir(connection.get())));
    incomingFolder = incoming ? incoming->folder() : std::nullopt;
    const std::vector<Record> records = runIsolated(work, RunLimits{lookupSeconds(), lookupMemory()});
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
    if (incoming)
        incoming->keep();
    return results;
}

// Each entry is read into a copy of the disc object as the search left it:
// libcddb keeps whatever a disc object already holds for every field that an
// entry lacks, so reading every match into the one object would hand a
// later match the year or genre of an earlier one. The title and artist
// that the search's answer gave are dropped, so that only the entry itself
// can make it complete.
void CDDBQuery::readMatch(cddb_disc_t* match, RecordSink& sink, bool fresh) {
    DiscPointer entry(cddb_disc_clone(match));
    if (!entry)
        throw CDDBQueryException("Out of memory when calling cddb_disc_clone()");
    cddb_disc_set_title(entry.get(), nullptr);
    cddb_disc_set_artist(entry.get(), nullptr);
    const std::optional<std::string> fetchedTo = readEntry(entry.get(), fresh);
    if (isComplete(entry.get())) {
        sink.send(RECORD_DISC, encodeDisc(discOf(entry.get())));
        return;
    }
    // An answer cut short is not kept, so the next run asks again.
    if (fetchedTo)
        std::remove(fetchedTo->c_str());
    sink.send(RECORD_INCOMPLETE, "");
}

// Reads the entry from the cache when the cache holds it, unless `fresh`
// asks for the server's; else fetches it,
// writing it into the private folder when there is one and into no cache
// when not. Returns where a fetched entry was written; throws when the
// library fails, leaving nothing of the entry behind.
std::optional<std::string> CDDBQuery::readEntry(cddb_disc_t* entry, bool fresh) {
    if (cddb_cache_mode(connection.get()) != CACHE_ON) {
        if (cddb_read(connection.get(), entry) == 0)
            throw CDDBQueryException(libraryError("Query error: libcddb: "));
        return std::nullopt;
    }
    const std::string cacheFolder = text(cddb_cache_get_dir(connection.get()));
    std::optional<std::string> fetchedTo;
    if (!fresh && access(entryPath(cacheFolder, entry).c_str(), F_OK) == 0) {
        cddb_cache_only(connection.get());
    } else if (incomingFolder) {
        cddb_cache_set_dir(connection.get(), incomingFolder->c_str());
        fetchedTo = entryPath(*incomingFolder, entry);
    } else {
        cddb_cache_disable(connection.get());
    }
    const bool read = cddb_read(connection.get(), entry) != 0;
    const std::optional<std::string> failure =
        read ? std::nullopt : std::optional<std::string>(libraryError("Query error: libcddb: "));
    cddb_cache_set_dir(connection.get(), cacheFolder.c_str());
    cddb_cache_enable(connection.get());
    if (failure) {
        if (fetchedTo)
            std::remove(fetchedTo->c_str());
        throw CDDBQueryException(*failure);
    }
    return fetchedTo;
}

// libcddb reports no error when the connection closed or timed out.
std::string CDDBQuery::libraryError(const std::string& prefix) const {
    const cddb_error_t error = cddb_errno(connection.get());
    return prefix + (error == CDDB_ERR_OK ? "the connection was closed or timed out" : text(cddb_error_str(error)));
}

} // namespace Vantrel
