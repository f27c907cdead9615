"""`rename` end to end on real tagged files: the names it makes, the answers
it accepts, and the rules that keep every file safe."""

import os
import re

import pytest

from support.audio import make_audio

SHORT_BANNER = re.compile(r"^Vantrel \S+ Release Date: \d{8} Built: .+\n\n")
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


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


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


def assert_nothing_lost(before, after):
    """The same contents exist afterwards, whatever their names."""
    assert sorted(v for v in before.values() if v is not None) == \
        sorted(v for v in after.values() if v is not None)
    assert len(before) == len(after)


def plan(result):
    """The plan lines after the short banner."""
    assert SHORT_BANNER.match(result.stdout), result
    body = SHORT_BANNER.sub("", result.stdout, count=1)
    return body.split(PROMPT)[0].splitlines()


# Expansion: (file name, tags, template, expected new name).
EXPANSIONS = [
    ("in.mp3", {"tracknumber": "3", "title": "Intro"}, "%n - %s.mp3", "03 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "12", "title": "Intro"}, "%n - %s.mp3", "12 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "123", "title": "Intro"}, "%n - %s.mp3", "123 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "0", "title": "Intro"}, "%n - %s.mp3", "00 - Intro.mp3"),
    ("in.mp3", {"tracknumber": "5/12"}, "%n.mp3", "05.mp3"),
    ("in.mp3", {"date": "1999"}, "%y.mp3", "1999.mp3"),
    ("in.mp3", {"title": "no year"}, "%y.mp3", "0.mp3"),
    ("in.mp3", {"tracknumber": "7"}, "%n %n.mp3", "07 %n.mp3"),
    ("in.mp3", {"artist": "A %s B", "title": "T"}, "%a - %s.mp3", "A T B - %s.mp3"),
    # The artist is replaced first, so a "%a" that the title brings in stays.
    ("in.mp3", {"artist": "X", "title": "%a"}, "%s-%a.mp3", "%a-X.mp3"),
    ("in.mp3", {"title": "T"}, "%a%s%g.mp3", "T.mp3"),
    ("in.flac", {"artist": "Ar", "genre": "Rock", "title": "Ti", "album": "Al",
                 "date": "2001", "tracknumber": "4"},
     "%a_%g_%s_%t_%y_%n.flac", "Ar_Rock_Ti_Al_2001_04.flac"),
    ("in.ogg", {"title": "Ti"}, "%x %s 100%.ogg", "%x Ti 100%.ogg"),
]


@pytest.mark.parametrize("name,tags,template,expected", EXPANSIONS)
def test_expansion(vantrel, disc, name, tags, template, expected):
    [path] = make_files(disc, [(name, tags)])
    content = read_bytes(path)
    result = vantrel(["rename", template, path], stdin="y\n")
    assert result.status == 0, result
    assert result.stderr == ""
    assert plan(result) == [f"[ 1] '{path}' -> '{expected}'"]
    assert snapshot(disc) == {os.fsencode(expected): content}


def test_tag_texts_become_latin1_in_names(vantrel, disc):
    [path] = make_files(disc, [("a.mp3", {"title": "é"})])
    result = vantrel(["rename", "%s.mp3", "a.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 0, result
    assert b"[ 1] 'a.mp3' -> '\xe9.mp3'\n" in result.stdout_bytes
    assert os.listdir(os.fsencode(disc)) == [b"\xe9.mp3"]


def test_a_name_cut_short_by_a_nul_is_refused(vantrel, disc):
    # U+0100 has no Latin-1 form; its 8-bit conversion is a NUL byte, which
    # would end the name early in the file system.
    [path] = make_files(disc, [("a.mp3", {"title": "x\u0100y"})])
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", "a.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == "a.mp3: new name contains a NUL character\n"
    assert snapshot(disc) == before


def test_files_stay_in_their_own_directory(vantrel, disc):
    tags = {"artist": "Ar", "album": "Al", "tracknumber": "3"}
    sub = disc / "rip" / "cd1"
    [nested] = make_files(sub, [("a.mp3", tags)])
    [bare] = make_files(disc, [("b.mp3", dict(tags, tracknumber="4"))])
    result = vantrel(["rename", "%a/%t/%n.mp3", "rip/cd1/a.mp3", "b.mp3"],
                     stdin="y\n", cwd=disc)
    assert result.status == 0, result
    assert plan(result) == ["[ 1] 'rip/cd1/a.mp3' -> 'Ar/Al/03.mp3'",
                            "[ 2] 'b.mp3' -> 'Ar/Al/04.mp3'"]
    assert sorted(snapshot(disc)) == [b"04.mp3", b"rip", b"rip/cd1", b"rip/cd1/03.mp3"]


@pytest.mark.parametrize("answer", [b"y\n", b"Y\n", b"yes\n", b"Yes please\n", b"y",
                                    b"\n\n\ny\n", b" \t\n y\n"])
def test_answers_that_rename(vantrel, disc, answer):
    [path] = make_files(disc, [("a.mp3", {"title": "New"})])
    result = vantrel(["rename", "%s.mp3", path], stdin=answer)
    assert result.status == 0, result
    assert result.stdout.endswith(PROMPT)
    assert os.listdir(disc) == ["New.mp3"]


@pytest.mark.parametrize("answer", [b"n\n", b"N\n", b"x\n", b"ny\n", b"", b"\n\n"])
def test_answers_that_cancel(vantrel, disc, answer):
    [path] = make_files(disc, [("a.mp3", {"title": "New"})])
    result = vantrel(["rename", "%s.mp3", path], stdin=answer)
    assert result.status == 0, result
    assert result.stdout.endswith(CANCELLED)
    assert result.stderr == ""
    assert os.listdir(disc) == ["a.mp3"]


def test_more_than_nine_files(vantrel, disc):
    specs = [(f"in{n}.mp3", {"tracknumber": str(n), "title": f"T{n}"}) for n in range(1, 12)]
    paths = make_files(disc, specs)
    before = snapshot(disc)
    result = vantrel(["rename", "%n %s.mp3", *map(os.path.basename, paths)], stdin="y\n", cwd=disc)
    assert result.status == 0, result
    lines = plan(result)
    assert lines[0] == "[ 1] 'in1.mp3' -> '01 T1.mp3'"
    assert lines[8] == "[ 9] 'in9.mp3' -> '09 T9.mp3'"
    assert lines[9] == "[10] 'in10.mp3' -> '10 T10.mp3'"
    assert lines[10] == "[11] 'in11.mp3' -> '11 T11.mp3'"
    after = snapshot(disc)
    for n in range(1, 12):
        assert after[os.fsencode(f"{n:02d} T{n}.mp3")] == before[os.fsencode(f"in{n}.mp3")]
    assert len(after) == 11


def test_template_is_checked_before_files(vantrel, disc):
    [good] = make_files(disc, [("a.mp3", {"title": "T"})])
    missing = disc / "missing.mp3"
    before = snapshot(disc)

    result = vantrel(["rename", "no token.mp3", good, missing], stdin="y\n")
    assert result.status == 4, result
    assert SHORT_BANNER.sub("", result.stdout) == "No valid token found in template.\n"
    assert result.stderr == ""

    # With a token, the unusable file stops the command instead.
    result = vantrel(["rename", "%s.mp3", good, missing], stdin="y\n")
    assert result.status == 3, result
    assert result.stderr == f"{missing}: File is invalid\n"
    assert "Rename" not in result.stdout
    assert snapshot(disc) == before


@pytest.mark.parametrize("first,second", [
    ("a.mp3", "b.mp3"),
    ("{abs}/a.mp3", "./b.mp3"),
    ("sub/../a.mp3", "b.mp3"),
])
def test_equal_tags_rename_nothing(vantrel, disc, first, second):
    make_files(disc, [("a.mp3", {"title": "Same", "tracknumber": "1"}),
                          ("b.mp3", {"title": "Same", "tracknumber": "2"}),
                          ("c.mp3", {"title": "Other"})])
    (disc / "sub").mkdir()
    first = first.format(abs=disc)
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", first, second, "c.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert "Rename [yn]" not in result.stdout
    lines = result.stderr.splitlines()
    assert len(lines) == 2
    assert lines[0].startswith(f"{first}: '") and lines[1].startswith(f"{second}: '")
    assert all(line.endswith("Same.mp3' would be the new name of more than one file")
               for line in lines)
    assert snapshot(disc) == before


def test_equal_names_in_different_directories_are_renamed(vantrel, disc):
    make_files(disc / "d1", [("a.mp3", {"title": "Same"})])
    make_files(disc / "d2", [("b.mp3", {"title": "Same"})])
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", "d1/a.mp3", "d2/b.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 0, result
    after = snapshot(disc)
    assert after[b"d1/Same.mp3"] == before[b"d1/a.mp3"]
    assert after[b"d2/Same.mp3"] == before[b"d2/b.mp3"]


def test_an_unrelated_file_at_a_target_is_kept(vantrel, disc):
    make_files(disc, [("a.mp3", {"title": "Taken"}), ("b.mp3", {"title": "Free"})])
    (disc / "Taken.mp3").write_bytes(b"not ours")
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", "a.mp3", "b.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == "a.mp3: './Taken.mp3' already exists\n"
    after = snapshot(disc)
    assert after[b"Taken.mp3"] == b"not ours"
    assert after[b"a.mp3"] == before[b"a.mp3"]
    assert after[b"Free.mp3"] == before[b"b.mp3"]
    assert_nothing_lost(before, after)


def test_a_swap_renames_neither(vantrel, disc):
    make_files(disc, [("a.mp3", {"title": "b"}), ("b.mp3", {"title": "a"})])
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", "a.mp3", "b.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == ("a.mp3: './b.mp3' already exists\n"
                             "b.mp3: './a.mp3' already exists\n")
    assert snapshot(disc) == before


def test_a_target_freed_only_later_is_still_skipped(vantrel, disc):
    # a -> b comes before b -> c in the plan: b still exists when a's turn comes.
    make_files(disc, [("a.mp3", {"title": "b"}), ("b.mp3", {"title": "c"})])
    before = snapshot(disc)
    result = vantrel(["rename", "%s.mp3", "a.mp3", "b.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == "a.mp3: './b.mp3' already exists\n"
    after = snapshot(disc)
    assert after == {b"a.mp3": before[b"a.mp3"], b"c.mp3": before[b"b.mp3"]}


def test_a_directory_at_the_target_is_kept(vantrel, disc):
    make_files(disc, [("a.mp3", {"title": "Dir"})])
    (disc / "Dir").mkdir()
    (disc / "Dir" / "inside").write_bytes(b"kept")
    before = snapshot(disc)
    result = vantrel(["rename", "%s", "a.mp3"], stdin="y\n", cwd=disc)
    assert result.status == 4, result
    assert result.stderr == "a.mp3: './Dir' already exists\n"
    assert snapshot(disc) == before


@pytest.mark.parametrize("artist", ["Ar/", "..", "x/.", ""])
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
    assert snapshot(disc) == {b"Intro.mp3": before[b"Intro.mp3"],
                                  b"Outro.mp3": before[b"b.mp3"]}
