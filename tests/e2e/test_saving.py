"""Saving tags never damages a file: a full disk, runs killed or run twice at
once, files changed while the disc question waits, damaged MP4 files. Audio
is checked with ffmpeg and flac, tags with mutagen."""

import os
import random
import shutil
import struct
import subprocess
import sys
import time

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


def test_killed_and_simultaneous_runs_leave_every_file_old_or_new(home, tmp_path):
    ROCK.write(cache_folder(home), "rock")
    JAZZ.write(cache_folder(home), "jazz")
    # Noise without padding: the first tag moves all of the 7 MB of audio.
    wav, source = tmp_path / "noise.wav", tmp_path / "noise.flac"
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "40",
                    "whitenoise", "vol", "0.5"], check=True)
    subprocess.run(["flac", "--silent", "--no-padding", "-o", source, wav], check=True)
    md5 = FLAC(source).info.md5_signature
    paths = [tmp_path / f"{n}.flac" for n in (1, 2, 3)]
    runs = [["id", category, ROCK.discid, *paths] for category in ("rock", "jazz")]

    def run_from_fresh_files(attempt):
        for path in paths:
            shutil.copy(source, path)
        return start(home, runs[attempt % 2], "1\n")

    def assert_whole(allowed):
        for n, path in enumerate(paths, 1):
            subprocess.run(["flac", "--silent", "-t", path], check=True)
            assert FLAC(path).info.md5_signature == md5, path
            assert read_tags(path) in [{}, *(expected_tags(disc, n) for disc in allowed)], path

    started = time.monotonic()
    assert run_from_fresh_files(0).wait() == 0
    run_time = time.monotonic() - started
    for attempt in range(12):
        process = run_from_fresh_files(attempt)
        time.sleep(random.uniform(0, run_time))
        process.kill()
        process.wait()
        assert_whole([ROCK, JAZZ][attempt % 2:][:1])

    first, second = run_from_fresh_files(0), start(home, runs[1], "1\n")
    for process in (first, second):
        out, err = process.communicate(timeout=60)
        assert process.returncode == 0, (out, err)
        assert out.decode().count("[Tag Saved]") == 3
    assert_whole([ROCK, JAZZ])


# A file size limit makes writes past it fail, as a full disk does.
FILE_SIZE_LIMIT = (sys.executable, "-c", "import os, resource, sys\n"
                   "resource.setrlimit(resource.RLIMIT_FSIZE, (int(sys.argv[1]), int(sys.argv[1])))\n"
                   "os.execv(sys.argv[2], sys.argv[2:])\n")


@pytest.mark.parametrize("limit", ["file size", "full disk"])
def test_a_file_that_does_not_fit_fails_alone_and_stays_as_it_was(vantrel, home, tmp_path, limit):
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
            # Room for one small file's copy at a time, not for two, nor for the big one.
            with open(folder / "filler", "wb") as filler:
                free = os.statvfs(folder)
                filler.write(b"\0" * (free.f_bavail * free.f_frsize - 3 * os.path.getsize(paths[0]) // 2))
            wrapper, error = (), "cannot copy: No space left on device"
        else:
            # The big file can still be copied, but its tag cannot grow it.
            wrapper, error = (*FILE_SIZE_LIMIT, str(os.path.getsize(paths[3]) + 64)), "cannot write: File too large"

        result = vantrel(["-c", "only", "sequence", *paths], stdin="1\n", wrapper=wrapper)

        assert (result.status, result.stderr) == (4, f"{paths[3]}: {error}\n"), result
        assert body(result).endswith(
            "".join(f"{n}: File {path} [Tag Saved]\n" for n, path in enumerate(paths[:3], 1))
            + f"4: File {paths[3]} [Save Failed]\nVantrel: Error: 1 file could not be saved.\n")
        assert [read_tags(path) for path in paths[:3]] == [expected_tags(disc, n) for n in (1, 2, 3)]
        assert contents(paths)[3] == before[3] and [decoded(path) for path in paths] == audio
        assert [name for name in os.listdir(folder) if ".vantrel-" in name] == []
    finally:
        if mounted:
            subprocess.run(["umount", folder], check=True)


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
