"""Song: one open song, read a buffer at a time."""
import array
import ctypes
import math
import os
import wave
from collections import namedtuple

from ._library import LOG_FUNCTION, Event as _Event, TunewrightError, check, lib

# The resamplers' names, in the order of their numbers in the C interface.
INTERPOLATIONS = ("nearest", "linear", "cubic", "spline", "sinc")

try:
    import numpy
except ImportError:  # the package works without NumPy, with array('h') buffers
    numpy = None

Track = namedtuple("Track", ["instrument", "notes", "events", "drums"])
Event = namedtuple("Event", ["beat", "key", "length", "volume", "pan", "starts_note"])
TRACK_DRUMS = 1  # TW_TRACK_DRUMS


class Song:
    """An Org-02 song decoded by libtunewright. Use one Song from one thread at a time."""

    def __init__(self, data=None, *, _path=None):
        """Opens the song in `data` (bytes); raises TunewrightError when it is not a whole Org-02 song."""
        error = ctypes.c_int(0)
        if _path is not None:
            self._handle = lib.tw_song_open_file(_path, ctypes.byref(error))
        else:
            data = bytes(data)
            self._handle = lib.tw_song_open_memory(data, len(data), ctypes.byref(error))
        if not self._handle:
            raise TunewrightError(error.value)
        self._loops = 0

    @classmethod
    def open(cls, path):
        """The song in the file at `path`, read by the library: never more than the largest possible
        song (TW_ERROR_TOO_LARGE), and a FIFO or device that delivers nothing is given up (TW_ERROR_FILE)."""
        return cls(_path=os.fsencode(path))

    @classmethod
    def from_bytes(cls, data):
        """The song held in `data`."""
        return cls(data)

    def close(self):
        """Frees the song; it cannot be used afterwards."""
        if self._handle:
            lib.tw_song_close(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __del__(self):
        self.close()

    def _song(self):
        if not self._handle:
            raise ValueError("the song is closed")
        return self._handle

    @property
    def duration(self):
        """Seconds the song plays with its loop setting (math.inf when it loops forever)."""
        return lib.tw_song_get_duration_seconds(self._song())

    @property
    def position(self):
        """Seconds read or sought so far."""
        return lib.tw_song_get_position_seconds(self._song())

    @property
    def tempo(self):
        """Milliseconds per beat."""
        return lib.tw_song_get_tempo_ms(self._song())

    @property
    def tracks(self):
        """Every track as (instrument, notes, events, drums): its instrument, the notes it starts, its
        events (notes and the changes between them) and whether it plays drums (tracks 8 to 15) or a
        melody waveform."""
        song = self._song()
        tracks = []
        for track in range(lib.tw_song_get_track_count(song)):
            events = self.events(track)
            tracks.append(Track(lib.tw_song_get_track_instrument(song, track),
                                sum(event.starts_note for event in events), len(events),
                                lib.tw_song_get_track_kind(song, track) == TRACK_DRUMS))
        return tracks

    def events(self, track):
        """A track's events in the song's order, as Event(beat, key, length, volume, pan, starts_note):
        starts_note is True where the song starts a note; the other events start nothing (length 0,
        or a note still sounds there, whose volume and pan they may change)."""
        song = self._song()
        count = lib.tw_song_get_track_events(song, int(track), None, 0)
        check(min(count, 0))
        buffer = (_Event * count)()
        check(min(lib.tw_song_get_track_events(song, int(track), buffer, count), 0))
        return [Event(e.beat, e.key, e.length, e.volume, e.pan, bool(e.starts_note)) for e in buffer]

    @property
    def loops(self):
        """Repeats of the loop after its first pass: 0 plays the intro and the loop once, -1 forever."""
        return self._loops

    @loops.setter
    def loops(self, repeats):
        check(lib.tw_song_set_loops(self._song(), int(repeats)))
        self._loops = int(repeats)

    def set_volume(self, volume):
        """The master volume (default 0.5)."""
        check(lib.tw_song_set_volume(self._song(), float(volume)))

    def set_interpolation(self, method):
        """The resampler, by name or number: "nearest" (0), "linear" (1, the default), "cubic" (2),
        "spline" (3) or "sinc" (4: band-limited, high notes without aliasing)."""
        if isinstance(method, str):
            if method not in INTERPOLATIONS:
                raise ValueError("interpolation must be one of " + ", ".join(INTERPOLATIONS))
            method = INTERPOLATIONS.index(method)
        check(lib.tw_song_set_interpolation(self._song(), int(method)))

    def set_log(self, function):
        """Sends what the library says about this song (the sound engine failing) to `function`, one
        str a call; None drops it again. Without it the song says nothing."""
        if function is None:
            callback = LOG_FUNCTION()
        else:
            callback = LOG_FUNCTION(lambda line, user: function(line.decode("utf-8", "replace")))
        check(lib.tw_song_set_log_function(self._song(), callback, None))
        self._log = callback  # the library calls it as long as the song lives

    def seek(self, seconds):
        """Moves to the beat at or before `seconds`; notes held across it sound."""
        check(lib.tw_song_seek_seconds(self._song(), float(seconds)))

    def read(self, frames, rate=48000):
        """The next `frames` stereo frames at `rate` Hz (fewer at the end of the song).

        A NumPy int16 array of shape (frames, 2) when NumPy is installed, else an array('h') of
        interleaved left and right samples."""
        frames = int(frames)
        if frames < 0 or not 8000 <= rate <= 192000:
            raise ValueError("frames must be 0 or more and rate 8000 to 192000")
        if numpy is not None:
            buffer = numpy.zeros((frames, 2), dtype=numpy.int16)
            got = lib.tw_song_read_s16(self._song(), rate, frames, buffer.ctypes.data)
            return buffer[:got]
        buffer = array.array("h", bytes(4 * frames))
        address = buffer.buffer_info()[0] if frames else None
        got = lib.tw_song_read_s16(self._song(), rate, frames, address)
        del buffer[2 * got:]
        return buffer


def render_wav(song_path, wav_path, seconds=None, rate=48000):
    """Writes the song at `song_path` as a 16-bit stereo WAV file: the whole song (its intro and its
    loop once, in whole 1 ms blocks as tunewright-render writes it), or its first `seconds`."""
    with Song.open(song_path) as song:
        total = song.duration if seconds is None else float(seconds)
        if not math.isfinite(total) or total < 0:
            raise ValueError("the length must be a finite number of seconds")
        remaining = math.inf if seconds is None else int(round(total * rate))
        with wave.open(str(wav_path), "wb") as out:
            out.setnchannels(2)
            out.setsampwidth(2)
            out.setframerate(rate)
            while remaining > 0:
                block = song.read(min(remaining, rate), rate)
                if len(block) == 0:
                    break
                out.writeframes(block.tobytes())
                remaining -= len(block) if numpy is not None else len(block) // 2
