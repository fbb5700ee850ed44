#!/usr/bin/env bash
# Installs what the build needs when it is missing, builds, and then
#   ./setup.sh run [EXAMPLE]   runs an example from examples/ (default: aluminosilicates)
#                              and draws its diagram (plot.svg, plot.png, plot.dxf);
#                              oxide-analyses runs tarvek on its oxide file
#   ./setup.sh test            runs every test, then again under AddressSanitizer
#                              and UndefinedBehaviorSanitizer (all but the Python
#                              module's, which are run in the first pass only)
#   ./setup.sh                 only installs and builds
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

packages=(g++ make cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev libncurses-dev libcairo2-dev
          fonts-dejavu-core
          python3-dev python3-numpy pybind11-dev python3-pytest python3-matplotlib)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# The Python module is built for Debian's interpreter, which must have numpy.
PYTHON=/usr/bin/python3
if ! "$PYTHON" -c "import numpy" >/dev/null 2>&1; then
  echo "setup: $PYTHON cannot import numpy (Debian package python3-numpy): the Python module needs it"
  exit 1
fi

build() {  # build DIR [cmake options...]; TARGETS limits what is built
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE="$PYTHON" "$@" >/dev/null
  if [ -n "${TARGETS:-}" ]; then
    cmake --build "$dir" -j"$JOBS" --target $TARGETS
  else
    cmake --build "$dir" -j"$JOBS"
  fi
}

mode=${1:-build}
case "$mode" in
  build)
    build build
    ;;
  run)
    TARGETS="pelkam tarvek pelkam-plot pelkam-intersect" build build
    example=${2:-aluminosilicates}
    src="$ROOT/examples/$example"
    [ -d "$src" ] || { echo "setup: no example '$example' in examples/"; exit 2; }
    out="$ROOT/out/$example"
    rm -rf "$out"; mkdir -p "$out"
    cp -r "$src"/. "$out"/
    cd "$out"
    if [ -f tarvek.args ]; then
      # One tarvek run per line of tarvek.args (oxide file and options).
      grep -v '^#' tarvek.args | while read -r args; do
        [ -n "$args" ] && "$ROOT/build/apps/tarvek" $args
      done
    else
      [ -f rxtns_calib.dat ] || cp "$ROOT/data/rxtns_calib.dat" .
      "$ROOT/build/apps/pelkam" --script answers.txt
      db=$(sed -n 's/^MINERAL DATA=//p' PELKAM.fig | head -n 1)
      summary=""
      [ -f summary.dat ] && summary=summary.dat
      # pelkam itself writes plot.dxf and plot.svg; the PNG is for a quick look.
      "$ROOT/build/apps/pelkam-plot" plot.plt -o plot.png \
        ${summary:+--summary "$summary"} ${db:+--db "$db"}
    fi
    echo
    echo "Example '$example' done; its files are in out/$example/:"
    ls -1 "$out"
    ;;
  test)
    build build
    ctest --test-dir build --output-on-failure -j"$JOBS"
    echo "setup: running the tests again under AddressSanitizer and UndefinedBehaviorSanitizer"
    build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPELKAM_SANITIZE=ON -DPELKAM_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build-sanitize --output-on-failure -j"$JOBS"
    ;;
  *)
    echo "usage: ./setup.sh [build | run [EXAMPLE] | test]"; exit 2
    ;;
esac
