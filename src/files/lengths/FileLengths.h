#ifndef VANTREL_FILES_LENGTHS_FILELENGTHS_H
#define VANTREL_FILES_LENGTHS_FILELENGTHS_H

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

#include "disc/Duration.h"

namespace Vantrel {

// The file's audio properties; throws TagException when there are none.
const TagLib::AudioProperties& audioPropertiesOf(const TagLib::FileRef& fileRef);

// A file's playing time in samples at its own rate, read from its headers
// alone. When the headers keep no exact count, `samples` is an estimate
// that may be too long by up to `maxExcess` samples.
struct SampleCount {
    unsigned long long samples = 0;
    unsigned long long rate = 0;
    unsigned long long maxExcess = 0;
};

// Lossless formats count their samples; MP3 files their frames in a
// Xing/Info header with the encoder's delay and padding in its LAME
// extension, or an iTunSMPB comment; MP4 files an iTunSMPB item or an edit
// list; Ogg Vorbis and Opus the granule position of their last page. Other
// formats give TagLib's milliseconds. The file must have audio properties.
SampleCount sampleCountOf(const TagLib::FileRef& fileRef);

// The same as a duration; throws TagException when the file has no audio
// properties.
PlayingTime playingTimeOf(const TagLib::FileRef& fileRef);

} // namespace Vantrel

#endif
