#include "musicbrainz/AnswerCache.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "common/Descriptor.h"
#include "common/Home.h"

namespace Vantrel {

namespace {

const long long NANOSECONDS_PER_SECOND = 1000000000LL;
const long long SECONDS_PER_DAY = 24 * 60 * 60;

std::string nonEmpty(const char* value) { return value != nullptr ? value : ""; }

std::string cacheBase() {
    const std::string xdg = nonEmpty(std::getenv("XDG_CACHE_HOME"));
    if (!xdg.empty() && xdg[0] == '/')
        return xdg + "/vantrel";
    std::string home = nonEmpty(std::getenv("HOME"));
    if (home.empty()) {
        home = homeFromPasswordDatabase();
    }
    return home.empty() ? "" : home + "/.cache/vantrel";
}

[[noreturn]] void fail(int error) { throw std::system_error(error, std::generic_category()); }

void writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            fail(count < 0 ? errno : ENOSPC);
        written += static_cast<std::size_t>(count);
    }
}

// Writes a temporary file beside path and renames it over path; throws
// std::system_error, leaving nothing behind, when it cannot.
void replaceAtomically(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const Descriptor file(mkstemp(temporary.data()));
    if (file.get() < 0)
        fail(errno);
    try {
        writeAll(file.get(), text);
        if (fsync(file.get()) != 0 || fchmod(file.get(), 0644) != 0 ||
            std::rename(temporary.c_str(), path.c_str()) != 0)
            fail(errno);
    } catch (const std::system_error&) {
        unlink(temporary.c_str());
        throw;
    }
}

long long now() {
    timespec time;
    clock_gettime(CLOCK_REALTIME, &time);
    return time.tv_sec * NANOSECONDS_PER_SECOND + time.tv_nsec;
}

// The time in a request stamp; nothing for a stamp that is not a time of
// this clock: text that is no number, or one before 1970 or more than a day
// ahead (a clock set back by less is still waited for).
std::optional<long long> stampOf(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long long stamp = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || (*end != '\n' && *end != '\0') || stamp < 0 ||
        stamp > now() + SECONDS_PER_DAY * NANOSECONDS_PER_SECOND)
        return std::nullopt;
    return stamp;
}

// A time in the future (a clock set back) waits no longer than a second.
void waitUntilSecondAfter(long long last) {
    const long long wait = std::min(last + NANOSECONDS_PER_SECOND - now(), NANOSECONDS_PER_SECOND);
    if (wait > 0) {
        timespec left{static_cast<time_t>(wait / NANOSECONDS_PER_SECOND),
                      static_cast<long>(wait % NANOSECONDS_PER_SECOND)};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }
}

} // namespace

AnswerCache::AnswerCache(const NoteSink& notes) : base(cacheBase()), notes(notes) {}

std::string AnswerCache::pathOf(const std::string& name) const { return base + "/musicbrainz/" + name; }

std::optional<StoredAnswer> AnswerCache::load(const std::string& name) const {
    if (base.empty())
        return std::nullopt;
    std::ifstream file(pathOf(name), std::ios::binary);
    struct stat info;
    if (!file || stat(pathOf(name).c_str(), &info) != 0)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    const long long age = std::max<long long>(0, now() / NANOSECONDS_PER_SECOND - info.st_mtime);
    return StoredAnswer{text.str(), age / SECONDS_PER_DAY};
}

void AnswerCache::remove(const std::string& name) const {
    if (!base.empty())
        unlink(pathOf(name).c_str());
}

void AnswerCache::store(const std::string& name, const std::string& answer) const {
    if (base.empty())
        return;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(pathOf(name)).parent_path(), ignored);
    try {
        replaceAtomically(pathOf(name), answer);
    } catch (const std::system_error& error) {
        notes("Vantrel: Warning: cannot store the MusicBrainz answer in " + pathOf(name) + ": " +
              std::strerror(error.code().value()));
    }
}

// The time of the last request, in nanoseconds, is the text of a small file
// beside the cache, locked while it is read and renewed. Without a cache
// folder only this run's own requests are kept apart.
void AnswerCache::waitForTurn() const {
    static long long lastInThisRun = 0;
    if (base.empty()) {
        waitUntilSecondAfter(lastInThisRun);
        lastInThisRun = now();
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    const std::string path = base + "/musicbrainz-last-request";
    const Descriptor file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (file.get() < 0 || flock(file.get(), LOCK_EX) != 0)
        return;
    char text[32] = "";
    const ssize_t length = pread(file.get(), text, sizeof text - 1, 0);
    waitUntilSecondAfter(length > 0 ? stampOf(text).value_or(0) : 0);
    const std::string stamp = std::to_string(now()) + "\n";
    if (ftruncate(file.get(), 0) != 0 || pwrite(file.get(), stamp.data(), stamp.size(), 0) < 0)
        notes("Vantrel: Warning: cannot record the request time in " + path);
}

} // namespace Vantrel
