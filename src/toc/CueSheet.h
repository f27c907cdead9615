#ifndef VANTREL_TOC_CUESHEET_H
#define VANTREL_TOC_CUESHEET_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "disc/Duration.h"
#include "disc/TableOfContents.h"

namespace Vantrel {

// How long the audio files are that a CUE sheet's positions count from.
struct FileLengths {
    // The playing time of the audio file at a path, or nothing when there
    // is none there.
    std::function<std::optional<PlayingTime>(const std::string& path)> ofFile;
    // The files being tagged, in order.
    std::vector<PlayingTime> given;
};

// The disc a CUE sheet describes, or nothing when the lines are not one.
// Its files' lengths are those of the files it names, looked for beside it
// (in `folder`), when all are there; else those of the files given, one for
// one; else, for a sheet of one image file, the disc ends where the last
// track starts plus the last given file's length. Throws AnotherDiscError
// when none of these fits, TocSourceError when the sheet cannot be read.
std::optional<TrackLayout> cueSheetLayoutOf(const std::vector<std::string>& lines, const std::string& folder,
                                            const FileLengths& lengths);

} // namespace Vantrel

#endif
