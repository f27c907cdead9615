"""The program as a user installs it: `cmake --install`, the Debian package,
the manual page and the bash completion."""

import gzip
import os
import re
import shutil
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("VANTREL_BUILD_DIR")
             or os.path.dirname(os.environ.get("VANTREL_BIN") or SOURCE / "build" / "vantrel")).resolve()
MANUAL = SOURCE / "doc" / "vantrel.1"
COMPLETION = SOURCE / "completions" / "vantrel"


def run(command, **kwargs):
    return subprocess.run([str(c) for c in command], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, timeout=300, **kwargs)


def run_help(binary, home):
    """Runs an installed binary's `help`: it must print the long banner and
    the usage text and end with status 1."""
    result = run([binary, "help"], env={**os.environ, "HOME": str(home)})
    assert result.returncode == 1, result
    assert result.stdout.startswith("Vantrel 0.1 Release Date: "), result.stdout
    assert ("vantrel [-c cache_mode] [-s hostname] [-p port] [-P protocol] [-d database] [-h] "
            "command [command_arguments] file...") in result.stdout
    assert result.stderr == ""


def check_installed_tree(root):
    """The files a user gets, under root/usr."""
    usr = root / "usr"
    binary = usr / "bin" / "vantrel"
    assert os.access(binary, os.X_OK)
    with gzip.open(usr / "share" / "man" / "man1" / "vantrel.1.gz", "rb") as manual:
        assert manual.read() == MANUAL.read_bytes()
    completion = usr / "share" / "bash-completion" / "completions" / "vantrel"
    assert completion.read_bytes() == COMPLETION.read_bytes()
    return binary


def test_cmake_install_into_destdir(tmp_path):
    root = tmp_path / "root"
    result = run(["cmake", "--install", BUILD, "--prefix", "/usr"],
                 env={**os.environ, "DESTDIR": str(root)})
    assert result.returncode == 0, result.stderr
    binary = check_installed_tree(root)
    run_help(binary, tmp_path)


def test_debian_package_installs_and_runs(tmp_path):
    if shutil.which("dpkg-shlibdeps") is None:
        pytest.fail("dpkg-shlibdeps is missing: scripts/install-deps installs dpkg-dev")
    out = tmp_path / "package"
    result = run(["cpack", "-G", "DEB", "-B", out, "--config", BUILD / "CPackConfig.cmake"],
                 cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr
    packages = list(out.glob("vantrel_*.deb"))
    assert len(packages) == 1, list(out.iterdir())
    deb = packages[0]

    fields = {}
    for name in ("Package", "Version", "Architecture", "Depends", "Section", "Maintainer"):
        fields[name] = run(["dpkg-deb", "-f", deb, name]).stdout.strip()
    assert fields["Package"] == "vantrel"
    assert fields["Version"] == "0.1"
    assert fields["Architecture"] == run(["dpkg", "--print-architecture"]).stdout.strip()
    assert fields["Maintainer"]
    depends = {re.split(r"[ (]", d.strip())[0] for d in fields["Depends"].split(",")}
    # The runtime libraries, found by dpkg-shlibdeps, and never a build-only package.
    assert {"libtag1v5", "libcddb2", "libc6"} <= depends, fields["Depends"]
    assert not [d for d in depends if d.endswith("-dev")], fields["Depends"]

    root = tmp_path / "root"
    result = run(["dpkg", "-x", deb, root])
    assert result.returncode == 0, result.stderr
    binary = check_installed_tree(root)
    run_help(binary, tmp_path)


# --- Manual page ---------------------------------------------------------------

def render_manual():
    result = run(["groff", "-man", "-Tutf8", "-ww", "-rLL=200n", "-P-cbou", MANUAL])
    assert result.returncode == 0 and result.stderr == "", result.stderr
    # Section name -> its text.
    sections, name = {}, None
    for line in result.stdout.replace("\u2010", "-").replace("\u2212", "-").splitlines():
        if re.match(r"^[A-Z][A-Z ]+$", line):
            name = line.strip()
            sections[name] = []
        elif name:
            sections[name].append(line)
    return {key: "\n".join(lines) for key, lines in sections.items()}


def test_manual_page_is_lint_clean():
    result = run(["groff", "-ww", "-z", "-man", MANUAL])
    assert result.returncode == 0
    assert result.stderr == "", result.stderr
    if shutil.which("mandoc"):
        result = run(["mandoc", "-T", "lint", "-W", "warning", MANUAL])
        assert result.returncode == 0, result.stdout + result.stderr


def test_manual_page_documents_what_the_program_offers(tmp_path):
    manual = render_manual()
    for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "OPTIONS", "TEMPLATE TOKENS",
                    "EXIT STATUS", "ENVIRONMENT", "FILES", "WHEN NO DISC IS FOUND", "EXAMPLES"):
        assert section in manual, sorted(manual)

    usage = run([BUILD / "vantrel", "help"], env={**os.environ, "HOME": str(tmp_path)}).stdout
    # Every command of the usage text (and list, which it leaves out) has an entry.
    commands = re.findall(r"^\* (\w+)", usage, re.M) + ["list"]
    assert {"id", "sequence", "rename", "help"} <= set(commands)
    for command in commands:
        assert re.search(rf"^ {{7}}{command}\b", manual["COMMANDS"], re.M), command
    # Every flag, with its values and defaults.
    flags = re.findall(r"^\* (-\w) ", usage, re.M)
    assert flags == ["-c", "-s", "-p", "-P", "-d"]
    for flag in flags + ["-h"]:
        assert re.search(rf"^ {{7}}{flag}\b", manual["OPTIONS"], re.M), flag
    for word in ("on", "off", "only", "cddbp", "http", "proxy", "888", "80", "cddb", "musicbrainz", "443"):
        assert re.search(rf"\b{word}\b", manual["OPTIONS"]), word
    server = re.search(r"\(default: ([\w.]+)\)", usage).group(1)
    assert server in manual["OPTIONS"]
    # Every token of the usage text, with the meaning the usage gives it.
    tokens = dict(re.findall(r"(%\w) = ([\w ]+?)(?:[,.]|$)", usage, re.M))
    assert set(tokens) == {"%a", "%g", "%s", "%t", "%y", "%n"}
    for token, meaning in tokens.items():
        assert re.search(rf"^ {{7}}{token} +the {meaning}", manual["TEMPLATE TOKENS"], re.M), token
    for status in range(5):
        assert re.search(rf"^ {{7}}{status}\b", manual["EXIT STATUS"], re.M), status
    for variable in ("http_proxy", "EMAIL", "HOME", "XDG_CACHE_HOME"):
        assert re.search(rf"^ {{7}}{variable}\b", manual["ENVIRONMENT"], re.M), variable
    assert ".cddbslave" in manual["FILES"] and "vantrel/musicbrainz" in manual["FILES"]
    for example in ("sequence", "id ", "rename '%n", "-c only", "-P http", "-P proxy", "-d musicbrainz id release"):
        assert example in manual["EXAMPLES"], example
    # The page names the version the binary reports.
    version = re.match(r"Vantrel (\S+) ", usage).group(1)
    assert f'"vantrel {version}"' in MANUAL.read_text()


# --- Bash completion -----------------------------------------------------------

CASES = [
    # (words on the line, the last one being completed) -> expected candidates
    (["vantrel", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-"], ["-c", "-s", "-p", "-P", "-d", "-h"]),
    (["vantrel", "-d", ""], ["cddb", "musicbrainz"]),
    (["vantrel", "-d", "musicbrainz", "id", ""], ["release", "discid"]),
    (["vantrel", "s"], ["sequence"]),
    (["vantrel", "-c", ""], ["on", "off", "only"]),
    (["vantrel", "-P", ""], ["cddbp", "http", "proxy"]),
    (["vantrel", "-c", "on", "-P", "h"], ["http"]),
    (["vantrel", "-c", "only", "-p", "8880", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-s", "-c", ""], ["id", "sequence", "rename", "list", "help"]),
    (["vantrel", "-p", ""], []),
    (["vantrel", "id", ""], ["blues", "classical", "country", "data", "folk", "jazz", "misc",
                             "newage", "reggae", "rock", "soundtrack"]),
    (["vantrel", "id", "rock", ""], []),
    (["vantrel", "id", "rock", "7d0b170a", ""], ["01 Intro.flac", "02 Song.mp3", "disc2", "notes.txt"]),
    (["vantrel", "sequence", "0"], ["01 Intro.flac", "02 Song.mp3"]),
    (["vantrel", "list", "02 Song.mp3", "d"], ["disc2"]),
    (["vantrel", "rename", ""], []),
    (["vantrel", "rename", "%n - %s.mp3", "n"], ["notes.txt"]),
    (["vantrel", "help", ""], []),
    (["vantrel", "-h", ""], []),
]

SCRIPT = r"""
[ -n "$WITH_LIBRARY" ] && source /usr/share/bash-completion/bash_completion
source "$COMPLETION"
complete -p vantrel
while IFS=$'\x1f' read -r -a words; do
    [ -z "${words[*]}" ] && [ ${#words[@]} -eq 0 ] && continue
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$(( ${#words[@]} - 1 ))
    COMP_LINE="${words[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _vantrel vantrel "${words[COMP_CWORD]}" "${words[COMP_CWORD-1]}"
    printf '%s\x1f' "${COMPREPLY[@]}"
    printf '\n'
done
"""


@pytest.mark.parametrize("with_library", [True, False], ids=["bash-completion", "plain-bash"])
def test_bash_completion(tmp_path, with_library):
    library = Path("/usr/share/bash-completion/bash_completion")
    if with_library and not library.exists():
        pytest.fail("bash-completion is missing: scripts/install-deps installs it")
    for name in ("01 Intro.flac", "02 Song.mp3", "notes.txt"):
        (tmp_path / name).write_bytes(b"")
    (tmp_path / "disc2").mkdir()

    # A word completed at the end of the line; an empty last word stands for the
    # blank after the previous one. Words with blanks are passed as they are,
    # the way bash splits a quoted word.
    stdin = "".join("\x1f".join(words) + ("\x1f" if words[-1] == "" else "") + "\n"
                    for words, _ in CASES)
    env = {"PATH": os.environ["PATH"], "HOME": str(tmp_path), "COMPLETION": str(COMPLETION)}
    if with_library:
        env["WITH_LIBRARY"] = "1"
    result = run(["bash", "--norc", "--noprofile", "-c", SCRIPT], input=stdin, cwd=tmp_path, env=env)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.split("\n")
    assert lines[0] == "complete -F _vantrel vantrel"
    answers = [sorted(filter(None, line.split("\x1f"))) for line in lines[1:len(CASES) + 1]]
    for (words, expected), got in zip(CASES, answers):
        assert got == sorted(expected), words
    assert len(answers) == len(CASES)
