"""Org-02 songs decoded through libtunewright's C interface (ctypes; no compiler needed).

    song = tunewright.Song.open("song.org")      # or Song.from_bytes(data)
    frames = song.read(48000, rate=48000)        # interleaved stereo, 16-bit
    tunewright.render_wav("song.org", "song.wav")

    song = tunewright.Song.new()                 # or change an opened song
    song.add_note(0, beat=0, key=57, length=4)
    song.save("new.org")
"""
from ._library import TunewrightError, error_string, version
from ._song import Event, Note, Song, Track, render_wav

__all__ = ["Event", "Note", "Song", "Track", "TunewrightError", "error_string", "render_wav", "version"]
