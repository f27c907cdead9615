#ifndef VANTREL_FILES_TAGS_RELEASEFIELDS_H
#define VANTREL_FILES_TAGS_RELEASEFIELDS_H

#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/tfile.h>
#include <taglib/tstring.h>

#include <string>
#include <vector>

#include "disc/Disc.h"

namespace Vantrel {

// The identity fields (a release's MusicBrainz identifiers) and the
// descriptive ones (disc number, dates, label and the like) beside the usual
// title, artist, album, genre, year and track number.
enum class FieldSet { IDENTITY, DESCRIPTION };

// One field under the names that MusicBrainz taggers write in each format.
// A null name: the format has no place for the field, which is left out.
struct Field {
    FieldSet set;
    // A number with its total ("2/3"): the Vorbis key takes the number only,
    // the totals having keys of their own.
    bool numberPair;
    const char* vorbis[2]; // one or two keys; also the generic property names
    const char* id3;       // a frame ID, "TXXX:description" or "UFID" (the recording)
    const char* mp4;       // an atom, or "----:com.apple.iTunes:name"
    const char* ape;
    const char* asf;
};

// One field's new content: texts, or a number and its total (0: none).
// Nothing at all removes the field.
struct FieldValue {
    const Field* field = nullptr;
    std::vector<std::string> texts;
    unsigned int number = 0;
    unsigned int total = 0;

    bool empty() const { return texts.empty() && number == 0; }
    // "n/N", or "n" without a total.
    std::string pairText() const;
};

// The fields that writing this disc's track replaces. A disc from
// MusicBrainz replaces every field with the release's value, removing those
// it has no value for; a CDDB disc, which knows none of them, removes the
// identity fields and leaves the descriptive ones as they are.
std::vector<FieldValue> releaseFieldsOf(const Disc& disc, const Track& track);

// True when name (a Vorbis key, ID3v2 TXXX description, freeform MP4 name,
// APE key or ASF attribute name) names the field under any format's name,
// whatever its letter case and spaces, underscores or slashes.
bool isNameOf(const Field& field, const TagLib::String& name);

// True for an ID3v2 frame that holds a descriptive field.
bool holdsDescription(const TagLib::ID3v2::Frame& frame);

// The ID3v2 tag of a file that keeps its fields there (MP3, WAV, AIFF, TTA),
// made when it has none; null for other files.
TagLib::ID3v2::Tag* id3v2TagOf(TagLib::File& file);

// Writes releaseFieldsOf(disc, track) into the file's tag (in memory).
void writeReleaseFields(const Disc& disc, const Track& track, TagLib::File& file);

} // namespace Vantrel

#endif
