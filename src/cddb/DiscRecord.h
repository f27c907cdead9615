#ifndef VANTREL_CDDB_DISCRECORD_H
#define VANTREL_CDDB_DISCRECORD_H

#include <string>

#include "disc/Disc.h"

namespace Vantrel {

// A CDDB disc record as bytes and back, with every field a CDDB entry
// fills, so that an entry read in another process reads the same.
std::string encodeDisc(const Disc& disc);
// Throws CDDBQueryException when `bytes` are malformed.
Disc decodeDisc(const std::string& bytes);

} // namespace Vantrel

#endif
