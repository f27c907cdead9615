#ifndef VANTREL_TOC_RIPLOGS_H
#define VANTREL_TOC_RIPLOGS_H

#include <optional>
#include <string>
#include <vector>

#include "disc/TableOfContents.h"

namespace Vantrel {

// Each gives the disc a ripper's log describes, or nothing when the lines
// are not a log of that kind, and throws TocSourceError when they are one
// whose table of contents cannot be read.

// The "TOC of the extracted CD" table (Track | Start | Length | Start sector
// | End sector) of the first three rippers, in any language; it is the
// same in a fourth's log, with a time stamp before each line.
std::optional<TrackLayout> tocTableLayoutOf(const std::vector<std::string>& lines);
// A YAML log that begins "Log created by: whipper".
std::optional<TrackLayout> whipperLayoutOf(const std::vector<std::string>& lines);
// A log that begins "cyanrip", with each track's start and end LSN.
std::optional<TrackLayout> cyanripLayoutOf(const std::vector<std::string>& lines);
// A log whose tracks are "Ripped LBA a to b", b being the next track's
// start. A data track after the audio is not listed; its AccurateRip disc
// ID tells that there is one, and where the disc ends.
std::optional<TrackLayout> dBpowerampLayoutOf(const std::vector<std::string>& lines);

} // namespace Vantrel

#endif
