#include "musicbrainz/DiscId.h"

#include <discid/discid.h>

#include <algorithm>
#include <memory>

#include "musicbrainz/MusicBrainzQueryException.h"

namespace Vantrel {

namespace {

struct DiscIdDeleter {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

} // namespace

MusicBrainzDiscId musicBrainzDiscIdOf(const TableOfContents& toc) {
    const std::string failure = "Cannot compute a MusicBrainz disc ID: ";
    const std::vector<int>& offsets = toc.frameOffsets;
    if (offsets.empty() || offsets.size() > MAX_TRACKS)
        throw MusicBrainzQueryException(failure + "a disc has 1 to 99 tracks");
    std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc)
        throw MusicBrainzQueryException(failure + "out of memory");
    // libdiscid's layout: the lead-out first, then tracks 1 to 99.
    int frames[MAX_TRACKS + 1] = {toc.leadOut};
    std::copy(offsets.begin(), offsets.end(), frames + 1);
    if (discid_put(disc.get(), 1, static_cast<int>(offsets.size()), frames) == 0)
        throw MusicBrainzQueryException(failure + discid_get_error_msg(disc.get()));
    MusicBrainzDiscId result{discid_get_id(disc.get()), discid_get_toc_string(disc.get())};
    std::replace(result.toc.begin(), result.toc.end(), ' ', '+');
    return result;
}

} // namespace Vantrel
