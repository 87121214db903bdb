"""Loading libtunewright and declaring the C functions that the package calls."""
import ctypes
import ctypes.util
import os


class TunewrightError(Exception):
    """A failure reported by the library; the message is the library's own sentence for its code,
    `code` the number and `name` its name in the C header (None for a code it does not know)."""

    def __init__(self, code):
        self.code = code
        self.name = _named(lib.tw_error_name, code)
        super().__init__(error_string(code))


def _load():
    """The library named by TUNEWRIGHT_LIBRARY, else the one the dynamic loader finds."""
    names = [os.environ.get("TUNEWRIGHT_LIBRARY"), ctypes.util.find_library("tunewright"), "libtunewright.so.0"]
    errors = []
    for name in filter(None, names):
        try:
            return ctypes.CDLL(name)
        except OSError as error:
            errors.append(str(error))
    raise ImportError("cannot load libtunewright (set TUNEWRIGHT_LIBRARY to its path): " + "; ".join(errors))


lib = _load()
_SONG = ctypes.c_void_p
# The library names what its header lists (its result codes, resamplers and report fields), so
# that the package keeps no copy of them.
for _name_function in (lib.tw_error_name, lib.tw_interpolation_name, lib.tw_midi_report_field_name):
    _name_function.restype = ctypes.c_char_p
    _name_function.argtypes = [ctypes.c_int]


def _named(function, number):
    """What one of the library's naming functions calls `number`; None for nothing."""
    name = function(number)
    return None if name is None else name.decode("utf-8")


def _names(function):
    """Every name a naming function gives, for 0, 1, 2 and on up to its first None."""
    names = []
    while (name := _named(function, len(names))) is not None:
        names.append(name)
    return tuple(names)


# The resamplers' names, in the order of their numbers in the C interface.
INTERPOLATIONS = _names(lib.tw_interpolation_name)
# The result codes by name: TW_OK (0) and the errors, numbered -1 down.
ERRORS = {name: -number for number, name in enumerate(_names(lambda number: lib.tw_error_name(-number)))}


class MidiReport(ctypes.Structure):
    """tw_midi_report of <tunewright/tunewright.h>: what a MIDI import dropped or changed."""
    _fields_ = [(name, ctypes.c_uint32) for name in _names(lib.tw_midi_report_field_name)]


# tw_log_function: one message and the user pointer.
LOG_FUNCTION = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_void_p)

for _name, _result, _arguments in [
    ("tw_version", ctypes.c_uint, []),
    ("tw_error_string", ctypes.c_char_p, [ctypes.c_int]),
    ("tw_get_instrument_count", ctypes.c_int, [ctypes.c_int]),
    ("tw_instrument_name", ctypes.c_char_p, [ctypes.c_int, ctypes.c_int]),
    ("tw_song_open_memory", _SONG, [ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_int)]),
    ("tw_song_open_file", _SONG, [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]),
    ("tw_song_close", None, [_SONG]),
    ("tw_song_read_s16", ctypes.c_size_t, [_SONG, ctypes.c_int, ctypes.c_size_t, ctypes.c_void_p]),
    ("tw_song_set_loops", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_set_interpolation", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_set_volume", ctypes.c_int, [_SONG, ctypes.c_float]),
    ("tw_song_get_duration_seconds", ctypes.c_double, [_SONG]),
    ("tw_song_get_position_seconds", ctypes.c_double, [_SONG]),
    ("tw_song_seek_seconds", ctypes.c_int, [_SONG, ctypes.c_double]),
    ("tw_song_get_tempo_ms", ctypes.c_int, [_SONG]),
    ("tw_song_get_track_instrument", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_get_track_count", ctypes.c_int, [_SONG]),
    ("tw_song_get_track_kind", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_get_track_events", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t]),
    ("tw_song_set_log_function", ctypes.c_int, [_SONG, LOG_FUNCTION, ctypes.c_void_p]),
    ("tw_song_new", _SONG, [ctypes.POINTER(ctypes.c_int)]),
    ("tw_song_set_tempo_ms", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_get_bar_layout", ctypes.c_int, [_SONG, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]),
    ("tw_song_set_bar_layout", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_int]),
    ("tw_song_get_loop", ctypes.c_int, [_SONG, ctypes.POINTER(ctypes.c_uint32), ctypes.POINTER(ctypes.c_uint32)]),
    ("tw_song_set_loop", ctypes.c_int, [_SONG, ctypes.c_uint32, ctypes.c_uint32]),
    ("tw_song_set_track_instrument", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_int]),
    ("tw_song_get_track_fine_tune", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_set_track_fine_tune", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_int]),
    ("tw_song_get_track_no_loop", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_set_track_no_loop", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_int]),
    ("tw_song_insert_event", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_void_p]),
    ("tw_song_replace_event", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_void_p]),
    ("tw_song_remove_event", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_uint32]),
    ("tw_song_save_memory", ctypes.c_int, [_SONG, ctypes.c_void_p, ctypes.c_size_t]),
    ("tw_song_save_file", ctypes.c_int, [_SONG, ctypes.c_char_p]),
    ("tw_song_open_midi", _SONG, [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, ctypes.POINTER(MidiReport),
                                  ctypes.POINTER(ctypes.c_int)]),
    ("tw_midi_report_text", ctypes.c_int, [ctypes.POINTER(MidiReport), ctypes.c_char_p, ctypes.c_size_t]),
    ("tw_song_save_midi", ctypes.c_int, [_SONG, ctypes.c_void_p, ctypes.c_size_t]),
    ("tw_song_read_float", ctypes.c_size_t, [_SONG, ctypes.c_int, ctypes.c_size_t, ctypes.c_void_p]),
    ("tw_song_set_track_mute", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_int]),
    ("tw_song_get_track_mute", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_set_track_solo", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_int]),
    ("tw_song_get_track_solo", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_set_track_gain", ctypes.c_int, [_SONG, ctypes.c_int, ctypes.c_float]),
    ("tw_song_get_track_gain", ctypes.c_float, [_SONG, ctypes.c_int]),
    ("tw_song_set_tempo_factor", ctypes.c_int, [_SONG, ctypes.c_double]),
    ("tw_song_get_tempo_factor", ctypes.c_double, [_SONG]),
    ("tw_song_set_pitch_shift", ctypes.c_int, [_SONG, ctypes.c_double]),
    ("tw_song_get_pitch_shift", ctypes.c_double, [_SONG]),
    ("tw_song_read_tracks_float", ctypes.c_size_t, [_SONG, ctypes.c_int, ctypes.c_size_t,
                                                    ctypes.POINTER(ctypes.c_void_p)]),
    ("tw_song_set_level_metering", ctypes.c_int, [_SONG, ctypes.c_int]),
    ("tw_song_get_level_metering", ctypes.c_int, [_SONG]),
    ("tw_song_get_track_levels", ctypes.c_int, [_SONG, ctypes.c_void_p, ctypes.c_void_p]),
]:
    _function = getattr(lib, _name)
    _function.restype = _result
    _function.argtypes = _arguments


class Event(ctypes.Structure):
    """tw_event of <tunewright/tunewright.h>."""
    _fields_ = [
        ("beat", ctypes.c_uint32),
        ("key", ctypes.c_uint8),
        ("length", ctypes.c_uint8),
        ("volume", ctypes.c_uint8),
        ("pan", ctypes.c_uint8),
        ("starts_note", ctypes.c_uint8),
        ("reserved", ctypes.c_uint8 * 3),
    ]


def error_string(code):
    """The library's sentence for a result code."""
    return lib.tw_error_string(code).decode("utf-8")


def instrument_name(drums, instrument):
    """The library's name of a drum (`drums` true) or of a melody waveform; None when there is no such
    instrument."""
    name = lib.tw_instrument_name(1 if drums else 0, int(instrument))
    return None if name is None else name.decode("utf-8")


# Every waveform's and every drum's name, in the order a track's instrument counts them.
WAVE_NAMES = tuple(instrument_name(False, i) for i in range(lib.tw_get_instrument_count(0)))
DRUM_NAMES = tuple(instrument_name(True, i) for i in range(lib.tw_get_instrument_count(1)))


def version():
    """The library's version as a (major, minor, patch) tuple."""
    number = lib.tw_version()
    return (number >> 16, (number >> 8) & 0xFF, number & 0xFF)


def check(code):
    """Raises TunewrightError for a negative result (an error code); returns any other."""
    if code < 0:
        raise TunewrightError(code)
    return code
