"""`sequence` with the disc's exact table of contents from a real rip log or
CUE sheet beside the files, a FLAC file's CUESHEET block, or `-t`: an
enhanced CD found in CDDB and MusicBrainz, a hidden track before track 1,
sources of other discs, and the errors of `-t`."""

import os
import shutil

from mutagen.flac import FLAC, CueSheet, CueSheetTrack, CueSheetTrackIndex

from support.audio import make_audio, read_tags
from support.discs import Entry, cache_folder, contents, disc_listing, expected_tags
from support.runner import body

DATA = os.path.join(os.path.dirname(__file__), "..", "data", "toc")
# An enhanced CD (tests/data/toc/README.md): eight audio tracks, each file as
# long as its track, then a data track 11,400 frames after the audio ends.
ENHANCED_FRAMES = [20425, 21745, 19786, 16326, 16541, 14777, 20361, 48177]
ENHANCED_OFFSETS = [150, 20575, 42320, 62106, 78432, 94973, 109750, 130111]
ENHANCED_MB_ID = "G.iJky1mysTJeCT0RuhIwS5Ht60-"
# As CDDB counts it, the gap before the data track is the last audio track's.
ENHANCED = Entry("Libido Walker", "blue label", [(f"Song {n}", frames / 75) for n, frames in enumerate(
    ENHANCED_FRAMES[:-1] + [189688 - 130111, 194698 - 189688], 1)], year=2001, genre="Pop")
# Surfer Rosa's files when each pregap is at the start of its own track's file.
SURFER_ROSA_FRAMES = [13767, 9375, 8125, 6758, 17620, 11390, 17505, 10255, 8420, 8042, 22938, 7657, 9068, 14575,
                      13027, 7600, 11250, 10088, 10290, 13557, 11888]


def make_files(folder, frames, fmt="flac"):
    """Files of these lengths in frames; 10 samples a frame at 750 Hz keeps them exact."""
    return [make_audio(folder / f"{n:02d}.{fmt}", count / 75, rate=750) for n, count in enumerate(frames, 1)]


def release(disc_id, tracks):
    credit = [{"name": ENHANCED.artist, "joinphrase": ""}]
    return {"id": "0b1c5e3a-1d2e-4c7a-9a55-3f3d2d2b7c01", "title": ENHANCED.title, "date": "2001", "genres": [],
            "artist-credit": credit,
            "media": [{"position": 1, "discs": [{"id": disc_id}], "tracks": [
                {"id": f"00000000-0000-4000-8000-00000000000{n}", "position": n, "title": title, "length": 1000,
                 "artist-credit": credit, "recording": {"id": f"00000000-0000-4000-9000-00000000000{n}"}}
                for n, title in enumerate(tracks, 1)]}]}


def test_an_enhanced_cd_is_found_by_its_log_in_cddb_and_musicbrainz(vantrel, cddb_server, musicbrainz_server,
                                                                    tmp_path):
    root = tmp_path / "cddb"
    ENHANCED.write(root, "misc")
    assert ENHANCED.discid == "780a2109"
    cddb = cddb_server(root)
    titles = [title for title, _ in ENHANCED.tracks[:8]]
    musicbrainz = musicbrainz_server({f"/ws/2/discid/{ENHANCED_MB_ID}": (200, {
        "id": ENHANCED_MB_ID, "releases": [release(ENHANCED_MB_ID, titles)]})})
    rip = tmp_path / "rip"
    rip.mkdir()
    paths = make_files(rip, ENHANCED_FRAMES)
    shutil.copy(os.path.join(DATA, "eac-datatrack.log"), rip / "Libido Walker - blue label.log")
    found = f"Vantrel: table of contents from {rip}/Libido Walker - blue label.log\n"

    result = vantrel(["-c", "off", "-s", "127.0.0.1", "-p", cddb.port, "sequence", *paths], stdin="1\n")

    # The data track is counted, and shows in the list, but goes to no file;
    # the exact table of contents is asked for once, no nearby one after it.
    assert (result.status, result.stderr) == (0, found), result
    assert body(result) == disc_listing(ENHANCED) + "Which disc [1-1] ? " + "".join(
        f"{n}: File {path} [Tag Saved]\n" for n, path in enumerate(paths, 1))
    assert [" ".join(command.split()) for command in cddb.commands()[-2:]] == ["cddb query 780a2109 9 " + " ".join(map(str, ENHANCED.offsets)) + " 2595",
                                    "cddb read misc 780a2109"]
    assert [read_tags(path) for path in paths] == [expected_tags(ENHANCED, n) for n in range(1, 9)]

    result = vantrel(["-d", "musicbrainz", "-s", "127.0.0.1", "-p", musicbrainz.port, "sequence", *paths],
                     stdin="1\n")

    assert (result.status, result.stderr) == (0, found), result
    toc = "+".join(map(str, [1, 8, 178288] + ENHANCED_OFFSETS))
    assert [(r["path"], r["query"].split("&")[0]) for r in musicbrainz.requests] == [
        (f"/ws/2/discid/{ENHANCED_MB_ID}", f"toc={toc}")]
    assert [FLAC(path)["MUSICBRAINZ_DISCID"] for path in paths] == [[ENHANCED_MB_ID]] * 8
    assert [read_tags(path)["title"] for path in paths] == titles


def test_a_hidden_track_before_track_1_is_placed_by_the_cue_sheet(vantrel, home, tmp_path):
    # Its files are WAV files of other names: their own lengths place the tracks.
    disc = Entry("Pixies", "Surfer Rosa", [(f"Song {n}", 1) for n in range(1, 22)])
    disc.offsets = [182, 13917, 23337, 31417, 38175, 55795, 67185, 84690, 94945, 103365, 111407, 134345, 142002,
                    151070, 165645, 178672, 186272, 197522, 207610, 217900, 231457]
    disc.length, disc.discid = 243345 // 75, "350caa15"
    disc.write(cache_folder(home), "rock")
    paths = make_files(tmp_path, SURFER_ROSA_FRAMES, "wav")
    shutil.copy(os.path.join(DATA, "surferrosa.eac.corrected.cue"), tmp_path / "Surfer Rosa.cue")

    result = vantrel(["-c", "only", "sequence", *paths], stdin="1\n")

    assert (result.status, result.stderr) == (0, f"Vantrel: table of contents from {tmp_path}/Surfer Rosa.cue\n"), \
        result
    assert [read_tags(path)["title"] for path in paths] == [f"Song {n}" for n in range(1, 22)]


def test_sources_of_other_discs_are_named_and_t_says_what_is_wrong(vantrel, home, tmp_path):
    paths = make_files(tmp_path, [7500, 6000])
    before = contents(paths)
    log = tmp_path / "Brave New World.log"
    shutil.copy(os.path.join(DATA, "eac-utf8.log"), log)
    mixed = tmp_path / "mixed.cue"
    mixed.write_text('FILE "image.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n'
                     '  TRACK 02 AUDIO\n    INDEX 01 01:40:00\n')
    other = tmp_path / "notes.txt"
    other.write_text("Ripped on a sunny day.\n")
    no_end = tmp_path / "no-end.txt"
    no_end.write_text("cyanrip 0.9\nStart LSN: 0\nEnd LSN:\n")
    past_end = tmp_path / "past-end.txt"
    past_end.write_text("Log created by: whipper\nTOC:\n  1:\n    Start sector: 2147483647\n"
                        "    End sector: 2147483647\n")

    result = vantrel(["-c", "only", "sequence", *paths])
    assert (result.status, body(result)) == (2, "No results.\n"), result
    assert result.stderr == "".join(f"Vantrel: {source} describes another disc; using the files' lengths\n"
                                    for source in (log, mixed))

    cases = [(tmp_path / "missing.log", "Cannot read a table of contents from {}: No such file or directory"),
             (other, "Cannot read a table of contents from {}: it is neither a rip log nor a CUE sheet"),
             (tmp_path, "Cannot read a table of contents from {}: Is a directory"),
             (no_end, 'Cannot read a table of contents from {}: "" is not a number'),
             (past_end, "Cannot read a table of contents from {}: a track lies outside the disc"),
             (log, "{} describes another disc"), (mixed, "{} describes another disc")]
    for source, message in cases:
        result = vantrel(["-c", "only", "-t", source, "sequence", *paths])
        assert (result.status, body(result), result.stderr) == (4, f"Vantrel: Error: {message.format(source)}\n",
                                                                ""), result
    assert contents(paths) == before

    # A CUESHEET block in the first FLAC file places a hidden track too.
    disc = Entry("Artist", "Hidden", [("One", 100), ("Two", 80)])
    disc.offsets, disc.length = [250, 7750], (7750 + 6000) // 75
    disc.discid = "%08x" % (((2 + 1 + 1 + 3) % 255) << 24 | (disc.length - 3) << 8 | 2)
    disc.write(cache_folder(home), "misc")
    flac = FLAC(paths[0])
    sheet = CueSheet(None)
    sheet.media_catalog_number, sheet.lead_in_samples, sheet.compact_disc = b"", 88200, True
    sheet.tracks = [CueSheetTrack(n, start * 588, isrc=b"") for n, start in ((1, 0), (2, 7600), (170, 13600))]
    sheet.tracks[0].indexes = [CueSheetTrackIndex(0, 0), CueSheetTrackIndex(1, 100 * 588)]
    sheet.tracks[1].indexes = [CueSheetTrackIndex(1, 0)]
    flac.metadata_blocks.append(sheet)
    flac.save()
    log.unlink()
    mixed.unlink()

    result = vantrel(["-c", "only", "sequence", *paths], stdin="1\n")
    assert (result.status, result.stderr) == (0, f"Vantrel: table of contents from {paths[0]}\n"), result
    assert [read_tags(path)["title"] for path in paths] == ["One", "Two"]
