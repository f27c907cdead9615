#ifndef VANTREL_LOOKUP_H
#define VANTREL_LOOKUP_H

#include <vector>

#include "cli/CommandLineArguments.h"
#include "disc/Disc.h"
#include "files/FileDisc.h"

// The discs that MusicBrainz holds for the command line's id arguments, or
// for the files' table of contents (sequence), with its server, port and
// cache settings; empty when it knows none.
std::vector<Vantrel::Disc> lookUpMusicBrainz(const Vantrel::CommandLineArguments& arguments,
                                             Vantrel::FileDisc& fileDisc);

#endif
