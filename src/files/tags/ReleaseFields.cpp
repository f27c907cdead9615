#include "files/tags/ReleaseFields.h"

#include <taglib/apefile.h>
#include <taglib/asftag.h>
#include <taglib/aifffile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <cctype>

#include "files/tags/FieldWriters.h"

namespace Vantrel {

namespace {

using S = FieldSet;

#define ITUNES "----:com.apple.iTunes:"
const Field ALBUM_ID{S::IDENTITY, false, {"MUSICBRAINZ_ALBUMID", nullptr}, "TXXX:MusicBrainz Album Id",
                     ITUNES "MusicBrainz Album Id", "Musicbrainz_Albumid", "MusicBrainz/Album Id"};
const Field RELEASE_TRACK_ID{S::IDENTITY, false, {"MUSICBRAINZ_RELEASETRACKID", nullptr},
                             "TXXX:MusicBrainz Release Track Id", ITUNES "MusicBrainz Release Track Id",
                             "musicbrainz_releasetrackid", "MusicBrainz/Release Track Id"};
const Field RECORDING_ID{S::IDENTITY, false, {"MUSICBRAINZ_TRACKID", nullptr}, "UFID", ITUNES "MusicBrainz Track Id",
                         "musicbrainz_trackid", "MusicBrainz/Track Id"};
const Field DISC_ID{S::IDENTITY, false, {"MUSICBRAINZ_DISCID", nullptr}, "TXXX:MusicBrainz Disc Id",
                    ITUNES "MusicBrainz Disc Id", "Musicbrainz_Discid", "MusicBrainz/Disc Id"};
const Field ARTIST_IDS{S::IDENTITY, false, {"MUSICBRAINZ_ARTISTID", nullptr}, "TXXX:MusicBrainz Artist Id",
                       ITUNES "MusicBrainz Artist Id", "Musicbrainz_Artistid", "MusicBrainz/Artist Id"};
const Field ALBUM_ARTIST_IDS{S::IDENTITY, false, {"MUSICBRAINZ_ALBUMARTISTID", nullptr},
                             "TXXX:MusicBrainz Album Artist Id", ITUNES "MusicBrainz Album Artist Id",
                             "Musicbrainz_Albumartistid", "MusicBrainz/Album Artist Id"};
const Field RELEASE_GROUP_ID{S::IDENTITY, false, {"MUSICBRAINZ_RELEASEGROUPID", nullptr},
                             "TXXX:MusicBrainz Release Group Id", ITUNES "MusicBrainz Release Group Id",
                             "Musicbrainz_Releasegroupid", "MusicBrainz/Release Group Id"};
const Field DISC{S::DESCRIPTION, true, {"DISCNUMBER", nullptr}, "TPOS", "disk", "Disc", "WM/PartOfSet"};
const Field DISC_TOTAL{S::DESCRIPTION, false, {"TOTALDISCS", "DISCTOTAL"}, nullptr, nullptr, nullptr, nullptr};
// The track number itself is one of the usual fields; ASF keeps no total.
const Field TRACK{S::DESCRIPTION, true, {nullptr, nullptr}, "TRCK", "trkn", "Track", nullptr};
const Field TRACK_TOTAL{S::DESCRIPTION, false, {"TOTALTRACKS", "TRACKTOTAL"}, nullptr, nullptr, nullptr, nullptr};
const Field DATE{S::DESCRIPTION, false, {"DATE", nullptr}, "TDRC", "\251day", "Year", "WM/Year"};
const Field ORIGINAL_DATE{S::DESCRIPTION, false, {"ORIGINALDATE", nullptr}, "TDOR", ITUNES "originaldate",
                          "Originaldate", "WM/OriginalReleaseTime"};
const Field ORIGINAL_YEAR{S::DESCRIPTION, false, {"ORIGINALYEAR", nullptr}, "TXXX:originalyear",
                          ITUNES "originalyear", "Originalyear", "WM/OriginalReleaseYear"};
const Field DISC_SUBTITLE{S::DESCRIPTION, false, {"DISCSUBTITLE", nullptr}, "TSST", ITUNES "DISCSUBTITLE",
                          "DiscSubtitle", "WM/SetSubTitle"};
const Field COUNTRY{S::DESCRIPTION, false, {"RELEASECOUNTRY", nullptr}, "TXXX:MusicBrainz Album Release Country",
                    ITUNES "MusicBrainz Album Release Country", "Releasecountry", "MusicBrainz/Album Release Country"};
const Field STATUS{S::DESCRIPTION, false, {"RELEASESTATUS", nullptr}, "TXXX:MusicBrainz Album Status",
                   ITUNES "MusicBrainz Album Status", "MUSICBRAINZ_ALBUMSTATUS", "MusicBrainz/Album Status"};
const Field TYPE{S::DESCRIPTION, false, {"RELEASETYPE", nullptr}, "TXXX:MusicBrainz Album Type",
                 ITUNES "MusicBrainz Album Type", "MUSICBRAINZ_ALBUMTYPE", "MusicBrainz/Album Type"};
const Field MEDIA{S::DESCRIPTION, false, {"MEDIA", nullptr}, "TMED", ITUNES "MEDIA", "Media", "WM/Media"};
const Field LABEL{S::DESCRIPTION, false, {"LABEL", nullptr}, "TPUB", ITUNES "LABEL", "Label", "WM/Publisher"};
const Field CATALOG_NUMBER{S::DESCRIPTION, false, {"CATALOGNUMBER", nullptr}, "TXXX:CATALOGNUMBER",
                           ITUNES "CATALOGNUMBER", "CatalogNumber", "WM/CatalogNo"};
const Field BARCODE{S::DESCRIPTION, false, {"BARCODE", nullptr}, "TXXX:BARCODE", ITUNES "BARCODE", "Barcode",
                    "WM/Barcode"};
#undef ITUNES

const Field* const FIELDS[] = {&ALBUM_ID, &RELEASE_TRACK_ID, &RECORDING_ID, &DISC_ID, &ARTIST_IDS, &ALBUM_ARTIST_IDS,
                               &RELEASE_GROUP_ID, &DISC, &DISC_TOTAL, &TRACK, &TRACK_TOTAL, &DATE, &ORIGINAL_DATE,
                               &ORIGINAL_YEAR, &DISC_SUBTITLE, &COUNTRY, &STATUS, &TYPE, &MEDIA, &LABEL,
                               &CATALOG_NUMBER, &BARCODE};

FieldValue texts(const Field& field, const std::vector<std::string>& values) {
    FieldValue value;
    value.field = &field;
    for (const std::string& text : values)
        if (!text.empty())
            value.texts.push_back(text);
    return value;
}

FieldValue pair(const Field& field, unsigned int number, unsigned int total) {
    FieldValue value;
    value.field = &field;
    value.number = number;
    value.total = number == 0 ? 0 : total;
    return value;
}

std::string countText(unsigned int count) { return count == 0 ? std::string() : std::to_string(count); }

// A name as compared: upper case, without spaces, underscores and slashes.
std::string comparable(const std::string& name) {
    std::string result;
    for (const unsigned char c : name)
        if (c != ' ' && c != '_' && c != '/')
            result += static_cast<char>(std::toupper(c));
    return result;
}

// The names of a field that are words (a TXXX description, a freeform item's
// name), not a format's own frame or atom.
std::vector<std::string> wordNamesOf(const Field& field) {
    std::vector<std::string> names;
    for (const char* key : field.vorbis)
        if (key != nullptr)
            names.emplace_back(key);
    const std::string id3 = field.id3 != nullptr ? field.id3 : "";
    const std::string mp4 = field.mp4 != nullptr ? field.mp4 : "";
    if (id3.rfind("TXXX:", 0) == 0)
        names.push_back(id3.substr(5));
    if (mp4.rfind("----:", 0) == 0)
        names.push_back(mp4.substr(mp4.rfind(':') + 1));
    for (const char* name : {field.ape, field.asf})
        if (name != nullptr)
            names.emplace_back(name);
    return names;
}

// A frame of the field's own, such as TPOS: neither a TXXX nor the UFID frame.
bool isOwnFrame(const char* id3) {
    const std::string id = id3 != nullptr ? id3 : "";
    return !id.empty() && id.rfind("TXXX:", 0) != 0 && id != "UFID";
}

// The tag a file keeps its APEv2 fields in, or null.
TagLib::APE::Tag* apeTagOf(TagLib::File& file) {
    if (auto* wavPack = dynamic_cast<TagLib::WavPack::File*>(&file))
        return wavPack->APETag(true);
    if (auto* musepack = dynamic_cast<TagLib::MPC::File*>(&file))
        return musepack->APETag(true);
    if (auto* monkeys = dynamic_cast<TagLib::APE::File*>(&file))
        return monkeys->APETag(true);
    return nullptr;
}

} // namespace

TagLib::ID3v2::Tag* id3v2TagOf(TagLib::File& file) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file))
        return mpeg->ID3v2Tag(true);
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file))
        return wav->ID3v2Tag();
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
        return aiff->tag();
    if (auto* trueAudio = dynamic_cast<TagLib::TrueAudio::File*>(&file))
        return trueAudio->ID3v2Tag(true);
    return nullptr;
}

std::string FieldValue::pairText() const {
    return std::to_string(number) + (total == 0 ? "" : "/" + std::to_string(total));
}

std::vector<FieldValue> releaseFieldsOf(const Disc& disc, const Track& track) {
    const std::optional<ReleaseDetails>& release = disc.getRelease();
    if (!release) {
        std::vector<FieldValue> removals;
        for (const Field* field : FIELDS)
            if (field->set == FieldSet::IDENTITY)
                removals.push_back(texts(*field, {}));
        return removals;
    }
    const ReleaseDetails& r = *release;
    const TrackIds& ids = track.getIds();
    const auto trackTotal = static_cast<unsigned int>(disc.getTracks().size());
    return {texts(ALBUM_ID, {r.releaseId}),
            texts(RELEASE_TRACK_ID, {ids.releaseTrackId}),
            texts(RECORDING_ID, {ids.recordingId}),
            texts(DISC_ID, {r.discId}),
            texts(ARTIST_IDS, ids.artistIds),
            texts(ALBUM_ARTIST_IDS, r.albumArtistIds),
            texts(RELEASE_GROUP_ID, {r.releaseGroupId}),
            pair(DISC, r.discNumber, r.discTotal),
            texts(DISC_TOTAL, {countText(r.discNumber == 0 ? 0 : r.discTotal)}),
            pair(TRACK, track.getTrackNo(), trackTotal),
            texts(TRACK_TOTAL, {countText(trackTotal)}),
            texts(DATE, {r.date}),
            texts(ORIGINAL_DATE, {r.originalDate}),
            texts(ORIGINAL_YEAR, {r.originalDate.substr(0, 4)}),
            texts(DISC_SUBTITLE, {r.discSubtitle}),
            texts(COUNTRY, {r.country}),
            texts(STATUS, {r.status}),
            texts(TYPE, r.types),
            texts(MEDIA, {r.mediaFormat}),
            texts(LABEL, r.labels),
            texts(CATALOG_NUMBER, r.catalogNumbers),
            texts(BARCODE, {r.barcode})};
}

bool isNameOf(const Field& field, const TagLib::String& name) {
    const std::string wanted = comparable(name.to8Bit(true));
    for (const std::string& known : wordNamesOf(field))
        if (comparable(known) == wanted)
            return true;
    return false;
}

bool holdsDescription(const TagLib::ID3v2::Frame& frame) {
    const auto* text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(&frame);
    for (const Field* field : FIELDS) {
        if (field->set != FieldSet::DESCRIPTION)
            continue;
        if (text != nullptr ? isNameOf(*field, text->description())
                            : isOwnFrame(field->id3) && frame.frameID() == field->id3)
            return true;
    }
    return false;
}

void writeReleaseFields(const Disc& disc, const Track& track, TagLib::File& file) {
    const std::vector<FieldValue> values = releaseFieldsOf(disc, track);
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file))
        writeFields(*flac->xiphComment(true), values);
    else if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file.tag()))
        writeFields(*comment, values);
    else if (TagLib::ID3v2::Tag* id3 = id3v2TagOf(file))
        writeFields(*id3, values);
    else if (auto* mp4 = dynamic_cast<TagLib::MP4::Tag*>(file.tag()))
        writeFields(*mp4, values);
    else if (TagLib::APE::Tag* ape = apeTagOf(file))
        writeFields(*ape, values);
    else if (auto* asf = dynamic_cast<TagLib::ASF::Tag*>(file.tag()))
        writeFields(*asf, values);
    else
        writeFieldsAsProperties(file, values);
}

} // namespace Vantrel
