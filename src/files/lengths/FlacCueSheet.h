#ifndef VANTREL_FILES_LENGTHS_FLACCUESHEET_H
#define VANTREL_FILES_LENGTHS_FLACCUESHEET_H

#include <optional>
#include <string>

#include "disc/TableOfContents.h"

namespace Vantrel {

// The disc that the CUESHEET block of the FLAC file at `path` describes,
// or nothing when it has none, or one of no CD.
std::optional<TrackLayout> flacCueSheetOf(const std::string& path);

} // namespace Vantrel

#endif
