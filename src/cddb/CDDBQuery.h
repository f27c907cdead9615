#ifndef VANTREL_CDDB_CDDBQUERY_H
#define VANTREL_CDDB_CDDBQUERY_H

#include <memory>
#include <string>
#include <vector>

#include "cddb/CDDBQueryException.h"
#include "cli/CommandLineArguments.h"
#include "disc/Disc.h"

namespace Vantrel {

class CDDBQueryImpl;

// One CDDB lookup: by category and disc ID, or by track layout. Hides the
// CDDB library; failures are thrown as CDDBQueryException.
class CDDBQuery {
public:
    CDDBQuery();
    // Track layout: disc length in seconds, track start offsets in frames.
    CDDBQuery(unsigned int length, const std::vector<int>& offsets);
    // Category and disc ID.
    CDDBQuery(const std::string& category, unsigned int discId);
    virtual ~CDDBQuery();

    CDDBQuery(const CDDBQuery&) = delete;
    CDDBQuery& operator=(const CDDBQuery&) = delete;

    void query();
    const std::vector<Disc>& getResults();

    void setProtocolCDDBP(const std::string& server, unsigned int port);
    void setProtocolHTTP(const std::string& server, unsigned int port);
    void setProtocolHTTP(const std::string& server, unsigned int port, const std::string& proxyServer,
                         unsigned int proxyPort, const std::string& username, const std::string& password);
    void setCache(const Cache& mode);

private:
    std::unique_ptr<CDDBQueryImpl> impl;
};

} // namespace Vantrel

#endif
