#ifndef VANTREL_FILES_LENGTHS_MP4ATOMS_H
#define VANTREL_FILES_LENGTHS_MP4ATOMS_H

#include <taglib/tfile.h>

#include <optional>

namespace Vantrel {

// True when every atom of the MP4 file open on `descriptor` lies inside its
// parent and the file, walking the same containers that TagLib walks. TagLib
// reads a damaged file without complaint but writes it into a file that no
// longer plays, or runs out of memory on an absurd size.
bool mp4AtomsFit(int descriptor);

// What the atoms of an MP4 file say about the length of its first sound track.
struct Mp4SoundTrack {
    // The movie's time scale, in which edit lists count (mvhd).
    unsigned long long movieTimeScale = 0;
    // The track's own time scale and its media duration in it (mdhd); the
    // media duration includes the encoder's priming.
    unsigned long long mediaTimeScale = 0;
    unsigned long long mediaDuration = 0;
    // The track's single edit (edts/elst), when it has exactly one: its
    // playable length in the movie's time scale, and where in the media it
    // starts (the priming) in the track's time scale.
    bool edited = false;
    unsigned long long editDuration = 0;
    unsigned long long editMediaTime = 0;
};

// Reads the atoms moov/mvhd and moov/trak/{edts/elst, mdia/hdlr, mdia/mdhd}
// of the first track whose handler is "soun". Every size is checked against
// its parent atom and the file, nothing is read past either, and nothing is
// allocated from a size in the file. Nothing when they are missing or malformed.
std::optional<Mp4SoundTrack> readMp4SoundTrack(TagLib::File& file);

} // namespace Vantrel

#endif
