"""`list` end to end on real audio files, and the files it refuses."""

import os
import pathlib
import resource
import shutil
import tempfile

import pytest

from support.audio import make_audio, make_wav
from support.discs import unused_port
from support.runner import body

HEADER = "Output format: Artist - Title (Track Number, Year, Genre)\n\n"


def test_lists_every_format_with_tags_lengths_and_numbers(vantrel, tmp_path):
    # A control character in a tag reaches the terminal as '?'.
    tags = {"artist": "Björk", "title": "Jóga\x1b[2J", "album": "Homogenic", "genre": "Electronic",
            "date": "1997", "tracknumber": "3"}
    tagged = [make_audio(tmp_path / f"t.{fmt}", 65.4, rate=8000, tags=tags) for fmt in ("mp3", "flac", "ogg", "wav")]
    lengths = {0.4: "0:00", 59: "0:59", 600: "10:00", 5: "0:05", 9: "0:09"}
    plain = [make_wav(tmp_path / f"{n}.wav", seconds, rate=1000) for n, seconds in enumerate(lengths)]
    # A file named twice is listed twice.
    files = tagged + [tagged[0]] + plain

    result = vantrel(["list", *files])

    assert (result.status, result.stderr) == (0, ""), result
    lines = [f"{n:2d}. {path} (1:05)\n    Björk - Jóga?[2J (3, 1997, Electronic)\n" for n, path in enumerate(files, 1)]
    lines[5:] = [f"{n:2d}. {path} ({shown})\n     -  (0, 0, )\n"
                 for n, (path, shown) in enumerate(zip(plain, lengths.values()), 6)]
    assert body(result) == HEADER + "".join(lines)


def test_unusable_files_are_reported_in_order_and_nothing_is_listed(vantrel, tmp_path):
    good = make_audio(tmp_path / "good.mp3", 1, rate=8000)
    text, fake, fifo = (tmp_path / name for name in ("notes.txt", "fake.flac", "pipe.mp3"))
    text.write_text("not audio\n")
    fake.write_bytes(b"\x00" * 4096)
    os.mkfifo(fifo)
    unusable = [tmp_path / "missing.mp3", text, fake, fifo, ""]
    result = vantrel(["list", good, *unusable], timeout=30)
    assert (result.status, body(result)) == (3, "")
    assert result.stderr == "".join(f"{path}: File is invalid\n" for path in unusable)


def test_truncated_audio_never_crashes(vantrel, tmp_path):
    for fmt in ("mp3", "flac", "ogg", "wav"):
        data = open(make_audio(tmp_path / f"whole.{fmt}", 3, rate=8000, tags={"title": "T"}), "rb").read()
        for size in (10, 100, len(data) // 2):
            cut = tmp_path / f"cut{size}.{fmt}"
            cut.write_bytes(data[:size])
            assert vantrel(["list", cut], timeout=30).status in (0, 3), cut


@pytest.mark.skipif(os.geteuid() != 0 or not shutil.which("setpriv"),
                    reason="needs root to run the binary as an unprivileged user")
def test_read_only_files_are_refused_although_list_only_reads(vantrel):
    # A folder that an unprivileged user can enter (pytest's own are private).
    with tempfile.TemporaryDirectory() as name:
        folder = pathlib.Path(name)
        os.chmod(folder, 0o755)
        writable, read_only = (make_audio(folder / name, 1, rate=8000) for name in ("writable.flac", "read-only.flac"))
        broken = folder / "broken.ogg"
        broken.write_bytes(b"OggS" + b"\x00" * 200)
        for path, mode in ((writable, 0o666), (read_only, 0o444), (broken, 0o444)):
            os.chmod(path, mode)
        result = vantrel(["list", writable, read_only, broken], cwd=folder,
                         wrapper=("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"))
    # TagLib drops a file it finds invalid, so a broken read-only file is simply invalid.
    assert (result.status, result.stderr) == (3, f"{read_only}: File is read-only\n{broken}: File is invalid\n"), result


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

    # With the hard limit as low, that is said before any lookup, and no file is blamed.
    result = vantrel(["-s", "127.0.0.1", "-p", str(unused_port()), "sequence", *names], cwd=tmp_path,
                     wrapper=("prlimit", "--nofile=1024:1024"))
    assert (result.status, body(result), result.stderr) == (
        3, "Vantrel: Error: too many files open at once (limit 1024)\n", ""), result
