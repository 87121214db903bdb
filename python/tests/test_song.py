"""The Python package against the library: the pitch it plays, its errors, and its length."""
import os
import pathlib
import struct
import subprocess
import wave

import numpy
import pytest

import tunewright

ROOT = pathlib.Path(__file__).resolve().parents[2]
SONG = ROOT / "songs" / "greensleeves.org"


def one_note_song(note, tempo=100, beats=20):
    """Org-02 bytes of a song whose melody track 0 holds `note` from beat 0 for `beats` beats."""
    header = b"Org-02" + struct.pack("<HBBII", tempo, 4, 4, 0, beats)
    tracks = [(1000, 0, 0, 1 if t == 0 else 0) for t in range(16)]
    records = b"".join(struct.pack("<HBBH", *track) for track in tracks)
    events = struct.pack("<I", 0) + bytes([note, beats, 200, 6])
    return header + records + events


@pytest.mark.parametrize("interpolation", ["linear", "sinc"])
def test_note_57_sounds_at_440_hz(interpolation):
    with tunewright.Song.from_bytes(one_note_song(57)) as song:
        assert song.tracks[0] == tunewright.Track(instrument=0, notes=1, events=1, drums=False)
        assert song.tracks[8].drums and len(song.tracks) == 16
        assert song.events(0) == [tunewright.Event(0, 57, 20, 200, 6, True)]
        with pytest.raises(tunewright.TunewrightError):
            song.events(16)
        song.set_interpolation(interpolation)
        frames = song.read(48000, rate=48000)
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
