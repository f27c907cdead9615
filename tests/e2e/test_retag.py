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
from support.tags import COLUMN, IDENTITY, NAMES, fields

DATA = os.path.join(os.path.dirname(__file__), "..", "data", "musicbrainz")
SUMMER_ID, SPLIT_ID = "b1dc9838-adf3-43f2-93f9-802b46e5fe59", "59211ea4-ffd2-4ad9-9a4e-941d3148024a"
SUMMER, SPLIT = (json.load(open(os.path.join(DATA, f"release-{mbid}.json"), encoding="utf-8"))
                 for mbid in (SUMMER_ID, SPLIT_ID))
# Another release's, in full.
FOREIGN = {**{field: [f"old {field}"] for field in NAMES}, "artistid": ["old 1", "old 2"], "discnumber": ["2"],
           "totaldiscs": ["2"], "disctotal": ["2"], "disc": ["2/2"], "tracknumber": ["3"], "track": ["3/12"],
           "totaltracks": ["12"], "tracktotal": ["12"], "date": ["1999-05-01"], "originaldate": ["1998-02"]}
PICTURE, GAIN = b"\x89PNG picture", "-3.10 dB"


def write_foreign(path, fmt):
    """FOREIGN under the other tagger's names, a stale release ID in another
    letter case, a picture and a ReplayGain value."""
    names = {NAMES[field][COLUMN[fmt]]: values for field, values in FOREIGN.items() if NAMES[field][COLUMN[fmt]]}
    if fmt == "mp3":
        tags = ID3()
        names.update({"TXXX:MUSICBRAINZ ALBUM ID": ["stale"], "TXXX:REPLAYGAIN_TRACK_GAIN": [GAIN]})
        for key, values in names.items():
            kind, _, name = key.partition(":")
            tags.add(TXXX(encoding=3, desc=name, text=values) if kind == "TXXX" else
                     UFID(owner=name, data=values[0].encode()) if kind == "UFID" else
                     Frames[kind](encoding=3, text=values))
        tags.add(APIC(encoding=3, mime="image/png", type=3, desc="", data=PICTURE))
        return tags.save(path)
    if fmt == "flac":
        tags = FLAC(path)
        tags.update({**names, "REPLAYGAIN_TRACK_GAIN": [GAIN]})
        tags.tags.append(("MusicBrainz_AlbumId", "stale"))
        picture = Picture()
        picture.type, picture.mime, picture.data = 3, "image/png", PICTURE
        tags.add_picture(picture)
    else:
        tags = MP4(path)
        for key, values in names.items():
            tags[key] = ([tuple(int(n) for n in values[0].split("/"))] if key in ("disk", "trkn") else
                         [value.encode() for value in values] if key.startswith("----") else values)
        tags.update({"----:com.apple.iTunes:MUSICBRAINZ ALBUM ID": [b"stale"], "covr": [MP4Cover(PICTURE)],
                     "----:com.apple.iTunes:replaygain_track_gain": [GAIN.encode()]})
    tags.save()


def kept(path, fmt):
    if fmt == "flac":
        return FLAC(path).pictures[0].data, FLAC(path)["REPLAYGAIN_TRACK_GAIN"]
    if fmt == "mp3":
        return ID3(path)["APIC:"].data, ID3(path)["TXXX:REPLAYGAIN_TRACK_GAIN"].text
    return bytes(MP4(path)["covr"][0]), MP4(path)["----:com.apple.iTunes:replaygain_track_gain"]


@pytest.mark.parametrize("fmt", ["flac", "mp3", "m4a"])
def test_a_foreign_identity_is_replaced_whole(vantrel, home, musicbrainz_server, tmp_path, fmt):
    entry = Entry("Band", "Record", [("Song", 2)], year=2001, genre="Rock")
    entry.write(cache_folder(home), "rock")
    path = make_audio(tmp_path / f"a.{fmt}", 2, rate=8000)
    write_foreign(path, fmt)
    pictures_and_gain = kept(path, fmt)
    held = lambda values: {field: value for field, value in values.items() if NAMES[field][COLUMN[fmt]]}

    # CDDB knows no identity: none is left. The description stays, but for
    # the date and track number that CDDB writes as it always has.
    assert vantrel(["-c", "only", "id", "rock", entry.discid, path], stdin="1\n").status == 0
    described = {field: values for field, values in FOREIGN.items() if field not in IDENTITY}
    assert fields(path) == held({**described, "date": ["2001"], "tracknumber": ["1"], "track": ["1"]})

    # MusicBrainz replaces the whole set: what the release lacks (date,
    # country, disc title, original date) is gone. The shortest track is the
    # nearest to a 2 s file.
    server = musicbrainz_server({f"/ws/2/release/{SUMMER_ID}": (200, SUMMER)})
    assert vantrel(["-d", "musicbrainz", "-s", "127.0.0.1", "-p", str(server.port), "-c", "off", "id", "release",
                    SUMMER_ID, path], stdin="1\n").status == 0
    track = min(SUMMER["media"][0]["tracks"], key=lambda t: t["length"])
    label = SUMMER["label-info"][0]
    assert fields(path) == held({
        "albumid": [SUMMER_ID], "releasetrackid": [track["id"]], "recordingid": [track["recording"]["id"]],
        "artistid": [part["artist"]["id"] for part in track["artist-credit"]],
        "albumartistid": [part["artist"]["id"] for part in SUMMER["artist-credit"]],
        "releasegroupid": [SUMMER["release-group"]["id"]], "discnumber": ["1"], "totaldiscs": ["1"],
        "disctotal": ["1"], "disc": ["1/1"], "tracknumber": [str(track["position"])],
        "track": [f"{track['position']}/10"], "totaltracks": ["10"], "tracktotal": ["10"],
        "releasestatus": ["official"], "releasetype": ["album", "compilation"], "media": ["CD"],
        "label": [label["label"]["name"]], "catalognumber": [label["catalog-number"]], "barcode": [SUMMER["barcode"]]})
    assert kept(path, fmt) == pictures_and_gain


def test_wma_and_wavpack_get_the_names_taggers_read_there(vantrel, musicbrainz_server, tmp_path):
    server = musicbrainz_server({f"/ws/2/release/{SPLIT_ID}": (200, SPLIT)})
    artists = [part["artist"]["id"] for part in SPLIT["artist-credit"]]
    for fmt, names in (("wma", ("MusicBrainz/Artist Id", "WM/PartOfSet", "WM/SetSubTitle", "WM/Year")),
                       ("wv", ("Musicbrainz_Artistid", "Disc", "DiscSubtitle", "Year"))):
        path = make_audio(tmp_path / f"a.{fmt}", 2, rate=8000)
        result = vantrel(["-d", "musicbrainz", "-s", "127.0.0.1", "-p", str(server.port), "-c", "off",
                          "id", "release", SPLIT_ID, path], stdin="2\n")
        assert result.status == 0, result
        # Several artists: several values, in the credit's order.
        assert [[str(value) for value in mutagen.File(path).tags[name]] for name in names] == [
            artists, ["2/2"], ["h³æ"], ["2003-12-04"]], fmt
