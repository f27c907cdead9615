#include "cddb/IncomingEntries.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace Vantrel {

namespace fs = std::filesystem;

IncomingEntries::IncomingEntries(const std::string& cacheFolder) : cacheFolder(cacheFolder) {
    std::error_code ignored;
    fs::create_directories(cacheFolder, ignored);
    // Hidden, and no category name: the library never reads it as a category.
    std::vector<char> name(cacheFolder.begin(), cacheFolder.end());
    const std::string suffix = "/.vantrel-XXXXXX";
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr)
        privateFolder = std::string(name.data());
}

IncomingEntries::~IncomingEntries() {
    std::error_code ignored;
    if (privateFolder)
        fs::remove_all(*privateFolder, ignored);
}

// An entry that cannot be moved stays out of the cache: the next run asks again.
void IncomingEntries::keep() {
    if (!privateFolder)
        return;
    std::error_code error;
    for (fs::directory_iterator category(*privateFolder, error), end; !error && category != end;
         category.increment(error)) {
        const fs::path target = fs::path(cacheFolder) / category->path().filename();
        std::error_code ignored;
        fs::create_directories(target, ignored);
        std::error_code listing;
        for (fs::directory_iterator entry(category->path(), listing); !listing && entry != end;
             entry.increment(listing))
            fs::rename(entry->path(), target / entry->path().filename(), ignored);
    }
}

std::optional<std::string> unusableCacheFile(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>("unreadable");
    // Something other than a file could block the reader.
    if (!S_ISREG(info.st_mode) || access(path.c_str(), R_OK) != 0)
        return "unreadable";
    if (info.st_size == 0)
        return "empty";
    return std::nullopt;
}

} // namespace Vantrel
