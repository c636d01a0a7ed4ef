#!/usr/bin/env python3
"""Colour and halftone table generator.

Builds the encoder's compiled-in tables from a small device model and writes
them as C++ sources; optionally writes colour table files (.qcm) in the format
the encoder loads, so that a calibration can ship as files.

Device model (CMYK inks, values 0..1023 = none..full coverage at the mode's
nominal drop):
  * RGB node -> subtractive primaries c0 = 1 - r (and m0, y0), with a
    saturation gain around the grey axis for the vivid variant;
  * grey component g = min(c0, m0, y0) split into black and a composite grey:
    k = ((g - k0) / (1 - k0))^kexp above the black start k0, composite
    grey g * (1 - k) balanced by the media's cyan/magenta/yellow weights so
    that the composite prints neutral;
  * chroma (c0 - g, ...) kept on top of the composite grey, all scaled by
    the media's ink gain and limited to the mode's total ink limit;
  * output curves (per channel) compensate dot gain with a power law per
    resolution class and halftone family;
  * correction curves add a small darkness-dependent shift (cyan up, yellow
    down in the shadows) that neutralises the usual warm cast of dense
    composite black;
  * the black-only curve maps 0..255 grey darkness to black ink with a mild
    gamma.

usage: colorgen.py [--sources DIR] [--qcm DIR] [--qcm-only]
"""
import argparse
import math
import os
import struct

GRID_N = 17
LIMITS = {1: 2560, 2: 1664, 3: 1216, 5: 928}  # by class group

# Class groups of the compiled-in tables: 1, 2, 3 and 5 (5, 6 and 7 share one
# curve set and use the grid of class 3).
CLASS_MODEL = {
    # ink gain, dot-gain exponent (family 1, family 2)
    1: (1.00, (1.00, 1.10)),
    2: (0.94, (1.10, 1.18)),
    3: (0.88, (1.18, 1.25)),
    5: (0.88, (1.25, 1.32)),
}

# Media models for the table files: ink gain, grey balance (c, m, y), black start.
MEDIA_MODEL = {
    'plain':   (1.00, (1.00, 0.86, 0.88), 0.30),
    'photo':   (1.10, (1.00, 0.90, 0.86), 0.45),
    'matte':   (1.04, (1.00, 0.88, 0.86), 0.40),
    'glossy':  (1.12, (1.00, 0.92, 0.86), 0.50),
    'inkjet':  (1.02, (1.00, 0.87, 0.87), 0.35),
    'film':    (0.92, (1.00, 0.88, 0.90), 0.35),
    'thick':   (0.96, (1.00, 0.86, 0.88), 0.30),
    'mono':    (1.00, (1.00, 0.86, 0.88), 0.20),
}


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def make_grid(class_group, family, variant, media='plain'):
    """17^3 nodes, red slowest, blue fastest, each C, M, Y, K in 0..1023."""
    gain, balance, k0 = MEDIA_MODEL[media]
    gain *= CLASS_MODEL[class_group][0]
    if family == 1:          # text-oriented halftone: black starts earlier
        k0 *= 0.5
    kexp = 1.4 if family == 2 else 1.1
    saturation = {0: 1.0, 1: 1.0, 2: 1.22}[variant]
    limit = LIMITS[class_group] / 1023.0
    out = []
    for ri in range(GRID_N):
        for gi in range(GRID_N):
            for bi in range(GRID_N):
                r, g, b = (min(i * 16, 255) / 255.0 for i in (ri, gi, bi))
                c0, m0, y0 = 1 - r, 1 - g, 1 - b
                mean = (c0 + m0 + y0) / 3
                c0, m0, y0 = (clamp(mean + (x - mean) * saturation, 0, 1) for x in (c0, m0, y0))
                grey = min(c0, m0, y0)
                k = clamp((grey - k0) / (1 - k0), 0, 1) ** kexp if grey > k0 else 0.0
                composite = grey * (1 - k)
                inks = [(x - grey) + composite * w for x, w in zip((c0, m0, y0), balance)]
                inks = [clamp(x * gain, 0, 1) for x in inks]
                total = sum(inks) + k
                if total > limit and sum(inks) > 0:
                    room = max(limit - k, 0)
                    scale = room / sum(inks)
                    if scale < 1:
                        inks = [x * scale for x in inks]
                if ri == gi == bi == 0:
                    inks, k = [0, 0, 0], 1.0
                out.extend(int(round(x * 1023)) for x in inks)
                out.append(int(round(k * 1023)))
    return out


def make_curves(class_group, family, variant):
    """Nine 256-entry curves: output C, M, Y, K; correction C, M, Y, K (signed);
    black only. Output values 0..65535."""
    expo = CLASS_MODEL[class_group][1][family - 1]
    out = []
    for ch in range(4):
        e = expo * (1.05 if ch == 3 else 1.0)
        out.extend(int(round(65535 * (i / 255.0) ** e)) for i in range(256))
    # Darkness-dependent correction: indices are darkness / 4 (0..255).
    shape = [math.sin(math.pi * i / 255.0) * (i / 255.0) for i in range(256)]
    for amount in (10, 0, -8, 0):
        out.extend(int(round(amount * s * 65535 / 1023)) & 0xFFFF for s in shape)
    out.extend(int(round(65535 * (i / 255.0) ** 1.15)) for i in range(256))
    return out


# ---------------------------------------------------------------- signatures
def tag_signatures(pass_class, media, media_variant, family, variant, s):
    """Grid and curve tag signatures; the same rule as the encoder's loader."""
    e = pass_class << 8
    m = media
    if m in (0, 12) and media_variant == 1:
        m = 8
    f1 = family == 1
    if m in (1, 3, 9, 10, 11, 13):
        if e in (0x100, 0x200, 0x300):
            G, H, Gv, Gs = (0x8142 if f1 else 0x8112), 0xC112, (0x8152 if f1 else 0x8122), (0x8132 if f1 else 0x8102)
        elif e == 0x600:
            G, H, Gv, Gs = 0x8114, 0xC114, 0x8124, 0x8104
        elif e == 0x700:
            G, H, Gv, Gs = 0x8116, 0xC116, 0x8126, 0x8106
        else:
            G, H, Gv, Gs = 0x8113, 0xC113, 0x8123, 0x8103
        if not s:
            G, H = Gs, H - 0x10
        elif variant == 1:
            G, H = Gv, H + 0x10
        add = {3: 0x100, 13: 0x100, 9: 0x200, 10: 0x300, 11: 0x400}.get(m, 0)
        return G + add, H + add
    if m in (4, 5):
        if e in (0x500, 0x600, 0x700):
            A, Av, As = 0x8613, 0x8623, 0x8603
        else:
            A, Av, As = 0x8612, (0x8652 if f1 else 0x8622), (0x8632 if f1 else 0x8602)
        if not s:
            return As, A + 0x3FF0
        if variant != 1:
            return A, A + 0x4000
        return Av, A + 0x4010
    table = {
        0x100: ((0x8040, 0x8010), 0xC010, (0x8050, 0x8020), (0x8030, 0x8000)),
        0x200: ((0x8041, 0x8011), 0xC011, (0x8051, 0x8021), (0x8031, 0x8001)),
        0x500: ((0x8013, 0x8013), 0xC013, (0x8023, 0x8023), (0x8003, 0x8003)),
    }
    key = e if e in (0x100, 0x200) else 0x500 if e in (0x500, 0x600, 0x700) else 0
    if key:
        g2, H, gv2, gs2 = table[key]
    else:
        g2, H, gv2, gs2 = (0x8042, 0x8012), 0xC012, (0x8052, 0x8022), (0x8032, 0x8002)
    pick = 0 if f1 else 1
    G, Gv, Gs = g2[pick], gv2[pick], gs2[pick]
    if not s:
        G, H = Gs, H - 0x10
    elif variant == 1:
        G, H = Gv, H + 0x10
    if m == 8:
        G, H = G + 0x700, H + 0x700
    return G, H


FILES = [  # file name, representative media types, media model
    ('qvcta.qcm', (1,), 'photo'),
    ('qvctb.qcm', (3, 13), 'matte'),
    ('qvctc.qcm', (9,), 'glossy'),
    ('qvctd.qcm', (10,), 'inkjet'),
    ('qvcte.qcm', (11,), 'film'),
    ('qvctf.qcm', (4, 5), 'thick'),
    ('qvctg.qcm', (8, 2, 6, 7), 'mono'),
    ('qvct.qcm', (0, 2, 6, 7, 12), 'plain'),
]


def class_group(pass_class):
    return 5 if pass_class >= 5 else pass_class


def write_qcm(path, media_types, media_model):
    grids, curves = {}, {}
    for m in media_types:
        for pc in (1, 2, 3, 5, 6, 7):
            for family in (1, 2):
                for variant in (1, 2):
                    for s in (True, False):
                        G, F = tag_signatures(pc, m, 0, family, variant, s)
                        cg = class_group(pc)
                        v = variant if s else 0
                        grids.setdefault(G, (3 if cg == 5 else cg, family, v))
                        curves.setdefault(F, (cg, family, variant))
    tags = []
    for sig, (cg, fam, v) in sorted(grids.items()):
        data = struct.pack('>4s28x', b'qvgr') + struct.pack('<%dH' % (GRID_N ** 3 * 4), *make_grid(cg, fam, v, media_model))
        tags.append((sig, data))
    for sig, (cg, fam, v) in sorted(curves.items()):
        header = bytearray(struct.pack('>4s28x', b'qvcv'))
        header[12:14] = struct.pack('<H', LIMITS[cg])
        data = bytes(header) + struct.pack('<2304H', *make_curves(cg, fam, v))
        tags.append((sig, data))
    table_size = 128 + 4 + 12 * len(tags)
    offset = (table_size + 3) & ~3
    entries, blobs = [], []
    for sig, data in tags:
        entries.append(struct.pack('>III', sig, offset, len(data)))
        blobs.append(data + b'\0' * ((-len(data)) % 4))
        offset += len(blobs[-1])
    header = bytearray(128)
    header[0:4] = struct.pack('>I', offset)
    header[4:8] = b'qvx '
    header[8:10] = b'\x02\x00'
    header[12:16] = b'prtr'
    header[16:20] = b'RGB '
    header[20:24] = b'Lab '
    header[36:40] = b'acsp'
    body = bytes(header) + struct.pack('>I', len(tags)) + b''.join(entries)
    body += b'\0' * (((table_size + 3) & ~3) - len(body))
    with open(path, 'wb') as f:
        f.write(body + b''.join(blobs))


# ---------------------------------------------------------------- halftone
def lcg(seed):
    state = seed
    while True:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        yield state >> 8


def lower_bound_table():
    pts = [(0, -320), (100, -476), (512, -720), (1000, -1010), (1023, -1023)]
    out = []
    for i in range(1024):
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            if x0 <= i <= x1:
                out.append(int(round(y0 + (y1 - y0) * (i - x0) / (x1 - x0))))
                break
    return out


def noise_table():
    rnd = lcg(20061)
    vals = [192 + next(rnd) % 64 for _ in range(128)] + [next(rnd) % 447 - 255 for _ in range(896)]
    for i in range(len(vals) - 1, 0, -1):       # Fisher-Yates with the same generator
        j = next(rnd) % (i + 1)
        vals[i], vals[j] = vals[j], vals[i]
    return vals


def start_pattern():
    rnd = lcg(777)
    return [next(rnd) % 129 - 64 for _ in range(4096)]


def threshold_matrix():
    """128 x 128 dispersed-dot (recursive Bayer) matrix scaled to 1..253."""
    n = 128
    m = [[0]]
    size = 1
    while size < n:
        m = [[4 * m[y % size][x % size] + (0, 2, 3, 1)[(y // size) * 2 + (x // size)]
              for x in range(2 * size)] for y in range(2 * size)]
        size *= 2
    return [1 + (m[y][x] * 253) // (n * n) for y in range(n) for x in range(n)]


# ---------------------------------------------------------------- output
def c_array(ctype, name, values, per_line=16):
    lines = []
    for i in range(0, len(values), per_line):
        lines.append('  ' + ', '.join(str(v) for v in values[i:i + per_line]) + ',')
    return 'const %s %s[%d] = {\n%s\n};\n' % (ctype, name, len(values), '\n'.join(lines))


HEADER = '// Generated by tools/colorgen/colorgen.py; do not edit.\n'


def write_sources(out_dir):
    parts = [HEADER, '#include "builtin_tables.h"\n\nnamespace qvx::raster::builtin {\n\n']
    for cg in (1, 2, 3):
        for fam in (1, 2):
            for v in (1, 2):
                parts.append(c_array('uint16_t', 'kGrid%d_%d_%d' % (cg, fam, v), make_grid(cg, fam, v)))
    for cg in (1, 2, 3, 5):
        for fam in (1, 2):
            for v in (1, 2):
                parts.append(c_array('uint16_t', 'kCurves%d_%d_%d' % (cg, fam, v), make_curves(cg, fam, v)))
    parts.append('\n}  // namespace qvx::raster::builtin\n')
    with open(os.path.join(out_dir, 'builtin_tables.cpp'), 'w') as f:
        f.write(''.join(parts))
    parts = [HEADER, '#include "halftone_tables.h"\n\nnamespace qvx::raster::builtin {\n\n',
             c_array('int16_t', 'kLowerBound', lower_bound_table()),
             c_array('int16_t', 'kNoise', noise_table()),
             c_array('int16_t', 'kStartPattern', start_pattern()),
             c_array('uint8_t', 'kThresholds', threshold_matrix(), 32),
             '\n}  // namespace qvx::raster::builtin\n']
    with open(os.path.join(out_dir, 'halftone_tables.cpp'), 'w') as f:
        f.write(''.join(parts))


def main():
    ap = argparse.ArgumentParser()
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument('--sources', default=os.path.join(here, '..', '..', 'encoder', 'raster'))
    ap.add_argument('--qcm', help='also write the colour table files into this folder')
    ap.add_argument('--qcm-only', action='store_true', help='write only the table files')
    args = ap.parse_args()
    if not args.qcm_only:
        write_sources(args.sources)
    if args.qcm:
        os.makedirs(args.qcm, exist_ok=True)
        for name, media, model in FILES:
            write_qcm(os.path.join(args.qcm, name), media, model)


if __name__ == '__main__':
    main()
