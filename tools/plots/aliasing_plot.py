#!/usr/bin/env python3
"""Draws docs/aliasing.png: the spectrum of program 9 on a 5 kHz sine at
-6 dBFS, 44.1 kHz, rendered at the file's rate and with --oversample 8.

    tools/plots/aliasing_plot.py build/varnox-render docs/aliasing.png

Standard library only: the renderer makes the audio, a radix-2 FFT under a
7-term Blackman-Harris window (sidelobes below -180 dB, so the floor shown
is the signal's, not the window's) gives the spectrum, and the picture is
written as a PNG by hand.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

RATE, FREQUENCY, SIZE = 44100, 5000.0, 16384
WINDOW = [0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
          0.01081174209837, 0.00077658482522, 0.00001388721735]


def write_wav(path, samples):
    data = b"".join(struct.pack("<f", s) for s in samples)
    header = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 3, 1, RATE, RATE * 4, 4, 32) + b"data" + struct.pack("<I", len(data)))
    with open(path, "wb") as f:
        f.write(header + data)


def read_wav(path):
    data = open(path, "rb").read()
    at = 12
    while at < len(data):
        chunk, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if chunk == b"data":
            body = data[at + 8:at + 8 + size]
            return struct.unpack("<%df" % (len(body) // 4), body)
        at += 8 + size + (size & 1)
    raise SystemExit(f"{path}: no audio")


def fft(values):
    n = len(values)
    if n == 1:
        return values
    even, odd = fft(values[0::2]), fft(values[1::2])
    out = [0j] * n
    for k in range(n // 2):
        t = complex(math.cos(-2 * math.pi * k / n), math.sin(-2 * math.pi * k / n)) * odd[k]
        out[k], out[k + n // 2] = even[k] + t, even[k] - t
    return out


def spectrum(samples):
    start = RATE  # one second in: the effect has settled
    w = [sum(((-1) ** j) * a * math.cos(2 * math.pi * j * i / SIZE) for j, a in enumerate(WINDOW)) for i in range(SIZE)]
    bins = fft([complex(samples[start + i] * w[i], 0.0) for i in range(SIZE)])
    reference = sum(w) / 2  # a full-scale sine's peak bin
    return [20 * math.log10(max(abs(b) / reference, 1e-12)) for b in bins[:SIZE // 2]]


# A 3 x 5 pixel font for the axis labels.
GLYPHS = {
    "0": "111101101101111", "1": "010110010010111", "2": "111001111100111", "3": "111001111001111",
    "4": "101101111001001", "5": "111100111001111", "6": "111100111101111", "7": "111001001001001",
    "8": "111101111101111", "9": "111101111001111", "-": "000000111000000", "k": "100101110101101",
    "H": "101101111101101", "z": "000111010100111", "d": "001001111101111", "B": "110101110101110",
    "x": "000101010101000", " ": "000000000000000",
}


class Picture:
    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.pixels = [list(background) * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][3 * x:3 * x + 3] = colour

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for s in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * s / steps), round(y0 + (y1 - y0) * s / steps), colour)

    def text(self, x, y, words, colour, scale=2):
        for c in words:
            for i, bit in enumerate(GLYPHS[c]):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            self.put(x + (i % 3) * scale + dx, y + (i // 3) * scale + dy, colour)
            x += 4 * scale

    def save(self, path):
        raw = b"".join(b"\0" + bytes(row) for row in self.pixels)

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) +
                    chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    renderer, target = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "sine.wav")
        write_wav(source, [0.5 * math.sin(2 * math.pi * FREQUENCY * i / RATE) for i in range(RATE + SIZE + RATE // 10)])
        traces = []
        for factor in (1, 8):
            out = os.path.join(folder, f"{factor}x.wav")
            subprocess.run([renderer, source, out, "--program", "9", "--format", "float", "--quiet",
                            "--oversample", str(factor)], check=True)
            traces.append(spectrum(read_wav(out)))

    width, height, left, top, plot_w, plot_h = 900, 380, 70, 20, 800, 320
    picture = Picture(width, height, (19, 17, 15))
    grid, ink = (52, 46, 40), (200, 190, 170)
    floor = -140.0
    for db in range(0, -141, -20):
        y = top + round(-db / -floor * plot_h)
        picture.line(left, y, left + plot_w, y, grid)
        picture.text(left - 12 - 8 * len(str(db)), y - 5, str(db), ink)
    for khz in range(0, 23, 5):
        x = left + round(khz * 1000 / (RATE / 2) * plot_w)
        picture.line(x, top, x, top + plot_h, grid)
        picture.text(x - 8, top + plot_h + 8, f"{khz}k", ink)
    picture.text(left + plot_w - 40, top + plot_h + 24, "Hz", ink)
    picture.text(8, top + 4, "dB", ink)
    colours = [(150, 140, 130), (246, 170, 90)]
    for trace, colour in zip(traces, colours):
        previous = None
        for b, level in enumerate(trace):
            x = left + round(b / len(trace) * plot_w)
            y = top + round(min(max(-level / -floor, 0.0), 1.0) * plot_h)
            if previous:
                picture.line(previous[0], previous[1], x, y, colour)
            previous = (x, y)
    for i, (label, colour) in enumerate((("1x", colours[0]), ("8x", colours[1]))):
        y = top + 10 + 18 * i
        for dy in range(10):
            picture.line(left + plot_w - 90, y + dy, left + plot_w - 70, y + dy, colour)
        picture.text(left + plot_w - 60, y, label, ink)
    picture.save(target)


if __name__ == "__main__":
    main()
