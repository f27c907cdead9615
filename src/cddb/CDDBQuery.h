#ifndef VANTREL_CDDB_CDDBQUERY_H
#define VANTREL_CDDB_CDDBQUERY_H

#include <cddb/cddb.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cddb/CDDBQueryException.h"
#include "cddb/ConnectionSettings.h"
#include "cddb/IsolatedRun.h"
#include "disc/Disc.h"
#include "disc/TableOfContents.h"
#include "lookup/Database.h"

namespace Vantrel {

// The CDDB disc ID of a table of contents: of every track, a data track
// included, and the whole disc's lead-out.
unsigned int cddbDiscIdOf(const TableOfContents& toc);

// CDDB lookups through the CDDB library, over one library connection set up
// as `Connection` says. Failures are thrown as CDDBQueryException.
class CDDBQuery {
public:
    explicit CDDBQuery(const Connection& settings);
    ~CDDBQuery();

    CDDBQuery(const CDDBQuery&) = delete;
    CDDBQuery& operator=(const CDDBQuery&) = delete;

    // Every entry the server finds for the table of contents, in its order;
    // with the cache only, every entry the cache holds for its disc ID. An
    // entry that is cut short is never given; one in the cache is deleted,
    // with a note, and asked for again.
    std::vector<Disc> discsFor(const TableOfContents& toc, const NoteSink& notes);
    // The entry of a category and disc ID; a category that the library does
    // not know is read as "misc", with a note.
    std::vector<Disc> read(const std::string& category, unsigned int discId, const NoteSink& notes);

private:
    struct ConnectionDeleter {
        void operator()(cddb_conn_t* connection) const { cddb_destroy(connection); }
    };
    struct DiscDeleter {
        void operator()(cddb_disc_t* disc) const { cddb_disc_destroy(disc); }
    };
    using DiscPointer = std::unique_ptr<cddb_disc_t, DiscDeleter>;

    void identify();
    void connectTo(const Connection& settings);
    void useProxy(const ProxyDetails& proxy);
    void setCache(Cache mode);
    static DiscPointer newDisc();
    bool cacheHolds(cddb_disc_t* disc, cddb_cat_t category) const;
    static void waitForServer();
    friend unsigned int cddbDiscIdOf(const TableOfContents& toc);
    static DiscPointer queryDiscOf(const TableOfContents& toc);
    void healCache(unsigned int discId, const NoteSink& notes);
    // "empty", "unreadable" or "incomplete"; nothing for a good or missing entry.
    std::optional<std::string> faultOfCachedEntry(const std::string& path, cddb_disc_t* entry);
    void restoreCacheMode(cddb_cache_mode_t mode);
    std::vector<Disc> run(const std::function<void(RecordSink&)>& work);
    std::vector<Disc> fromServer(cddb_disc_t* disc, bool fresh);
    std::vector<Disc> fromCache(cddb_disc_t* disc);
    void readMatch(cddb_disc_t* match, RecordSink& sink, bool fresh = false);
    std::optional<std::string> readEntry(cddb_disc_t* entry, bool fresh);
    std::string libraryError(const std::string& prefix) const;

    std::unique_ptr<cddb_conn_t, ConnectionDeleter> connection;
    // False when the process has no home folder to keep libcddb's cache in.
    bool cacheUsable = true;
    bool serverFirst = false;
    // Where the running lookup writes the entries it fetches, if anywhere.
    std::optional<std::string> incomingFolder;
};

} // namespace Vantrel

#endif
