#include "files/saving/SaveCheck.h"

#include <map>
#include <set>
#include <typeinfo>

#include <taglib/aiffproperties.h>
#include <taglib/apeproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacproperties.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudioproperties.h>
#include <taglib/wavpackproperties.h>
#include <taglib/wavproperties.h>

#include "files/saving/AudioBytes.h"

namespace Vantrel {

namespace {

// The samples a lossless or frame-counted format states exactly; 0 for
// formats that give only a playing time.
unsigned long long sampleFramesOf(const TagLib::AudioProperties* properties) {
    if (const auto* flac = dynamic_cast<const TagLib::FLAC::Properties*>(properties))
        return flac->sampleFrames();
    if (const auto* wav = dynamic_cast<const TagLib::RIFF::WAV::Properties*>(properties))
        return wav->sampleFrames();
    if (const auto* aiff = dynamic_cast<const TagLib::RIFF::AIFF::Properties*>(properties))
        return aiff->sampleFrames();
    if (const auto* wavPack = dynamic_cast<const TagLib::WavPack::Properties*>(properties))
        return wavPack->sampleFrames();
    if (const auto* ape = dynamic_cast<const TagLib::APE::Properties*>(properties))
        return ape->sampleFrames();
    if (const auto* trueAudio = dynamic_cast<const TagLib::TrueAudio::Properties*>(properties))
        return trueAudio->sampleFrames();
    return 0;
}

bool sameProperties(const AudioFingerprint& before, const AudioFingerprint& after) {
    return before.format == after.format && before.sampleRate == after.sampleRate && before.channels == after.channels &&
           before.lengthInMilliseconds == after.lengthInMilliseconds && before.sampleFrames == after.sampleFrames &&
           before.checksum == after.checksum;
}

// TagLib reads an ASF attribute's second and later values (which it keeps
// in the Metadata Library object) before its first one: the order of a
// field's values does not survive a save, so it is not compared.
std::map<TagLib::String, std::multiset<TagLib::String>> valuesOf(const TagLib::PropertyMap& properties) {
    std::map<TagLib::String, std::multiset<TagLib::String>> values;
    for (const auto& property : properties)
        values[property.first].insert(property.second.begin(), property.second.end());
    return values;
}

bool sameTags(TagLib::File& edited, TagLib::File& reread) {
    const TagLib::Tag* a = edited.tag();
    const TagLib::Tag* b = reread.tag();
    if (a == nullptr || b == nullptr)
        return a == b;
    return a->title() == b->title() && a->artist() == b->artist() && a->album() == b->album() &&
           a->comment() == b->comment() && a->genre() == b->genre() && a->year() == b->year() &&
           a->track() == b->track() && valuesOf(edited.properties()) == valuesOf(reread.properties());
}

} // namespace

AudioFingerprint fingerprintOf(TagLib::File& file) {
    AudioFingerprint fingerprint;
    fingerprint.format = typeid(file).name();
    if (const TagLib::AudioProperties* properties = file.audioProperties()) {
        fingerprint.sampleRate = properties->sampleRate();
        fingerprint.channels = properties->channels();
        fingerprint.lengthInMilliseconds = properties->lengthInMilliseconds();
        fingerprint.sampleFrames = sampleFramesOf(properties);
    }
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        if (flac->audioProperties() != nullptr) {
            const TagLib::ByteVector md5 = flac->audioProperties()->signature();
            fingerprint.checksum.assign(md5.data(), md5.size());
        }
    }
    return fingerprint;
}

void checkPrepared(TagLib::File& edited, OverlayStream& prepared, const AudioFingerprint& before,
                   OverlayStream& original) {
    prepared.seek(0);
    const TagLib::FileRef reread(&prepared, true, TagLib::AudioProperties::Average);
    if (reread.isNull() || !reread.file()->isValid())
        throw SaveCheckFailure("the tags as saved cannot be read back");
    if (!sameTags(edited, *reread.file()))
        throw SaveCheckFailure("the tags as saved do not read back as written");
    if (!sameProperties(before, fingerprintOf(*reread.file())))
        throw SaveCheckFailure("saving would change its audio properties");
    if (!sameAudioBytes(containerOf(*reread.file()), original, prepared))
        throw SaveCheckFailure("saving would change its audio");
}

} // namespace Vantrel
