#include "files/saving/SaveCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <typeinfo>
#include <vector>

#include <taglib/aiffproperties.h>
#include <taglib/apeproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacproperties.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegheader.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudioproperties.h>
#include <taglib/wavpackproperties.h>
#include <taglib/wavproperties.h>

#include "files/saving/DescriptorStream.h"

namespace Vantrel {

namespace {

const std::size_t COMPARE_CHUNK = 1 << 20;

bool readExactly(int descriptor, unsigned char* buffer, std::size_t size, long offset) {
    return pread(descriptor, buffer, size, offset) == static_cast<ssize_t>(size);
}

long fileSize(int descriptor) {
    struct stat info;
    return fstat(descriptor, &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

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

// FLAC frames start after the last metadata block (and an ID3v2 tag before
// "fLaC", which TagLib allows) and end at the file's end or an ID3v1 tag.
void findFlacFrames(int descriptor, AudioFingerprint& fingerprint) {
    unsigned char header[10];
    long offset = 0;
    if (readExactly(descriptor, header, 10, 0) && std::memcmp(header, "ID3", 3) == 0) {
        offset = 10 + ((header[6] & 0x7f) << 21 | (header[7] & 0x7f) << 14 | (header[8] & 0x7f) << 7 | (header[9] & 0x7f));
        offset += (header[5] & 0x10) != 0 ? 10 : 0;
    }
    if (!readExactly(descriptor, header, 4, offset) || std::memcmp(header, "fLaC", 4) != 0)
        return;
    offset += 4;
    for (bool last = false; !last; offset += 4 + (header[1] << 16 | header[2] << 8 | header[3])) {
        if (!readExactly(descriptor, header, 4, offset))
            return;
        last = (header[0] & 0x80) != 0;
    }
    long end = fileSize(descriptor);
    if (end - 128 >= offset && readExactly(descriptor, header, 3, end - 128) && std::memcmp(header, "TAG", 3) == 0)
        end -= 128;
    fingerprint.audioBegin = offset;
    fingerprint.audioEnd = end;
}

// MPEG frames as TagLib finds them between the tags.
void findMpegFrames(TagLib::MPEG::File& file, AudioFingerprint& fingerprint) {
    const long first = file.firstFrameOffset();
    const long last = file.lastFrameOffset();
    if (first < 0 || last < first)
        return;
    const TagLib::MPEG::Header lastHeader(&file, last, false);
    if (!lastHeader.isValid())
        return;
    fingerprint.audioBegin = first;
    fingerprint.audioEnd = last + lastHeader.frameLength();
}

bool sameBytes(int first, long firstBegin, int second, long secondBegin, long length) {
    std::vector<unsigned char> a(COMPARE_CHUNK), b(COMPARE_CHUNK);
    for (long done = 0; done < length;) {
        const std::size_t size = static_cast<std::size_t>(std::min<long>(COMPARE_CHUNK, length - done));
        if (!readExactly(first, a.data(), size, firstBegin + done) ||
            !readExactly(second, b.data(), size, secondBegin + done) || std::memcmp(a.data(), b.data(), size) != 0)
            return false;
        done += static_cast<long>(size);
    }
    return true;
}

bool sameAudio(const AudioFingerprint& before, int originalDescriptor, const AudioFingerprint& after,
               int copyDescriptor, bool audioRewritten) {
    if (before.format != after.format || before.sampleRate != after.sampleRate || before.channels != after.channels ||
        before.lengthInMilliseconds != after.lengthInMilliseconds || before.sampleFrames != after.sampleFrames ||
        before.checksum != after.checksum || (before.audioBegin < 0) != (after.audioBegin < 0))
        return false;
    if (before.audioBegin < 0)
        return true;
    const long length = before.audioEnd - before.audioBegin;
    if (!audioRewritten)
        return before.audioBegin == after.audioBegin && before.audioEnd == after.audioEnd;
    return length == after.audioEnd - after.audioBegin &&
           sameBytes(originalDescriptor, before.audioBegin, copyDescriptor, after.audioBegin, length);
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

AudioFingerprint fingerprintOf(TagLib::File& file, int descriptor) {
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
        findFlacFrames(descriptor, fingerprint);
    } else if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file)) {
        findMpegFrames(*mpeg, fingerprint);
    }
    return fingerprint;
}

void checkSavedCopy(TagLib::File& edited, int copyDescriptor, const std::string& name,
                    const AudioFingerprint& before, int originalDescriptor, bool audioRewritten) {
    DescriptorStream stream(copyDescriptor, name);
    const TagLib::FileRef reread(&stream, true, TagLib::AudioProperties::Average);
    if (reread.isNull() || !reread.file()->isValid())
        throw SaveCheckFailure("the saved copy cannot be read back");
    if (!sameTags(edited, *reread.file()))
        throw SaveCheckFailure("the saved copy does not read back the tags written");
    if (!sameAudio(before, originalDescriptor, fingerprintOf(*reread.file(), copyDescriptor), copyDescriptor,
                   audioRewritten))
        throw SaveCheckFailure("the saved copy's audio differs from the original's");
}

} // namespace Vantrel
