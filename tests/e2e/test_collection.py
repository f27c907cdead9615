"""Whole collections: folders of discs handled in turn, and runs that never
ask (-y) and write a disc only when it was found for certain."""

import os

from support.audio import make_audio, read_tags
from support.discs import Entry, cache_folder, contents, disc_listing, expected_tags, unused_port
from support.runner import body

UNIQUE = Entry("First Artist", "Only One", [("Intro", 3), ("Song", 4)], year=1999, genre="Pop")
TWICE = Entry("Second Artist", "Two Pressings", [("Alpha", 2), ("Beta", 3), ("Gamma", 2)], year=2004, genre="Rock")
UNKNOWN = Entry("Nobody", "Nowhere", [("Lost", 5)])


def disc_folder(root, name, entry):
    """A folder of one disc's FLAC files, in an order only a natural sort
    gets right, beside files that are not audio."""
    folder = root / name
    folder.mkdir()
    for n, (_, seconds) in enumerate(entry.tracks, 1):
        make_audio(folder / f"{n}.flac", seconds, rate=8000)
    for other in ("cover.jpg", "notes.txt", "playlist.m3u", ".hidden.flac"):
        (folder / other).write_bytes(b"not audio")
    return folder


def test_an_unattended_run_tags_only_the_disc_found_for_certain(vantrel, home, tmp_path):
    UNIQUE.write(cache_folder(home), "rock")
    for category in ("rock", "jazz"):
        TWICE.write(cache_folder(home), category)
    folders = [disc_folder(tmp_path, name, entry)
               for name, entry in (("one", UNIQUE), ("two", TWICE), ("three", UNKNOWN))]
    untouched = contents(sorted((folders[1]).iterdir()))

    # Standard input is closed: reading it would end the run with an error.
    result = vantrel(["-y", "-c", "only", "sequence", *folders])

    listing_two = disc_listing(TWICE, 1) + disc_listing(TWICE, 2)
    assert (result.status, body(result)) == (5, (
        f"== {folders[0]} (1/3)\n" + disc_listing(UNIQUE)
        + "".join(f"{n}: File {folders[0]}/{n}.flac [Tag Saved]\n" for n in (1, 2))
        + f"== {folders[1]} (2/3)\n" + listing_two + "Vantrel: 2 discs match; run without -y to choose\n"
        + f"== {folders[2]} (3/3)\nNo results.\n"
        + "Done: 1 tagged, 0 unchanged, 1 need a choice, 1 not found, 0 failed\n")), result
    assert [read_tags(folders[0] / f"{n}.flac") for n in (1, 2)] == [expected_tags(UNIQUE, n) for n in (1, 2)]
    assert contents(sorted(folders[1].iterdir())) == untouched

    # Nothing left to write the second time round.
    times = [os.stat(folders[0] / f"{n}.flac").st_mtime_ns for n in (1, 2)]
    again = vantrel(["-y", "-c", "only", "sequence", folders[0]])
    assert (again.status, body(again).splitlines()[-1]) == (0, "Done: 0 tagged, 1 unchanged, 0 need a choice, "
                                                                "0 not found, 0 failed"), again
    assert [os.stat(folders[0] / f"{n}.flac").st_mtime_ns for n in (1, 2)] == times


def test_unattended_rename_over_two_folders_and_mixed_arguments(vantrel, tmp_path):
    first, second = tmp_path / "a", tmp_path / "b"
    first.mkdir()
    second.mkdir()
    for folder, titles in ((first, ["Ten", "Two"]), (second, ["One"])):
        for n, title in zip((10, 2), titles):
            make_audio(folder / f"{n}.mp3", 1, rate=8000, tags={"title": title, "tracknumber": str(n)})

    result = vantrel(["-y", "rename", "%n %s.mp3", first, second])

    assert (result.status, body(result)) == (0, (
        f"== {first} (1/2)\n[ 1] '{first}/2.mp3' -> '02 Two.mp3'\n[ 2] '{first}/10.mp3' -> '10 Ten.mp3'\n"
        f"== {second} (2/2)\n[ 1] '{second}/10.mp3' -> '10 One.mp3'\n")), result
    assert sorted(os.listdir(first)) == ["02 Two.mp3", "10 Ten.mp3"]

    mixed = vantrel(["list", first, first / "02 Two.mp3"])
    assert mixed.status == 1
    assert mixed.stdout.splitlines()[-1] == "Parse Exception: Give the files of one disc, or folders of discs"


def test_a_disc_only_the_cache_could_give_is_not_certain(vantrel, home, tmp_path):
    UNIQUE.write(cache_folder(home), "rock")
    folder = disc_folder(tmp_path, "one", UNIQUE)

    result = vantrel(["-y", "-s", "127.0.0.1", "-p", unused_port(), "sequence", folder])

    assert (result.status, body(result).splitlines()[-2:]) == (5, [
        "Vantrel: only an approximate match; run without -y to choose",
        "Done: 0 tagged, 0 unchanged, 1 need a choice, 0 not found, 0 failed"]), result
    assert result.stderr.startswith("Vantrel: using the cache: Connection error: "), result
    assert read_tags(folder / "1.flac") == {}
