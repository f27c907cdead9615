#ifndef VANTREL_CDDB_DISCRECORD_H
#define VANTREL_CDDB_DISCRECORD_H

#include <cddb/cddb.h>

#include <string>

namespace Vantrel {

// A libcddb disc object as bytes and back, with everything that its
// readers return, so that an entry read in another process reads the same.
std::string encodeDisc(cddb_disc_t* disc);
// A new disc object that the caller destroys; null when `bytes` is malformed.
cddb_disc_t* decodeDisc(const std::string& bytes);

} // namespace Vantrel

#endif
