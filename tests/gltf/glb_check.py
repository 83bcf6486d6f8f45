#!/usr/bin/env python3
"""Checks a binary glTF file's structure against itself and against the
replay's --stats lines: glb_check.py FILE.glb STATS [--expect-missing-mesh N]
Prints one line per fault and exits 1 when there is any."""
import json
import math
import struct
import sys

faults = []


def fault(text):
    faults.append(text)


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def main():
    path, stats_path = sys.argv[1], sys.argv[2]
    missing = int(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[3] == '--expect-missing-mesh' else 0
    data = open(path, 'rb').read()
    if len(data) < 20:
        print('file too short'); return 1
    magic, version, length = struct.unpack_from('<4sII', data, 0)
    if magic != b'glTF' or version != 2 or length != len(data):
        fault(f'header: magic {magic!r} version {version} length {length} of {len(data)}')
    chunks, at = [], 12
    while at + 8 <= len(data):
        n, kind = struct.unpack_from('<I4s', data, at)
        if n % 4 or at % 4 or at + 8 + n > len(data):
            fault(f'chunk {kind!r} at {at}: length {n} misaligned or past the end')
        chunks.append((kind, data[at + 8:at + 8 + n]))
        at += 8 + n
    if at != len(data):
        fault(f'{len(data) - at} bytes after the last chunk')
    if not chunks or chunks[0][0] != b'JSON':
        print('no JSON chunk first'); return 1
    doc = json.loads(chunks[0][1].decode('utf-8'))
    bin_ = chunks[1][1] if len(chunks) > 1 and chunks[1][0] == b'BIN\0' else b''
    buffers = doc.get('buffers', [])
    if buffers and not (0 <= len(bin_) - buffers[0]['byteLength'] < 4):
        fault(f'buffer of {buffers[0]["byteLength"]} bytes in a BIN chunk of {len(bin_)}')
    views = doc.get('bufferViews', [])
    for i, v in enumerate(views):
        if v['byteOffset'] % 4 or v['byteOffset'] + v['byteLength'] > len(bin_):
            fault(f'bufferView {i} misaligned or past the buffer')
    sizes = {5123: ('H', 2), 5125: ('I', 4), 5126: ('f', 4)}
    widths = {'SCALAR': 1, 'VEC2': 2, 'VEC3': 3}
    values = []
    for i, a in enumerate(doc.get('accessors', [])):
        code, size = sizes[a['componentType']]
        width = widths[a['type']]
        view = views[a['bufferView']]
        stride = view.get('byteStride', size * width)
        start = view['byteOffset'] + a.get('byteOffset', 0)
        end = start + (a['count'] - 1) * stride + size * width
        if a['count'] < 1 or end > view['byteOffset'] + view['byteLength']:
            fault(f'accessor {i}: count {a["count"]} does not fit its view')
            values.append([]); continue
        rows = [struct.unpack_from('<%d%s' % (width, code), bin_, start + k * stride) for k in range(a['count'])]
        values.append(rows)
        if any(not math.isfinite(x) for r in rows for x in r):
            fault(f'accessor {i}: a value that is not finite')
        for key, pick in (('min', min), ('max', max)):
            if key in a:
                got = [pick(r[c] for r in rows) for c in range(width)]
                if [f32(x) for x in a[key]] != got:
                    fault(f'accessor {i}: {key} {a[key]} but the data give {got}')
    triangles = 0
    meshes = doc.get('meshes', [])
    for m, mesh in enumerate(meshes):
        for p in mesh['primitives']:
            count = len(values[p['attributes']['POSITION']])
            for name in ('NORMAL', 'TEXCOORD_0'):
                if len(values[p['attributes'][name]]) != count:
                    fault(f'mesh {m}: {name} count differs from POSITION')
            for n in values[p['attributes']['NORMAL']]:
                if abs(math.sqrt(sum(x * x for x in n)) - 1) > 1e-3:
                    fault(f'mesh {m}: normal {n} is not of unit length'); break
            index = [r[0] for r in values[p['indices']]]
            if len(index) % 3 or (index and max(index) >= count):
                fault(f'mesh {m}: {len(index)} indices, largest {max(index, default=0)}, over {count} vertices')
            mesh['triangles'] = len(index) // 3
            # glTF's fronts run anticlockwise: the corners' cross product
            # must agree with the normals the engine gave the front side.
            pos, nor = values[p['attributes']['POSITION']], values[p['attributes']['NORMAL']]
            for t in range(0, len(index) - 2, 3):
                a, b, c = (pos[index[t + k]] for k in range(3))
                u = [b[k] - a[k] for k in range(3)]
                v = [c[k] - a[k] for k in range(3)]
                cross = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
                if sum(x * x for x in cross) > 1e-12 and sum(cross[k] * nor[index[t]][k] for k in range(3)) <= 0:
                    fault(f'mesh {m}: triangle {t // 3} winds against its normal')
                    break
    stats = [line.split() for line in open(stats_path) if line.startswith('object ')]
    nodes = [n for n in doc['nodes'] if 'camera' not in n]
    if len(nodes) != len(stats):
        fault(f'{len(nodes)} object nodes, --stats lists {len(stats)}')
    for n in nodes:
        if 'mesh' in n:
            triangles += meshes[n['mesh']]['triangles']
    expected = sum(int(s[5]) // 3 for s in stats)
    lost = sum(int(s[5]) // 3 for s, n in zip(stats, nodes) if 'mesh' not in n)
    if triangles != expected - lost:
        fault(f'{triangles} triangles, --stats gives {expected} ({lost} in objects without a mesh)')
    if sum('mesh' not in n and int(s[5]) >= 3 for s, n in zip(stats, nodes)) != missing:
        fault(f'objects with vertices but no mesh: expected {missing}')
    for i, (s, n) in enumerate(zip(stats, nodes)):
        if n.get('name') != f'object {i} kind {s[3]}':
            fault(f'node {i} named {n.get("name")!r}')
    if sum('camera' in n for n in doc['nodes']) != 1 or len(doc.get('cameras', [])) != 1:
        fault('not one camera node')
    for i, img in enumerate(doc.get('images', [])):
        v = views[img['bufferView']]
        if bin_[v['byteOffset']:v['byteOffset'] + 8] != b'\x89PNG\r\n\x1a\n':
            fault(f'image {i} is no PNG')
    for line in faults:
        print(line)
    print(json.dumps({'nodes': len(nodes), 'meshes': len(meshes), 'triangles': triangles,
                      'materials': [m.get('name') for m in doc.get('materials', [])]}))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
