"""Discs for the tests: made-up CDDB entries (disc IDs as CDDB computes them,
xmcd texts the CDDB library parses, written where the test server or the
library's cache finds them), files as long as their tracks, and what vantrel
shows and writes for them."""

import os
import random
import socket

from support.audio import make_audio


def disc_id(offsets, length):
    """The CDDB disc ID of track `offsets` (frames) and disc `length` (seconds, lead-out / 75)."""
    digits = sum(sum(int(d) for d in str(offset // 75)) for offset in offsets)
    return "%08x" % ((digits % 255) << 24 | (length - offsets[0] // 75) << 8 | len(offsets))


class Entry:
    """One CDDB entry. `tracks` are (title, seconds) pairs, seconds rounded to
    frames; a title "Artist / Name" gives the track its own artist."""

    def __init__(self, artist, title, tracks, year=None, genre=None):
        self.artist, self.title, self.tracks, self.year, self.genre = artist, title, list(tracks), year, genre
        self.offsets, frame = [], 150
        for _, seconds in self.tracks:
            self.offsets.append(frame)
            frame += round(seconds * 75)
        self.length = frame // 75
        self.discid = disc_id(self.offsets, self.length)

    def text(self):
        # The library reads the disc title only after a Revision line.
        lines = ["# xmcd", "#", "# Track frame offsets:", *(f"#       {offset}" for offset in self.offsets),
                 "#", f"# Disc length: {self.length} seconds", "#", "# Revision: 0", "#",
                 f"DISCID={self.discid}", f"DTITLE={self.artist} / {self.title}"]
        lines += [f"DYEAR={self.year}"] if self.year is not None else []
        lines += [f"DGENRE={self.genre}"] if self.genre is not None else []
        lines += [f"TTITLE{i}={title}" for i, (title, _) in enumerate(self.tracks)]
        return "\n".join(lines + ["EXTD=", *(f"EXTT{i}=" for i in range(len(self.tracks))), "PLAYORDER="]) + "\n"

    def write(self, root, category):
        """Writes the entry as <root>/<category>/<discid>."""
        os.makedirs(os.path.join(str(root), category), exist_ok=True)
        with open(os.path.join(str(root), category, self.discid), "w", encoding="utf-8") as entry:
            entry.write(self.text())


def cache_folder(home):
    """The CDDB library's cache folder for this HOME."""
    return os.path.join(str(home), ".cddbslave")


def make_disc(folder, entry, formats, tags=None, rate=8000):
    """One file per track of `entry`, as long as the track, of the formats given in turn."""
    return [make_audio(folder / f"{n:02d}.{fmt}", seconds, rate=rate, tags=tags)
            for n, ((_, seconds), fmt) in enumerate(zip(entry.tracks, formats), 1)]


def split_title(entry, n):
    """(artist, name) of track n (from 1)."""
    title = entry.tracks[n - 1][0]
    return tuple(title.split(" / ", 1)) if " / " in title else (entry.artist, title)


def disc_listing(entry, number=1):
    """The disc list's lines for one entry, numbered `number`."""
    lines = [f"[{number:2d}] {entry.artist} - {entry.title} (Year: {entry.year or 0} Genre: {entry.genre or ''})"]
    for n, (_, seconds) in enumerate(entry.tracks, 1):
        length = round(seconds * 75) // 75
        lines.append(f"     {n:2d}. {split_title(entry, n)[1]} ({length // 60}:{length % 60:02d})")
    return "\n".join(lines) + "\n"


def expected_tags(entry, n):
    """The seven fields, as support.audio.read_tags gives them, of a file tagged with track n (from 1)."""
    artist, name = split_title(entry, n)
    return {"title": name, "artist": artist, "albumartist": entry.artist, "album": entry.title,
            "genre": entry.genre, "date": str(entry.year), "tracknumber": str(n)}


def contents(paths):
    return [open(path, "rb").read() for path in paths]


def unused_port():
    """A port that nothing listens on, within the range -p accepts."""
    for port in random.sample(range(20000, 32768), 100):
        with socket.socket() as probe:
            try:
                probe.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    raise RuntimeError("no unused port")
