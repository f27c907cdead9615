#ifndef VANTREL_TOC_TOCSOURCES_H
#define VANTREL_TOC_TOCSOURCES_H

#include <string>
#include <vector>

#include "disc/Duration.h"
#include "disc/TableOfContents.h"
#include "toc/CueSheet.h"
#include "toc/TocSourceError.h"

namespace Vantrel {

// The exact table of contents of a disc whose tracks are laid out so: its
// audio tracks, and a data track after them (enhanced CD), whose audio
// session ends SESSION_GAP_FRAMES before the data track starts. Throws
// AnotherDiscError for a data track before the audio (mixed-mode CD), and
// TocSourceError for any other layout no CD has.
TableOfContents tableOfContentsOf(const TrackLayout& layout);

// The table of contents a rip log or CUE sheet gives, told apart by content,
// not by name. Throws TocSourceError (or AnotherDiscError) saying why when
// there is none.
TableOfContents readTocSource(const std::string& path, const FileLengths& lengths);

// The rip logs (*.log), then the CUE sheets (*.cue), in the folder of
// `file`, each kind by name, as paths beside `file`.
std::vector<std::string> tocSourcesBeside(const std::string& file);

// True when the table of contents can be that of these files: one audio
// track for each, and each within MAX_PREGAP_DIFFERENCE of its file's
// length (a ripper may have put a pregap into the next track's file).
bool describesFiles(const TableOfContents& toc, const std::vector<PlayingTime>& files);
const Duration MAX_PREGAP_DIFFERENCE = Duration::of(3, 1);

// True when two tables of contents describe one disc: the same audio tracks,
// and no two different data tracks (a CUE sheet often leaves it out).
bool sameDisc(const TableOfContents& one, const TableOfContents& other);

} // namespace Vantrel

#endif
