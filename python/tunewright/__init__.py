"""Org-02 songs decoded through libtunewright's C interface (ctypes; no compiler needed).

    song = tunewright.Song.open("song.org")      # or Song.from_bytes(data)
    frames = song.read(48000, rate=48000)        # interleaved stereo, 16-bit
    tunewright.render_wav("song.org", "song.wav")

    song.set_mute(3)                             # the mixing desk: mute, solo, gain per track,
    song.set_tempo_factor(1.5)                   # tempo and pitch for the whole song
    tracks = song.read_tracks(4800)              # every track apart: (16, frames, 2) floats
    levels = song.levels()                       # each track's peak and RMS over that read

    tunewright.WAVE_NAMES[3], tunewright.DRUM_NAMES[0]   # "Square", "Bass drum"
    song.set_interpolation("sinc")               # one of tunewright.INTERPOLATIONS

    song = tunewright.Song.new()                 # or change an opened song
    song.add_note(0, beat=0, key=57, length=4)
    song.save("new.org")

    song, report = tunewright.Song.from_midi(data)   # report.text: what the import dropped
    midi = song.to_midi()
"""
from ._library import DRUM_NAMES, INTERPOLATIONS, WAVE_NAMES, TunewrightError, error_string, instrument_name, version
from ._song import Event, Level, MidiReport, Note, Song, Track, render_wav

__all__ = ["DRUM_NAMES", "Event", "INTERPOLATIONS", "Level", "MidiReport", "Note", "Song", "Track", "TunewrightError", "WAVE_NAMES",
           "error_string", "instrument_name", "render_wav", "version"]
