"""Re-tagging files that another tagger tagged before: a whole foreign
identity and description in that tagger's names and letter case, re-tagged
from CDDB, then from MusicBrainz, read back with mutagen, per tag family."""

import json
import os

import mutagen
import pytest
from mutagen.flac import FLAC, Picture
from mutagen.id3 import APIC, ID3, TXXX, UFID, Frames
from mutagen.mp4 import MP4, MP4Cover

from support.audio import make_audio
from support.discs import Entry, cache_folder

SUMMER_ID = "b1dc9838-adf3-43f2-93f9-802b46e5fe59"
SUMMER = json.load(open(os.path.join(os.path.dirname(__file__), "..", "data", "musicbrainz",
                                     f"release-{SUMMER_ID}.json"), encoding="utf-8"))
ITUNES = "----:com.apple.iTunes:"
# Each field's name in a Vorbis comment, an ID3v2 frame and an MP4 item;
# None where the format keeps it with another field.
NAMES = {
    "albumid": ("MUSICBRAINZ_ALBUMID", "TXXX:MusicBrainz Album Id", ITUNES + "MusicBrainz Album Id"),
    "releasetrackid": ("MUSICBRAINZ_RELEASETRACKID", "TXXX:MusicBrainz Release Track Id",
                       ITUNES + "MusicBrainz Release Track Id"),
    "recordingid": ("MUSICBRAINZ_TRACKID", "UFID:http://musicbrainz.org", ITUNES + "MusicBrainz Track Id"),
    "discid": ("MUSICBRAINZ_DISCID", "TXXX:MusicBrainz Disc Id", ITUNES + "MusicBrainz Disc Id"),
    "artistid": ("MUSICBRAINZ_ARTISTID", "TXXX:MusicBrainz Artist Id", ITUNES + "MusicBrainz Artist Id"),
    "albumartistid": ("MUSICBRAINZ_ALBUMARTISTID", "TXXX:MusicBrainz Album Artist Id",
                      ITUNES + "MusicBrainz Album Artist Id"),
    "releasegroupid": ("MUSICBRAINZ_RELEASEGROUPID", "TXXX:MusicBrainz Release Group Id",
                       ITUNES + "MusicBrainz Release Group Id"),
    "discnumber": ("DISCNUMBER", None, None), "totaldiscs": ("TOTALDISCS", None, None),
    "disctotal": ("DISCTOTAL", None, None), "disc": (None, "TPOS", "disk"),
    "tracknumber": ("TRACKNUMBER", None, None), "track": (None, "TRCK", "trkn"),
    "totaltracks": ("TOTALTRACKS", None, None), "tracktotal": ("TRACKTOTAL", None, None),
    "date": ("DATE", "TDRC", "©day"),
    "originaldate": ("ORIGINALDATE", "TDOR", ITUNES + "originaldate"),
    "originalyear": ("ORIGINALYEAR", "TXXX:originalyear", ITUNES + "originalyear"),
    "discsubtitle": ("DISCSUBTITLE", "TSST", ITUNES + "DISCSUBTITLE"),
    "releasecountry": ("RELEASECOUNTRY", "TXXX:MusicBrainz Album Release Country",
                       ITUNES + "MusicBrainz Album Release Country"),
    "releasestatus": ("RELEASESTATUS", "TXXX:MusicBrainz Album Status", ITUNES + "MusicBrainz Album Status"),
    "releasetype": ("RELEASETYPE", "TXXX:MusicBrainz Album Type", ITUNES + "MusicBrainz Album Type"),
    "media": ("MEDIA", "TMED", ITUNES + "MEDIA"),
    "label": ("LABEL", "TPUB", ITUNES + "LABEL"),
    "catalognumber": ("CATALOGNUMBER", "TXXX:CATALOGNUMBER", ITUNES + "CATALOGNUMBER"),
    "barcode": ("BARCODE", "TXXX:BARCODE", ITUNES + "BARCODE"),
}
IDENTITY = ["albumid", "releasetrackid", "recordingid", "discid", "artistid", "albumartistid", "releasegroupid"]
COLUMN = {"flac": 0, "mp3": 1, "m4a": 2}
# Another release's, in full.
FOREIGN = {"albumid": ["0a1b2c3d-0000-4000-8000-000000000001"], "releasetrackid": ["0a1b2c3d-0000-4000-8000-2"],
           "recordingid": ["0a1b2c3d-0000-4000-8000-3"], "discid": ["oldDiscIdoldDiscIdoldDiscId-"],
           "artistid": ["0a1b2c3d-0000-4000-8000-4", "0a1b2c3d-0000-4000-8000-5"],
           "albumartistid": ["0a1b2c3d-0000-4000-8000-4"], "releasegroupid": ["0a1b2c3d-0000-4000-8000-6"],
           "discnumber": ["2"], "totaldiscs": ["2"], "disctotal": ["2"], "disc": ["2/2"], "tracknumber": ["3"],
           "track": ["3/12"], "totaltracks": ["12"], "tracktotal": ["12"], "date": ["1999-05-01"],
           "originaldate": ["1998-02"], "originalyear": ["1998"], "discsubtitle": ["Bonus Disc"],
           "releasecountry": ["GB"], "releasestatus": ["promotion"], "releasetype": ["album", "live"],
           "media": ["Enhanced CD"], "label": ["Old Label"], "catalognumber": ["OLD 1"], "barcode": ["0123"]}
# What a reader makes of the fields vantrel writes everywhere, pictures and ReplayGain.
USUAL = {"flac": {"TITLE", "ARTIST", "ALBUM", "ALBUMARTIST", "GENRE", "REPLAYGAIN_TRACK_GAIN"},
         "mp3": {"TIT2", "TPE1", "TALB", "TPE2", "TCON", "APIC:", "TXXX:REPLAYGAIN_TRACK_GAIN"},
         "m4a": {"©nam", "©ART", "©alb", "aART", "©gen", "©too", "covr", ITUNES + "replaygain_track_gain"}}


def write_foreign(path, fmt):
    """FOREIGN under the other tagger's names, a stale release ID in another
    letter case, a picture and a ReplayGain value."""
    names = {NAMES[field][COLUMN[fmt]]: values for field, values in FOREIGN.items() if NAMES[field][COLUMN[fmt]]}
    if fmt == "flac":
        tags = FLAC(path)
        for key, values in names.items():
            tags[key] = values
        tags.tags.append(("MusicBrainz_AlbumId", "stale"))
        tags["REPLAYGAIN_TRACK_GAIN"] = "-3.10 dB"
        picture = Picture()
        picture.type, picture.mime, picture.data = 3, "image/png", b"\x89PNG picture"
        tags.add_picture(picture)
    elif fmt == "mp3":
        tags = ID3()
        for key, values in names.items():
            kind, _, name = key.partition(":")
            tags.add(TXXX(encoding=3, desc=name, text=values) if kind == "TXXX" else
                     UFID(owner=name, data=values[0].encode()) if kind == "UFID" else
                     Frames[kind](encoding=3, text=values))
        tags.add(TXXX(encoding=3, desc="MUSICBRAINZ ALBUM ID", text="stale"))
        tags.add(TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text="-3.10 dB"))
        tags.add(APIC(encoding=3, mime="image/png", type=3, desc="", data=b"\x89PNG picture"))
        tags.save(path)
        return
    else:
        tags = MP4(path)
        for key, values in names.items():
            tags[key] = ([tuple(int(n) for n in values[0].split("/"))] if key in ("disk", "trkn") else
                         [value.encode() for value in values] if key.startswith("----") else values)
        tags[ITUNES + "MUSICBRAINZ ALBUM ID"] = [b"stale"]
        tags[ITUNES + "replaygain_track_gain"] = [b"-3.10 dB"]
        tags["covr"] = [MP4Cover(b"\x89PNG picture", MP4Cover.FORMAT_PNG)]
    tags.save()


def text(value):
    if isinstance(value, tuple):
        return "/".join(str(n) for n in value if n)
    return value.decode() if isinstance(value, bytes) else str(value)


def fields(path, fmt):
    """{field: texts} of each name in NAMES the file holds in exactly that
    spelling; any other name under itself, so that nothing stale hides. The
    fields in USUAL are left out."""
    if fmt == "flac":
        raw = {}
        for key, value in FLAC(path).tags:
            raw.setdefault(key, []).append(value)
    elif fmt == "mp3":
        raw = {frame.HashKey: [frame.data.decode()] if isinstance(frame, UFID) else [str(t) for t in frame.text]
               for frame in ID3(path).values() if frame.HashKey not in USUAL["mp3"]}
    else:
        raw = {key: [text(value) for value in values] for key, values in MP4(path).tags.items()
               if key not in USUAL["m4a"]}
    field_of = {names[COLUMN[fmt]]: field for field, names in NAMES.items()}
    return {field_of.get(key, key): values for key, values in raw.items() if key not in USUAL[fmt]}


def kept(path, fmt):
    """The picture and the ReplayGain value."""
    if fmt == "flac":
        return FLAC(path).pictures[0].data, FLAC(path)["REPLAYGAIN_TRACK_GAIN"]
    if fmt == "mp3":
        return ID3(path)["APIC:"].data, ID3(path)["TXXX:REPLAYGAIN_TRACK_GAIN"].text
    return bytes(MP4(path)["covr"][0]), MP4(path)[ITUNES + "replaygain_track_gain"]


def summer_fields(track):
    """What the file says once it holds this track of the real release, which
    has no date, country, disc title or original date."""
    credit = [part["artist"]["id"] for part in track["artist-credit"]]
    label = SUMMER["label-info"][0]
    return {"albumid": [SUMMER_ID], "releasetrackid": [track["id"]], "recordingid": [track["recording"]["id"]],
            "artistid": credit, "albumartistid": [part["artist"]["id"] for part in SUMMER["artist-credit"]],
            "releasegroupid": [SUMMER["release-group"]["id"]], "discnumber": ["1"], "totaldiscs": ["1"],
            "disctotal": ["1"], "disc": ["1/1"], "tracknumber": [str(track["position"])],
            "track": [f"{track['position']}/10"], "totaltracks": ["10"], "tracktotal": ["10"],
            "releasestatus": ["official"], "releasetype": ["album", "compilation"], "media": ["CD"],
            "label": [label["label"]["name"]], "catalognumber": [label["catalog-number"]], "barcode": [SUMMER["barcode"]]}


@pytest.mark.parametrize("fmt", ["flac", "mp3", "m4a"])
def test_a_foreign_identity_is_replaced_whole(vantrel, home, musicbrainz_server, tmp_path, fmt):
    entry = Entry("Band", "Record", [("Song", 2)], year=2001, genre="Rock")
    entry.write(cache_folder(home), "rock")
    path = make_audio(tmp_path / f"a.{fmt}", 2, rate=8000)
    write_foreign(path, fmt)
    pictures_and_gain = kept(path, fmt)
    present = lambda found: {field: values for field, values in found.items() if NAMES[field][COLUMN[fmt]]}

    # CDDB knows no identity: none is left. The description stays, but for
    # the date and track number that CDDB writes as it always has.
    cddb = vantrel(["-c", "only", "id", "rock", entry.discid, path], stdin="1\n")
    assert cddb.status == 0, cddb
    described = {field: values for field, values in FOREIGN.items() if field not in IDENTITY}
    assert fields(path, fmt) == present({**described, "date": ["2001"], "tracknumber": ["1"], "track": ["1"]})

    # MusicBrainz replaces the whole set; what the release lacks is gone.
    server = musicbrainz_server({f"/ws/2/release/{SUMMER_ID}": (200, SUMMER)})
    musicbrainz = vantrel(["-d", "musicbrainz", "-s", "127.0.0.1", "-p", str(server.port), "-c", "off",
                           "id", "release", SUMMER_ID, path], stdin="1\n")
    assert musicbrainz.status == 0, musicbrainz
    # The shortest track is the nearest to a 2 s file.
    track = min(SUMMER["media"][0]["tracks"], key=lambda t: t["length"])
    assert fields(path, fmt) == present(summer_fields(track))
    assert kept(path, fmt) == pictures_and_gain


def test_wma_and_wavpack_get_the_names_taggers_read_there(vantrel, musicbrainz_server, tmp_path):
    split_id = "59211ea4-ffd2-4ad9-9a4e-941d3148024a"
    split = json.load(open(os.path.join(os.path.dirname(__file__), "..", "data", "musicbrainz",
                                        f"release-{split_id}.json"), encoding="utf-8"))
    server = musicbrainz_server({f"/ws/2/release/{split_id}": (200, split)})
    artists = [part["artist"]["id"] for part in split["artist-credit"]]
    names = {"wma": ("MusicBrainz/Artist Id", "WM/PartOfSet", "WM/SetSubTitle", "WM/Year"),
             "wv": ("Musicbrainz_Artistid", "Disc", "DiscSubtitle", "Year")}
    for fmt, (artist_ids, disc, subtitle, date) in names.items():
        path = make_audio(tmp_path / f"a.{fmt}", 2, rate=8000)
        result = vantrel(["-d", "musicbrainz", "-s", "127.0.0.1", "-p", str(server.port), "-c", "off",
                          "id", "release", split_id, path], stdin="2\n")
        assert result.status == 0, result
        tags = mutagen.File(path).tags
        # Several artists: several values, in the credit's order.
        assert [[str(value) for value in tags[key]] for key in (artist_ids, disc, subtitle, date)] == [
            artists, ["2/2"], ["h³æ"], ["2003-12-04"]], fmt
