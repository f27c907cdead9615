#ifndef VANTREL_FILES_TAGS_FRONTCOVER_H
#define VANTREL_FILES_TAGS_FRONTCOVER_H

#include <taglib/tfile.h>

#include "disc/Disc.h"

namespace Vantrel {

// Embeds the picture as the file's front cover unless the file has one:
// a FLAC picture, an ID3v2 APIC frame or a Vorbis comment picture of the
// front-cover type, or any MP4 cover. A picture already there is never
// replaced; formats without pictures are left as they are.
void addFrontCover(TagLib::File& file, const Picture& picture);

} // namespace Vantrel

#endif
