#!/usr/bin/env python3
"""Rewrites a raw stream with global motion (Xvid's, three warping points)
to carry fewer points: the layer header's no_of_sprite_warping_points, and
each S picture's trajectory cut to its first POINTS points (the pictures'
bits after it move up; their stuffing is made anew).  The macroblocks stay
as they are, so the pictures differ from what was encoded, but the stream
is valid and every decoder must decode it alike: it checks the one-point
(translation) and two-point (turn and zoom) warps against the references.

usage: fewer_warping_points.py IN OUT POINTS"""
import sys


def bits_of(data):
    return ''.join(format(b, '08b') for b in data)


def bytes_of(bits):
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


class Reader:
    def __init__(self, bits, pos):
        self.bits, self.pos = bits, pos

    def read(self, n):
        v = int(self.bits[self.pos:self.pos + n], 2) if n else 0
        self.pos += n
        return v


def time_bits(resolution):
    n = 1
    while n < 16 and (1 << n) < resolution:
        n += 1
    return n


def layer_fields(bits):
    """Position of no_of_sprite_warping_points and the increment size."""
    r = Reader(bits, 32)
    r.read(1); r.read(8)                       # random access, type indication
    verid = 1
    if r.read(1):                              # is_object_layer_identifier
        verid = r.read(4); r.read(3)
    if r.read(4) == 15:                        # aspect_ratio_info: extended
        r.read(16)
    if r.read(1):                              # vol_control_parameters
        r.read(3)
        if r.read(1):                          # vbv_parameters
            r.read(79)
    assert r.read(2) == 0, 'rectangular layers only'
    r.read(1)
    resolution = r.read(16)
    r.read(1)
    if r.read(1):                              # fixed_vop_rate
        r.read(time_bits(resolution))
    r.read(1); r.read(13); r.read(1); r.read(13); r.read(1)
    r.read(2)                                  # interlaced, obmc_disable
    assert verid != 1 and r.read(2) == 2, 'global motion (sprite_enable 2) only'
    return r.pos, time_bits(resolution)


def difference_end(r):
    """Reads one trajectory difference (length code, code, marker)."""
    if r.read(2) == 0:
        length = 0
    else:
        r.pos -= 2
        code = r.read(3)
        if code < 7:
            length = code - 1
        else:
            ones = 3
            while r.read(1):
                ones += 1
            length = ones + 3
    r.read(length)
    assert r.read(1) == 1, 'marker bit'


def rewrite_picture(bits, increment_bits, points, had):
    """bits: one picture from its start code to its stuffing."""
    r = Reader(bits, 32)
    if r.read(2) != 3:
        return bits
    while r.read(1):
        pass
    r.read(1); r.read(increment_bits); r.read(1)
    if not r.read(1):                          # vop_coded 0
        return bits
    r.read(1); r.read(3)                       # rounding, intra_dc_vlc_thr
    for _ in range(2 * points):
        difference_end(r)
    keep = r.pos
    for _ in range(2 * (had - points)):
        difference_end(r)
    payload = bits[:keep] + bits[r.pos:]
    payload = payload.rstrip('1')[:-1]        # the old stuffing: a 0, then 1s
    payload += '0' + '1' * (7 - len(payload) % 8)
    return payload


def main():
    data = open(sys.argv[1], 'rb').read()
    points = int(sys.argv[3])
    out = bytearray()
    # Split at start codes: headers, then pictures (00 00 01 B6).
    starts = []
    i = data.find(b'\x00\x00\x01')
    while i >= 0:
        starts.append(i)
        i = data.find(b'\x00\x00\x01', i + 3)
    starts.append(len(data))
    out += data[:starts[0]]
    increment_bits = None
    had = None
    for a, b in zip(starts, starts[1:]):
        unit = data[a:b]
        code = unit[3]
        if 0x20 <= code <= 0x2F:
            bits = bits_of(unit)
            at, increment_bits = layer_fields(bits)
            had = int(bits[at:at + 6], 2)
            assert points < had
            unit = bytes_of(bits[:at] + format(points, '06b') + bits[at + 6:])
        elif code == 0xB6:
            unit = bytes_of(rewrite_picture(bits_of(unit), increment_bits, points, had))
        out += unit
    open(sys.argv[2], 'wb').write(out)


main()
