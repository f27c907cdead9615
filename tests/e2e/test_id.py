"""`id` end to end: one entry fetched by category and disc ID from the local
CDDB server or the CDDB library's cache, each track written into the
remaining file nearest to it in length, read back with mutagen."""

import os
import shutil

from support.audio import make_audio, read_tags
from support.lookup import body, contents, disc_listing, expected_tags, make_disc
from support.xmcd import Entry, cache_folder

DATA = os.path.join(os.path.dirname(__file__), "..", "data")

DISC = Entry("Disc Artist", "Disc Title", [("Short", 2), ("Guest / Long", 6), ("Middle", 4)],
             year=1984, genre="Synth")


def cddbp(server):
    return ["-c", "off", "-s", "127.0.0.1", "-p", str(server.port)]


def test_each_track_goes_to_the_nearest_remaining_file(vantrel, cddb_server, tmp_path):
    DISC.write(tmp_path / "cddb", "misc")
    server = cddb_server(tmp_path / "cddb")
    # Files of 6, 4, 9 and 2 s against tracks of 2, 6 and 4 s: the 9 s file
    # is nobody's nearest and is left alone.
    longest = make_audio(tmp_path / "a.mp3", 6, rate=8000)
    middle = make_audio(tmp_path / "b.ogg", 4, rate=8000)
    spare = make_audio(tmp_path / "c.wav", 9, rate=8000, tags={"title": "Spare"})
    shortest = make_audio(tmp_path / "d.flac", 2, rate=8000)
    spare_before = contents([spare])

    result = vantrel([*cddbp(server), "id", "misc", DISC.discid, longest, middle, spare, shortest],
                     stdin="1\n")

    assert result.status == 0, result
    assert body(result) == (disc_listing(DISC) + "Which disc [1-1] ? "
                            f"1: File {shortest} matches Short [Tag Saved]\n"
                            f"2: File {longest} matches Long [Tag Saved]\n"
                            f"3: File {middle} matches Middle [Tag Saved]\n")
    assert read_tags(shortest) == expected_tags(DISC, 1)
    assert read_tags(longest) == expected_tags(DISC, 2)
    assert read_tags(middle) == expected_tags(DISC, 3)
    assert contents([spare]) == spare_before
    # The entry is read by name; nothing is searched.
    commands = server.commands()
    assert f"cddb read misc {DISC.discid}" in commands
    assert not [command for command in commands if command.startswith("cddb query")]


def test_a_cached_entry_needs_no_server(vantrel, home, tmp_path):
    cache = os.path.join(cache_folder(home), "blues")
    os.makedirs(cache)
    shutil.copy(os.path.join(DATA, "xmcd", "blues", "7d0b170a"), cache)
    paths = make_disc(tmp_path, DISC, ("flac", "wav"))

    result = vantrel(["-c", "only", "id", "blues", "7d0b170a", *paths], stdin="1\n")

    assert result.status == 0, result
    listing = body(result)
    assert listing.startswith("[ 1] The Bakerton Group - El Rojo (Year: 2009 Genre: Rock)\n")
    assert "     10. Bill Proger's Galaxy (6:48)\nWhich disc [1-1] ? " in listing
    # The first track (1:43) is the nearest to the longer file.
    assert listing.endswith(f"1: File {paths[1]} matches Time Horizon [Tag Saved]\n"
                            f"2: File {paths[0]} matches Chancellor [Tag Saved]\n")
    assert read_tags(paths[1])["genre"] == "Rock"


def test_an_entry_the_server_does_not_have_is_a_lookup_error(vantrel, cddb_server, tmp_path):
    (tmp_path / "cddb").mkdir()
    server = cddb_server(tmp_path / "cddb")
    paths = make_disc(tmp_path, DISC, ("wav",))
    before = contents(paths)

    result = vantrel([*cddbp(server), "id", "rock", "0badc0de", *paths], stdin="1\n")

    assert result.status == 4, result
    assert body(result).startswith("Vantrel: Error: Query error: libcddb: ")
    assert body(result).count("\n") == 1
    assert contents(paths) == before


def test_proxy_without_the_environment_variable(vantrel, tmp_path):
    paths = make_disc(tmp_path, DISC, ("wav",))

    result = vantrel(["-P", "proxy", "id", "rock", DISC.discid, *paths])

    assert result.status == 4, result
    assert body(result) == ("Vantrel: Error: Parse Exception: "
                            "You must have the environemnt variable http_proxy\n")
