#ifndef VANTREL_SEARCH_H
#define VANTREL_SEARCH_H

#include <cstddef>
#include <memory>
#include <ostream>

#include "cddb/CDDBQuery.h"
#include "cli/CommandLineArguments.h"
#include "files/FileDisc.h"

// Extra CDDB lookups, at most, when files of estimated length find nothing.
const std::size_t MAX_NEARBY_LOOKUPS = 16;

// Looks the disc up in CDDB by the offsets the files give. When that finds
// nothing and some lengths were estimates, tries the nearby layouts those
// estimates allow, nearest first, until one finds discs (then says so on
// `notes`) or MAX_NEARBY_LOOKUPS have been made. Lookups that may reach a
// server start at least a second apart. Returns the last query made.
std::unique_ptr<Vantrel::CDDBQuery> lookUpByLengths(const Vantrel::CommandLineArguments& arguments,
                                                    const Vantrel::Offsets& offsets, std::ostream& notes);

#endif
