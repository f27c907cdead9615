#ifndef VANTREL_FILES_TAGS_FIELDWRITERS_H
#define VANTREL_FILES_TAGS_FIELDWRITERS_H

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4tag.h>
#include <taglib/tfile.h>
#include <taglib/xiphcomment.h>

#include <vector>

#include "files/tags/ReleaseFields.h"

namespace Vantrel {

// Each writer first removes every item that holds one of the fields, under
// any of its names, then writes each field that has a value under the name
// of its format; a field the format has no name for is left out.
void writeFields(TagLib::Ogg::XiphComment& comment, const std::vector<FieldValue>& values);
void writeFields(TagLib::ID3v2::Tag& tag, const std::vector<FieldValue>& values);
void writeFields(TagLib::MP4::Tag& tag, const std::vector<FieldValue>& values);
void writeFields(TagLib::APE::Tag& tag, const std::vector<FieldValue>& values);
void writeFields(TagLib::ASF::Tag& tag, const std::vector<FieldValue>& values);
// Any other format, through TagLib's generic property names (the Vorbis
// keys); what the format cannot hold is dropped.
void writeFieldsAsProperties(TagLib::File& file, const std::vector<FieldValue>& values);

} // namespace Vantrel

#endif
