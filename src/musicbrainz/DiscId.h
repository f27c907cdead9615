#ifndef VANTREL_MUSICBRAINZ_DISCID_H
#define VANTREL_MUSICBRAINZ_DISCID_H

#include <string>

#include "disc/TableOfContents.h"

namespace Vantrel {

// A disc's identity as MusicBrainz takes it.
struct MusicBrainzDiscId {
    std::string id;
    // "1+N+leadout+offset1+...+offsetN", ready for a query string.
    std::string toc;
};

// Of the audio tracks: a data track after them is left out, as MusicBrainz
// counts only the audio session. Throws MusicBrainzQueryException when no
// disc has that layout.
MusicBrainzDiscId musicBrainzDiscIdOf(const TableOfContents& toc);

} // namespace Vantrel

#endif
