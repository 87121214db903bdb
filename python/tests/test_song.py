"""The Python package against the library: the pitch it plays, its errors, and its length."""
import io
import json
import math
import os
import pathlib
import re
import struct
import subprocess
import wave

import numpy
import pytest

import tunewright

ROOT = pathlib.Path(__file__).resolve().parents[2]
SONG = ROOT / "songs" / "greensleeves.org"


def song_bytes(tempo, loop, notes):
    """Org-02 bytes at `tempo` ms a beat with the loop (start, stop), whose melody track 0 holds
    `notes` (beat, key, length) at volume 200 and the centre pan."""
    header = b"Org-02" + struct.pack("<HBBII", tempo, 4, 4, *loop)
    tracks = [(1000, 0, 0, len(notes) if t == 0 else 0) for t in range(16)]
    records = b"".join(struct.pack("<HBBH", *track) for track in tracks)
    events = b"".join(struct.pack("<I", beat) for beat, _, _ in notes)
    events += bytes(key for _, key, _ in notes) + bytes(length for _, _, length in notes)
    return header + records + events + bytes([200] * len(notes)) + bytes([6] * len(notes))


def one_note_song(note, tempo=100, beats=20):
    """Org-02 bytes of a song whose melody track 0 holds `note` from beat 0 for `beats` beats."""
    return song_bytes(tempo, (0, beats), [(0, note, beats)])


@pytest.mark.parametrize("interpolation", tunewright.INTERPOLATIONS)
def test_note_57_sounds_at_440_hz_with_every_resampler_by_name_or_number(interpolation):
    with tunewright.Song.from_bytes(one_note_song(57)) as song:
        assert song.tracks[0] == tunewright.Track(instrument=0, notes=1, events=1, drums=False)
        assert song.tracks[8].drums and len(song.tracks) == 16
        assert song.events(0) == [tunewright.Event(0, 57, 20, 200, 6, True)]
        with pytest.raises(tunewright.TunewrightError):
            song.events(16)
        song.set_interpolation(interpolation)
        frames = song.read(48000, rate=48000)
        with pytest.raises(ValueError, match="one of nearest, linear"):
            song.set_interpolation("no-such-resampler")
    with tunewright.Song.from_bytes(one_note_song(57)) as by_number:
        by_number.set_interpolation(tunewright.INTERPOLATIONS.index(interpolation))
        assert numpy.array_equal(by_number.read(48000, rate=48000), frames)
    assert frames.shape == (48000, 2)
    left = frames[4800:, 0].astype(numpy.float64)  # past the first beat's start
    spectrum = numpy.abs(numpy.fft.rfft(left * numpy.hanning(len(left))))
    peak = numpy.argmax(spectrum) * 48000 / len(left)
    assert peak == pytest.approx(440.0, abs=2.0)


def test_a_bad_buffer_raises_with_the_libraries_sentence():
    data = bytearray(one_note_song(57))
    data[5:6] = b"3"
    with pytest.raises(tunewright.TunewrightError) as caught:
        tunewright.Song.from_bytes(bytes(data))
    assert 'does not begin with "Org-02"' in str(caught.value)
    with pytest.raises(tunewright.TunewrightError) as caught:
        tunewright.Song.from_bytes(one_note_song(57)[:-3])
    assert "shorter than its own note counts" in str(caught.value)


def test_open_reads_through_the_library_bounded_like_the_tools(tmp_path):
    song = tmp_path / "song.org"
    song.write_bytes(one_note_song(57))
    with tunewright.Song.open(song) as opened:
        assert opened.duration > 0
    larger = tmp_path / "larger.org"
    larger.write_bytes(one_note_song(57).ljust(114 + 16 * 65535 * 8 + 1, b"\0"))
    for path, name in [(larger, "TW_ERROR_TOO_LARGE"), ("/dev/zero", "TW_ERROR_TOO_LARGE"),
                       (tmp_path / "missing.org", "TW_ERROR_FILE")]:
        with pytest.raises(tunewright.TunewrightError) as caught:
            tunewright.Song.open(path)
        assert caught.value.name == name, path


def test_duration_matches_the_renderers_output(tmp_path):
    renderer = os.environ.get("TUNEWRIGHT_RENDER")
    if not renderer:
        pytest.skip("TUNEWRIGHT_RENDER names no renderer")
    wav = tmp_path / "rendered.wav"
    subprocess.run([renderer, "-q", "--loops", "0", "--fade", "0", "-o", str(wav), str(SONG)], check=True,
                   stderr=subprocess.DEVNULL)
    with wave.open(str(wav)) as rendered:
        rendered_seconds = rendered.getnframes() / rendered.getframerate()
    song = tunewright.Song.open(SONG)
    assert song.duration == pytest.approx(rendered_seconds, abs=1e-9)

    # The package's own WAV holds the same frames as the renderer's.
    ours = tmp_path / "ours.wav"
    tunewright.render_wav(SONG, ours)
    with wave.open(str(ours)) as written, wave.open(str(wav)) as rendered:
        assert written.readframes(written.getnframes()) == rendered.readframes(rendered.getnframes())


@pytest.mark.parametrize("loop", [(4, 12), (5, 2)], ids=["looping", "empty-loop"])
def test_every_loop_count_reads_the_frames_tunewright_info_gives(tmp_path, loop):
    """One loop count, one length, to the frame, at a rate whose 1 ms blocks are not whole frames;
    an empty loop lasts its intro, and -1 over a loop is for ever."""
    info = os.environ.get("TUNEWRIGHT_INFO")
    if not info:
        pytest.skip("TUNEWRIGHT_INFO names no tunewright-info")
    path = tmp_path / "song.org"
    path.write_bytes(song_bytes(47, loop, [(0, 57, 4), (4, 60, 8)]))
    for loops in (0, 1, 2, 3, -1):
        with tunewright.Song.open(path) as song:
            song.loops = loops
            if loops < 0 and loop[1] > loop[0]:
                assert song.duration == math.inf
                continue
            read = 0
            while len(block := song.read(4096, rate=44100)):
                read += len(block) // (1 if hasattr(block, "shape") else 2)
        described = subprocess.run([info, "--loops", str(loops), "--rate", "44100", str(path)],
                                   capture_output=True, text=True).stdout
        length = re.search(r", (\d+) frames at 44100 Hz", described)
        assert length, described
        assert read == int(length.group(1)), loops


def test_loops_and_seek_follow_the_song():
    with tunewright.Song.from_bytes(one_note_song(57, tempo=100, beats=20)) as song:
        assert song.duration == pytest.approx(2.0)
        song.loops = 1
        assert song.duration == pytest.approx(4.0)
        song.seek(3.33)
        assert song.position == pytest.approx(3.3)
        assert len(song.read(48000)) == int(0.7 * 48000)
        with pytest.raises(tunewright.TunewrightError):
            song.loops = -2


def test_a_song_made_in_python_is_read_back_exactly(tmp_path):
    song = tunewright.Song.new()
    song.set_tempo_ms(90)
    song.set_bar_layout(3, 4)
    song.set_loop(4, 16)
    song.set_instrument(0, 42)
    song.set_instrument(8, 2)
    song.set_fine_tune(0, 1050)
    song.add_note(0, 0, 57, 4)
    song.add_note(0, 8, 60, 2, volume=100, pan=12)
    song.add_note(0, 4, 59, 2, pan=0)
    song.add_note(0, 8, 62, 3, volume=254)  # replaces the note at beat 8
    song.add_note(8, 2, 30, 1)
    song.remove_note(0, 4)
    notes = {0: [(0, 57, 4, 200, 6), (8, 62, 3, 254, 6)], 8: [(2, 30, 1, 200, 6)]}
    assert {t: song.notes(t) for t in range(16) if song.notes(t)} == notes

    for bad, name in [(lambda: song.add_note(0, 9, 96, 1), "TW_ERROR_BAD_KEY"),
                      (lambda: song.add_note(0, 9, 1, 256), "TW_ERROR_BAD_LENGTH"),
                      (lambda: song.add_note(0, 9, 1, 1, volume=-1), "TW_ERROR_BAD_VOLUME"),
                      (lambda: song.add_note(0, 9, 1, 1, pan=13), "TW_ERROR_BAD_PAN"),
                      (lambda: song.set_instrument(9, 12), "TW_ERROR_BAD_INSTRUMENT"),
                      (lambda: song.remove_note(1, 0), "TW_ERROR_NO_EVENT")]:
        with pytest.raises(tunewright.TunewrightError) as caught:
            bad()
        assert caught.value.name == name
    path = tmp_path / "made.org"
    song.save(path)
    assert path.read_bytes() == song.to_bytes()
    again = tunewright.Song.open(path)
    assert (again.tempo, again.bar_layout, again.loop, again.fine_tune(0)) == (90, (3, 4), (4, 16), 1050)

    info = os.environ.get("TUNEWRIGHT_INFO")
    if not info:
        pytest.skip("TUNEWRIGHT_INFO names no tunewright-info")
    described = json.loads(subprocess.run([info, "--json", "--events", str(path)], check=True,
                                          capture_output=True, text=True).stdout)
    assert (described["tempo_ms"], described["loop_start"], described["loop_stop"]) == (90, 4, 16)
    listed = {track["track"]: [tuple(e[k] for k in ("beat", "key", "length", "volume", "pan"))
                               for e in track["event_list"]]
              for track in described["tracks"] if track["event_list"]}
    assert listed == notes
    assert [described["tracks"][t]["instrument"] for t in (0, 8)] == [42, 2]
    assert [described["tracks"][t]["instrument_name"] for t in (0, 8)] == [tunewright.WAVE_NAMES[42], "Snare"]


def test_midi_from_an_independent_writer_comes_in_and_goes_out():
    import mido  # Debian's python3-mido: a writer and reader of our own making would prove nothing
    made = mido.MidiFile(type=0, ticks_per_beat=96)
    track = mido.MidiTrack()
    made.tracks.append(track)
    track += [mido.MetaMessage("set_tempo", tempo=480000), mido.Message("control_change", control=10, value=127),
              mido.Message("note_on", note=69, velocity=100), mido.Message("note_off", note=69, time=96),
              mido.Message("note_on", note=5, velocity=10), mido.Message("note_off", note=5, time=24)]
    written = io.BytesIO()
    made.save(file=written)

    song, report = tunewright.Song.from_midi(written.getvalue())
    assert song.notes(0) == [(0, 57, 4, 200, 12)]
    assert (song.tempo, report.notes, report.keys_out_of_range) == (120, 1, 1)
    assert report.text.splitlines()[0] == "1 notes imported at 120 ms per beat."

    back = mido.MidiFile(file=io.BytesIO(song.to_midi()))
    assert [(m.note, m.velocity) for t in back.tracks for m in t if m.type == "note_on"] == [(69, 100)]
    assert tunewright.Song.from_midi(song.to_midi())[0].notes(0) == song.notes(0)
    with pytest.raises(tunewright.TunewrightError) as caught:
        tunewright.Song.from_midi(song.to_bytes())
    assert caught.value.name == "TW_ERROR_NOT_MIDI"


def test_instruments_have_names_and_a_tempo_change_places_notes_by_their_time():
    assert (len(tunewright.WAVE_NAMES), len(tunewright.DRUM_NAMES)) == (100, 12)
    assert tunewright.instrument_name(True, 12) is None and tunewright.instrument_name(False, 3) == "Square"
    new = tunewright.Song.new()
    assert [tunewright.DRUM_NAMES[t.instrument] for t in new.tracks[8:11]] == ["Bass drum", "Snare", "Closed hi-hat"]

    import mido
    made = mido.MidiFile(type=0, ticks_per_beat=96)
    track = mido.MidiTrack()
    made.tracks.append(track)
    # One slow quarter note, then eight at twice the speed, which hold longest: 60 ms per beat.
    track += [mido.MetaMessage("set_tempo", tempo=480000), mido.Message("note_on", note=60, velocity=100),
              mido.Message("note_off", note=60, time=96), mido.MetaMessage("set_tempo", tempo=240000)]
    for _ in range(8):
        track += [mido.Message("note_on", note=60, velocity=100), mido.Message("note_off", note=60, time=96)]
    written = io.BytesIO()
    made.save(file=written)
    song, report = tunewright.Song.from_midi(written.getvalue())
    assert song.tempo == 60
    assert [n.beat for n in song.notes(0)] == [0] + [8 + 4 * i for i in range(8)]
    assert (report.extra_tempos, report.retimed) == (1, 8)


def test_tracks_apart_add_up_to_the_mix_and_the_desk_acts_on_them():
    with tunewright.Song.open(SONG) as mixed, tunewright.Song.open(SONG) as apart:
        tracks = apart.read_tracks(96000)
        assert tracks.shape == (16, 96000, 2) and tracks.dtype == numpy.float32
        assert numpy.abs(tracks.sum(axis=0) - mixed.read_float(96000)).max() <= 1e-6
        levels = apart.levels()
        loud = max(range(16), key=lambda track: levels[track].peak)
        assert levels[loud].peak == numpy.abs(tracks[loud]).max()
        assert levels[loud].rms == pytest.approx(numpy.sqrt(numpy.mean(tracks[loud].astype(float) ** 2)), rel=1e-5)
    with tunewright.Song.open(SONG) as song:
        song.set_mute(loud)
        song.set_solo(loud)  # solo wins over mute
        song.set_gain(loud, 0.5)
        assert song.mute(loud) and song.solo(loud) and song.gain(loud) == 0.5
        assert numpy.array_equal(song.read_float(96000), tracks[loud] * numpy.float32(0.5))
        with pytest.raises(tunewright.TunewrightError):
            song.set_gain(16, 0.5)
        with pytest.raises(tunewright.TunewrightError):
            song.set_tempo_factor(5)
        length = song.duration
        song.set_tempo_factor(2)
        song.set_pitch_shift(-3.5)
        assert (song.tempo_factor, song.pitch_shift, song.duration) == (2, -3.5, pytest.approx(length / 2))
