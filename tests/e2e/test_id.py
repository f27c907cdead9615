"""`id` end to end: one entry fetched by category and disc ID from the local
CDDB server or the CDDB library's cache, each track written into the
remaining file nearest to it in length, read back with mutagen; and the
connection's environment (HOME, EMAIL)."""

import os
import shutil

from support.audio import make_audio, make_wav, read_tags
from support.lookup import disc_listing, expected_tags, make_disc
from support.runner import body
from support.xmcd import Entry, cache_folder

REAL_ENTRIES = os.path.join(os.path.dirname(__file__), "..", "data", "xmcd")

DISC = Entry("Disc Artist", "Disc Title", [("Middle", 3), ("Guest / Short", 2), ("Long", 4)],
             year=1984, genre="Synth")


def cddbp(server):
    return ["-c", "off", "-s", "127.0.0.1", "-p", str(server.port)]


def test_a_partial_rip_gets_the_tracks_of_its_own_lengths(vantrel, cddb_server, tmp_path):
    DISC.write(tmp_path / "cddb", "misc")
    server = cddb_server(tmp_path / "cddb")
    # Track by track, the 3 s track is as near to either file and would take
    # the first; the smallest total difference leaves it without a file.
    long = make_audio(tmp_path / "a.mp3", 4, rate=8000)
    short = make_audio(tmp_path / "b.m4a", 2, rate=8000)

    result = vantrel([*cddbp(server), "id", "misc", DISC.discid, long, short], stdin="1\n")

    assert result.status == 0, result
    assert body(result) == (disc_listing(DISC) + "Which disc [1-1] ? "
                            f"1: File {short} matches Short [Tag Saved]\n"
                            f"2: File {long} matches Long [Tag Saved]\n")
    assert read_tags(short) == expected_tags(DISC, 2)
    assert read_tags(long) == expected_tags(DISC, 3)
    # The entry is read by name; nothing is searched.
    commands = server.commands()
    assert f"cddb read misc {DISC.discid}" in commands
    assert not [command for command in commands if command.startswith("cddb query")]


def test_cache_modes_and_category_names(vantrel, home, cddb_server, tmp_path):
    cache = os.path.join(cache_folder(home), "blues")
    os.makedirs(cache)
    shutil.copy(os.path.join(REAL_ENTRIES, "blues", "7d0b170a"), cache)
    # The server holds only the other entry: a hit shows the cache answered,
    # and -c only must not fetch that one.
    shutil.copytree(os.path.join(REAL_ENTRIES, "misc"), tmp_path / "cddb" / "misc")
    server = cddb_server(tmp_path / "cddb")
    track = make_wav(tmp_path / "track.wav", 1)
    flags = ["-s", "127.0.0.1", "-p", str(server.port)]

    only = vantrel(["-c", "only", *flags, "id", "blues", "7d0b170a", track], stdin="1\n")
    only_missing = vantrel(["-c", "only", *flags, "id", "misc", "d50dd30f", track], stdin="1\n")
    off = vantrel(["-c", "off", *flags, "id", "blues", "7d0b170a", track], stdin="1\n")
    # A category the library does not know is read under misc, with a warning.
    unknown = vantrel(["-c", "only", *flags, "id", "Blues", "7d0b170a", track], stdin="1\n")

    assert (only.status, only.stderr) == (0, ""), only
    assert "The Bakerton Group - El Rojo (Year: 2009 Genre: Rock)" in only.stdout
    assert only_missing.status == 4, only_missing
    assert (off.status, body(off)) == (4, "Vantrel: Error: Query error: libcddb: disc not found\n"), off
    assert (unknown.status, unknown.stderr) == (4, 'Vantrel: Warning "Blues" matches CDDB_CAT_MISC\n'), unknown
    # Only -c off asked the server.
    assert [c for c in server.commands() if c.startswith(("cddb read", "cddb query"))] == \
        ["cddb read blues 7d0b170a"]


def test_a_latin1_entry_is_listed_and_written_in_utf8(vantrel, home, tmp_path):
    cache = os.path.join(cache_folder(home), "rock")
    os.makedirs(cache)
    shutil.copy(os.path.join(REAL_ENTRIES, "rock", "38043805"), cache)
    # As long as the first track, which the one file is given.
    track = make_audio(tmp_path / "a.mp3", 271, rate=8000)

    result = vantrel(["-c", "only", "id", "rock", "38043805", track], stdin="1\n")

    assert result.status == 0, result
    assert body(result).startswith(
        "[ 1] Die Ärzte - Ein Schwein namens Männer (Year: 1998 Genre: Deutsch)\n"
        "      1. Männer sind Schweine (Single Version) (4:31)\n")
    assert read_tags(track) == {"title": "Männer sind Schweine (Single Version)",
                                "artist": "Die Ärzte", "albumartist": "Die Ärzte",
                                "album": "Ein Schwein namens Männer", "genre": "Deutsch",
                                "date": "1998", "tracknumber": "1"}


def test_proxy_without_the_environment_variable(vantrel, tmp_path):
    paths = make_disc(tmp_path, DISC, ("wav",))

    result = vantrel(["-P", "proxy", "id", "rock", DISC.discid, *paths])

    assert result.status == 4, result
    assert body(result) == ("Vantrel: Error: Parse Exception: "
                            "You must have the environemnt variable http_proxy\n")


def test_the_hello_names_the_user_by_email_and_needs_no_home(vantrel, cddb_server, tmp_path):
    server = cddb_server(REAL_ENTRIES)
    track = make_wav(tmp_path / "track.wav", 1)
    arguments = ["-c", "off", "-P", "http", "-s", "127.0.0.1", "-p", str(server.http_port),
                 "id", "misc", "d50dd30f", track]

    for env in ({"EMAIL": "ripper@example.org"}, {"EMAIL": "ripper", "HOME": None}):
        result = vantrel(arguments, stdin="1\n", env=env)
        assert result.status == 0, result
        assert "Various - Ska Island (Year: 1997 Genre: Reggae)" in result.stdout

    hellos = [entry["hello"] for entry in server.log()]
    assert len(hellos) == 2
    assert hellos[0].startswith("ripper example.org vantrel 0.1")
    assert hellos[1].startswith("anonymous localhost vantrel 0.1")
