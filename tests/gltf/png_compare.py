#!/usr/bin/env python3
"""png_compare.py A.png B.png [--mirror-b] [--shift-b PIXELS] [--side-by-side OUT.png]

How far two frames of the same size are apart: the mean absolute difference
per channel (0..255) and the share of pixels whose channels all lie within
16, over the frame less the engine's HUD (the corner x < 260, y < 120, and
a 40x40 box at the centre, where its glyphs are drawn). Prints
"mean M within16 P%". --mirror-b and --shift-b turn B around its vertical
axis or move it right first (to show what a wrong picture scores);
--side-by-side writes A and B at half size next to each other.
Exit status 2 for a picture it cannot read, else 0."""
import struct
import sys
import zlib


def decode_png(data):
    """(width, height, channels, rows) of an 8-bit RGB (3 channels) or RGBA
    (4) PNG held in data: rows of width * channels bytes, top row first."""
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('not a PNG file')
    at, idat, header = 8, [], None
    while at + 8 <= len(data):
        n, kind = struct.unpack_from('>I4s', data, at)
        body = data[at + 8:at + 8 + n]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat.append(body)
        elif kind == b'IEND':
            break
        at += 12 + n
    if header is None:
        raise ValueError('no IHDR chunk')
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0 or not 0 < width <= 16384 or not 0 < height <= 16384:
        raise ValueError(f'only 8-bit RGB or RGBA without interlacing (depth {depth}, colour type {colour})')
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b''.join(idat))
    stride = width * bpp
    if len(raw) < (stride + 1) * height:
        raise ValueError('the pixel data is short')
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 1:
            for x in range(bpp, stride):
                line[x] = (line[x] + line[x - bpp]) & 255
        elif kind == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, prev))
        elif kind == 3:
            for x in range(stride):
                left = line[x - bpp] if x >= bpp else 0
                line[x] = (line[x] + ((left + prev[x]) >> 1)) & 255
        elif kind == 4:
            for x in range(stride):
                a = line[x - bpp] if x >= bpp else 0
                b = prev[x]
                c = prev[x - bpp] if x >= bpp else 0
                line[x] = (line[x] + paeth(a, b, c)) & 255
        elif kind != 0:
            raise ValueError(f'row {y}: filter {kind}')
        prev = line
        rows.append(bytes(line))
    return width, height, bpp, rows


def read_png(path):
    """(width, height, rows of RGB bytes) of an 8-bit RGB or RGBA PNG file."""
    with open(path, 'rb') as f:
        width, height, channels, rows = decode_png(f.read())
    if channels == 4:
        rows = [bytes(line[i] for i in range(len(line)) if i % 4 != 3) for line in rows]
    return width, height, rows


def paeth(a, b, c):
    pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    # Each row with the filter that leaves the smallest sum of bytes taken
    # as signed, which usually compresses best.
    raw, prev = [], bytes(3 * width)
    for row in rows:
        left = bytes(3) + row[:-3]
        upleft = bytes(3) + prev[:-3]
        candidates = [
            (0, row),
            (1, bytes((x - a) & 255 for x, a in zip(row, left))),
            (2, bytes((x - b) & 255 for x, b in zip(row, prev))),
            (4, bytes((x - paeth(a, b, c)) & 255 for x, a, b, c in zip(row, left, prev, upleft))),
        ]
        kind, body = min(candidates, key=lambda k: sum(v if v < 128 else 256 - v for v in k[1]))
        raw.append(bytes([kind]) + body)
        prev = row
    raw = b''.join(raw)
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
                  chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def half(width, height, rows):
    """Each 2x2 block's mean."""
    out = []
    for y in range(0, height - 1, 2):
        top, bottom = rows[y], rows[y + 1]
        out.append(bytes((top[3 * x + k] + top[3 * x + 3 + k] + bottom[3 * x + k] + bottom[3 * x + 3 + k] + 2) // 4
                         for x in range(0, width - 1, 2) for k in range(3)))
    return out


def main(argv):
    args, mirror, shift, side = [], False, 0, None
    i = 1
    while i < len(argv):
        if argv[i] == '--mirror-b':
            mirror = True
        elif argv[i] == '--shift-b' and i + 1 < len(argv):
            shift = int(argv[i + 1])
            i += 1
        elif argv[i] == '--side-by-side' and i + 1 < len(argv):
            side = argv[i + 1]
            i += 1
        else:
            args.append(argv[i])
        i += 1
    if len(args) != 2:
        print(__doc__.splitlines()[0], file=sys.stderr)
        return 2
    try:
        wa, ha, a = read_png(args[0])
        wb, hb, b = read_png(args[1])
    except (OSError, ValueError, struct.error, zlib.error) as e:
        print(f'png_compare: {e}', file=sys.stderr)
        return 2
    if (wa, ha) != (wb, hb):
        print(f'png_compare: the sizes differ, {wa}x{ha} and {wb}x{hb}', file=sys.stderr)
        return 2
    if mirror:
        b = [b''.join(row[3 * x:3 * x + 3] for x in reversed(range(wb))) for row in b]
    if shift:
        b = [row[:3 * shift] + row[:-3 * shift] for row in b]
    total = count = close = 0
    for y in range(ha):
        ra, rb = a[y], b[y]
        hud = y < 120
        centre = abs(y - ha // 2) < 20
        for x in range(wa):
            if (hud and x < 260) or (centre and abs(x - wa // 2) < 20):
                continue
            d0 = abs(ra[3 * x] - rb[3 * x])
            d1 = abs(ra[3 * x + 1] - rb[3 * x + 1])
            d2 = abs(ra[3 * x + 2] - rb[3 * x + 2])
            total += d0 + d1 + d2
            count += 1
            close += max(d0, d1, d2) <= 16
    print(f'mean {total / (3 * count):.2f} within16 {100 * close / count:.1f}%')
    if side:
        ha2, hb2 = half(wa, ha, a), half(wb, hb, b)
        write_png(side, 2 * (wa // 2), ha // 2, [ra + rb for ra, rb in zip(ha2, hb2)])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
