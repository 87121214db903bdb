"""Org-02 songs decoded through libtunewright's C interface (ctypes; no compiler needed).

    song = tunewright.Song.open("song.org")      # or Song.from_bytes(data)
    frames = song.read(48000, rate=48000)        # interleaved stereo, 16-bit
    tunewright.render_wav("song.org", "song.wav")
"""
from ._library import TunewrightError, error_string, version
from ._song import Event, Song, Track, render_wav

__all__ = ["Event", "Song", "Track", "TunewrightError", "error_string", "render_wav", "version"]
