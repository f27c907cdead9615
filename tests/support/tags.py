"""The MusicBrainz fields of a file as an independent reader (mutagen) finds
them, under the names that MusicBrainz taggers write in each tag family."""

import os

from mutagen.flac import FLAC
from mutagen.id3 import ID3, UFID
from mutagen.mp4 import MP4
from mutagen.wave import WAVE

# The tag family of each file type.
COLUMN = {"flac": 0, "mp3": 1, "wav": 1, "m4a": 2}
# Each field's name in a Vorbis comment, an ID3v2 frame and an MP4 item ("+"
# for an iTunes freeform item); "-" where the format keeps it with another.
NAMES = {line.split("|")[0].strip(): tuple(
    None if name.strip() == "-" else name.strip().replace("+", "----:com.apple.iTunes:") for name in line.split("|")[1:])
    for line in """
albumid | MUSICBRAINZ_ALBUMID | TXXX:MusicBrainz Album Id | +MusicBrainz Album Id
releasetrackid | MUSICBRAINZ_RELEASETRACKID | TXXX:MusicBrainz Release Track Id | +MusicBrainz Release Track Id
recordingid | MUSICBRAINZ_TRACKID | UFID:http://musicbrainz.org | +MusicBrainz Track Id
discid | MUSICBRAINZ_DISCID | TXXX:MusicBrainz Disc Id | +MusicBrainz Disc Id
artistid | MUSICBRAINZ_ARTISTID | TXXX:MusicBrainz Artist Id | +MusicBrainz Artist Id
albumartistid | MUSICBRAINZ_ALBUMARTISTID | TXXX:MusicBrainz Album Artist Id | +MusicBrainz Album Artist Id
releasegroupid | MUSICBRAINZ_RELEASEGROUPID | TXXX:MusicBrainz Release Group Id | +MusicBrainz Release Group Id
discnumber | DISCNUMBER | - | -
totaldiscs | TOTALDISCS | - | -
disctotal | DISCTOTAL | - | -
disc | - | TPOS | disk
tracknumber | TRACKNUMBER | - | -
track | - | TRCK | trkn
totaltracks | TOTALTRACKS | - | -
tracktotal | TRACKTOTAL | - | -
date | DATE | TDRC | ©day
originaldate | ORIGINALDATE | TDOR | +originaldate
originalyear | ORIGINALYEAR | TXXX:originalyear | +originalyear
discsubtitle | DISCSUBTITLE | TSST | +DISCSUBTITLE
releasecountry | RELEASECOUNTRY | TXXX:MusicBrainz Album Release Country | +MusicBrainz Album Release Country
releasestatus | RELEASESTATUS | TXXX:MusicBrainz Album Status | +MusicBrainz Album Status
releasetype | RELEASETYPE | TXXX:MusicBrainz Album Type | +MusicBrainz Album Type
media | MEDIA | TMED | +MEDIA
label | LABEL | TPUB | +LABEL
catalognumber | CATALOGNUMBER | TXXX:CATALOGNUMBER | +CATALOGNUMBER
barcode | BARCODE | TXXX:BARCODE | +BARCODE""".strip().splitlines()}
IDENTITY = list(NAMES)[:7]
# The fields vantrel always writes, the picture and the ReplayGain value.
USUAL = {0: {"TITLE", "ARTIST", "ALBUM", "ALBUMARTIST", "GENRE", "REPLAYGAIN_TRACK_GAIN"},
         1: {"TIT2", "TPE1", "TALB", "TPE2", "TCON", "APIC:", "TXXX:REPLAYGAIN_TRACK_GAIN"},
         2: {"©nam", "©ART", "©alb", "aART", "©gen", "©too", "covr", "----:com.apple.iTunes:replaygain_track_gain"}}


def text(value):
    if isinstance(value, tuple):
        return "/".join(str(n) for n in value if n)
    return value.decode() if isinstance(value, bytes) else str(value)


def fields(path):
    """{field: texts} of each name in NAMES the file holds in exactly that
    spelling; any other name as itself, so that nothing stale hides. The
    USUAL fields are left out."""
    column = COLUMN[os.path.splitext(path)[1][1:]]
    if column == 0:
        pairs = FLAC(path).tags
    elif column == 1:
        pairs = [(frame.HashKey, value) for frame in (ID3(path) if path.endswith(".mp3") else WAVE(path).tags).values()
                 if frame.HashKey not in USUAL[1] for value in ([frame.data] if isinstance(frame, UFID) else frame.text)]
    else:
        pairs = [(key, value) for key, values in MP4(path).tags.items() for value in values]
    field_of = {names[column]: field for field, names in NAMES.items()}
    found = {}
    for key, value in pairs:
        if key not in USUAL[column]:
            found.setdefault(field_of.get(key, key), []).append(text(value))
    return found


def identifiers(path):
    """The release, release-track, recording and disc IDs (None when absent)."""
    found = fields(path)
    return [found.get(field, [None])[0] for field in IDENTITY[:4]]
