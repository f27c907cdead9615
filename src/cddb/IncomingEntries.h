#ifndef VANTREL_CDDB_INCOMINGENTRIES_H
#define VANTREL_CDDB_INCOMINGENTRIES_H

#include <optional>
#include <string>

namespace Vantrel {

// A private folder inside the CDDB library's cache folder that entries
// fetched from a server are written into, laid out as the cache is
// (<category>/<discid>). Only keep() puts them into the cache itself, each
// with one rename; whatever is still in the folder when it goes is deleted,
// so a lookup cut short leaves nothing in the cache.
class IncomingEntries {
public:
    // No folder when the cache folder cannot be made or written.
    explicit IncomingEntries(const std::string& cacheFolder);
    ~IncomingEntries();

    IncomingEntries(const IncomingEntries&) = delete;
    IncomingEntries& operator=(const IncomingEntries&) = delete;

    const std::optional<std::string>& folder() const { return privateFolder; }
    void keep();

private:
    std::string cacheFolder;
    std::optional<std::string> privateFolder;
};

// Why a file in the cache cannot be an entry: "empty" or "unreadable"
// (missing is no fault: nothing).
std::optional<std::string> unusableCacheFile(const std::string& path);

} // namespace Vantrel

#endif
