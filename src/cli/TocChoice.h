#ifndef VANTREL_CLI_TOCCHOICE_H
#define VANTREL_CLI_TOCCHOICE_H

#include <optional>
#include <string>

#include "disc/TableOfContents.h"
#include "files/FileDisc.h"

namespace Vantrel {

// The disc's exact table of contents for `sequence`: from the rip log or CUE
// sheet given with -t; without one, from the rip logs and CUE sheets beside
// `firstFile` and the first FLAC file's CUESHEET block that describe
// these files, when they all give the same. Nothing when none does: the
// files' lengths are to be used. The source used, or the sources of other
// discs when none is, are named on standard error. Throws
// std::runtime_error when the file given with -t cannot be read or describes
// another disc.
std::optional<TableOfContents> tableOfContentsFromSources(const std::optional<std::string>& tocFile,
                                                          const std::string& firstFile, const FileDisc& files);

} // namespace Vantrel

#endif
