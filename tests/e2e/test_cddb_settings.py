"""The CDDB connection of `id` end to end: the environment (HOME, EMAIL),
the category warning and libcddb's cache, against the local CDDB server."""

import os
import shutil
import subprocess

import pytest

from support.audio import make_wav
from support.runner import BINARY, Result

REAL_ENTRIES = os.path.join(os.path.dirname(__file__), "..", "data", "xmcd")
VERSION_HELLO = "vantrel "


@pytest.fixture
def track(tmp_path):
    return make_wav(tmp_path / "track.wav", 1)


def cddbp(server):
    return ["-P", "cddbp", "-s", "127.0.0.1", "-p", str(server.port)]


def test_without_home_the_lookup_runs_on(cddb_server, track):
    server = cddb_server(REAL_ENTRIES)
    environment = {k: v for k, v in os.environ.items() if k not in ("HOME", "http_proxy", "EMAIL")}
    completed = subprocess.run([BINARY, "-c", "off", *cddbp(server), "id", "misc", "d50dd30f", str(track)],
                               input=b"1\n", stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env=environment, timeout=60)
    result = Result(completed)

    assert result.status == 0, result
    assert "Various - Ska Island (Year: 1997 Genre: Reggae)" in result.stdout
    assert server.commands()[-1] == "cddb read misc d50dd30f"


def test_email_with_an_at_sign_goes_into_the_hello(vantrel, cddb_server, track):
    server = cddb_server(REAL_ENTRIES)
    arguments = ["-c", "off", "-P", "http", "-s", "127.0.0.1", "-p", str(server.http_port),
                 "id", "misc", "d50dd30f", str(track)]

    assert vantrel(arguments, stdin="1\n", env={"EMAIL": "ripper@example.org"}).status == 0
    assert vantrel(arguments, stdin="1\n", env={"EMAIL": "ripper"}).status == 0

    hellos = [entry["hello"] for entry in server.log()]
    assert len(hellos) == 2
    assert hellos[0].startswith("ripper example.org " + VERSION_HELLO)
    assert hellos[1].startswith("anonymous localhost " + VERSION_HELLO)


def test_a_category_libcddb_does_not_list_warns_and_reads_misc(vantrel, cddb_server, track):
    server = cddb_server(REAL_ENTRIES)

    result = vantrel(["-c", "off", *cddbp(server), "id", "Misc", "d50dd30f", track], stdin="1\n")

    assert result.status == 0, result
    assert result.stderr == 'Vantrel: Warning "Misc" matches CDDB_CAT_MISC\n'
    assert "Ska Island" in result.stdout
    assert "cddb read misc d50dd30f" in server.commands()


def test_cache_only_needs_no_server_and_cache_off_ignores_the_cache(vantrel, home, cddb_server, track):
    cached = home / ".cddbslave" / "blues"
    cached.mkdir(parents=True)
    shutil.copy(os.path.join(REAL_ENTRIES, "blues", "7d0b170a"), cached / "7d0b170a")
    # The server holds only the other entry, so a hit shows the cache answered.
    server_root = home.parent / "server"
    shutil.copytree(os.path.join(REAL_ENTRIES, "misc"), server_root / "misc")
    server = cddb_server(server_root)

    only = vantrel(["-c", "only", *cddbp(server), "id", "blues", "7d0b170a", track], stdin="1\n")
    off = vantrel(["-c", "off", *cddbp(server), "id", "blues", "7d0b170a", track], stdin="1\n")

    assert only.status == 0, only
    assert "The Bakerton Group - El Rojo (Year: 2009 Genre: Rock)" in only.stdout
    assert off.status == 4, off
    assert "Vantrel: Error: Query error: libcddb: disc not found\n" in off.stdout
    assert server.commands().count("cddb read blues 7d0b170a") == 1
