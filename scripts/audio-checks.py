#!/usr/bin/env python3
"""What the players' tests share: a song made of held notes, and a measure of what a player wrote.

  audio-checks.py song OUT [KEY:BEATS ...]
      A song of 125 ms beats, its loop over all of them, track 0 on waveform 0 holding each note
      in turn from the first beat (key 57 sounds at 440 Hz, 12 keys to an octave). The default is
      one note 57 held for 16 beats: two seconds.
  audio-checks.py measure FILE
      Prints "HZ RMS SECONDS" for a WAV file (16-bit or float) or raw 16-bit stereo frames at
      48 kHz: the strongest frequency and the loudness of the quarter second from the first sound
      of the left channel, and how long the whole file plays.
"""
import math
import os
import struct
import sys

MAX_BYTES = 8 << 20  # an unpaced capture can run long; its start is enough for the tone


def make_song(path, notes):
    tracks = [struct.pack("<HBBH", 1000, 0, 0, len(notes) if t == 0 else 0) for t in range(16)]
    beats, positions, keys, lengths = 0, [], [], []
    for note in notes:
        key, length = (int(x) for x in note.split(":"))
        positions.append(struct.pack("<I", beats))
        keys.append(key)
        lengths.append(length)
        beats += length
    count = len(notes)
    # A track's events as the file holds them: every position, then every key, length, volume, pan.
    events = b"".join(positions) + bytes(keys) + bytes(lengths) + bytes([200] * count) + bytes([6] * count)
    with open(path, "wb") as out:
        out.write(b"Org-02" + struct.pack("<HBBII", 125, 4, 4, 0, beats) + b"".join(tracks) + events)


def read_frames(path):
    """The left channel as floats of full scale 1, the rate, and the file's frame count."""
    with open(path, "rb") as f:
        is_wav = f.read(12)[8:] == b"WAVE"
        f.seek(0)
        data = f.read() if is_wav else f.read(MAX_BYTES)
    size = len(data) if is_wav else os.path.getsize(path)
    rate, channels, bits, is_float = 48000, 2, 16, False
    if is_wav:
        offset, pcm = 12, None
        while offset + 8 <= len(data):
            tag, size = data[offset : offset + 4], struct.unpack("<I", data[offset + 4 : offset + 8])[0]
            body = offset + 8
            if tag == b"fmt ":
                kind, channels, rate = struct.unpack("<HHI", data[body : body + 8])
                bits = struct.unpack("<H", data[body + 14 : body + 16])[0]
                if kind == 0xFFFE:  # WAVE_FORMAT_EXTENSIBLE: the kind is the subformat's first two bytes
                    kind = struct.unpack("<H", data[body + 24 : body + 26])[0]
                is_float = kind == 3
            elif tag == b"data":
                # A writer stopped before it could fill in the size leaves 0 or too large a one.
                end = body + size if 0 < size <= len(data) - body else len(data)
                pcm = data[body:end]
                size = len(pcm)
                break
            offset = body + size + (size & 1)
        if pcm is None:
            sys.exit("audio-checks: %s is a WAV file without data" % path)
        data = pcm
    width = bits // 8
    frame = width * channels
    frames = size // frame
    head = data[: min(frames * frame, MAX_BYTES // frame * frame)]
    code = {(4, True): "f", (2, False): "h", (4, False): "i"}.get((width, is_float))
    if code is None:
        sys.exit("audio-checks: %s holds %d-bit samples, which this measure does not read" % (path, bits))
    scale = 1.0 if is_float else float(1 << (bits - 1))
    values = struct.unpack("<%d%s" % (len(head) // width, code), head)
    return [v / scale for v in values[0::channels]], rate, frames


def measure(path):
    left, rate, frames = read_frames(path)
    start = next((i for i, x in enumerate(left) if abs(x) > 300 / 32768), len(left))
    part = left[start : start + rate // 4]  # a quarter of a second from the first sound

    def strength(hz):  # Goertzel: the amplitude of one frequency
        k, s1, s2 = 2 * math.cos(2 * math.pi * hz / rate), 0.0, 0.0
        for x in part:
            s1, s2 = x + k * s1 - s2, s1
        return math.sqrt(max(s1 * s1 + s2 * s2 - k * s1 * s2, 0.0))

    rms = math.sqrt(sum(x * x for x in part) / max(len(part), 1))
    print(max(range(100, 2000, 4), key=strength) if part else 0, "%.4f" % rms, "%.3f" % (frames / rate))


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "song":
        make_song(sys.argv[2], sys.argv[3:] or ["57:16"])
    elif len(sys.argv) == 3 and sys.argv[1] == "measure":
        measure(sys.argv[2])
    else:
        sys.exit(__doc__)
