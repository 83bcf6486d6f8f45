#!/usr/bin/env python3
"""worked_example.py GUIDE.md TARNVIEW-REPLAY ASE-FOLDER PICTURE.png [--write]

Builds the world guide's worked example from the guide's own text, in a
temporary folder: every fenced block marked "<!-- example: file NAME -->" is
written to NAME, every block marked "<!-- example: run -->" runs in bash there
(tarnview-replay on the PATH, ASE naming the shared exports). Then checks that
  - the run prints the camera line and the "no problems" the guide promises;
  - everything the map puts in shows: leaving out any one of its lines
    changes at least 2% of the frame (outside the HUD);
  - the frame matches PICTURE.png, the picture the guide shows, within a mean
    difference of 2 per channel (the software device draws the same frame on
    any machine; the bound leaves room for rounding, not for a moved camera).
--write writes the frame to PICTURE.png instead of comparing it.
Exit status 0 when every check holds, 1 when one fails, 77 (SKIPPED) without
the shared exports."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'gltf'))
from png_compare import read_png  # noqa: E402

HUD_WIDTH, HUD_HEIGHT, CENTRE = 260, 120, 20  # where the HUD's text and glyphs are drawn
MEAN_BOUND = 2.0
CHANGED_SHARE = 0.02
STEP = re.compile(r'<!-- example: (run|file (\S+)) -->\n```[a-z]*\n(.*?)```', re.S)


def steps(guide):
    """The guide's example: (name or None for a run, text) in order."""
    return [(m.group(2), m.group(3)) for m in STEP.finditer(guide)]


def outside_hud(width, height):
    for y in range(height):
        for x in range(width):
            if (y < HUD_HEIGHT and x < HUD_WIDTH) or (abs(y - height // 2) < CENTRE and abs(x - width // 2) < CENTRE):
                continue
            yield y, x


def compare(a, b):
    """(mean absolute difference per channel, share of pixels with a channel
    more than 24 apart) of two same-sized frames, outside the HUD."""
    (wa, ha, ra), (wb, hb, rb) = a, b
    if (wa, ha) != (wb, hb):
        return 255.0, 1.0
    total = changed = count = 0
    for y, x in outside_hud(wa, ha):
        d = [abs(ra[y][3 * x + k] - rb[y][3 * x + k]) for k in range(3)]
        total += sum(d)
        changed += max(d) > 24
        count += 1
    return total / (3 * count), changed / count


def run(script, folder, env):
    return subprocess.run(['bash', '-e', '-c', script], cwd=folder, env=env, capture_output=True, text=True,
                          timeout=300)


def build(guide_steps, folder, env):
    """Runs the guide's steps in folder; returns the output of its runs."""
    out = ''
    for name, text in guide_steps:
        if name is not None:
            with open(os.path.join(folder, name), 'w') as f:
                f.write(text)
            continue
        r = run(text, folder, env)
        out += r.stdout
        if r.returncode != 0:
            raise RuntimeError(f'the step\n{text}failed with status {r.returncode}:\n{r.stdout}{r.stderr}')
    return out


def main(argv):
    write = '--write' in argv
    args = [a for a in argv[1:] if a != '--write']
    if len(args) != 4:
        print(__doc__.splitlines()[0], file=sys.stderr)
        return 2
    guide_path, replay, ase, picture = args
    if not os.path.isdir(ase):
        print(f'SKIPPED: {ase} is missing (the shared exports)')
        return 77
    with open(guide_path, encoding='utf-8') as f:
        guide = f.read()
    guide_steps = steps(guide)
    names = [n for n, _ in guide_steps if n]
    for needed in ('exam.map', 'walk.txt'):
        if needed not in names:
            print(f'the guide\'s example has no "{needed}" block')
            return 1
    promised = re.search(r'`(camera [-0-9. ]+)`', guide)
    if promised is None:
        print('the guide does not say where the camera ends')
        return 1

    env = dict(os.environ)
    env['PATH'] = os.path.dirname(os.path.abspath(replay)) + os.pathsep + env.get('PATH', '')
    env['ASE'] = os.path.abspath(ase)
    work = tempfile.mkdtemp(prefix='worked-example-')
    failures = []
    try:
        world = os.path.join(work, 'world')
        os.mkdir(world)
        out = build(guide_steps, world, env)
        if promised.group(1) not in out:
            failures.append(f'the run printed\n{out}without the guide\'s "{promised.group(1)}"')
        if 'no problems' not in out:
            failures.append(f'Tarn.log has problems:\n{out}')
        shot = os.path.join(world, 'example.png')
        frame = read_png(shot)

        # Each line of the map left out in turn, in a copy of the world.
        with open(os.path.join(world, 'exam.map')) as f:
            lines = f.read().splitlines(keepends=True)
        replay_line = next(t for n, t in guide_steps if n is None and 'tarnview-replay' in t).splitlines()[0]
        for i, line in enumerate(lines):
            if line.strip() in ('', 'End'):
                continue
            variant = os.path.join(work, f'without{i}')
            shutil.copytree(world, variant)
            with open(os.path.join(variant, 'exam.map'), 'w') as f:
                f.write(''.join(lines[:i] + lines[i + 1:]))
            r = run(replay_line, variant, env)
            if r.returncode != 0:
                failures.append(f'without "{line.strip()}": {r.stderr}')
                continue
            _, share = compare(frame, read_png(os.path.join(variant, 'example.png')))
            print(f'without "{line.strip()}": {100 * share:.1f}% of the frame changes')
            if share < CHANGED_SHARE:
                failures.append(f'"{line.strip()}" does not show: leaving it out changes {100 * share:.1f}% '
                                f'of the frame (at least {100 * CHANGED_SHARE:.0f}% wanted)')

        if write:
            shutil.copyfile(shot, picture)
            print(f'wrote {picture}')
        else:
            mean, share = compare(frame, read_png(picture))
            print(f'against {os.path.basename(picture)}: mean {mean:.2f}, {100 * share:.1f}% of the pixels apart')
            if mean > MEAN_BOUND:
                failures.append(f'the frame is not the guide\'s picture: mean difference {mean:.2f} per channel '
                                f'(at most {MEAN_BOUND}); rerun with --write once the change is meant')
    except (RuntimeError, OSError, ValueError, subprocess.TimeoutExpired) as e:
        failures.append(str(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print(f'FAILED: {f}')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
