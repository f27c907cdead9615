#ifndef VANTREL_FILES_SAVING_AUDIOINPLACE_H
#define VANTREL_FILES_SAVING_AUDIOINPLACE_H

#include <optional>

#include "files/saving/AudioBytes.h"
#include "files/saving/OverlayStream.h"

namespace Vantrel {

// The prepared file laid out so that its audio stays where it is in the
// file on disk: the new tags go into the space the old tags and their
// padding took, padded to fill it (a FLAC padding block, ID3v2 padding).
// Nothing when they do not fit, or the container has no such space.
// `oldAudio` and `newAudio` are the one audio span of the old file and of
// `prepared`, which holds the same audio bytes.
std::optional<Layout> keepAudioInPlace(Container container, OverlayStream& prepared, const AudioSpan& oldAudio,
                                       const AudioSpan& newAudio);

} // namespace Vantrel

#endif
