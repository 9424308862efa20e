#!/usr/bin/env bash
# The main job on the bundled example, from a fresh checkout: installs what
# the build needs, builds vestan9 (Release, in build/ unless BUILD_DIR says
# otherwise) and verifies and cuts data/example.nc with the shipped
# definitions, writing the verify report, the interference report (when a
# check found something), the cut model (binary STL) and the log into the
# folder named (created when missing). Exits with vestan9's exit code.
#   scripts/run-example.sh <output folder>
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: scripts/run-example.sh <output folder>" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"
build=$(realpath -m "${BUILD_DIR:-$here/build}")
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" --target vestan9
mkdir -p "$1"
cd "$1"
data="$here/data"
set +e
"$build/vestan9" -I "$data/vestan.ini" -T "$data/atc.ttl" -C "$data/hanuc.ctl" \
  -M "$data/oguma.mtl" "$data/example.nc" -X6 -V -O example_cut.stl,b
code=$?
set -e
echo "run-example: exit code $code; outputs in $(pwd):" >&2
ls -l >&2
exit $code
