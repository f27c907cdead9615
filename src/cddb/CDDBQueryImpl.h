#ifndef VANTREL_CDDB_CDDBQUERYIMPL_H
#define VANTREL_CDDB_CDDBQUERYIMPL_H

#include <cddb/cddb.h>

#include <memory>
#include <string>
#include <vector>

#include "cddb/CDDBQueryException.h"
#include "cddb/IsolatedRun.h"
#include "cli/CommandLineArguments.h"
#include "disc/Disc.h"

namespace Vantrel {

// The CDDB library behind CDDBQuery. Owns one library connection.
class CDDBQueryImpl {
public:
    CDDBQueryImpl();
    CDDBQueryImpl(unsigned int length, const std::vector<int>& offsets);
    CDDBQueryImpl(const std::string& category, unsigned int discId);
    virtual ~CDDBQueryImpl();

    CDDBQueryImpl(const CDDBQueryImpl&) = delete;
    CDDBQueryImpl& operator=(const CDDBQueryImpl&) = delete;

    void query();
    const std::vector<Disc>& getResults() { return results; }

    void setProtocolCDDBP(const std::string& server, unsigned int port);
    void setProtocolHTTP(const std::string& server, unsigned int port);
    void setProtocolHTTP(const std::string& server, unsigned int port, const std::string& proxyServer,
                         unsigned int proxyPort, const std::string& username, const std::string& password);
    void setCache(const Cache& mode);

private:
    struct ConnectionDeleter {
        void operator()(cddb_conn_t* connection) const { cddb_destroy(connection); }
    };
    struct DiscDeleter {
        void operator()(cddb_disc_t* disc) const { cddb_disc_destroy(disc); }
    };
    using DiscPointer = std::unique_ptr<cddb_disc_t, DiscDeleter>;

    void init();
    void identify();
    void nameEntry(cddb_disc_t* disc);
    void describeLayout(cddb_disc_t* disc);
    void lookUp(cddb_disc_t* disc, RecordSink& sink);
    void readMatch(cddb_disc_t* match, RecordSink& sink);
    std::string cachePath(cddb_disc_t* disc) const;
    std::string libraryError(const std::string& prefix) const;
    Disc createDiscFromCDDBDisc(cddb_disc_s* disc);

    unsigned int length = 0;
    std::vector<int> offsets;
    std::string category;
    unsigned int discId = 0;
    std::vector<Disc> results;
    std::unique_ptr<cddb_conn_t, ConnectionDeleter> connection;
    // False when the process has no home folder to keep libcddb's cache in.
    bool cacheUsable = true;
};

} // namespace Vantrel

#endif
