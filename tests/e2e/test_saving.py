"""Saving tags never damages a file: a full disk, runs killed or run twice at
once, files changed while the disc question waits, damaged MP4 files. Audio
is checked with ffmpeg and flac, tags with mutagen."""

import fcntl
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

import pytest
from mutagen.flac import FLAC, Picture

from support.audio import decoded, make_audio, read_tags, write_tags
from support.discs import Entry, cache_folder, contents, expected_tags, make_disc
from support.runner import BINARY, body

ROCK = Entry("Rock Band", "Loud", [("One", 40), ("Two", 40), ("Three", 40)], year=1990, genre="Rock")
JAZZ = Entry("Jazz Trio", "Soft", [("Uno", 40), ("Dos", 40), ("Tres", 40)], year=1960, genre="Jazz")


def start(home, args, answer=None):
    """vantrel running in the background with HOME set and, if given, its answer."""
    process = subprocess.Popen([BINARY, "-c", "only", *map(str, args)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env={**os.environ, "HOME": str(home)})
    if answer is not None:
        process.stdin.write(answer.encode())
        process.stdin.close()
        process.stdin = None
    return process


# The slow group (scripts/test sets VANTREL_SLOW_TESTS=1 for its first run).
SLOW = pytest.mark.skipif(os.environ.get("VANTREL_SLOW_TESTS") != "1", reason="slow group: VANTREL_SLOW_TESTS=1")


def noise_flac(folder, seconds):
    """FLAC of white noise without padding: its first tag moves all of its audio."""
    wav, flac = folder / "noise.wav", folder / "noise.flac"
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds),
                    "whitenoise", "vol", "0.5"], check=True)
    subprocess.run(["flac", "--silent", "--no-padding", "-o", flac, wav], check=True)
    return flac


def journals(folder):
    return sorted(name for name in os.listdir(folder) if name.startswith(".vantrel-"))


@pytest.mark.parametrize("kills", [10, pytest.param(100, marks=SLOW)])
def test_killed_runs_then_any_command_leave_every_file_exactly_old_or_new(vantrel, home, tmp_path, kills):
    ROCK.write(cache_folder(home), "rock")
    JAZZ.write(cache_folder(home), "jazz")
    source = noise_flac(tmp_path, 20)
    old = source.read_bytes()
    paths = [tmp_path / f"{n}.flac" for n in (1, 2, 3)]
    runs = [["id", category, ROCK.discid, *paths] for category in ("rock", "jazz")]

    def run_from_fresh_files(attempt):
        for path in paths:
            shutil.copy(source, path)
        return start(home, runs[attempt % 2], "1\n")

    new, started = [], time.monotonic()
    for attempt in (0, 1):
        assert run_from_fresh_files(attempt).wait() == 0
        new.append(contents(paths))
    run_time = (time.monotonic() - started) / 2
    restored = 0
    for attempt in range(kills):
        process = run_from_fresh_files(attempt)
        time.sleep(random.uniform(0, run_time))
        # A signal that can be caught waits for the file being saved to be whole.
        process.send_signal([signal.SIGKILL, signal.SIGTERM][attempt % 3 // 2])
        process.wait()
        assert attempt % 3 != 2 or journals(tmp_path) == []
        listed = vantrel(["list", *paths])
        assert listed.status == 0 and set(listed.stderr.splitlines()) <= {
            f"Vantrel: restored {path} from an interrupted save" for path in paths}, listed
        restored += len(listed.stderr.splitlines())
        assert [data in (old, new[attempt % 2][n]) for n, data in enumerate(contents(paths))] == [True] * 3
        assert journals(tmp_path) == []
    print(f"{kills} kills, {restored} files put back")


def test_two_runs_at_once_take_turns(home, tmp_path):
    ROCK.write(cache_folder(home), "rock")
    JAZZ.write(cache_folder(home), "jazz")
    source = noise_flac(tmp_path, 20)
    md5 = FLAC(source).info.md5_signature
    paths = [tmp_path / f"{n}.flac" for n in (1, 2, 3)]
    for path in paths:
        shutil.copy(source, path)
    first, second = (start(home, ["id", category, ROCK.discid, *paths], "1\n") for category in ("rock", "jazz"))
    for process in (first, second):
        out, err = process.communicate(timeout=60)
        assert process.returncode == 0, (out, err)
        assert out.decode().count("[Tag Saved]") == 3
    for n, path in enumerate(paths, 1):
        subprocess.run(["flac", "--silent", "-t", path], check=True)
        assert FLAC(path).info.md5_signature == md5, path
        assert read_tags(path) in [expected_tags(ROCK, n), expected_tags(JAZZ, n)], path


def test_a_save_waits_while_another_vantrel_holds_the_file(home, tmp_path):
    ROCK.write(cache_folder(home), "rock")
    paths = make_disc(tmp_path, ROCK, ("flac", "mp3", "ogg"), tags={"title": "Old"})
    with open(paths[1], "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        process = start(home, ["sequence", *paths], "1\n")
        lines = [process.stdout.readline() for _ in range(7)]
        assert lines[-1].endswith(f"1: File {paths[0]} [Tag Saved]\n".encode()), lines
        time.sleep(1)
        # The second file waits for the lock, however long this machine takes.
        assert process.poll() is None and read_tags(paths[1])["title"] == "Old"
    out, err = process.communicate(timeout=60)
    assert (process.returncode, err) == (0, b"") and out.decode().count("[Tag Saved]") == 2
    assert [read_tags(path) for path in paths] == [expected_tags(ROCK, n) for n in (1, 2, 3)]


# A file size limit makes writes past it fail, as a full disk does.
FILE_SIZE_LIMIT = (sys.executable, "-c", "import os, resource, sys\n"
                   "resource.setrlimit(resource.RLIMIT_FSIZE, (int(sys.argv[1]), int(sys.argv[1])))\n"
                   "os.execv(sys.argv[2], sys.argv[2:])\n")


@pytest.mark.parametrize("limit", ["file size", "full disk"])
def test_a_file_that_does_not_fit_fails_and_stays_as_it_was(vantrel, home, tmp_path, limit):
    disc = Entry("Artist", "Album", [("A", 2), ("B", 2), ("C", 2), ("Big", 8)], year=2001, genre="Pop")
    disc.write(cache_folder(home), "rock")
    folder = tmp_path / "small"
    folder.mkdir()
    mounted = limit == "full disk" and subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", folder],
                                                      stderr=subprocess.DEVNULL).returncode == 0
    if limit == "full disk" and not mounted:
        pytest.skip("cannot mount a tmpfs here")
    try:
        paths = make_disc(folder, disc, ("wav",) * 4, rate=22050)
        before, audio = contents(paths), [decoded(path) for path in paths]
        if mounted:
            # Not a byte left: no journal can be written, so no file is touched.
            with open(folder / "filler", "wb") as filler:
                free = os.statvfs(folder)
                filler.write(b"\0" * (free.f_bavail * free.f_frsize))
            wrapper, failing, error = (), [1, 2, 3, 4], "cannot write the save's journal: No space left on device"
        else:
            # The journal is written, but the tags cannot grow the big file: it is put back.
            wrapper, failing, error = (*FILE_SIZE_LIMIT, str(os.path.getsize(paths[3]) + 64)), [4], \
                "cannot write: File too large"

        result = vantrel(["-c", "only", "sequence", *paths], stdin="1\n", wrapper=wrapper)

        assert (result.status, result.stderr) == (4, "".join(f"{paths[n - 1]}: {error}\n" for n in failing)), result
        assert body(result).endswith("".join(
            f"{n}: File {path} [{'Save Failed' if n in failing else 'Tag Saved'}]\n" for n, path in enumerate(paths, 1))
            + f"Vantrel: Error: {len(failing)} file{'s' if len(failing) > 1 else ''} could not be saved.\n")
        for n, path in enumerate(paths, 1):
            assert contents([path])[0] == before[n - 1] if n in failing else read_tags(path) == expected_tags(disc, n)
        assert [decoded(path) for path in paths] == audio and journals(folder) == []
    finally:
        if mounted:
            subprocess.run(["umount", folder], check=True)


def test_a_save_whose_journal_cannot_be_removed_fails_and_is_put_back(vantrel, home, tmp_path):
    ROCK.write(cache_folder(home), "rock")
    folder = tmp_path / "append-only"
    folder.mkdir()
    paths = make_disc(folder, ROCK, ("flac",) * 3)
    before = contents(paths)
    # A folder that takes new names but lets none go: a journal left behind
    # would undo, at the next run, a save reported as done.
    if subprocess.run(["chattr", "+a", folder], stderr=subprocess.DEVNULL).returncode != 0:
        pytest.skip("cannot make a folder append-only here")
    try:
        result = vantrel(["-c", "only", "sequence", *paths], stdin="1\n")
    finally:
        subprocess.run(["chattr", "-a", folder], check=True)

    assert (result.status, result.stderr) == (4, "".join(
        f"{path}: cannot remove the save's journal: Operation not permitted\n" for path in paths)), result
    assert contents(paths) == before


def test_what_another_program_wrote_while_the_question_waited_is_kept(home, tmp_path):
    ROCK.write(cache_folder(home), "rock")
    flac, mp3, ogg = make_disc(tmp_path, ROCK, ("flac", "mp3", "ogg"), tags={"title": "Old"})
    link = tmp_path / "link.ogg"
    link.symlink_to(os.path.basename(ogg))
    os.chmod(flac, 0o640)
    process = start(home, ["sequence", flac, mp3, link])
    asked = b""
    while not asked.endswith(b"Which disc [1-1] ? "):
        chunk = process.stdout.read1(4096)
        assert chunk, asked
        asked += chunk

    # Meanwhile another tagger makes the tags larger, moving the audio.
    picture = Picture()
    picture.mime, picture.data = "image/png", os.urandom(50000)
    rewritten = FLAC(flac)
    rewritten.add_picture(picture)
    rewritten["comment"] = "kept"
    rewritten.save()
    write_tags(mp3, {"album": "x" * 50000})
    audio = [decoded(path) for path in (flac, mp3, ogg)]
    out, err = process.communicate(b"1\n", timeout=60)

    assert process.returncode == 0, (out, err)
    assert [read_tags(path) for path in (flac, mp3, ogg)] == [expected_tags(ROCK, n) for n in (1, 2, 3)]
    assert FLAC(flac)["comment"] == ["kept"] and FLAC(flac).pictures[0].data == picture.data
    assert [decoded(path) for path in (flac, mp3, ogg)] == audio
    assert os.readlink(link) == os.path.basename(ogg) and os.stat(flac).st_mode & 0o777 == 0o640


def test_an_mp4_whose_atom_sizes_do_not_fit_is_refused_and_a_legal_one_tagged(vantrel, home, tmp_path):
    disc = Entry("Artist", "Album", [("Song", 3)], year=2003, genre="Pop")
    disc.write(cache_folder(home), "misc")
    path = make_audio(tmp_path / "song.m4a", 3, rate=8000, tags={"title": "Old"})
    good, audio = path_bytes(path), decoded(path)
    moov = good.index(b"moov") - 4
    inner_free = good.index(b"free", moov) - 4
    mdat = good.index(b"mdat") - 4

    def sized(data, offset, size):
        return data[:offset] + struct.pack(">I", size) + data[offset + 4:]

    # ffmpeg leaves 8 bytes of `free` before `mdat`, room for a 64-bit size.
    (mdat_size,) = struct.unpack(">I", good[mdat:mdat + 4])
    wide = good[:mdat - 8] + struct.pack(">I4sQ", 1, b"mdat", mdat_size + 8) + good[mdat + 8:]
    cases = [(sized(good, inner_free, 0), False), (sized(good, inner_free, 0xFFFFFFFF), False),
             (sized(good, moov, 0), True), (wide, True)]

    for data, legal in cases:
        open(path, "wb").write(data)
        result = vantrel(["-c", "only", "id", "misc", disc.discid, path], stdin="1\n")
        if legal:
            assert result.status == 0 and read_tags(path)["title"] == "Song" and decoded(path) == audio, result
        else:
            assert (result.status, body(result), result.stderr) == (3, "", f"{path}: File is invalid\n")
            assert path_bytes(path) == data


def path_bytes(path):
    return open(path, "rb").read()


def test_a_save_keeps_the_file_itself_and_an_unchanged_one_is_not_written(vantrel, home, tmp_path):
    disc = Entry("Artist", "Album", [("Song", 3), ("Other", 3)], year=2005, genre="Pop")
    disc.write(cache_folder(home), "misc")
    flac = tmp_path / ("x" * 250 + ".flac")
    os.rename(make_audio(tmp_path / "1.flac", 3, rate=8000, tags={"title": "Old"}), flac)
    mp3 = make_audio(tmp_path / "2.mp3", 3, rate=8000, tags={"title": "Old"})
    link = tmp_path / "linked.flac"
    os.link(flac, link)
    os.setxattr(flac, "user.note", b"kept")
    os.chmod(flac, 0o640)
    before = [os.stat(path) for path in (flac, mp3)]
    flac_audio_at, id3_size = flac_audio_offset(flac), path_bytes(mp3)[6:10]

    saved = vantrel(["-c", "only", "sequence", flac, mp3], stdin="1\n")
    again = vantrel(["-c", "only", "sequence", flac, mp3], stdin="1\n")

    assert (saved.status, saved.stderr) == (0, "") and body(saved).endswith(
        f"1: File {flac} [Tag Saved]\n2: File {mp3} [Tag Saved]\n"), saved
    after = [os.stat(path) for path in (flac, mp3)]
    assert [(s.st_ino, s.st_nlink, s.st_mode) for s in after] == [(s.st_ino, s.st_nlink, s.st_mode) for s in before]
    assert read_tags(link) == read_tags(flac) == expected_tags(disc, 1) and os.getxattr(link, "user.note") == b"kept"
    # The tags fit the room the old ones had: the audio stayed where it was.
    assert flac_audio_offset(flac) == flac_audio_at and after[0].st_size == before[0].st_size
    assert path_bytes(mp3)[6:10] == id3_size and read_tags(mp3) == expected_tags(disc, 2)
    assert (again.status, again.stderr) == (0, "") and body(again).endswith(
        f"1: File {flac} [Tag Unchanged]\n2: File {mp3} [Tag Unchanged]\n"), again
    assert [os.stat(path).st_mtime_ns for path in (flac, mp3)] == [s.st_mtime_ns for s in after]
    assert journals(tmp_path) == []


def flac_audio_offset(path):
    data, offset, last = path_bytes(path), 4, False
    while not last:
        last, offset = data[offset] & 0x80, offset + 4 + int.from_bytes(data[offset + 1:offset + 4], "big")
    return offset


def journal(path, ranges, inode=None, name=None):
    """A rollback journal as vantrel writes it, for the file at `path` as it
    is now: the bytes of `ranges` ((offset, length) pairs), its size, name,
    device and inode, and a CRC-32 over all of it."""
    status = os.stat(path)
    name = (name or os.path.basename(path)).encode()
    data = b"VANTREL JOURNAL1" + struct.pack("<4Q", status.st_dev, inode or status.st_ino, status.st_size, len(name))
    data += name + struct.pack("<Q", len(ranges))
    for offset, length in ranges:
        data += struct.pack("<2Q", offset, length) + path_bytes(path)[offset:offset + length]
    data += struct.pack("<Q", zlib.crc32(data))
    journal_path = os.path.join(os.path.dirname(path), f".vantrel-{status.st_dev}-{inode or status.st_ino}.journal")
    open(journal_path, "wb").write(data)
    return journal_path


def test_list_puts_back_an_interrupted_save_and_drops_torn_or_stray_journals(vantrel, tmp_path):
    disc = Entry("Artist", "Album", [("A", 2), ("B", 2), ("C", 2)])
    cut, torn, replaced = make_disc(tmp_path, disc, ("flac", "mp3", "ogg"), tags={"title": "Old"})
    old = contents([cut, torn, replaced])
    # A save cut short: its journal is complete, the file half written and grown.
    journal(cut, [(0, 5000), (9000, 100)])
    with open(cut, "r+b") as half_written:
        half_written.write(b"\xff" * 3000)
        half_written.seek(0, os.SEEK_END)
        half_written.write(b"\0" * 7000)
    # A save cut while it wrote its journal: the file was not touched yet.
    with open(journal(torn, [(0, 4000)]), "r+b") as journal_file:
        journal_file.truncate(3000)
    # The journal of a file since replaced by another, and one of a file not named.
    journal(replaced, [(0, 10)], inode=1)
    unnamed = journal(replaced, [(0, 10)], inode=2, name="not named.ogg")

    result = vantrel(["list", cut, torn, replaced])

    assert result.status == 0 and result.stderr == (
        f"Vantrel: restored {cut} from an interrupted save\n"
        f"Vantrel: deleted the journal of an interrupted save of {replaced}: the file was replaced by another since\n"
        ) or sorted(result.stderr.splitlines()) == sorted([
            f"Vantrel: restored {cut} from an interrupted save",
            f"Vantrel: deleted the journal of an interrupted save of {replaced}: "
            "the file was replaced by another since"]), result
    assert contents([cut, torn, replaced]) == old
    assert journals(tmp_path) == [os.path.basename(unnamed)]
    assert "1. " + str(cut) in body(result) and "Old" in body(result)


def test_a_file_the_save_would_damage_is_refused_untouched_and_the_others_saved(vantrel, home, tmp_path):
    disc = Entry("Artist", "Album", [("A", 2), ("B", 2), ("C", 2)], year=2001, genre="Pop")
    disc.write(cache_folder(home), "rock")
    footer, no_size, good = make_disc(tmp_path, disc, ("mp3", "wav", "flac"), tags={"title": "Old"})
    # An ID3v2.4 tag whose footer flag is set, with no footer after it.
    data = path_bytes(footer)
    open(footer, "wb").write(data[:5] + bytes([data[5] | 0x10]) + data[6:])
    # A WAV whose data chunk declares size 0, as a streamed header does.
    data = path_bytes(no_size)
    at = data.index(b"data") + 4
    open(no_size, "wb").write(data[:at] + b"\0\0\0\0" + data[at + 4:])
    before = contents([footer, no_size])

    # The WAV reads as 0 s long now: `id` still gives it the nearest track.
    result = vantrel(["-c", "only", "id", "rock", disc.discid, footer, no_size, good], stdin="1\n")

    assert result.status == 4 and sorted(result.stderr.splitlines()) == [
        f"{footer}: saving would change its audio", f"{no_size}: the WAV's data chunk declares no size"], result
    outcomes = {line.split("File ")[1].split(" matches ")[0]: line.rsplit(" [", 1)[1]
                for line in body(result).splitlines() if " matches " in line}
    assert outcomes == {str(footer): "Save Failed]", str(no_size): "Save Failed]", str(good): "Tag Saved]"}
    assert body(result).endswith("Vantrel: Error: 2 files could not be saved.\n")
    assert contents([footer, no_size]) == before and read_tags(good)["album"] == "Album"


# `id` reads the files' lengths again after the question, the MP3's by its name.
@pytest.mark.parametrize("command", [["sequence"], ["id", "rock", ROCK.discid]])
def test_a_file_swapped_for_a_fifo_during_the_question_is_reported_and_the_others_saved(home, tmp_path, command):
    ROCK.write(cache_folder(home), "rock")
    paths = make_disc(tmp_path, ROCK, ("flac", "mp3", "ogg"), tags={"title": "Old"})
    process = start(home, [*command, *paths])
    asked = b""
    while not asked.endswith(b"Which disc [1-1] ? "):
        chunk = process.stdout.read1(4096)
        assert chunk, asked
        asked += chunk
    os.remove(paths[1])
    os.mkfifo(paths[1])
    out, err = process.communicate(b"1\n", timeout=60)

    assert (process.returncode, err.decode()) == (4, f"{paths[1]}: is not a regular file\n"), out
    matches = [f" matches {name}" if command[0] == "id" else "" for name, _ in ROCK.tracks]
    assert out.decode().endswith(f"1: File {paths[0]}{matches[0]} [Tag Saved]\n"
                                 f"2: File {paths[1]}{matches[1]} [Save Failed]\n"
                                 f"3: File {paths[2]}{matches[2]} [Tag Saved]\n"
                                 "Vantrel: Error: 1 file could not be saved.\n")
    assert [read_tags(paths[n]) for n in (0, 2)] == [expected_tags(ROCK, n) for n in (1, 3)]
