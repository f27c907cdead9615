#ifndef VANTREL_LOOKUP_H
#define VANTREL_LOOKUP_H

#include <vector>

#include "cli/CommandLineArguments.h"
#include "disc/Disc.h"
#include "files/FileDisc.h"

// The discs that the database of the command line holds for its id
// arguments, or for the files' playing times (sequence), with its server,
// port and cache settings; empty when it knows none.
std::vector<Vantrel::Disc> lookUpDiscs(const Vantrel::CommandLineArguments& arguments, Vantrel::FileDisc& fileDisc);

#endif
