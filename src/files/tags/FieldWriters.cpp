#include "files/tags/FieldWriters.h"

#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>

#include <memory>
#include <string>

#include "files/tags/TagFields.h"

namespace Vantrel {

namespace {

const char* const UFID_OWNER = "http://musicbrainz.org";
const char* const USER_TEXT = "TXXX:";
const char* const FREEFORM = "----:";

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

TagLib::StringList stringsOf(const std::vector<std::string>& texts) {
    TagLib::StringList list;
    for (const std::string& text : texts)
        list.append(toUTF8String(text));
    return list;
}

// The field's texts; a number with its total as one text, "2/3".
TagLib::StringList textsOf(const FieldValue& value) {
    return value.field->numberPair ? TagLib::StringList(toUTF8String(value.pairText())) : stringsOf(value.texts);
}

// The field's texts under its Vorbis keys: a number without its total,
// which has keys of its own.
TagLib::StringList vorbisTextsOf(const FieldValue& value) {
    return value.field->numberPair ? TagLib::StringList(TagLib::String::number(static_cast<int>(value.number)))
                                   : stringsOf(value.texts);
}

// Removes each entry of a map keyed by names that names the field.
template <typename Map, typename Remove>
void removeNamed(const Map& items, const Field& field, Remove remove) {
    std::vector<TagLib::String> named;
    for (const auto& item : items)
        if (isNameOf(field, item.first))
            named.push_back(item.first);
    for (const TagLib::String& key : named)
        remove(key);
}

// Removes the frames of one kind that the predicate names.
template <typename Frame, typename Predicate>
void removeFrames(TagLib::ID3v2::Tag& tag, const char* frameId, Predicate names) {
    const TagLib::ID3v2::FrameList frames = tag.frameList(frameId);
    for (TagLib::ID3v2::Frame* frame : frames) {
        const auto* specific = dynamic_cast<const Frame*>(frame);
        if (specific != nullptr && names(*specific))
            tag.removeFrame(frame);
    }
}

void removeFromId3(TagLib::ID3v2::Tag& tag, const Field& field) {
    removeFrames<TagLib::ID3v2::UserTextIdentificationFrame>(
        tag, "TXXX", [&](const auto& frame) { return isNameOf(field, frame.description()); });
    if (field.id3 == nullptr)
        return;
    const std::string id = field.id3;
    if (id == "UFID") {
        const TagLib::String owner = TagLib::String(UFID_OWNER).upper();
        removeFrames<TagLib::ID3v2::UniqueFileIdentifierFrame>(
            tag, "UFID", [&](const auto& frame) { return frame.owner().upper() == owner; });
    } else if (!startsWith(id, USER_TEXT)) {
        tag.removeFrames(id.c_str());
    }
}

std::unique_ptr<TagLib::ID3v2::Frame> id3FrameOf(const FieldValue& value) {
    const std::string id = value.field->id3;
    if (id == "UFID") {
        const std::string& recording = value.texts.front();
        return std::make_unique<TagLib::ID3v2::UniqueFileIdentifierFrame>(
            UFID_OWNER, TagLib::ByteVector(recording.data(), static_cast<unsigned int>(recording.size())));
    }
    if (startsWith(id, USER_TEXT)) {
        auto frame = std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(TagLib::String::UTF8);
        frame->setDescription(toUTF8String(id.substr(std::string(USER_TEXT).size())));
        frame->setText(textsOf(value));
        return frame;
    }
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(TagLib::ByteVector(id.c_str()),
                                                                          TagLib::String::UTF8);
    frame->setText(textsOf(value));
    return frame;
}

} // namespace

void writeFields(TagLib::Ogg::XiphComment& comment, const std::vector<FieldValue>& values) {
    for (const FieldValue& value : values) {
        removeNamed(comment.fieldListMap(), *value.field,
                    [&](const TagLib::String& key) { comment.removeFields(key); });
        if (value.empty())
            continue;
        const TagLib::StringList texts = vorbisTextsOf(value);
        for (const char* key : value.field->vorbis)
            for (const TagLib::String& text : texts)
                if (key != nullptr)
                    comment.addField(key, text, false);
    }
}

void writeFields(TagLib::ID3v2::Tag& tag, const std::vector<FieldValue>& values) {
    for (const FieldValue& value : values) {
        removeFromId3(tag, *value.field);
        if (!value.empty() && value.field->id3 != nullptr)
            tag.addFrame(id3FrameOf(value).release());
    }
}

// A freeform item goes by its own name, the part after "----:mean:".
void writeFields(TagLib::MP4::Tag& tag, const std::vector<FieldValue>& values) {
    for (const FieldValue& value : values) {
        const Field& field = *value.field;
        const TagLib::MP4::ItemMap items = tag.itemMap();
        for (const auto& item : items) {
            const TagLib::String& key = item.first;
            const bool named = key.startsWith(FREEFORM) ? isNameOf(field, key.substr(key.rfind(":") + 1))
                                                        : field.mp4 != nullptr && key == field.mp4;
            if (named)
                tag.removeItem(key);
        }
        if (value.empty() || field.mp4 == nullptr)
            continue;
        tag.setItem(field.mp4, field.numberPair ? TagLib::MP4::Item(static_cast<int>(value.number),
                                                                    static_cast<int>(value.total))
                                                : TagLib::MP4::Item(stringsOf(value.texts)));
    }
}

void writeFields(TagLib::APE::Tag& tag, const std::vector<FieldValue>& values) {
    for (const FieldValue& value : values) {
        removeNamed(tag.itemListMap(), *value.field, [&](const TagLib::String& key) { tag.removeItem(key); });
        if (!value.empty() && value.field->ape != nullptr)
            tag.setItem(value.field->ape, TagLib::APE::Item(value.field->ape, textsOf(value)));
    }
}

void writeFields(TagLib::ASF::Tag& tag, const std::vector<FieldValue>& values) {
    for (const FieldValue& value : values) {
        removeNamed(tag.attributeListMap(), *value.field, [&](const TagLib::String& key) { tag.removeItem(key); });
        if (value.empty() || value.field->asf == nullptr)
            continue;
        TagLib::ASF::AttributeList attributes;
        for (const TagLib::String& text : textsOf(value))
            attributes.append(TagLib::ASF::Attribute(text));
        tag.setAttribute(value.field->asf, attributes);
    }
}

void writeFieldsAsProperties(TagLib::File& file, const std::vector<FieldValue>& values) {
    TagLib::PropertyMap properties = file.properties();
    for (const FieldValue& value : values) {
        removeNamed(properties, *value.field, [&](const TagLib::String& key) { properties.erase(key); });
        if (value.empty())
            continue;
        for (const char* key : value.field->vorbis)
            if (key != nullptr)
                properties.replace(key, vorbisTextsOf(value));
    }
    file.setProperties(properties);
}

} // namespace Vantrel
