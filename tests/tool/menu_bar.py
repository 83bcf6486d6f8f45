#!/usr/bin/env python3
"""menu_bar.py SHOT.png: the labels of the menu bar at the top of a window's
screenshot. The bar is the band of rows at the top whose most common colour
is not the client area's (the bottom row's); a label is a run of columns
holding dark (text) pixels in that band, runs closer than 6 columns being one
label. Prints "menu bar H rows, N labels at X..X X..X ..."; exit status 1
when there is no bar, 2 for a picture it cannot read."""
import collections
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'gltf'))
import png_compare  # noqa: E402  the PNG reader of the picture tests


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        width, height, rows = png_compare.read_png(argv[1])
    except (OSError, ValueError) as error:
        print(f'menu_bar.py: {argv[1]}: {error}', file=sys.stderr)
        return 2
    step = len(rows[0]) // width

    def pixel(row, x):
        return tuple(row[x * step:x * step + 3])

    def common(row):
        return collections.Counter(pixel(row, x) for x in range(width)).most_common(1)[0][0]

    client = common(rows[-1])
    bar = 0
    while bar < height and common(rows[bar]) != client:
        bar += 1
    if bar == 0 or bar == height:
        print('no menu bar: the top row is the client area\'s colour' if bar == 0 else 'no client area')
        return 1
    dark = [any(sum(pixel(rows[y], x)) < 300 for y in range(bar)) for x in range(width)]
    labels, start, gap = [], None, 0
    for x, ink in enumerate(dark + [False] * 6):
        if ink:
            if start is None:
                start = x
            gap, end = 0, x
        elif start is not None:
            gap += 1
            if gap >= 6:
                labels.append((start, end))
                start = None
    print(f'menu bar {bar} rows, {len(labels)} labels at ' + ' '.join(f'{a}..{b}' for a, b in labels))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
