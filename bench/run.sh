#!/usr/bin/env bash
# Regenerates every figure in docs/benchmarks.md: the machine, the Python
# comparison with the peer parsers, the engine against simdjson, the
# ladder's peak memory, and the lenient path (the pass and extraction in the
# engine, extract() against json_repair, extract() on hostile shapes).
# Installs what is missing (Debian packages, a venv .venv-bench with the
# package and the peers), builds in build-bench/, and writes the results to
# build-bench/results.md as well as to the terminal. The chart of the Python
# comparison (garbage collector on) is drawn from the same run into
# build-bench/benchmarks.png and copied to docs/benchmarks.png, beside the
# page that shows it.
#
# Usage: bench/run.sh [seconds of timing per Python category, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
budget=${1:-10}
out=$root/build-bench
mkdir -p "$out"

need=()
for pkg in g++ cmake ninja-build python3-venv libbenchmark-dev libsimdjson-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if ((${#need[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

if [ ! -x .venv-bench/bin/python ]; then
  python3 -m venv .venv-bench
fi
py=$root/.venv-bench/bin/python
"$py" -m pip install -q --upgrade pip
"$py" -m pip install -q -r bench/requirements.txt
"$py" -m pip install -q .

"$py" bench/corpus.py --write "$out/corpus" --write-lenient "$out/lenient" >/dev/null

# The engine alone, built optimised without the test suites.
cmake -S . -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTARNWICK_BENCH=ON -DTARNWICK_DEVELOPER=OFF -DTARNWICK_PYTHON=OFF >/dev/null
cmake --build "$out/cmake" -j 2 --target engine_vs_simdjson ladder_memory \
  lenient_speed

# The compiler CMake chose for the engine benchmarks; pip's build of the
# module asks CMake in the same environment, so it gets the same one.
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$out/cmake/CMakeCache.txt")

{
  echo "## Machine"
  echo
  echo "- CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores available"
  echo "- $("$py" --version), compiler $("$cxx" --version | head -1) ($cxx)"
  echo "- $(uname -sr)"
  (cd bench && "$py" -c 'import compare
print("- " + ", ".join(f"{d} {v}" for d, v in compare.versions().items()))')
  echo "- simdjson $(dpkg-query -W -f='${Version}' libsimdjson-dev) (Debian libsimdjson-dev)"
  echo
  echo "## Python: repair(s).value against the peers"
  echo
  echo "![Throughput per category, garbage collector on](benchmarks.png)"
  echo
  (cd bench && "$py" compare.py --budget "$budget" --json "$out/compare.json")
  "$py" bench/chart.py "$out/compare.json" "$out/benchmarks.png"
  cp "$out/benchmarks.png" docs/benchmarks.png
  echo "### The same with the garbage collector off"
  echo
  (cd bench && "$py" compare.py --budget "$budget" --no-gc)
  echo "## Engine alone (Google Benchmark)"
  echo
  TARNWICK_CORPUS="$out/corpus" "$out/cmake/bench/engine_vs_simdjson" \
    --benchmark_min_time=0.5 --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/engine.json" --benchmark_out_format=json \
    >/dev/null 2>&1
  "$py" bench/engine_table.py "$out/engine.json"
  echo
  echo "## Peak heap of one repair reaching the tolerant rung"
  echo
  TARNWICK_CORPUS="$out/corpus" "$out/cmake/bench/ladder_memory"
  echo
  echo "## Lenient path: the engine alone"
  echo
  "$out/cmake/bench/lenient_speed" "$out/corpus" "$out/lenient"
  echo
  echo "## Lenient path: extract() and loads() against json_repair"
  echo
  (cd bench && "$py" lenient_compare.py --budget "$budget")
  echo
  echo "## Lenient path: extract() on hostile shapes"
  echo
  echo '```'
  (cd bench && "$py" hostile.py --extract)
  echo '```'
} | tee "$out/results.md"
