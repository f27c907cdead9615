#ifndef VANTREL_FILES_SAVING_SAVECHECK_H
#define VANTREL_FILES_SAVING_SAVECHECK_H

#include <taglib/tfile.h>

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
    // Where the encoded audio lies in the file (FLAC and MP3), else both -1.
    long audioBegin = -1;
    long audioEnd = -1;
};

// The fingerprint of `file`, parsed from the file open on `descriptor`.
AudioFingerprint fingerprintOf(TagLib::File& file, int descriptor);

// What a saved copy was found to lack.
class SaveCheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks that a fresh reading of the saved copy open on `copyDescriptor`
// finds the tags of `edited` and the audio that `before` describes in the
// original open on `originalDescriptor`; throws SaveCheckFailure with what
// differs. The audio bytes are compared only when the save wrote over them
// (`audioRewritten`): the copy's own are the original's otherwise.
void checkSavedCopy(TagLib::File& edited, int copyDescriptor, const std::string& name,
                    const AudioFingerprint& before, int originalDescriptor, bool audioRewritten);

} // namespace Vantrel

#endif
