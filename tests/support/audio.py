"""Real audio files for the tests, made by Debian's encoders, tagged and read
back with mutagen, so nothing here goes through TagLib."""

import os
import subprocess

import mutagen
import mutagen.id3
from mutagen.wave import WAVE

FIELDS = ("title", "artist", "albumartist", "album", "genre", "date", "tracknumber")
# WAV files keep an ID3v2 tag, which mutagen has no easy interface for.
WAV_FRAMES = dict(zip(FIELDS, ("TIT2", "TPE1", "TPE2", "TALB", "TCON", "TDRC", "TRCK")))
ENCODERS = {"mp3": ["lame", "--quiet", "--noreplaygain", "-b", "64", "{source}", "{path}"],
            "flac": ["flac", "--silent", "--force", "-o", "{path}", "{source}"],
            "ogg": ["oggenc", "--quiet", "-o", "{path}", "{source}"],
            "m4a": ["ffmpeg", "-loglevel", "error", "-i", "{source}", "-c:a", "aac", "{path}"],
            "wma": ["ffmpeg", "-loglevel", "error", "-i", "{source}", "-c:a", "wmav2", "{path}"],
            "wv": ["ffmpeg", "-loglevel", "error", "-i", "{source}", "-c:a", "wavpack", "{path}"]}


def make_wav(path, seconds, rate=44100):
    """A mono WAV of a tone lasting round(seconds * rate) samples."""
    samples = int(round(seconds * rate))
    subprocess.run(["sox", "-r", str(rate), "-c", "1", "-n", "-r", str(rate), "-c", "1", "-b", "16", str(path),
                    "synth", f"{samples}s", "sine", "440", "vol", "0.1"], check=True, capture_output=True)
    return path


def make_audio(path, seconds, rate=44100, tags=None):
    """A file of the format its extension names, `seconds` long, with `tags`."""
    path = str(path)
    fmt = path.rsplit(".", 1)[-1]
    if fmt == "wav":
        make_wav(path, seconds, rate)
    else:
        source = make_wav(path + ".source.wav", seconds, rate)
        subprocess.run([word.format(source=source, path=path) for word in ENCODERS[fmt]], check=True,
                       capture_output=True)
        os.remove(source)
    if tags:
        write_tags(path, tags)
    return path


def write_tags(path, tags):
    """Writes the given fields (names as in FIELDS) into the file's own tag."""
    audio = WAVE(path) if str(path).endswith(".wav") else mutagen.File(path, easy=True)
    if audio.tags is None:
        audio.add_tags()
    for key, value in tags.items():
        if isinstance(audio, WAVE):
            audio.tags.add(getattr(mutagen.id3, WAV_FRAMES[key])(encoding=3, text=str(value)))
        else:
            audio[key] = str(value)
    audio.save()


def read_tags(path):
    """The fields an independent reader finds, as text; missing ones absent."""
    if str(path).endswith(".wav"):
        tags = WAVE(path).tags or {}
        return {key: str(tags[frame].text[0]) for key, frame in WAV_FRAMES.items() if frame in tags}
    tags = mutagen.File(path, easy=True).tags or {}
    return {key: tags[key][0] for key in FIELDS if key in tags and tags[key]}


def decoded(path):
    """The file's audio as ffmpeg decodes it: 16-bit samples, interleaved."""
    return subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "s16le", "-"],
                          check=True, stdout=subprocess.PIPE).stdout
