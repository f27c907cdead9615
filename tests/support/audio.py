"""Real audio files for the tests, made by Debian's encoders and tagged with
mutagen, so nothing here goes through TagLib."""

import os
import subprocess

import mutagen
from mutagen.easyid3 import EasyID3
from mutagen.flac import FLAC
from mutagen.id3 import ID3, TIT2, TPE1, TPE2, TALB, TCON, TDRC, TRCK
from mutagen.mp4 import MP4
from mutagen.oggvorbis import OggVorbis
from mutagen.wave import WAVE

def _run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_wav(path, seconds, rate=44100):
    """A WAV of silence-free noise lasting exactly `seconds` (a float is fine):
    the sample count is round(seconds * rate)."""
    samples = int(round(seconds * rate))
    _run("sox", "-r", str(rate), "-c", "1", "-n", "-r", str(rate), "-c", "1", "-b", "16", str(path),
         "synth", f"{samples}s", "sine", "440", "vol", "0.1")
    return path


def make_audio(path, seconds, rate=44100, tags=None):
    """Encodes a file of the format named by `path`'s extension and writes
    `tags` (artist, title, album, genre, date, tracknumber) with mutagen."""
    path = str(path)
    fmt = os.path.splitext(path)[1].lstrip(".").lower()
    if fmt == "wav":
        make_wav(path, seconds, rate)
    else:
        source = path + ".source.wav"
        make_wav(source, seconds, rate)
        try:
            if fmt == "mp3":
                _run("lame", "--quiet", "--noreplaygain", "-b", "64", source, path)
            elif fmt == "flac":
                _run("flac", "--silent", "--force", "-o", path, source)
            elif fmt == "ogg":
                _run("oggenc", "--quiet", "-o", path, source)
            elif fmt == "m4a":
                _run("ffmpeg", "-loglevel", "error", "-i", source, "-c:a", "aac", path)
            else:
                raise ValueError("unknown audio format: " + fmt)
        finally:
            os.remove(source)
    if tags:
        write_tags(path, tags)
    return path


_ID3_FRAMES = {"title": TIT2, "artist": TPE1, "albumartist": TPE2, "album": TALB, "genre": TCON,
               "date": TDRC, "tracknumber": TRCK}
_MP4_ATOMS = {"title": "\xa9nam", "artist": "\xa9ART", "albumartist": "aART", "album": "\xa9alb",
              "genre": "\xa9gen", "date": "\xa9day", "tracknumber": "trkn"}


def write_tags(path, tags):
    """Writes the given fields into the file's native tag."""
    path = str(path)
    fmt = os.path.splitext(path)[1].lstrip(".").lower()
    if fmt == "mp3":
        try:
            audio = EasyID3(path)
        except mutagen.id3.ID3NoHeaderError:
            audio = EasyID3()
        for key, value in tags.items():
            audio[key] = str(value)
        audio.save(path)
    elif fmt == "wav":
        audio = WAVE(path)
        if audio.tags is None:
            audio.add_tags()
        for key, value in tags.items():
            audio.tags.add(_ID3_FRAMES[key](encoding=3, text=str(value)))
        audio.save()
    else:
        audio = FLAC(path) if fmt == "flac" else OggVorbis(path)
        for key, value in tags.items():
            audio[key] = str(value)
        audio.save()


def decoded(path):
    """The file's audio as ffmpeg decodes it: 16-bit samples, interleaved."""
    return subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "s16le", "-"],
                          check=True, stdout=subprocess.PIPE).stdout


def read_tags(path):
    """The fields an independent reader sees: a dict of the seven tagged
    fields (missing ones absent), values as text."""
    path = str(path)
    fmt = os.path.splitext(path)[1].lstrip(".").lower()
    result = {}
    if fmt in ("mp3", "wav"):
        try:
            id3 = ID3(path) if fmt == "mp3" else WAVE(path).tags
        except mutagen.id3.ID3NoHeaderError:
            id3 = None
        if id3 is None:
            return result
        for key, frame in _ID3_FRAMES.items():
            found = id3.getall(frame.__name__)
            if found and found[0].text:
                result[key] = str(found[0].text[0])
    elif fmt == "m4a":
        tags = MP4(path).tags or {}
        for key, atom in _MP4_ATOMS.items():
            if atom in tags:
                value = tags[atom][0]
                result[key] = str(value[0]) if key == "tracknumber" else value
    else:
        audio = FLAC(path) if fmt == "flac" else OggVorbis(path)
        for key in _ID3_FRAMES:
            if key in audio:
                result[key] = audio[key][0]
    return result
