"""Song: one open song, read a buffer at a time."""
import array
import ctypes
import math
import os
import wave
from collections import namedtuple

from ._library import ERRORS, INTERPOLATIONS, LOG_FUNCTION, Event as _Event, MidiReport as _MidiReport, \
    TunewrightError, check, lib

try:
    import numpy
except ImportError:  # the package works without NumPy, with array('h') buffers
    numpy = None

Track = namedtuple("Track", ["instrument", "notes", "events", "drums"])
Event = namedtuple("Event", ["beat", "key", "length", "volume", "pan", "starts_note"])
Note = namedtuple("Note", ["beat", "key", "length", "volume", "pan"])
# What Song.from_midi dropped or changed: the counts of tw_midi_report, and `text`, the library's
# English lines for them.
MidiReport = namedtuple("MidiReport", [name for name, _ in _MidiReport._fields_] + ["text"])
# A track's loudness over the last measured read: its largest sample and its root mean square.
Level = namedtuple("Level", ["peak", "rms"])
TW_ERROR_EVENT_EXISTS = ERRORS["TW_ERROR_EVENT_EXISTS"]
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

    @classmethod
    def new(cls):
        """An empty song to write: 140 ms per beat, a bar layout of 4 and 4, no loop, no notes."""
        song = cls.__new__(cls)
        error = ctypes.c_int(0)
        song._handle = lib.tw_song_new(ctypes.byref(error))
        if not song._handle:
            raise TunewrightError(error.value)
        song._loops = 0
        return song

    @classmethod
    def from_midi(cls, data, quantize=4):
        """A song made of the Standard MIDI File in `data` (type 0 or 1), its times quantised to
        `quantize` song beats per quarter note (1 to 64); returns (song, MidiReport). Raises
        TunewrightError (TW_ERROR_NOT_MIDI, TW_ERROR_BAD_QUANTIZE, or TW_ERROR_TOO_LARGE beyond the C
        interface's TW_MAX_MIDI_BYTES) when it cannot be read."""
        data = bytes(data)
        report = _MidiReport()
        error = ctypes.c_int(0)
        song = cls.__new__(cls)
        song._handle = lib.tw_song_open_midi(data, len(data), int(quantize), ctypes.byref(report), ctypes.byref(error))
        if not song._handle:
            raise TunewrightError(error.value)
        song._loops = 0
        size = check(lib.tw_midi_report_text(ctypes.byref(report), None, 0))
        text = ctypes.create_string_buffer(size + 1)
        lib.tw_midi_report_text(ctypes.byref(report), text, size + 1)
        counts = [getattr(report, name) for name, _ in _MidiReport._fields_]
        return song, MidiReport(*counts, text.value.decode("utf-8"))

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
        or a note still sounds there, whose volume and pan they may change, and which they hold on at
        their own key and length once the event that struck it ends)."""
        song = self._song()
        count = lib.tw_song_get_track_events(song, int(track), None, 0)
        check(count)
        buffer = (_Event * count)()
        check(lib.tw_song_get_track_events(song, int(track), buffer, count))
        return [Event(e.beat, e.key, e.length, e.volume, e.pan, bool(e.starts_note)) for e in buffer]

    # Editing. Each call checks its values and raises TunewrightError (its `name` says which value,
    # as TW_ERROR_BAD_KEY does) without changing anything; a song being read plays the change from its
    # next read.

    def set_tempo_ms(self, ms):
        """Milliseconds per beat, 1 to 65535."""
        check(lib.tw_song_set_tempo_ms(self._song(), int(ms)))

    @property
    def bar_layout(self):
        """(per_bar, per_beat): ruler beats in a bar and song beats in a ruler beat, as editors draw the
        grid; playback does not depend on them."""
        per_bar, per_beat = ctypes.c_int(0), ctypes.c_int(0)
        check(lib.tw_song_get_bar_layout(self._song(), ctypes.byref(per_bar), ctypes.byref(per_beat)))
        return per_bar.value, per_beat.value

    def set_bar_layout(self, per_bar, per_beat):
        """Sets the bar layout, each number 1 to 255."""
        check(lib.tw_song_set_bar_layout(self._song(), int(per_bar), int(per_beat)))

    @property
    def loop(self):
        """(start_beat, end_beat): after end_beat the song plays on from start_beat; equal, no loop."""
        start, end = ctypes.c_uint32(0), ctypes.c_uint32(0)
        check(lib.tw_song_get_loop(self._song(), ctypes.byref(start), ctypes.byref(end)))
        return start.value, end.value

    def set_loop(self, start_beat, end_beat):
        """Sets the loop; end_beat at or after start_beat."""
        if not 0 <= start_beat <= 0xFFFFFFFF or not 0 <= end_beat <= 0xFFFFFFFF:
            raise ValueError("loop beats are 0 to 4294967295")
        check(lib.tw_song_set_loop(self._song(), int(start_beat), int(end_beat)))

    def set_instrument(self, track, instrument):
        """A melody waveform (0 to 99) on tracks 0 to 7, a drum (0 to 11) on tracks 8 to 15."""
        check(lib.tw_song_set_track_instrument(self._song(), int(track), int(instrument)))

    def fine_tune(self, track):
        """The track's fine tune: 1000 plays every key at its pitch."""
        return check(lib.tw_song_get_track_fine_tune(self._song(), int(track)))

    def set_fine_tune(self, track, fine_tune):
        """0 to 65535; each 100 above or below 1000 moves the track's notes by one unit of the sampler's
        frequency table."""
        check(lib.tw_song_set_track_fine_tune(self._song(), int(track), int(fine_tune)))

    def no_loop(self, track):
        """Whether the track's notes are marked as not looping (kept for editors)."""
        return bool(check(lib.tw_song_get_track_no_loop(self._song(), int(track))))

    def set_no_loop(self, track, no_loop):
        check(lib.tw_song_set_track_no_loop(self._song(), int(track), 1 if no_loop else 0))

    def notes(self, track):
        """Every event of the track in the song's order, as Note(beat, key, length, volume, pan)."""
        return [Note(*event[:5]) for event in self.events(track)]

    def add_note(self, track, beat, key, length, volume=200, pan=6):
        """Puts a note on the track at `beat` (in place of an event already there): key 0 to 95 (57 is
        the A of 440 Hz), length 1 to 255 beats, volume 0 to 254, pan 0 (left) to 12 (right)."""
        values = (int(beat), int(key), int(length), int(volume), int(pan))
        if not 0 <= values[0] <= 0xFFFFFFFF:
            raise ValueError("beats are 0 to 4294967295")
        # A value no byte holds goes on as one the library refuses for the same reason (key 255,
        # length 0, volume 255, pan 255), so that the error names it.
        fields = [v if 0 <= v <= 255 else refused for v, refused in zip(values[1:], (255, 0, 255, 255))]
        event = _Event(values[0], *fields)
        song = self._song()
        result = lib.tw_song_insert_event(song, int(track), ctypes.byref(event))
        if result == TW_ERROR_EVENT_EXISTS:
            result = lib.tw_song_replace_event(song, int(track), ctypes.byref(event))
        check(result)

    def remove_note(self, track, beat):
        """Removes the event at `beat`; TunewrightError (TW_ERROR_NO_EVENT) when there is none."""
        check(lib.tw_song_remove_event(self._song(), int(track), int(beat)))

    def to_bytes(self):
        """The song as the bytes of an Org-02 file."""
        song = self._song()
        size = check(lib.tw_song_save_memory(song, None, 0))
        buffer = ctypes.create_string_buffer(size)
        check(lib.tw_song_save_memory(song, buffer, size))
        return buffer.raw

    def to_midi(self):
        """The song as the bytes of a type 1 Standard MIDI File."""
        song = self._song()
        size = check(lib.tw_song_save_midi(song, None, 0))
        buffer = ctypes.create_string_buffer(size)
        check(lib.tw_song_save_midi(song, buffer, size))
        return buffer.raw

    def save(self, path):
        """Writes the song to an Org-02 file; an existing file is replaced only once the new one is whole."""
        check(lib.tw_song_save_file(self._song(), os.fsencode(path)))

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
        """The resampler, by a name of `tunewright.INTERPOLATIONS` or by its index there, which is its number in
        the C interface; "linear" by default."""
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


    # The mixing desk: heard from the next read on, ramped; the song itself is not changed.
    def mute(self, track):
        """Whether `track` is muted."""
        return bool(check(lib.tw_song_get_track_mute(self._song(), int(track))))

    def set_mute(self, track, mute=True):
        """Mutes `track` (or unmutes it, with False); a muted track sounds only while soloed."""
        check(lib.tw_song_set_track_mute(self._song(), int(track), 1 if mute else 0))

    def solo(self, track):
        """Whether `track` is soloed."""
        return bool(check(lib.tw_song_get_track_solo(self._song(), int(track))))

    def set_solo(self, track, solo=True):
        """Solos `track` (or not, with False): while any track is soloed, only the soloed ones sound."""
        check(lib.tw_song_set_track_solo(self._song(), int(track), 1 if solo else 0))

    def gain(self, track):
        """The factor `track` is scaled by, 0 to 1."""
        gain = lib.tw_song_get_track_gain(self._song(), int(track))
        if gain < 0:
            raise TunewrightError(-1)
        return gain

    def set_gain(self, track, gain):
        """Scales `track` by `gain`, 0 (silent) to 1 (as the song has it, the default)."""
        check(lib.tw_song_set_track_gain(self._song(), int(track), float(gain)))

    @property
    def tempo_factor(self):
        """How much faster the song's beats go than its tempo says (1 by default)."""
        return lib.tw_song_get_tempo_factor(self._song())

    def set_tempo_factor(self, factor):
        """Plays the beats `factor` (0.25 to 4) times as fast, pitch unchanged; durations, positions
        and seeks follow."""
        check(lib.tw_song_set_tempo_factor(self._song(), float(factor)))

    @property
    def pitch_shift(self):
        """Semitones every note is moved by (0 by default)."""
        return lib.tw_song_get_pitch_shift(self._song())

    def set_pitch_shift(self, semitones):
        """Moves every note by `semitones` (-24 to 24, fractions allowed), tempo unchanged."""
        check(lib.tw_song_set_pitch_shift(self._song(), float(semitones)))

    def set_level_metering(self, on=True):
        """Makes read() measure each track's level too (read_tracks() always does)."""
        check(lib.tw_song_set_level_metering(self._song(), 1 if on else 0))

    def levels(self):
        """Each track's Level over the last measured read, track 0 first."""
        count = lib.tw_song_get_track_count(self._song())
        peaks, rms = (ctypes.c_float * count)(), (ctypes.c_float * count)()
        check(lib.tw_song_get_track_levels(self._song(), peaks, rms))
        return [Level(peak, level) for peak, level in zip(peaks, rms)]

    def read_float(self, frames, rate=48000):
        """As read(), as floats before they are rounded to 16 bits: a NumPy float32 array of shape
        (frames, 2), else an array('f') of interleaved samples."""
        frames, rate = _checked_read(frames, rate)
        if numpy is not None:
            buffer = numpy.zeros((frames, 2), dtype=numpy.float32)
            return buffer[:lib.tw_song_read_float(self._song(), rate, frames, buffer.ctypes.data)]
        buffer = array.array("f", bytes(8 * frames))
        got = lib.tw_song_read_float(self._song(), rate, frames, buffer.buffer_info()[0] if frames else None)
        del buffer[2 * got:]
        return buffer

    def read_tracks(self, frames, rate=48000):
        """The next `frames` frames of every track apart, as floats; they add up to read_float()'s.

        A NumPy float32 array of shape (tracks, frames, 2) when NumPy is installed, else a list of
        one array('f') of interleaved samples per track. Measures the levels (levels())."""
        frames, rate = _checked_read(frames, rate)
        count = lib.tw_song_get_track_count(self._song())
        if numpy is not None:
            buffers = numpy.zeros((count, max(frames, 1), 2), dtype=numpy.float32)
            addresses = [buffers[track].ctypes.data for track in range(count)]
        else:
            buffers = [array.array("f", bytes(8 * max(frames, 1))) for _ in range(count)]
            addresses = [buffer.buffer_info()[0] for buffer in buffers]
        got = lib.tw_song_read_tracks_float(self._song(), rate, frames, (ctypes.c_void_p * count)(*addresses))
        if numpy is not None:
            return buffers[:, :got]
        for buffer in buffers:
            del buffer[2 * got:]
        return buffers


def _checked_read(frames, rate):
    """A read's frame count and rate, or ValueError."""
    frames = int(frames)
    if frames < 0 or not 8000 <= rate <= 192000:
        raise ValueError("frames must be 0 or more and rate 8000 to 192000")
    return frames, int(rate)


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
