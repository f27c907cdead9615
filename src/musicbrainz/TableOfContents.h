#ifndef VANTREL_MUSICBRAINZ_TABLEOFCONTENTS_H
#define VANTREL_MUSICBRAINZ_TABLEOFCONTENTS_H

#include <string>
#include <vector>

namespace Vantrel {

// A disc's table of contents as MusicBrainz takes it.
struct TableOfContents {
    std::string discId;
    // "1+N+leadout+offset1+...+offsetN", ready for a query string.
    std::string toc;
};

// From the tracks' start frames and the lead-out frame (lead-in included);
// throws MusicBrainzQueryException when no disc has that layout.
TableOfContents tableOfContents(const std::vector<int>& offsets, int leadOut);

} // namespace Vantrel

#endif
