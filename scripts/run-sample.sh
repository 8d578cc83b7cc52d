#!/usr/bin/env bash
# Sets up the machine, builds, and runs the headless simulator on the station sample for one
# simulated minute, writing a display frame per cycle. Extra arguments go to vostrel-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
mkdir -p run
cd run
../build/app/vostrel-sim --field ../examples/station.txt --cycles 600 --frames frames \
  --set display_range_data=1 --set robot_init_x=20 --set robot_init_y=5 "$@"
echo "Frames: $(pwd)/frames/*.png (one per cycle); spatial network images: $(pwd)/Images/"
