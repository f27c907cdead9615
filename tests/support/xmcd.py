"""CDDB entries made up for a test: disc IDs computed the way CDDB defines
them, xmcd texts the CDDB library can parse, and placing them where the test
server or the library's cache (HOME/.cddbslave/<category>/<discid>) finds
them."""

import os

FIRST_OFFSET = 150


def disc_id(offsets, length):
    """The CDDB disc ID of track `offsets` (frames) and disc `length`
    (seconds, lead-out frame / 75), as eight hex digits."""
    digits = sum(sum(int(d) for d in str(offset // 75)) for offset in offsets)
    return "%08x" % ((digits % 255) << 24 | (length - offsets[0] // 75) << 8 | len(offsets))


def layout(seconds, first=FIRST_OFFSET):
    """(offsets, disc length) of consecutive tracks, in seconds rounded to frames."""
    offsets = []
    frame = first
    for length in seconds:
        offsets.append(frame)
        frame += round(length * 75)
    return offsets, frame // 75


class Entry:
    """One CDDB entry. `tracks` are (title, seconds) pairs; a title
    "Artist / Name" gives the track its own artist."""

    def __init__(self, artist, title, tracks, year=None, genre=None):
        self.artist = artist
        self.title = title
        self.tracks = list(tracks)
        self.year = year
        self.genre = genre
        self.offsets, self.length = layout([seconds for _, seconds in self.tracks])
        self.discid = disc_id(self.offsets, self.length)

    def text(self):
        lines = ["# xmcd", "#", "# Track frame offsets:"]
        lines += [f"#       {offset}" for offset in self.offsets]
        # The library reads the disc title only after a Revision line.
        lines += ["#", f"# Disc length: {self.length} seconds", "#", "# Revision: 0",
                  "# Submitted via: vantrel tests", "#", f"DISCID={self.discid}",
                  f"DTITLE={self.artist} / {self.title}"]
        if self.year is not None:
            lines.append(f"DYEAR={self.year}")
        if self.genre is not None:
            lines.append(f"DGENRE={self.genre}")
        lines += [f"TTITLE{i}={title}" for i, (title, _) in enumerate(self.tracks)]
        lines += ["EXTD="] + [f"EXTT{i}=" for i in range(len(self.tracks))] + ["PLAYORDER="]
        return "\n".join(lines) + "\n"

    def write(self, root, category):
        """Writes the entry as <root>/<category>/<discid>; returns the path."""
        folder = os.path.join(str(root), category)
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, self.discid)
        with open(path, "w", encoding="utf-8") as entry:
            entry.write(self.text())
        return path


def cache_folder(home):
    """The CDDB library's cache folder for this HOME."""
    return os.path.join(str(home), ".cddbslave")
