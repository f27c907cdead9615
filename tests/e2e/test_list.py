"""`list` end to end on real audio files, and the files it refuses."""

import os
import pathlib
import resource
import shutil
import tempfile

import pytest

from support.audio import make_audio, make_wav
from support.runner import body

HEADER = "Output format: Artist - Title (Track Number, Year, Genre)\n\n"


def listing(result):
    """The listing after the short banner and header."""
    assert body(result).startswith(HEADER), result
    return body(result)[len(HEADER):]


def test_lists_every_format_with_tags_and_lengths(vantrel, tmp_path):
    # A control character in a tag reaches the terminal as '?'.
    tags = {"artist": "Björk", "title": "Jóga\x1b[2J", "album": "Homogenic",
            "genre": "Electronic", "date": "1997", "tracknumber": "3"}
    files = [make_audio(tmp_path / f"t.{fmt}", 65.4, rate=8000, tags=tags)
             for fmt in ("mp3", "flac", "ogg", "wav")]
    # A file named twice is listed twice.
    files.append(files[0])
    result = vantrel(["list", *files])
    assert result.status == 0, result
    assert result.stderr == ""
    expected = "".join(f" {n}. {path} (1:05)\n    Björk - Jóga?[2J (3, 1997, Electronic)\n"
                       for n, path in enumerate(files, 1))
    assert listing(result) == expected


def test_numbering_lengths_and_empty_tags(vantrel, tmp_path):
    lengths = [0.4, 59, 600, 5, 5, 5, 5, 5, 5, 5]
    files = [make_wav(tmp_path / f"{n:02d}.wav", seconds, rate=1000)
             for n, seconds in enumerate(lengths, 1)]
    result = vantrel(["list", *files], cwd=tmp_path)
    assert result.status == 0, result
    lines = listing(result).split("\n")
    assert lines[0] == f" 1. {files[0]} (0:00)"
    assert lines[1] == "     -  (0, 0, )"
    assert lines[2] == f" 2. {files[1]} (0:59)"
    assert lines[4] == f" 3. {files[2]} (10:00)"
    assert lines[16] == f" 9. {files[8]} (0:05)"
    assert lines[18] == f"10. {files[9]} (0:05)"
    assert len(lines) == 21 and lines[20] == ""


def test_unusable_files_are_reported_in_order_and_nothing_is_listed(vantrel, tmp_path):
    good = make_audio(tmp_path / "good.mp3", 1, rate=8000)
    text = tmp_path / "notes.txt"
    text.write_text("not audio\n")
    fake = tmp_path / "fake.flac"
    fake.write_bytes(b"\x00" * 4096)
    fifo = tmp_path / "pipe.mp3"
    os.mkfifo(fifo)
    folder = tmp_path / "folder.mp3"
    folder.mkdir()
    paths = [good, tmp_path / "missing.mp3", text, fake, fifo, folder, ""]
    result = vantrel(["list", *paths], timeout=30)
    assert result.status == 3
    assert body(result) == ""
    assert result.stderr.split("\n") == [
        f"{paths[1]}: File is invalid",
        f"{text}: File is invalid",
        f"{fake}: File is invalid",
        f"{fifo}: File is invalid",
        f"{folder}: File is invalid",
        ": File is invalid",
        "",
    ]


def test_truncated_audio_never_crashes(vantrel, tmp_path):
    paths = []
    for fmt in ("mp3", "flac", "ogg", "wav"):
        whole = make_audio(tmp_path / f"whole.{fmt}", 3, rate=8000, tags={"title": "T"})
        data = open(whole, "rb").read()
        for size in (10, 100, len(data) // 2):
            cut = tmp_path / f"cut{size}.{fmt}"
            cut.write_bytes(data[:size])
            paths.append(cut)
    for path in paths:
        result = vantrel(["list", path], timeout=30)
        assert result.status in (0, 3), (path, result)


@pytest.fixture
def shared_tmp():
    """A folder that an unprivileged user can enter (pytest's own are private)."""
    folder = tempfile.mkdtemp(prefix="vantrel-")
    os.chmod(folder, 0o755)
    yield pathlib.Path(folder)
    shutil.rmtree(folder)


def nobody_can_run():
    return os.geteuid() == 0 and shutil.which("setpriv")


@pytest.mark.skipif(not nobody_can_run(), reason="needs root to run the binary as an unprivileged user")
def test_read_only_files_are_refused_although_list_only_reads(vantrel, shared_tmp):
    tmp_path = shared_tmp
    writable = make_audio(tmp_path / "writable.flac", 1, rate=8000)
    read_only = make_audio(tmp_path / "read-only.flac", 1, rate=8000)
    broken = tmp_path / "broken.ogg"
    broken.write_bytes(b"OggS" + b"\x00" * 200)
    os.chmod(writable, 0o666)
    os.chmod(read_only, 0o444)
    os.chmod(broken, 0o444)
    result = vantrel(["list", writable, read_only, broken], cwd=tmp_path,
                     wrapper=("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"))
    assert result.status == 3, result
    # TagLib drops a file it finds invalid, so a broken read-only file is
    # simply invalid.
    assert result.stderr == (f"{read_only}: File is read-only\n"
                             f"{broken}: File is invalid\n")


def test_two_thousand_files_under_a_low_open_file_limit(vantrel, tmp_path):
    hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
    if hard != resource.RLIM_INFINITY and hard < 2100:
        pytest.skip(f"the hard open-file limit ({hard}) is below 2,000 files")
    source = make_audio(tmp_path / "source.mp3", 1, rate=8000, tags={"title": "Same"})
    names = [f"{n:04d}.mp3" for n in range(2000)]
    for name in names:
        shutil.copyfile(source, tmp_path / name)

    # The soft limit of 1,024 open files, the hard one unchanged.
    result = vantrel(["list", *names], cwd=tmp_path, wrapper=("prlimit", "--nofile=1024:"))

    assert result.status == 0, result.stderr[-500:]
    assert result.stdout.count("     - Same (0, 0, )\n") == 2000
    assert "2000. 1999.mp3 (0:01)\n" in result.stdout
