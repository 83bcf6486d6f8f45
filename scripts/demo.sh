#!/usr/bin/env bash
# Builds the programs and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh normal
echo "Built into build/. Programs present:"
for p in tarnview tarnview-replay rigwright rigwright-batch; do
  [ -x build/bin/$p ] && echo "  build/bin/$p"
done
# The sample world (build/sample), rendered headless along a scripted walk:
# screenshots into build/shots/, the frame rate on stdout.
if [ -x build/bin/tarnview-replay ] && [ -f build/sample/exam.map ]; then
  mkdir -p build/shots
  echo "Walking through build/sample (screenshots in build/shots/):"
  (cd build/sample && ../bin/tarnview-replay --input ../../sample/walk.txt --frames 300 \
     --shots ../shots --every 60 --shot ../shots/last.png --clock real)
fi
true
