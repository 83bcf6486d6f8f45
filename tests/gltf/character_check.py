#!/usr/bin/env python3
"""Checks a character's binary glTF against its own skin and against another
reader's glTF of the same ASE export:
  character_check.py OURS.glb PEER.glb [--bind TOLERANCE]
  character_check.py --counts OURS.glb: prints the number of the skin's
  joints and of the nodes the animation moves
- the skin: one joint per node, inverse bind matrices that undo the joints'
  rest pose, joint indices in range and weights that sum to 1;
- the joints' world positions at the first, a middle and the last key agree
  with the peer's nodes of the same name within 1% of the skeleton's size;
- with --bind: the pose at the first key is the rest pose within TOLERANCE
  (exports whose node transforms were taken at their first key).
Prints one line per fault and exits 1 when there is any."""
import json
import math
import struct
import sys

faults = []


def load(path):
    data = open(path, 'rb').read()
    n = struct.unpack_from('<I', data, 12)[0]
    doc = json.loads(data[20:20 + n])
    at = 20 + n
    blob = b''
    if at + 8 <= len(data):
        m = struct.unpack_from('<I', data, at)[0]
        blob = data[at + 8:at + 8 + m]
    return doc, blob


def accessor(doc, blob, i):
    a = doc['accessors'][i]
    v = doc['bufferViews'][a['bufferView']]
    width = {'SCALAR': 1, 'VEC2': 2, 'VEC3': 3, 'VEC4': 4, 'MAT4': 16}[a['type']]
    code = {5126: 'f', 5123: 'H', 5125: 'I', 5121: 'B'}[a['componentType']]
    size = struct.calcsize(code)
    stride = v.get('byteStride', size * width)
    start = v.get('byteOffset', 0) + a.get('byteOffset', 0)
    return [struct.unpack_from('<%d%s' % (width, code), blob, start + k * stride) for k in range(a['count'])]


def mat_mul(a, b):  # column-major 4x4
    return [sum(a[k * 4 + r] * b[c * 4 + k] for k in range(4)) for c in range(4) for r in range(4)]


def from_trs(t, q, s):
    x, y, z, w = q
    r = [1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w),
         2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
         2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)]
    m = [0.0] * 16
    for c in range(3):
        for row in range(3):
            m[c * 4 + row] = r[c * 3 + row] * s[c]
    m[12:15] = t
    m[15] = 1.0
    return m


def slerp(a, b, f):
    d = sum(x * y for x, y in zip(a, b))
    if d < 0:
        b, d = [-x for x in b], -d
    if d > 0.9995:
        q = [x + (y - x) * f for x, y in zip(a, b)]
    else:
        th = math.acos(min(1.0, d))
        sa, sb = math.sin((1 - f) * th) / math.sin(th), math.sin(f * th) / math.sin(th)
        q = [x * sa + y * sb for x, y in zip(a, b)]
    n = math.sqrt(sum(x * x for x in q))
    return [x / n for x in q]


class Scene:
    def __init__(self, path):
        self.doc, self.blob = load(path)
        nodes = self.doc['nodes']
        self.parent = {}
        for i, n in enumerate(nodes):
            for c in n.get('children', []):
                self.parent[c] = i
        self.tracks = {}
        for an in self.doc.get('animations', [])[:1]:
            for ch in an['channels']:
                s = an['samplers'][ch['sampler']]
                times = [t[0] for t in accessor(self.doc, self.blob, s['input'])]
                values = accessor(self.doc, self.blob, s['output'])
                self.tracks[(ch['target']['node'], ch['target']['path'])] = (times, values, s.get('interpolation', 'LINEAR'))
        self.by_name = {}
        for i, n in enumerate(nodes):
            self.by_name.setdefault(n.get('name'), i)

    def times(self):
        return sorted({t for times, _, _ in self.tracks.values() for t in times})

    def sample(self, node, path, t, rest):
        if (node, path) not in self.tracks:
            return rest
        times, values, how = self.tracks[(node, path)]
        if t <= times[0]:
            return list(values[0])
        if t >= times[-1]:
            return list(values[-1])
        k = max(i for i in range(len(times)) if times[i] <= t)
        if how == 'STEP':
            return list(values[k])
        f = (t - times[k]) / (times[k + 1] - times[k])
        if path == 'rotation':
            return slerp(values[k], values[k + 1], f)
        return [a + (b - a) * f for a, b in zip(values[k], values[k + 1])]

    def local(self, i, t):
        n = self.doc['nodes'][i]
        if 'matrix' in n:
            return list(n['matrix'])
        tr, rot, sc = n.get('translation', [0, 0, 0]), n.get('rotation', [0, 0, 0, 1]), n.get('scale', [1, 1, 1])
        if t is not None:
            tr, rot, sc = self.sample(i, 'translation', t, tr), self.sample(i, 'rotation', t, rot), self.sample(i, 'scale', t, sc)
        return from_trs(tr, rot, sc)

    def world(self, i, t):
        m = self.local(i, t)
        while i in self.parent:
            i = self.parent[i]
            m = mat_mul(self.local(i, t), m)
        return m


def distance(a, b):
    return math.sqrt(sum((x - y) ** 2 for x, y in zip(a, b)))


def counts(path):
    """The skin's joints (0 without a skin) and the nodes the animation moves."""
    doc, _ = load(path)
    joints = sum(len(skin['joints']) for skin in doc.get('skins', []))
    animated = {ch['target']['node'] for a in doc.get('animations', []) for ch in a['channels']}
    print(joints, len(animated))
    return 0


def main():
    if sys.argv[1] == '--counts':
        return counts(sys.argv[2])
    ours, peer = Scene(sys.argv[1]), Scene(sys.argv[2])
    bind = float(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[3] == '--bind' else None
    doc = ours.doc
    skins = doc.get('skins', [])
    if len(skins) > 1 or (len(skins) == 0) != (len(doc.get('meshes', [])) == 0):
        print(f'{len(skins)} skins for {len(doc.get("meshes", []))} meshes')
        return 1
    # Without a mesh (a skeleton and its motion) every node named as the
    # peer names one is a joint.
    joints = skins[0]['joints'] if skins else [i for i, n in enumerate(doc['nodes']) if n.get('name') in peer.by_name]
    rest = {j: ours.world(j, None) for j in joints}
    ibm = accessor(doc, ours.blob, skins[0]['inverseBindMatrices']) if skins else []
    for j, m in zip(joints, ibm):
        product = mat_mul(rest[j], list(m))
        off = max(abs(product[k] - (1.0 if k % 5 == 0 else 0.0)) for k in range(16))
        if off > 1e-3:
            faults.append(f'joint {doc["nodes"][j].get("name")}: inverse bind matrix off the rest pose by {off:.5f}')
    for mesh in doc.get('meshes', []):
        for p in mesh['primitives']:
            at = p['attributes']
            if 'JOINTS_0' not in at:
                continue
            for js, ws in zip(accessor(doc, ours.blob, at['JOINTS_0']), accessor(doc, ours.blob, at['WEIGHTS_0'])):
                if max(js) >= len(joints) or abs(sum(ws) - 1) > 1e-3:
                    faults.append(f'vertex joints {js} weights {ws}')
                    break
    positions = [(m[12], m[13], m[14]) for j, m in rest.items() if doc['nodes'][j].get('name') in peer.by_name]
    if not positions:
        print('no joint is named as the peer names its nodes')
        return 1
    size = distance([min(p[k] for p in positions) for k in range(3)], [max(p[k] for p in positions) for k in range(3)])
    times = ours.times()
    if not times:
        faults.append('no animation')
        times = [0.0]
    keys = [times[0], times[len(times) // 2], times[-1]]
    compared = 0
    for j in joints:
        name = doc['nodes'][j].get('name')
        if name not in peer.by_name:
            continue
        compared += 1
        for t in keys:
            a, b = ours.world(j, t), peer.world(peer.by_name[name], t)
            d = distance(a[12:15], b[12:15])
            if d > 0.01 * size:
                faults.append(f'{name} at {t:.4f} s: {d:.4f} from the peer (1% of the skeleton: {0.01 * size:.4f})')
        if bind is not None:
            d = distance(ours.world(j, times[0])[12:15], rest[j][12:15])
            if d > bind:
                faults.append(f'{name}: the first key is {d:.5f} from the rest pose (bound {bind})')
    if compared < len(joints) // 2:
        faults.append(f'only {compared} of {len(joints)} joints named as the peer names its nodes')
    for f in faults[:30]:
        print(f)
    print(f'{len(joints)} joints, {compared} compared at {", ".join("%.4f" % t for t in keys)} s; skeleton size {size:.3f}; '
          f'{len(faults)} faults')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
