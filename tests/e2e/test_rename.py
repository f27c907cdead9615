"""`rename` end to end on real tagged files: the names it makes, the answers
it accepts, and the rules that keep every file safe."""

import os

import pytest

from support.audio import make_audio
from support.runner import body

PROMPT = "\nRename [yn] ? "


@pytest.fixture
def disc(tmp_path):
    """The folder of the files under test (HOME is elsewhere in tmp_path)."""
    folder = tmp_path / "disc"
    folder.mkdir()
    return folder


def make_files(folder, specs):
    """One tagged audio file per (name, tags) pair in `folder`."""
    folder.mkdir(parents=True, exist_ok=True)
    return [make_audio(folder / name, 0.2, rate=8000, tags=tags) for name, tags in specs]


def snapshot(folder):
    """Every entry under `folder`: relative path (bytes) -> its bytes, None for a directory."""
    found, root = {}, os.fsencode(folder)
    for directory, subdirs, files in os.walk(root):
        for name in subdirs + files:
            path = os.path.join(directory, name)
            found[os.path.relpath(path, root)] = None if name in subdirs else open(path, "rb").read()
    return found


def plan(result):
    """The plan lines after the short banner."""
    return body(result).split(PROMPT)[0].splitlines()


# (file name, tags, template, new name)
EXPANSIONS = [
    ("in.mp3", {"tracknumber": "3", "title": "Intro"}, "%n - %s.mp3", "03 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "123", "title": "Intro"}, "%n - %s.mp3", "123 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "0", "title": "Intro"}, "%n - %s.mp3", "00 - Intro.mp3"),
    ("in.mp3", {"title": "no year"}, "%y.mp3", "0.mp3"),
    ("in.mp3", {"tracknumber": "7"}, "%n %n.mp3", "07 %n.mp3"),
    # A tag's own text is never expanded.
    ("in.mp3", {"artist": "Me %s You", "title": "Song"}, "%a - %s.mp3", "Me %s You - Song.mp3"),
    ("in.mp3", {"artist": "%y", "date": "1999"}, "%a.mp3", "%y.mp3"),
    ("in.flac", {"artist": "Ar", "genre": "Rock", "title": "Ti", "album": "Al", "date": "2001",
                 "tracknumber": "4"}, "%a_%g_%s_%t_%y_%n.flac", "Ar_Rock_Ti_Al_2001_04.flac"),
]


@pytest.mark.parametrize("name,tags,template,expected", EXPANSIONS)
def test_expansion(vantrel, disc, name, tags, template, expected):
    [path] = make_files(disc, [(name, tags)])
    before = snapshot(disc)
    result = vantrel(["rename", template, path], stdin="y\n")
    assert (result.status, result.stderr, plan(result)) == (0, "", [f"[ 1] '{path}' -> '{expected}'"]), result
    assert snapshot(disc) == {os.fsencode(expected): before[os.fsencode(name)]}


# Real titles: (old name, artist, title, new name for "%n %a – %s.mp3").
# Names are UTF-8; '/' and control characters in a tag become '-' and '_'; a
# name too long for the file system (255 bytes) loses the end of its longest
# tag texts, whole characters only, and keeps the template's text.
REAL_WORLD = [
    ("in1.mp3", "Кино", "Группа крови", "01 Кино – Группа крови.mp3"),
    ("in2.mp3", "Sigur Rós", "Hoppípolla", "02 Sigur Rós – Hoppípolla.mp3"),
    ("in3.mp3", "AC/DC", "Either/Or", "03 AC-DC – Either-Or.mp3"),
    ("in\t4.mp3", "A", "Line\nbreak\x1b[31m", "04 A – Line_break_[31m.mp3"),
    ("in5.mp3", "Ж" * 150, "あ" * 100, "05 " + "Ж" * 60 + " – " + "あ" * 40 + ".mp3"),
] + [(f"in{n}.mp3", "B", f"T{n}", f"{n:02d} B – T{n}.mp3") for n in range(6, 11)]


def test_real_world_titles_make_utf8_names_exactly_as_planned(vantrel, disc):
    if os.pathconf(disc, "PC_NAME_MAX") != 255:
        pytest.skip("the names expected are those of a 255-byte limit")
    make_files(disc, [(old, {"artist": artist, "title": title, "tracknumber": str(n)})
                      for n, (old, artist, title, _) in enumerate(REAL_WORLD, 1)])
    before = snapshot(disc)
    result = vantrel(["rename", "%n %a – %s.mp3", *[old for old, *_ in REAL_WORLD]], stdin="y\n", cwd=disc)
    assert result.status == 0, result
    assert result.stdout_bytes.split(b"\n")[2:12] == [
        f"[{n:2d}] '{old}' -> '{new}'".replace("\t", "?").encode() for n, (old, _, _, new) in enumerate(REAL_WORLD, 1)]
    assert snapshot(disc) == {new.encode(): before[old.encode()] for old, _, _, new in REAL_WORLD}


def test_files_stay_in_their_own_directory(vantrel, disc):
    tags = {"artist": "Ar", "album": "Al", "tracknumber": "3"}
    make_files(disc / "rip" / "cd1", [("a.mp3", tags)])
    make_files(disc, [("b.mp3", dict(tags, tracknumber="4")), ("05.mp3", dict(tags, tracknumber="5"))])
    result = vantrel(["rename", "%a/%t/%n.mp3", "rip/cd1/a.mp3", "b.mp3", "./05.mp3"], stdin="y\n", cwd=disc)
    # The plan shows the name each file gets; one that has it already stays.
    assert (result.status, result.stderr) == (0, ""), result
    assert plan(result) == ["[ 1] 'rip/cd1/a.mp3' -> '03.mp3'", "[ 2] 'b.mp3' -> '04.mp3'",
                            "[ 3] './05.mp3' -> '05.mp3'"]
    assert sorted(snapshot(disc)) == [b"04.mp3", b"05.mp3", b"rip", b"rip/cd1", b"rip/cd1/03.mp3"]


# Only the first character counts, y or Y renames; Enter alone asks on.
@pytest.mark.parametrize("answer,renamed", [
    (b"y\n", True), (b"Y\n", True), (b"yes\n", True), (b"\n\n\ny\n", True),
    (b"n\n", False), (b"ny\n", False), (b"", False),
])
def test_answers(vantrel, disc, answer, renamed):
    [path] = make_files(disc, [("a.mp3", {"title": "New"})])
    result = vantrel(["rename", "%s.mp3", path], stdin=answer)
    assert (result.status, result.stderr) == (0, "")
    assert result.stdout.endswith(PROMPT if renamed else PROMPT + "\nCancelled\n")
    assert os.listdir(disc) == ["New.mp3" if renamed else "a.mp3"]


def test_template_is_checked_before_files(vantrel, disc):
    [good] = make_files(disc, [("a.mp3", {"title": "T"})])
    missing = disc / "missing.mp3"
    before = snapshot(disc)
    result = vantrel(["rename", "no token.mp3", good, missing], stdin="y\n")
    assert (result.status, body(result), result.stderr) == (4, "No valid token found in template.\n", "")
    # With a token, the unusable file stops the command instead.
    result = vantrel(["rename", "%s.mp3", good, missing], stdin="y\n")
    assert (result.status, body(result), result.stderr) == (3, "", f"{missing}: File is invalid\n")
    assert snapshot(disc) == before


# No file is ever replaced or lost: (title of each file, an unrelated entry
# made first, the template, the errors, where each file ends up).
REFUSED = {
    "clash": ({"a.mp3": "Same", "b.mp3": "Same", "c.mp3": "Other"}, None, "%s.mp3",
              "a.mp3: './Same.mp3' would be the new name of more than one file\n"
              "b.mp3: './Same.mp3' would be the new name of more than one file\n",
              {"a.mp3": "a.mp3", "b.mp3": "b.mp3", "c.mp3": "c.mp3"}),
    "unrelated-file": ({"a.mp3": "Taken", "b.mp3": "Free"}, "Taken.mp3", "%s.mp3",
                       "a.mp3: './Taken.mp3' already exists\n", {"a.mp3": "a.mp3", "b.mp3": "Free.mp3"}),
    "swap": ({"a.mp3": "b", "b.mp3": "a"}, None, "%s.mp3",
             "a.mp3: './b.mp3' already exists\nb.mp3: './a.mp3' already exists\n", {"a.mp3": "a.mp3", "b.mp3": "b.mp3"}),
    # a -> b comes before b -> c in the plan: b still exists when a's turn comes.
    "freed-later": ({"a.mp3": "b", "b.mp3": "c"}, None, "%s.mp3",
                    "a.mp3: './b.mp3' already exists\n", {"a.mp3": "a.mp3", "b.mp3": "c.mp3"}),
    "directory": ({"a.mp3": "Dir"}, "Dir/inside", "%s", "a.mp3: './Dir' already exists\n", {"a.mp3": "a.mp3"}),
    "no-file-name": ({"a.mp3": "..", "b.mp3": "B"}, None, "%s", "a.mp3: new name does not end in a file name\n",
                     {"a.mp3": "a.mp3", "b.mp3": "B"}),
}


@pytest.mark.parametrize("titles,other,template,errors,moves", REFUSED.values(), ids=REFUSED.keys())
def test_no_file_is_ever_replaced_or_lost(vantrel, disc, titles, other, template, errors, moves):
    make_files(disc, [(name, {"title": title}) for name, title in titles.items()])
    if other:
        (disc / other).parent.mkdir(exist_ok=True)
        (disc / other).write_bytes(b"not ours")
    before = snapshot(disc)
    result = vantrel(["rename", template, *titles], stdin="y\n", cwd=disc)
    assert (result.status, result.stderr) == (4, errors), result
    expected = {name: data for name, data in before.items() if os.fsdecode(name) not in titles}
    expected.update({os.fsencode(new): before[os.fsencode(old)] for old, new in moves.items()})
    assert snapshot(disc) == expected
