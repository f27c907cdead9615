"""`rename` end to end on real tagged files: the names it makes, the answers
it accepts, and the rules that keep every file safe."""

import os

import pytest

from support.audio import make_audio
from support.runner import body

PROMPT = "\nRename [yn] ? "
CANCELLED = PROMPT + "\nCancelled\n"


@pytest.fixture
def disc(tmp_path):
    """The folder of the files under test (HOME is elsewhere in tmp_path)."""
    folder = tmp_path / "disc"
    folder.mkdir()
    return folder


def make_files(folder, specs):
    """Makes one tagged audio file per (name, tags) pair in `folder` and
    returns their paths as strings."""
    folder.mkdir(parents=True, exist_ok=True)
    return [make_audio(folder / name, 0.2, rate=8000, tags=tags) for name, tags in specs]


def snapshot(folder):
    """Every entry under `folder`: relative path (bytes) -> file bytes, or
    None for a directory."""
    found = {}
    root = os.fsencode(folder)
    for directory, subdirs, files in os.walk(root):
        for name in subdirs:
            found[os.path.relpath(os.path.join(directory, name), root)] = None
        for name in files:
            with open(os.path.join(directory, name), "rb") as f:
                found[os.path.relpath(os.path.join(directory, name), root)] = f.read()
    return found


def plan(result):
    """The plan lines after the short banner."""
    return body(result).split(PROMPT)[0].splitlines()


# Expansion: (file name, tags, template, expected new name).
EXPANSIONS = [
    ("in.mp3", {"tracknumber": "3", "title": "Intro"}, "%n - %s.mp3", "03 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "12", "title": "Intro"}, "%n - %s.mp3", "12 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "123", "title": "Intro"}, "%n - %s.mp3", "123 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "0", "title": "Intro"}, "%n - %s.mp3", "00 - Intro.mp3"),
    ("in.mp3", {"title": "no year"}, "%y.mp3", "0.mp3"),
    ("in.mp3", {"tracknumber": "7"}, "%n %n.mp3", "07 %n.mp3"),
    # The artist is replaced first: a "%s" it brings in takes the title.
    ("in.mp3", {"artist": "A %s B", "title": "T"}, "%a - %s.mp3", "A T B - %s.mp3"),
    ("in.mp3", {"title": "T"}, "%a%s%g.mp3", "T.mp3"),
    ("in.flac", {"artist": "Ar", "genre": "Rock", "title": "Ti", "album": "Al",
                 "date": "2001", "tracknumber": "4"},
     "%a_%g_%s_%t_%y_%n.flac", "Ar_Rock_Ti_Al_2001_04.flac"),
]


@pytest.mark.parametrize("name,tags,template,expected", EXPANSIONS)
def test_expansion(vantrel, disc, name, tags, template, expected):
    [path] = make_files(disc, [(name, tags)])
    before = snapshot(disc)
    result = vantrel(["rename", template, path], stdin="y\n")
    assert result.status == 0, result
    assert result.stderr == ""
    assert plan(result) == [f"[ 1] '{path}' -> '{expected}'"]
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
]


def test_real_world_titles_make_utf8_names_as_planned(vantrel, disc):
    if os.pathconf(disc, "PC_NAME_MAX") != 255:
        pytest.skip("the names expected are those of a 255-byte limit")
    make_files(disc, [(old, {"artist": artist, "title": title, "tracknumber": str(n)})
                      for n, (old, artist, title, _) in enumerate(REAL_WORLD, 1)])
    before = snapshot(disc)
    result = vantrel(["rename", "%n %a – %s.mp3", *[old for old, *_ in REAL_WORLD]],
                     stdin="y\n", cwd=disc)
    assert result.status == 0, result
    assert result.stdout_bytes.split(b"\n")[2:7] == [
        f"[ {n}] '{old}' -> '{new}'".replace("\t", "?").encode()
        for n, (old, _, _, new) in enumerate(REAL_WORLD, 1)]
    assert snapshot(disc) == {new.encode(): before[old.encode()] for old, _, _, new in REAL_WORLD}


def test_files_stay_in_their_own_directory(vantrel, disc):
    tags = {"artist": "Ar", "album": "Al", "tracknumber": "3"}
    make_files(disc / "rip" / "cd1", [("a.mp3", tags)])
    make_files(disc, [("b.mp3", dict(tags, tracknumber="4"))])
    result = vantrel(["rename", "%a/%t/%n.mp3", "rip/cd1/a.mp3", "b.mp3"],
                     stdin="y\n", cwd=disc)
    assert result.status == 0, result
    # The plan shows the name each file gets.
    assert plan(result) == ["[ 1] 'rip/cd1/a.mp3' -> '03.mp3'", "[ 2] 'b.mp3' -> '04.mp3'"]
    assert sorted(snapshot(disc)) == [b"04.mp3", b"rip", b"rip/cd1", b"rip/cd1/03.mp3"]


# Only the first character counts, y or Y renames; Enter alone asks on.
@pytest.mark.parametrize("answer,renamed", [
    (b"y\n", True), (b"Y\n", True), (b"yes\n", True), (b"y", True), (b"\n\n\ny\n", True),
    (b"n\n", False), (b"x\n", False), (b"ny\n", False), (b"", False),
])
def test_answers(vantrel, disc, answer, renamed):
    [path] = make_files(disc, [("a.mp3", {"title": "New"})])
    result = vantrel(["rename", "%s.mp3", path], stdin=answer)
    assert result.status == 0, result
    assert result.stderr == ""
    assert result.stdout.endswith(PROMPT if renamed else CANCELLED)
    assert os.listdir(disc) == ["New.mp3" if renamed else "a.mp3"]


def test_more_than_nine_files(vantrel, disc):
    specs = [(f"in{n}.mp3", {"tracknumber": str(n), "title": f"T{n}"}) for n in range(1, 11)]
    paths = make_files(disc, specs)
    before = snapshot(disc)
    result = vantrel(["rename", "%n %s.mp3", *map(os.path.basename, paths)], stdin="y\n", cwd=disc)
    assert result.status == 0, result
    lines = plan(result)
    assert lines[0] == "[ 1] 'in1.mp3' -> '01 T1.mp3'"
    assert lines[8] == "[ 9] 'in9.mp3' -> '09 T9.mp3'"
    assert lines[9:] == ["[10] 'in10.mp3' -> '10 T10.mp3'"]
    assert snapshot(disc) == {os.fsencode(f"{n:02d} T{n}.mp3"): before[os.fsencode(f"in{n}.mp3")]
                              for n in range(1, 11)}


def test_template_is_checked_before_files(vantrel, disc):
    [good] = make_files(disc, [("a.mp3", {"title": "T"})])
    missing = disc / "missing.mp3"
    before = snapshot(disc)

    result = vantrel(["rename", "no token.mp3", good, missing], stdin="y\n")
    assert result.status == 4, result
    assert body(result) == "No valid token found in template.\n"
    assert result.stderr == ""

    # With a token, the unusable file stops the command instead.
    result = vantrel(["rename", "%s.mp3", good, missing], stdin="y\n")
    assert result.status == 3, result
    assert result.stderr == f"{missing}: File is invalid\n"
    assert "Rename" not in result.stdout
    assert snapshot(disc) == before


def test_equal_tags_rename_nothing(vantrel, disc):
    make_files(disc, [("a.mp3", {"title": "Same", "tracknumber": "1"}),
                      ("b.mp3", {"title": "Same", "tracknumber": "2"}),
                      ("c.mp3", {"title": "Other"})])
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", "a.mp3", "b.mp3", "c.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert "Rename [yn]" not in result.stdout
    assert result.stderr == ("a.mp3: './Same.mp3' would be the new name of more than one file\n"
                             "b.mp3: './Same.mp3' would be the new name of more than one file\n")
    assert snapshot(disc) == before


# An existing target is never replaced: (title of each file, an unrelated
# entry made first, the template, the errors, where each file ends up).
TAKEN = {
    "unrelated-file": ({"a.mp3": "Taken", "b.mp3": "Free"}, "Taken.mp3", "%s.mp3",
                       "a.mp3: './Taken.mp3' already exists\n",
                       {"a.mp3": "a.mp3", "b.mp3": "Free.mp3"}),
    "swap": ({"a.mp3": "b", "b.mp3": "a"}, None, "%s.mp3",
             "a.mp3: './b.mp3' already exists\nb.mp3: './a.mp3' already exists\n",
             {"a.mp3": "a.mp3", "b.mp3": "b.mp3"}),
    # a -> b comes before b -> c in the plan: b still exists when a's turn comes.
    "freed-later": ({"a.mp3": "b", "b.mp3": "c"}, None, "%s.mp3",
                    "a.mp3: './b.mp3' already exists\n", {"a.mp3": "a.mp3", "b.mp3": "c.mp3"}),
    "directory": ({"a.mp3": "Dir"}, "Dir/inside", "%s", "a.mp3: './Dir' already exists\n",
                  {"a.mp3": "a.mp3"}),
}


@pytest.mark.parametrize("titles,other,template,errors,moves", TAKEN.values(), ids=TAKEN.keys())
def test_an_existing_target_is_never_replaced(vantrel, disc, titles, other, template, errors,
                                              moves):
    make_files(disc, [(name, {"title": title}) for name, title in titles.items()])
    if other:
        (disc / other).parent.mkdir(exist_ok=True)
        (disc / other).write_bytes(b"not ours")
    before = snapshot(disc)
    result = vantrel(["rename", template, *titles], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == errors
    expected = {name: data for name, data in before.items() if os.fsdecode(name) not in titles}
    expected.update({os.fsencode(new): before[os.fsencode(old)] for old, new in moves.items()})
    assert snapshot(disc) == expected


@pytest.mark.parametrize("artist", ["..", "."])
def test_a_new_name_without_a_file_name_fails(vantrel, disc, artist):
    make_files(disc, [("a.mp3", {"artist": artist}), ("b.mp3", {"title": "B"})])
    before = snapshot(disc)
    result = vantrel(["rename", "%a%s", "a.mp3", "b.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == "a.mp3: new name does not end in a file name\n"
    assert snapshot(disc) == {b"a.mp3": before[b"a.mp3"], b"B": before[b"b.mp3"]}


def test_a_file_that_already_has_its_name_is_not_an_error(vantrel, disc):
    make_files(disc, [("Intro.mp3", {"title": "Intro"}), ("b.mp3", {"title": "Outro"})])
    before = snapshot(disc)
    result = vantrel(["rename", "x/%s.mp3", "./Intro.mp3", "b.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 0, result
    assert result.stderr == ""
    assert snapshot(disc) == {b"Intro.mp3": before[b"Intro.mp3"], b"Outro.mp3": before[b"b.mp3"]}
