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
true
