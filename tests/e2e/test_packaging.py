"""The program as a user installs it: `cmake --install`, the Debian package,
the manual page and the bash completion."""

import gzip
import os
import re
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("VANTREL_BUILD_DIR") or SOURCE / "build").resolve()
MANUAL = SOURCE / "doc" / "vantrel.1"
COMPLETION = SOURCE / "completions" / "vantrel"


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
    assert len(entries["COMMANDS"]) == 5 and len(entries["OPTIONS"]) == 6 and len(entries["TEMPLATE TOKENS"]) == 6
    for section, names in entries.items():
        for name in names:
            assert re.search(rf"^ {{7}}{re.escape(name)}\b", sections[section], re.M), (section, name)
    version = re.match(r"Vantrel (\S+) ", usage).group(1)
    assert f'"vantrel {version}"' in MANUAL.read_text()


CASES = [
    # (words on the line, the last one being completed) -> expected candidates
    (["vantrel", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-"], ["-c", "-s", "-p", "-P", "-d", "-h"]),
    (["vantrel", "-d", ""], ["cddb", "musicbrainz"]),
    (["vantrel", "-d", "musicbrainz", "id", ""], ["release", "discid"]),
    (["vantrel", "-c", ""], ["on", "off", "only"]),
    (["vantrel", "-c", "on", "-P", "h"], ["http"]),
    (["vantrel", "-s", "-c", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-p", ""], []),
    (["vantrel", "id", ""], ["blues", "classical", "country", "data", "folk", "jazz", "misc",
                             "newage", "reggae", "rock", "soundtrack"]),
    (["vantrel", "id", "rock", ""], []),
    (["vantrel", "id", "rock", "7d0b170a", ""], ["01 Intro.flac", "02 Song.mp3", "disc2", "notes.txt"]),
    (["vantrel", "list", "02 Song.mp3", "d"], ["disc2"]),
    (["vantrel", "rename", ""], []),
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
