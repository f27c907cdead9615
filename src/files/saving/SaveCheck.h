#ifndef VANTREL_FILES_SAVING_SAVECHECK_H
#define VANTREL_FILES_SAVING_SAVECHECK_H

#include <taglib/tfile.h>

#include "files/saving/OverlayStream.h"

#include <stdexcept>
#include <string>

namespace Vantrel {

// What a tag save must leave as it was: the audio of one file.
struct AudioFingerprint {
    std::string format;
    int sampleRate = 0;
    int channels = 0;
    int lengthInMilliseconds = 0;
    // Exact counts and checksums where the format gives them, else 0 or empty.
    unsigned long long sampleFrames = 0;
    std::string checksum;
};

AudioFingerprint fingerprintOf(TagLib::File& file);

// What a saved copy was found to lack.
class SaveCheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks that a fresh reading of the prepared file finds the tags of
// `edited`, the audio that `before` describes and the audio bytes of the
// file as it is (`original`); throws SaveCheckFailure with what differs.
void checkPrepared(TagLib::File& edited, OverlayStream& prepared, const AudioFingerprint& before,
                   OverlayStream& original);

} // namespace Vantrel

#endif
