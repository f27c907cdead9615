"""Helpers for the end-to-end tests of `id` and `sequence`."""

import random
import socket

from support.audio import make_audio


def make_disc(folder, entry, formats, tags=None, rate=8000):
    """One file per track of `entry` (see support.xmcd.Entry), as long as
    the track, of the formats given in turn."""
    return [make_audio(folder / f"{n:02d}.{fmt}", seconds, rate=rate, tags=tags)
            for n, ((_, seconds), fmt) in enumerate(zip(entry.tracks, formats), 1)]


def split_title(entry, n):
    """(artist, name) of track n (from 1): a title "Artist / Name" names
    the track's own artist, any other has the disc's."""
    title = entry.tracks[n - 1][0]
    return tuple(title.split(" / ", 1)) if " / " in title else (entry.artist, title)


def disc_listing(entry, number=1):
    """The disc list's lines for one entry, numbered `number`."""
    lines = [f"[{number:2d}] {entry.artist} - {entry.title} (Year: {entry.year or 0} "
             f"Genre: {entry.genre or ''})"]
    for n, (_, seconds) in enumerate(entry.tracks, 1):
        lines.append(f"     {n:2d}. {split_title(entry, n)[1]} ({seconds // 60}:{seconds % 60:02d})")
    return "\n".join(lines) + "\n"


def expected_tags(entry, n):
    """The seven fields, as support.audio.read_tags gives them, of a file
    tagged with track n (from 1) of `entry`."""
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
            except OSError:
                continue
            return port
    raise RuntimeError("no unused port")
