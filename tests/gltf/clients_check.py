#!/usr/bin/env python3
"""What a client and the world's own files say of one export:
    clients_check.py WORLD-DIR FILE.glb STATS [ASSIMP-OUTPUT]
  - assimp's triangles, node by node (its node tree names each node's meshes,
    its mesh list their faces), equal what --stats counts (vertices / 3 per
    object), but for the objects whose mesh the export left out with a
    Tarn.log line (a coordinate that is not finite);
  - every node of a loaded object names the line that placed it (extras.source);
  - every texture whose image names a picture file holds that file's pixels,
    decoded here from the file formats (24-bit BMP, 8-bit BMP as alpha over
    white, 24/32-bit uncompressed TGA): 8 bits per channel, rows the right
    way round (other kinds are counted as not compared); a texture that is
    the device's 16-bit copy is a fault, since these worlds' pictures exist.
Prints one line per fault and exits 1 when there is any."""
import json
import os
import re
import struct
import sys

from png_compare import decode_png

faults = []


def read_glb(path):
    data = open(path, 'rb').read()
    n = struct.unpack_from('<I', data, 12)[0]
    doc = json.loads(data[20:20 + n].decode('utf-8'))
    at = 20 + n
    binary = data[at + 8:] if at + 8 <= len(data) else b''
    return doc, binary


def rgba_row(src, size):
    """A row of BGR (size 3) or BGRA (size 4) pixels as RGBA."""
    return b''.join(bytes((src[i + 2], src[i + 1], src[i], src[i + 3] if size == 4 else 255))
                    for i in range(0, len(src), size))


def decode_picture(path):
    """The picture as RGBA rows, top row first; None for a kind not decoded here."""
    data = open(path, 'rb').read()
    if path.lower().endswith('.bmp') and data[:2] == b'BM':
        offset = struct.unpack_from('<I', data, 10)[0]
        w, h, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
        if compression != 0 or bits not in (8, 24) or w <= 0 or h == 0:
            return None
        size = bits // 8
        stride = (w * size + 3) & ~3
        rows, top_down = abs(h), h < 0
        if offset + stride * rows > len(data):
            return None
        out = [None] * rows
        for r in range(rows):
            src = data[offset + r * stride:offset + r * stride + w * size]
            px = rgba_row(src, 3) if bits == 24 else b''.join(bytes((255, 255, 255, v)) for v in src)
            out[r if top_down else rows - 1 - r] = px
        return w, rows, b''.join(out)
    if path.lower().endswith('.tga'):
        id_length, map_type, kind = data[0], data[1], data[2]
        map_length, map_bits = struct.unpack_from('<HB', data, 5)
        w, h, bits, descriptor = struct.unpack_from('<HHBB', data, 12)
        if kind != 2 or bits not in (24, 32):
            return None
        start = 18 + id_length + (map_length * ((map_bits + 7) // 8) if map_type else 0)
        size = bits // 8
        if start + w * h * size > len(data):
            return None
        out = [None] * h
        for r in range(h):
            src = data[start + r * w * size:start + (r + 1) * w * size]
            out[r if descriptor & 0x20 else h - 1 - r] = rgba_row(src, size)
        return w, h, b''.join(out)
    return None


def main():
    world, glb, stats_path = sys.argv[1:4]
    assimp_path = sys.argv[4] if len(sys.argv) > 4 else None
    doc, binary = read_glb(glb)
    stats = [l.split() for l in open(stats_path) if l.startswith('object ')]
    log_path = os.path.join(world, 'Tarn.log')
    log = open(log_path, encoding='latin-1').read() if os.path.exists(log_path) else ''
    left_out = {int(m) for m in re.findall(r'glTF export: object (\d+) kind \d+.*not a finite number', log)}
    want = sum(int(s[5]) // 3 for s in stats if int(s[1]) not in left_out)

    if assimp_path is not None:
        # Faces are counted per mesh; nodes that share a mesh draw it once
        # each, so the node tree says how many times each mesh counts.
        text = open(assimp_path).read()
        faces = [int(m) for m in re.findall(r'^\s+\d+ \(.*\): \[\d+ / \d+ / (\d+) \|', text, re.M)]
        total = re.search(r'^Faces:\s+(\d+)', text, re.M)
        if total is None or int(total.group(1)) != sum(faces):
            faults.append('assimp printed no face count, or one unlike its meshes: ' + text[-300:].replace('\n', ' | '))
        by_node = {}
        for index, meshes in re.findall(r'object (\d+) kind \d+ \(mesh(?:es)? ([\d, ]+)\)', text):
            by_node[int(index)] = sum(faces[int(m)] for m in meshes.split(',') if int(m) < len(faces))
        for s in stats:
            i, drawn = int(s[1]), 0 if int(s[1]) in left_out else int(s[5]) // 3
            if by_node.get(i, 0) != drawn:
                faults.append(f'object {i}: assimp reads {by_node.get(i, 0)} triangles, --stats counts {drawn}')
        if sum(by_node.values()) != want:
            faults.append(f'assimp reads {sum(by_node.values())} triangles in all, --stats counts {want}')

    nodes = [n for n in doc['nodes'] if 'camera' not in n]
    unplaced = [n['name'] for n in nodes if 'source' not in n.get('extras', {})]
    if unplaced:
        faults.append(f'{len(unplaced)} nodes name no source line, first {unplaced[0]}')

    compared, other = 0, 0
    views = doc.get('bufferViews', [])
    for image in doc.get('images', []):
        name = image.get('extras', {}).get('file')
        if name is None:
            faults.append(f'{image["name"]} is the device\'s 16-bit copy, not its picture file')
            continue
        picture = decode_picture(os.path.join(world, name))
        if picture is None:
            other += 1
            continue
        v = views[image['bufferView']]
        w, h, channels, rows = decode_png(binary[v['byteOffset']:v['byteOffset'] + v['byteLength']])
        if channels == 3:
            rows = (row[i:i + 3] + b'\xff' for row in rows for i in range(0, len(row), 3))
        rgba = b''.join(rows)
        if (w, h) != picture[:2] or rgba != picture[2]:
            differ = sum(1 for a, b in zip(rgba, picture[2]) if a != b)
            faults.append(f'{image["name"]} ({name}): {w}x{h} with {differ} bytes unlike the '
                          f'{picture[0]}x{picture[1]} picture')
        compared += 1
    print(f'{os.path.basename(glb)}: {len(nodes)} nodes, {want} triangles, {len(left_out)} left out, '
          f'{compared} pictures compared, {other} not')
    for f in faults:
        print('FAULT:', f)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
