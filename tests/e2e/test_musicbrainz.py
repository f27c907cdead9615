"""`-d musicbrainz` end to end against the local web service serving real
answers: the disc ID and table of contents computed from files of a real
disc's lengths, the disc list, the tags and identifiers read back with
mutagen, the requests as the server saw them, the errors and the cache."""

import copy
import json
import os
import time

from mutagen.flac import FLAC, Picture
from mutagen.id3 import ID3
from mutagen.mp4 import MP4

from support.audio import make_audio, read_tags
from support.discs import contents, unused_port
from support.runner import body
from support.tags import fields, identifiers

DATA = os.path.join(os.path.dirname(__file__), "..", "data", "musicbrainz")
SUMMER_ID, SPLIT_ID = "b1dc9838-adf3-43f2-93f9-802b46e5fe59", "59211ea4-ffd2-4ad9-9a4e-941d3148024a"
SUMMER, SPLIT = (json.load(open(os.path.join(DATA, f"release-{mbid}.json"), encoding="utf-8"))
                 for mbid in (SUMMER_ID, SPLIT_ID))
SUMMER_DISC_ID = "3YLQjAE5KGMI_rmY6b2eFd75nwY-"
SUMMER_FRAMES = [11615, 10743, 9870, 11685, 15427, 10955, 10213, 10445, 11085, 10982]
SUMMER_TOC = "1+10+113170+150+11765+22508+32378+44063+59490+70445+80658+91103+102188"
INC = "inc=artist-credits+labels+recordings+genres+release-groups&fmt=json"
# The line under each MusicBrainz disc's heading that tells media and pressings apart.
SUMMER_MEDIUM = "      Disc 1 of 1: CD · Essex Entertainment, Inc. ESD-7053 · 08464670532\n"
SPLIT_MEDIA = ["      Disc 1 of 2: æ³o · CD · GB 2003-12-04 · Phonometrography pgram002\n",
               "      Disc 2 of 2: h³æ · CD · GB 2003-12-04 · Phonometrography pgram002\n"]


def credit(entity):
    return "".join(part["name"] + part["joinphrase"] for part in entity["artist-credit"])


def track_lines(tracks):
    return "".join(f"     {t['position']:2d}. {t['title']} ({t['length'] // 60000}:{t['length'] // 1000 % 60:02d})\n"
                   for t in tracks)


def musicbrainz(server, port=None):
    return ["-d", "musicbrainz", "-s", "127.0.0.1", "-p", str(port or server.port)]


def cache_of(home, server):
    """The folder of the answers of one server."""
    return home / ".cache" / "vantrel" / "musicbrainz" / f"127.0.0.1:{server.port}"


# Time stamps written by the program and read by the server's clock.
CLOCK_TOLERANCE = 0.01


def last_request(home):
    """When the last request went out, as the program recorded it (seconds since 1970)."""
    return int((home / ".cache" / "vantrel" / "musicbrainz-last-request").read_text()) / 1e9


def test_sequence_finds_a_real_disc_by_the_files_table_of_contents(vantrel, musicbrainz_server, tmp_path):
    disc = {"id": SUMMER_DISC_ID, "offset-count": 10, "sectors": 113170, "releases": [SUMMER],
            "offsets": SUMMER["media"][0]["discs"][0]["offsets"]}
    server = musicbrainz_server({f"/ws/2/discid/{SUMMER_DISC_ID}": (200, disc)})
    # 10 samples per frame at 750 Hz keeps every length exact.
    paths = [make_audio(tmp_path / f"{n:02d}.{fmt}", frames / 75, rate=750, tags={"date": "1970"})
             for n, (frames, fmt) in enumerate(zip(SUMMER_FRAMES, ["flac", "wav"] * 5), 1)]

    result = vantrel([*musicbrainz(server), "sequence", *paths], stdin="1\n", env={"EMAIL": "me@example.org"})

    assert result.status == 0, result
    tracks = SUMMER["media"][0]["tracks"]
    assert body(result) == ("[ 1] Various Artists - A Hot Summer Night in ’59 (Year: 0 Genre: )\n" + SUMMER_MEDIUM
                            + track_lines(tracks) + "Which disc [1-1] ? "
                            + "".join(f"{n}: File {path} [Tag Saved]\n" for n, path in enumerate(paths, 1)))
    assert [(r["path"], r["query"], r["agent"]) for r in server.requests] == [
        (f"/ws/2/discid/{SUMMER_DISC_ID}", f"toc={SUMMER_TOC}&cdstubs=no&{INC}", "vantrel/0.1 ( me@example.org )")]
    for path, track in zip(paths, tracks):
        # No date and no genre: both fields go. The album artist is the release's credit.
        # ID3v2 keeps the track total with the number.
        number = f"{track['position']}/10" if path.endswith(".wav") else str(track["position"])
        assert read_tags(path) == {"title": track["title"], "artist": credit(track), "album": SUMMER["title"],
                                   "albumartist": "Various Artists", "tracknumber": number}, path
        assert identifiers(path) == [SUMMER_ID, track["id"], track["recording"]["id"], SUMMER_DISC_ID], path


def test_id_release_lists_every_medium_and_the_cache_answers_offline(vantrel, home, musicbrainz_server, tmp_path):
    server = musicbrainz_server({f"/ws/2/release/{SPLIT_ID}": (200, SPLIT)})
    mp3 = make_audio(tmp_path / "a.mp3", 3, rate=8000, tags={"title": "Old"})
    m4a = make_audio(tmp_path / "b.m4a", 2, rate=8000)
    listing = "".join(f"[ {n}] Autechre & The Hafler Trio - æ³o & h³æ (Year: 2003 Genre: )\n" + line
                      + track_lines(medium["tracks"]) for n, (medium, line) in enumerate(zip(SPLIT["media"], SPLIT_MEDIA), 1))

    first = vantrel([*musicbrainz(server), "id", "release", SPLIT_ID.upper(), mp3], stdin="1\n")
    server.stop()
    # The answer stored by the first run serves the second, with no server.
    second = vantrel([*musicbrainz(server), "-c", "only", "id", "release", SPLIT_ID, m4a], stdin="2\n")

    for result, path in ((first, mp3), (second, m4a)):
        assert result.status == 0, result
        assert body(result).startswith(listing + "Which disc [1-2] ? 1: File ")
    assert [(r["path"], r["query"], r["agent"]) for r in server.requests] == [
        (f"/ws/2/release/{SPLIT_ID}", INC, "vantrel/0.1 ( vantrel )")]
    assert os.listdir(cache_of(home, server)) == [f"release-{SPLIT_ID}.json"]
    for path, medium in ((mp3, SPLIT["media"][0]), (m4a, SPLIT["media"][1])):
        track = medium["tracks"][0]
        assert read_tags(path) == {"title": track["title"], "artist": "Autechre & The Hafler Trio",
                                   "albumartist": "Autechre & The Hafler Trio", "album": "æ³o & h³æ",
                                   "date": "2003-12-04", "tracknumber": "1/1"}
        assert identifiers(path) == [SPLIT_ID, track["id"], track["recording"]["id"], None]
    # Each disc of the set is told apart: its number, and its own title.
    assert [(fields(path)["disc"], fields(path)["discsubtitle"]) for path in (mp3, m4a)] == [
        (["1/2"], ["æ³o"]), (["2/2"], ["h³æ"])]


def test_failures_name_their_cause_and_leave_the_files_alone(vantrel, home, musicbrainz_server, tmp_path):
    server = musicbrainz_server({})
    paths = [make_audio(tmp_path / "a.flac", 2, rate=750)]
    before = contents(paths)
    cases = [
        ("only", 2, "No results."),  # nothing stored, and no request
        (None, 2, "No results."),
        # A match by table of contents whose only release has ten tracks, for one file.
        ((200, {"release-count": 1, "release-offset": 0, "releases": [SUMMER]}), 2, "No results."),
        # Asked to come back in a minute: not waited for.
        ((503, {"error": "Your requests are exceeding the allowable rate limit."}, {"Retry-After": "60"}), 4,
         "Vantrel: Error: MusicBrainz is busy (503); try again in a moment"),
        ((400, {"error": "Invalid TOC"}), 4, "Vantrel: Error: MusicBrainz answered HTTP 400: Invalid TOC"),
        ((200, b"<html>Moved</html>"), 4, "Vantrel: Error: The answer of MusicBrainz is not the JSON expected: "),
        ((200, {"release-count": 1}), 4, "Vantrel: Error: The answer of MusicBrainz is not the JSON expected: "),
        ("refused", 4, "Vantrel: Error: No answer from MusicBrainz: Failed to connect to 127.0.0.1 port "),
    ]
    stamps = []
    for answer, status, message in cases:
        if answer not in (None, "refused", "only"):
            server.default = answer
        cache = ["-c", "only"] if answer == "only" else []
        asked = len(server.requests)
        result = vantrel([*musicbrainz(server, unused_port() if answer == "refused" else None), *cache, "sequence",
                          *paths])
        assert (result.status, body(result).count("\n")) == (status, 1), result
        assert body(result).startswith(message), result
        assert contents(paths) == before
        if len(server.requests) > asked:
            stamps.append(last_request(home))
    # The cache kept no answer without a disc. Each request went out after
    # the time its run recorded, and the recorded times are a second apart.
    assert len(server.requests) == len(stamps) == 6
    assert all(request["wall"] >= stamp - CLOCK_TOLERANCE for request, stamp in zip(server.requests, stamps))
    assert min(later - earlier for earlier, later in zip(stamps, stamps[1:])) >= 1.0


def test_id_with_an_unknown_lookup_word(vantrel, tmp_path):
    path = make_audio(tmp_path / "a.wav", 1)
    result = vantrel(["-d", "musicbrainz", "id", "label", SPLIT_ID, path])
    assert (result.status, body(result)) == (4, "Vantrel: Error: Unknown MusicBrainz lookup: label\n")


def test_a_match_by_lengths_offers_only_near_discs(vantrel, musicbrainz_server, tmp_path):
    # A rip whose fourth track is a second too long: its disc ID is no disc's.
    frames = [n + 75 if i == 3 else n for i, n in enumerate(SUMMER_FRAMES)]
    paths = [make_audio(tmp_path / f"{n:02d}.wav", length / 75, rate=750) for n, length in enumerate(frames, 1)]
    # Another disc of ten tracks, one of them 51 s off.
    far = copy.deepcopy(SUMMER)
    far["id"], far["title"] = "f0000000-0000-4000-8000-000000000000", "The Other Disc"
    far["media"][0]["tracks"][0]["length"] += 51000
    server = musicbrainz_server({})
    server.default = (200, {"release-count": 30, "release-offset": 0, "releases": [far, SUMMER]})

    result = vantrel([*musicbrainz(server), "-c", "off", "sequence", *paths], stdin="1\n")

    assert result.status == 0, result
    assert body(result).startswith("[ 1] Various Artists - A Hot Summer Night in ’59 (Year: 0 Genre: ) "
                                   "(fuzzy match, lengths off by 1.0 s in all)\n" + SUMMER_MEDIUM
                                   + track_lines(SUMMER["media"][0]["tracks"]) + "Which disc [1-1] ? 1: File ")
    assert result.stderr == "Vantrel: MusicBrainz knows 30 releases for this disc; showing the first 2\n"
    # The files' disc ID is not the release's: none is written.
    track = SUMMER["media"][0]["tracks"][0]
    assert identifiers(paths[0]) == [SUMMER_ID, track["id"], track["recording"]["id"], None]

    server.default = (200, {"release-count": 1, "release-offset": 0, "releases": [far]})
    nothing_near = vantrel([*musicbrainz(server), "-c", "off", "sequence", *paths])
    assert (nothing_near.status, body(nothing_near)) == (2, "No results.\n")


def test_the_cache_keeps_servers_apart_renews_old_answers_and_heals(vantrel, home, musicbrainz_server, tmp_path):
    path = make_audio(tmp_path / "a.wav", 1, rate=8000)
    first, second = (musicbrainz_server({f"/ws/2/release/{SPLIT_ID}": (200, SPLIT)}) for _ in range(2))

    def run(server, *cache):
        return vantrel([*musicbrainz(server), *cache, "id", "release", SPLIT_ID, path], stdin="1\n")

    def entry(server, days_old=None):
        stored = cache_of(home, server) / f"release-{SPLIT_ID}.json"
        if days_old is not None:
            then = time.time() - days_old * 86400
            os.utime(stored, (then, then))
        return stored

    # One server's answer is not another's.
    assert [run(server).status for server in (first, second)] == [0, 0]
    assert (len(first.requests), len(second.requests)) == (1, 1)
    # An answer is asked for again once it is 30 days old.
    for days_old, requests in ((29, 1), (31, 2)):
        entry(first, days_old)
        assert run(first).status == 0 and len(first.requests) == requests
    # If the server cannot be reached, the old answer serves, with a note;
    # -c only takes any age.
    entry(first, days_old=31)
    first.stop()
    offline = run(first)
    assert offline.stderr.startswith("Vantrel: MusicBrainz could not be asked again (No answer from MusicBrainz: ")
    assert offline.stderr.endswith("); using its answer stored 31 days ago\n")
    assert (run(first, "-c", "only").stderr, offline.status) == ("", 0)
    # A damaged entry is deleted, with a note, and asked for again; under -c
    # only it is deleted and nothing is found.
    entry(second).write_text('{"id": "cut sho')
    healed = run(second)
    assert healed.status == 0 and len(second.requests) == 2, healed
    assert healed.stderr.startswith(f"Vantrel: deleted the damaged MusicBrainz answer stored in {entry(second)} (")
    entry(second).write_text("")
    offline_only = run(second, "-c", "only")
    assert (offline_only.status, body(offline_only)) == (2, "No results.\n")
    assert not entry(second).exists()


def test_a_busy_server_is_waited_for_and_a_moved_answer_followed(vantrel, musicbrainz_server, tmp_path):
    path = make_audio(tmp_path / "a.wav", 1, rate=8000)
    busy = (503, {"error": "Your requests are exceeding the allowable rate limit."}, {"Retry-After": "1"})
    server = musicbrainz_server({f"/ws/2/release/{SPLIT_ID}": [busy, (200, SPLIT)],
                                 f"/ws/2/release/{SUMMER_ID}": (301, b"", {"Location": f"/moved/{SUMMER_ID}"}),
                                 f"/moved/{SUMMER_ID}": (200, SUMMER)})
    for release in (SPLIT_ID, SUMMER_ID):
        result = vantrel([*musicbrainz(server), "-c", "off", "id", "release", release, path], stdin="1\n")
        assert (result.status, result.stderr) == (0, ""), result
    assert [request["path"] for request in server.requests] == [
        f"/ws/2/release/{SPLIT_ID}", f"/ws/2/release/{SPLIT_ID}", f"/ws/2/release/{SUMMER_ID}", f"/moved/{SUMMER_ID}"]


def test_absurd_numbers_and_stamps_are_refused_or_ignored(vantrel, home, musicbrainz_server, tmp_path):
    path = make_audio(tmp_path / "a.wav", 1, rate=8000)
    server = musicbrainz_server({})
    stamp = home / ".cache" / "vantrel" / "musicbrainz-last-request"
    stamp.parent.mkdir(parents=True)
    # Numbers too large for any conversion; the largest and the smallest stamp
    # the file can hold, ignored and replaced; a medium without tracks, which
    # is no disc, in an answer that is therefore not kept.
    absurd = "Vantrel: Error: The answer of MusicBrainz is not the answer expected: {}, out of range\n"
    for tracks, last_request, status, message in (
            ([{"length": 1e300}], 2 ** 63 - 1, 4, absurd.format('"length" is 1e+300')),
            ([{"position": -1e300}], -2 ** 63, 4, absurd.format('"position" is -1e+300')),
            ([], 0, 2, "No results.\n"), ([], 0, 2, "No results.\n")):
        server.default = (200, {"id": SPLIT_ID, "title": "T", "media": [{"position": 1, "tracks": tracks}]})
        stamp.write_text(str(last_request))
        result = vantrel([*musicbrainz(server), "id", "release", SPLIT_ID, path], stdin="1\n")
        assert (result.status, body(result)) == (status, message)
        assert 0 < int(stamp.read_text()) <= time.time_ns()
    assert len(server.requests) == 4


def front_covers(path):
    """The front-cover pictures an independent reader finds in the file."""
    if path.endswith(".flac"):
        return [p.data for p in FLAC(path).pictures if p.type == 3]
    if path.endswith(".mp3"):
        return [f.data for f in ID3(path).getall("APIC") if f.type == 3]
    return [bytes(cover) for cover in (MP4(path).tags or {}).get("covr", [])]


def test_front_covers_are_embedded_where_files_have_none(vantrel, musicbrainz_server, tmp_path):
    cover, own = b"\xff\xd8\xff\xe0 the release's front cover", b"\xff\xd8\xff\xe0 the file's own cover"
    server = musicbrainz_server({f"/ws/2/release/{SUMMER_ID}": (200, SUMMER), f"/ws/2/release/{SPLIT_ID}": (200, SPLIT),
                                 "/images/front.jpg": (200, cover)})
    # The Cover Art Archive sends its images elsewhere.
    server.answers[f"/release/{SUMMER_ID}/front-1200"] = (
        307, b"", {"Location": f"http://127.0.0.1:{server.port}/images/front.jpg"})
    paths = [make_audio(tmp_path / f"{n}.{fmt}", frames / 75, rate=750)
             for n, (frames, fmt) in enumerate(zip(SUMMER_FRAMES, ["flac", "mp3", "m4a", "flac"]), 1)]
    picture = Picture()
    picture.type, picture.mime, picture.data = 3, "image/jpeg", own
    with_own = FLAC(paths[3])
    with_own.add_picture(picture)
    with_own.save()

    tagged = vantrel([*musicbrainz(server), "-y", "-F", "id", "release", SUMMER_ID, *paths])
    no_cover = vantrel([*musicbrainz(server), "-F", "id", "release", SPLIT_ID, paths[0]], stdin="1\n")
    offline = vantrel([*musicbrainz(server), "-c", "only", "-F", "id", "release", SPLIT_ID, paths[0]], stdin="1\n")

    assert (tagged.status, tagged.stderr) == (0, ""), tagged
    assert [front_covers(path) for path in paths] == [[cover], [cover], [cover], [own]]
    assert [request["path"] for request in server.requests[1:3]] == [f"/release/{SUMMER_ID}/front-1200",
                                                                     "/images/front.jpg"]
    assert (no_cover.status, no_cover.stderr) == (
        0, "Vantrel: the release has no front cover; the files are tagged without one\n"), no_cover
    assert (offline.status, offline.stderr) == (
        0, "Vantrel: the release's front cover is not in the cache; the files are tagged without one\n"), offline
    assert front_covers(paths[0]) == [cover]
