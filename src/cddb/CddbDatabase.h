#ifndef VANTREL_CDDB_CDDBDATABASE_H
#define VANTREL_CDDB_CDDBDATABASE_H

#include <memory>
#include <string>

#include "cddb/ConnectionSettings.h"
#include "lookup/Database.h"

namespace Vantrel {

// A disc ID as typed: hexadecimal, read like strtoll, cut to 32 bits.
unsigned int cddbDiscIdOf(const std::string& text);

// A CDDB server (or only its local cache) as a database of discs. A lookup
// that does not finish in 60 s, or grows beyond any real answer, is given
// up with CDDBQueryException.
std::unique_ptr<Database> openCddb(const CddbSettings& settings, const NoteSink& notes);

} // namespace Vantrel

#endif
