"""The program as a user meets it: the usage text and parse errors, the
offline demo, `cmake --install`, the Debian package, the manual page and the
bash completion."""

import gzip
import os
import re
import subprocess
from pathlib import Path

import pytest

from support.audio import make_audio
from support.runner import BINARY

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("VANTREL_BUILD_DIR") or SOURCE / "build").resolve()
MANUAL = SOURCE / "doc" / "vantrel.1"
COMPLETION = SOURCE / "completions" / "vantrel"


USAGE_LINES = [
    "vantrel [-c cache_mode] [-s hostname] [-p port] [-P protocol] [-d database] [-t toc_file] [-y] [-F] [-h] "
    "command [command_arguments] file...",
    "",
    "Commands:",
    "* id cddb_category cddb_id_hex: retrieves the given disc from the CDDB",
    "  database and tags each file by closest length.",
    "* sequence: generates a CDDB ID, queries the CDDB database",
    "* rename: renames files based on a template with the following tokens:",
    "    %a = artist, %g = genre. %s = song title, %t = album title",
    "    %y = year, %n = track number",
    "* help: this help screen",
    "",
    "Flags:",
    "* -c cache_mode: use one of 'on', 'off' or 'only' (default: on)",
    "* -s hostname: use hostname as the CDDB server (default: gnudb.gnudb.org)",
    "* -p port: connect to CDDB server using port (default for cddbp: 888 default for http: 80)",
    "* -P protocol: use one of 'cddbp', 'http' or 'proxy' (default: cddbp)",
    "* -d database: use one of 'cddb' or 'musicbrainz' (default: cddb)",
    "* -t toc_file: take the disc's table of contents from a rip log or CUE sheet",
    "* -y: never ask; tag a disc only when exactly one was found for certain",
    "* -F: embed the release's front cover (MusicBrainz only)",
    "",
]

BANNER = re.compile(r"^Vantrel \d+(\.\d+)? Release Date: \d{8} Built: [A-Z][a-z]{2} [ \d]\d \d{4} \d\d:\d\d:\d\d$")


# The parser's messages are unit-tested; these show how main reports them.
@pytest.mark.parametrize("args, message", [(["help"], None), (["-h"], None), ([], "Expected command"),
                                           (["-p", "0", "list", "a"], "Expected valid port number (0-32767)")])
def test_the_usage_and_any_parse_error_end_with_status_1(vantrel, args, message):
    result = vantrel(args)
    assert (result.status, result.stderr) == (1, "")
    lines = result.stdout.split("\n")
    # The long banner: attribution and home page, then an empty line.
    assert BANNER.match(lines[0]) and lines[1] and lines[2] and lines[3] == "", lines[:4]
    # No short banner precedes the usage; a parse error's message is the last line.
    assert lines[4:] == USAGE_LINES + ([f"Parse Exception: {message}"] if message else []) + [""]


def test_text_from_outside_reaches_the_terminal_with_control_characters_as_question_marks(
        vantrel, musicbrainz_server, tmp_path):
    hostile, shown = "\x1b]0;owned\x07\x1b[2J", "?]0;owned??[2J"
    server = musicbrainz_server({})
    server.default = (500, {"error": hostile})
    folder, seen = tmp_path / hostile, f"{tmp_path}/{shown}"
    folder.mkdir()
    (folder / "bad.flac").write_bytes(b"\0" * 64)
    (folder / "Taken.mp3").write_bytes(b"not ours")
    same = [make_audio(folder / f"{n}.mp3", 0.2, rate=8000, tags={"title": "Same"}) for n in (1, 2)]
    taken = make_audio(folder / "3.mp3", 0.2, rate=8000, tags={"title": "Taken"})
    runs = [(["-d", "musicbrainz", "-s", "127.0.0.1", "-p", server.port, "sequence", taken], "stdout",
             f"Vantrel: Error: MusicBrainz answered HTTP 500: {shown}"),
            (["list", folder / "bad.flac"], "stderr", f"{seen}/bad.flac: File is invalid"),
            (["rename", "%s.mp3", *same], "stderr",
             f"{seen}/1.mp3: '{seen}/Same.mp3' would be the new name of more than one file"),
            (["rename", "%s.mp3", taken], "stderr", f"{seen}/3.mp3: '{seen}/Taken.mp3' already exists")]
    for args, stream, line in runs:
        result = vantrel(args, stdin="y\n")
        assert line in getattr(result, stream).splitlines(), result
        assert not re.search("[\x00-\x08\x0b-\x1f\x7f]", result.stdout + result.stderr), result


DEMO = SOURCE / "scripts" / "demo"


def test_demo_tags_its_sample_disc_and_leaves_the_users_cache_alone(tmp_path):
    user_cache = tmp_path / "user" / ".cddbslave" / "misc"
    user_cache.mkdir(parents=True)
    (user_cache / "00000000").write_text("the user's own entry\n")
    environment = {k: v for k, v in os.environ.items() if not k.endswith("_proxy")}
    environment.update(HOME=str(tmp_path / "user"), VANTREL_BIN=BINARY)

    demo = subprocess.run([DEMO], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          env=environment, timeout=120)

    assert demo.returncode == 0, demo.stdout + demo.stderr
    output = demo.stdout
    assert "[ 1] Sample Artist - Sample Disc (Year: 2024 Genre: Demo)\n" in output
    assert "Which disc [1-1] ? 1\n1: File 01.flac [Tag Saved]\n" in output
    assert "3: File 03.flac [Tag Saved]\n" in output
    assert " 2. 02.flac (0:03)\n    Guest Singer - Middle Part (2, 2024, Demo)\n" in output
    assert sorted(p.name for p in (tmp_path / "user").rglob("*")) == \
        [".cddbslave", "00000000", "misc"]


def run(command, **kwargs):
    return subprocess.run([str(c) for c in command], capture_output=True, text=True, timeout=300, **kwargs)


def test_install_and_debian_package_give_the_same_working_tree(tmp_path):
    assert run(["cmake", "--install", BUILD, "--prefix", "/usr"],
               env={**os.environ, "DESTDIR": str(tmp_path / "installed")}).returncode == 0
    packed = run(["cpack", "-G", "DEB", "-B", tmp_path / "deb", "--config", BUILD / "CPackConfig.cmake"])
    assert packed.returncode == 0, packed.stdout + packed.stderr
    [deb] = (tmp_path / "deb").glob("vantrel_0.1_*.deb")
    depends = {re.split(r"[ (]", d.strip())[0] for d in run(["dpkg-deb", "-f", deb, "Depends"]).stdout.split(",")}
    # The runtime libraries, found by dpkg-shlibdeps, and never a build-only package.
    assert {"libtag1v5", "libcddb2", "libmpg123-0", "libcurl4", "libdiscid0", "libc6"} <= depends, depends
    assert not [d for d in depends if d.endswith("-dev")], depends
    assert run(["dpkg", "-x", deb, tmp_path / "unpacked"]).returncode == 0

    for root in (tmp_path / "installed" / "usr", tmp_path / "unpacked" / "usr"):
        with gzip.open(root / "share" / "man" / "man1" / "vantrel.1.gz", "rb") as manual:
            assert manual.read() == MANUAL.read_bytes()
        assert (root / "share" / "bash-completion" / "completions" / "vantrel").read_bytes() == \
            COMPLETION.read_bytes()
        result = run([root / "bin" / "vantrel", "help"], env={**os.environ, "HOME": str(tmp_path)})
        assert result.returncode == 1 and result.stdout.startswith("Vantrel 0.1 Release Date: "), result


def test_manual_page_is_clean_and_documents_every_command_flag_and_status(tmp_path):
    lint = run(["groff", "-ww", "-z", "-man", MANUAL])
    assert (lint.returncode, lint.stderr) == (0, "")
    rendered = run(["groff", "-man", "-Tutf8", "-rLL=200n", "-P-cbou", MANUAL]).stdout.replace("\u2010", "-")
    sections = dict(re.findall(r"^([A-Z][A-Z ]+)\n(.*?)(?=^[A-Z][A-Z ]+\n|\Z)", rendered, re.M | re.S))
    usage = run([BUILD / "vantrel", "help"], env={**os.environ, "HOME": str(tmp_path)}).stdout
    entries = {"COMMANDS": re.findall(r"^\* (\w+)", usage, re.M) + ["list"],
               "OPTIONS": re.findall(r"^\* (-\w) ", usage, re.M) + ["-h"],
               "TEMPLATE TOKENS": re.findall(r"(%\w) = ", usage), "EXIT STATUS": list("01234"),
               "ENVIRONMENT": ["http_proxy", "EMAIL", "HOME", "XDG_CACHE_HOME"]}
    assert len(entries["COMMANDS"]) == 5 and len(entries["OPTIONS"]) == 7 and len(entries["TEMPLATE TOKENS"]) == 6
    for section, names in entries.items():
        for name in names:
            assert re.search(rf"^ {{7}}{re.escape(name)}\b", sections[section], re.M), (section, name)
    version = re.match(r"Vantrel (\S+) ", usage).group(1)
    assert f'"vantrel {version}"' in MANUAL.read_text()


CASES = [
    # (words on the line, the last one being completed) -> expected candidates
    (["vantrel", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-"], ["-c", "-s", "-p", "-P", "-d", "-t", "-y", "-F", "-h"]),
    (["vantrel", "-y", "-F", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-t", "n"], ["notes.txt"]),
    (["vantrel", "-t", "notes.txt", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-d", ""], ["cddb", "musicbrainz"]),
    (["vantrel", "-d", "musicbrainz", "id", ""], ["release", "discid"]),
    (["vantrel", "-c", ""], ["on", "off", "only"]),
    (["vantrel", "-s", "-c", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-p", ""], []),
    (["vantrel", "id", ""], ["blues", "classical", "country", "data", "folk", "jazz", "misc",
                             "newage", "reggae", "rock", "soundtrack"]),
    (["vantrel", "id", "rock", "7d0b170a", ""], ["01 Intro.flac", "02 Song.mp3", "disc2", "notes.txt"]),
    (["vantrel", "list", "02 Song.mp3", "d"], ["disc2"]),
    (["vantrel", "-h", ""], []),
]

SCRIPT = r"""
[ -n "$WITH_LIBRARY" ] && source /usr/share/bash-completion/bash_completion
source "$COMPLETION"
while IFS=$'\x1f' read -r -a words; do
    COMP_WORDS=("${words[@]}") COMP_CWORD=$(( ${#words[@]} - 1 )) COMP_LINE="${words[*]}" COMPREPLY=()
    COMP_POINT=${#COMP_LINE}
    _vantrel vantrel "${words[COMP_CWORD]}" "${words[COMP_CWORD-1]}"
    printf '>'; printf '%s\x1f' "${COMPREPLY[@]}"; printf '\n'
done
"""


@pytest.mark.parametrize("library", ["1", ""], ids=["bash-completion", "plain-bash"])
def test_bash_completion(tmp_path, library):
    for name in ("01 Intro.flac", "02 Song.mp3", "notes.txt"):
        (tmp_path / name).write_bytes(b"")
    (tmp_path / "disc2").mkdir()
    # An empty last word stands for the blank after the word before it.
    stdin = "".join("\x1f".join(words) + ("\x1f" if words[-1] == "" else "") + "\n" for words, _ in CASES)
    env = {"PATH": os.environ["PATH"], "HOME": str(tmp_path), "COMPLETION": str(COMPLETION),
           "WITH_LIBRARY": library}
    result = run(["bash", "--norc", "--noprofile", "-c", SCRIPT], input=stdin, cwd=tmp_path, env=env)
    assert result.returncode == 0, result.stderr
    answers = [sorted(filter(None, line[1:].split("\x1f"))) for line in result.stdout.split("\n") if line[:1] == ">"]
    assert answers == [sorted(expected) for _, expected in CASES]
