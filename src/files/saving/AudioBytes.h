#ifndef VANTREL_FILES_SAVING_AUDIOBYTES_H
#define VANTREL_FILES_SAVING_AUDIOBYTES_H

#include <taglib/tfile.h>

#include <optional>
#include <string>
#include <vector>

#include "files/saving/OverlayStream.h"

namespace Vantrel {

// The containers whose audio bytes a save is checked against.
enum class Container { MPEG, FLAC, WAV, AIFF, MP4, OGG, OTHER };

Container containerOf(const TagLib::File& file);

// Where the encoded audio of a file lies, found from its bytes alone, not
// from the audio library's reading of them: it is the audio library's save
// that is being checked.
struct AudioSpan {
    long begin = 0;
    long end = 0;
};

// The audio spans of `file` in its container, in order; nothing when the
// bytes are not laid out as the container requires. An Ogg file's audio
// pages are each a span; other containers have one span, or one per MP4
// `mdat` atom. Empty for OTHER.
std::optional<std::vector<AudioSpan>> audioSpansOf(Container container, OverlayStream& file);

// Why a file cannot be saved soundly, checked before anything is prepared:
// a WAV or AIFF whose sound data declares no size, or more than the file
// holds, would get its new tags played as sound.
std::optional<std::string> unsoundToSave(Container container, OverlayStream& file);

// True when `after` holds exactly the audio bytes of `before`, wherever
// they lie now. An Ogg page may be renumbered (its sequence number and
// checksum change); everything else in it must be the same.
bool sameAudioBytes(Container container, OverlayStream& before, OverlayStream& after);

} // namespace Vantrel

#endif
