#include "musicbrainz/CoverArt.h"

#include "musicbrainz/AnswerCache.h"
#include "musicbrainz/MusicBrainzQuery.h"
#include "musicbrainz/MusicBrainzQueryException.h"
#include "musicbrainz/Requests.h"

namespace Vantrel {

namespace {

const char* const COVER_ART_ARCHIVE = "coverartarchive.org";
const std::size_t MAX_COVER_BYTES = 10 * 1024 * 1024;
const char* const WITHOUT_ONE = "; the files are tagged without one";

// The cover's server: the Cover Art Archive, unless a server was named.
MusicBrainzSettings coverServer(const MusicBrainzSettings& settings) {
    MusicBrainzSettings server = settings;
    if (settings.server.empty() && settings.port == 0)
        server.server = COVER_ART_ARCHIVE;
    return server;
}

// JPEG and PNG are what every tag format's pictures hold.
std::optional<std::string> mimeTypeOf(const std::string& data) {
    if (data.compare(0, 3, "\xFF\xD8\xFF") == 0)
        return "image/jpeg";
    if (data.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0)
        return "image/png";
    return std::nullopt;
}

std::optional<std::string> coverBytes(const std::string& releaseId, const MusicBrainzSettings& settings,
                                      const NoteSink& notes) {
    const AnswerCache cache(notes);
    const std::string path = "/release/" + releaseId + "/front-1200";
    const std::string name = cacheFolderOf(settings) + "cover-" + releaseId + "-front-1200";
    const std::optional<StoredAnswer> stored = settings.cacheMode == CACHE_MODE_OFF ? std::nullopt : cache.load(name);
    if (stored && (settings.cacheMode == CACHE_MODE_ONLY || !stored->expired()))
        return stored->text;
    if (settings.cacheMode == CACHE_MODE_ONLY)
        return std::nullopt;
    const std::optional<std::string> data =
        fetchFollowing(serverAddress(settings) + path, cache, "The Cover Art Archive", MAX_COVER_BYTES);
    // What is no image (an error page sent as 200, say) is not kept.
    if (data && settings.cacheMode == CACHE_MODE_ON && mimeTypeOf(*data))
        cache.store(name, *data);
    return data;
}

} // namespace

std::optional<Picture> frontCoverOf(const std::string& releaseId, const MusicBrainzSettings& settings,
                                    const NoteSink& notes) {
    // The identifier came from an answer: it names a path and a file only
    // when it is one.
    if (!isReleaseId(releaseId)) {
        notes("Vantrel: the release's identifier is not one to ask its front cover by" + std::string(WITHOUT_ONE));
        return std::nullopt;
    }
    std::optional<std::string> data;
    try {
        data = coverBytes(releaseId, coverServer(settings), notes);
    } catch (const AnswerTooLarge&) {
        notes(std::string("Vantrel: the release's front cover is over 10 MB") + WITHOUT_ONE);
        return std::nullopt;
    } catch (const MusicBrainzQueryException& error) {
        notes(std::string("Vantrel: cannot fetch the release's front cover (") + error.what() + ")" + WITHOUT_ONE);
        return std::nullopt;
    }
    if (!data) {
        // Only covers that were found are kept, so -c only cannot tell.
        const bool cacheOnly = settings.cacheMode == CACHE_MODE_ONLY;
        notes(std::string(cacheOnly ? "Vantrel: the release's front cover is not in the cache"
                                    : "Vantrel: the release has no front cover") +
              WITHOUT_ONE);
        return std::nullopt;
    }
    const std::optional<std::string> mimeType = mimeTypeOf(*data);
    if (!mimeType) {
        notes(std::string("Vantrel: the release's front cover is not a JPEG or PNG image") + WITHOUT_ONE);
        return std::nullopt;
    }
    return Picture{*mimeType, *data};
}

} // namespace Vantrel
