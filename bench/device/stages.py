#!/usr/bin/env python3
"""Millions of instructions per frame, by stage, from a callgrind run of
tarnview-replay on one thread (see PROFILE.md for the run's command).

usage: stages.py CALLGRIND.OUT FRAMES
"""
import os
import re
import subprocess
import sys


def costs(path, inclusive):
    args = ['callgrind_annotate', '--threshold=100', '--auto=no']
    if inclusive:
        args.append('--inclusive=yes')
    # From /: callgrind_annotate lists a function a second time under a
    # relative source path that happens to exist from the current folder.
    text = subprocess.run(args + [os.path.abspath(path)], capture_output=True, text=True, check=True, cwd='/').stdout
    rows = []
    for line in text.splitlines():
        m = re.match(r'\s*([\d,]+)\s+(?:\([^)]*\)\s+)?(\S.*)', line)
        if m and '=>' not in line:
            rows.append((int(m.group(1).replace(',', '')), m.group(2)))
    return rows


def total(rows, pattern, first=False):
    found = [cost for cost, name in rows if re.search(pattern, name)]
    if not found:
        return 0
    return found[0] if first else sum(found)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, frames = sys.argv[1], int(sys.argv[2])
    inc, own = costs(path, True), costs(path, False)
    fill = r'FillEngine\.inl:void tarn::raster::detail::(?:\w+::)?\(anonymous namespace\)::FillEngine<'
    stages = {
        # the HUD font's one-time load happens inside the first frame
        'whole frame': total(inc, r':RenderFrame\(\)', True) - total(inc, r'UnifontGlyphs::Load', True),
        'pixels (fill loops)': total(inc, fill),
        # The walkers' own lines: RowWalker's (four-lane interpolants,
        # xmmintrin.h, included) and RowWalker4's, whose vector steps count
        # under the AVX headers with the pixels
        'row walk': total(own, r'(RasterLocal\.h|xmmintrin\.h|RowWalker4\.inl):void tarn::raster::detail::(?:\w+::)?\(anonymous namespace\)::FillEngine<'),
        'set-up': total(inc, r'Impl::EmitTriangle\(', True) - total(inc, r'TileQueue::Keep\(', True),
        'vertex stage': total(inc, r'VertexStage::Run\(', True),
        'binning': total(inc, r'TileQueue::Keep\(', True) - total(inc, fill),
        'clear': total(inc, r'Rasterizer::Clear\(', True),
    }
    for name, cost in stages.items():
        print(f'{name:32s} {cost / frames / 1e6:8.1f}')


if __name__ == '__main__':
    main()
