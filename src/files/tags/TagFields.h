#ifndef VANTREL_FILES_TAGS_TAGFIELDS_H
#define VANTREL_FILES_TAGS_TAGFIELDS_H

#include <taglib/tfile.h>
#include <taglib/tstring.h>

#include <string>

#include "disc/Disc.h"

namespace Vantrel {

// The text of a tag, read as UTF-8.
TagLib::String toUTF8String(const std::string& s);

// Removes an MPEG file's tags, all but its pictures, lyrics, ReplayGain
// values and descriptive fields (disc number, label and the like), and
// leaves an ID3v2 tag to write into. Other files stay as they are.
void stripTag(TagLib::File& file);

// Writes one track of a disc into the file's tag (in memory; the caller
// saves): the generic fields, the album artist, and the identity and
// descriptive fields (see releaseFieldsOf). Throws TagException when the
// file has no tag.
void setTag(const Disc& disc, const Track& track, TagLib::File& file);

} // namespace Vantrel

#endif
