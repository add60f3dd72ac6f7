#!/usr/bin/env bash
# Runs every test on a fresh machine: installs what is missing (Debian
# packages, a project virtual environment), builds the engine plain and with
# AddressSanitizer+UBSan and runs ctest on both, installs the Python package
# and runs pytest, then checks the wheel's stable-ABI tag.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n==> %s\n' "$*"; }

step "system packages"
need=()
# Java runs PySpark in the cluster-engine tests (tests/python/test_scale.py).
for pkg in g++ libgtest-dev openjdk-17-jre-headless; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
# Debian's own python3 needs python3-venv for `-m venv`; others bring it.
python3 -c 'import ensurepip, venv' 2>/dev/null || need+=(python3-venv)
if ((${#need[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}"
fi

step "virtual environment (.venv)"
if [ ! -x .venv/bin/python ]; then
  python3 -m venv .venv
fi
py=$root/.venv/bin/python
"$py" -m pip install -q --upgrade pip
"$py" -m pip install -q -r requirements-dev.txt
export PATH=$root/.venv/bin:$PATH

step "engine: plain build and ctest"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_DEVELOPER=ON -DTARNWICK_WERROR=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

step "engine: address+undefined sanitizer build and ctest"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DTARNWICK_DEVELOPER=ON -DTARNWICK_WERROR=ON -DTARNWICK_SANITIZE=ON
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

# --- fuzzing: libFuzzer build (clang) and a short run of every target -------
# The replay build of the same targets already ran in both ctest steps above.
step "fuzz: libFuzzer build and a ${TARNWICK_FUZZ_SECONDS:=30}s run per target"
if ! command -v clang++ >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq clang
fi
clang_major=$(clang++ -dumpversion | cut -d. -f1)
if ! dpkg -s "libclang-rt-$clang_major-dev" >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "libclang-rt-$clang_major-dev" ||
    { apt-get update -qq && apt-get install -y -qq "libclang-rt-$clang_major-dev"; }
fi
fuzz_targets=(fuzz_parse_document fuzz_parse_number fuzz_tolerant fuzz_cleanup
  fuzz_ladder fuzz_lenient)
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTARNWICK_DEVELOPER=ON -DTARNWICK_FUZZ=ON
cmake --build build/fuzz -j "$jobs" --target "${fuzz_targets[@]}"
ctest --test-dir build/fuzz -L fuzz --output-on-failure
mkdir -p build/fuzz/artifacts
fuzz_corpus=(fuzz/seeds tests/data/JSONTestSuite/test_parsing)
if [ -d fuzz/regressions ]; then fuzz_corpus+=(fuzz/regressions); fi
for t in "${fuzz_targets[@]}"; do
  # A fresh working corpus each run; the committed seeds stay read-only.
  rm -rf "build/fuzz/corpus-$t"
  mkdir -p "build/fuzz/corpus-$t"
  if ! build/fuzz/fuzz/"$t" "build/fuzz/corpus-$t" "${fuzz_corpus[@]}" \
    -dict=fuzz/json.dict \
    -max_total_time="$TARNWICK_FUZZ_SECONDS" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="build/fuzz/artifacts/$t-" \
    >"build/fuzz/$t.log" 2>&1; then
    tail -n 60 "build/fuzz/$t.log"
    echo "fuzz target $t failed; the input is in build/fuzz/artifacts/" >&2
    exit 1
  fi
  echo "$t: $(grep -E '^#[0-9]+[[:space:]]+DONE' "build/fuzz/$t.log" | tail -n 1)"
done

if [ -f pyproject.toml ]; then
  # With the `scale` extra: pyarrow, Polars, pandas, Dask and PySpark, which
  # the column and cluster-engine tests need; TARNWICK_REQUIRE_SCALE makes a
  # missing one fail those tests instead of skipping them.
  step "python package: install with the scale extra, and pytest"
  "$py" -m pip install -q '.[scale]'
  TARNWICK_REQUIRE_SCALE=1 "$py" -m pytest -q -p no:cacheprovider tests/python

  # --- the extension under AddressSanitizer+UBSan, pytest against it -------
  # Built by cmake (not pip) so the sanitizer flags reach every object; the
  # package's .py files and the sanitized module go into a private directory
  # that PYTHONPATH puts ahead of the installed package. CPython leaks by
  # design at exit, so leak detection is off here (ctest above has it on).
  step "python package under AddressSanitizer: pytest"
  cmake -S . -B build/asan-py -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARNWICK_PYTHON=ON -DTARNWICK_SANITIZE=ON -DTARNWICK_WERROR=ON \
    -DPython_EXECUTABLE="$py"
  cmake --build build/asan-py -j "$jobs" --target _tarnwick _extras
  asan_site=$root/build/asan-py/site
  rm -rf "$asan_site"
  mkdir -p "$asan_site/tarnwick"
  cp -R python/tarnwick/. "$asan_site/tarnwick/"
  for module in _tarnwick _extras; do
    cp "$(find build/asan-py/src -name "$module*.so" -print -quit)" \
      "$asan_site/tarnwick/"
  done
  (
    export LD_PRELOAD
    LD_PRELOAD=$(gcc -print-file-name=libasan.so)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export PYTHONPATH=$asan_site
    "$py" -c 'import sys, tarnwick._tarnwick as m
assert m.__file__.startswith(sys.argv[1]), m.__file__' "$asan_site"
    # The cluster engines (a JVM, worker processes) stay out of the
    # sanitized run; the column tests cover the module's own code.
    TARNWICK_REQUIRE_SCALE=1 "$py" -m pytest -q -p no:cacheprovider \
      tests/python --ignore=tests/python/test_scale.py
  )

  step "wheel: stable-ABI tag and abi3audit"
  rm -rf dist
  "$py" -m pip wheel -q --no-deps -w dist .
  ls dist/*-cp38-abi3-*.whl
  abi3audit --strict --report dist/*.whl

  # --- wheel platform tag, and a wheel built from the source archive -------
  # auditwheel show needs no patchelf (only `auditwheel repair` does); it
  # names the manylinux tag the wheel can be repaired to. The sdist is built
  # and then built into a wheel in isolated environments, as on a machine
  # that has only the archive.
  step "wheel: manylinux tag (auditwheel show)"
  auditwheel show dist/*.whl | tee build/auditwheel.txt
  grep -q 'platform tag: "manylinux_' build/auditwheel.txt

  step "sdist: build it, then a wheel from it"
  rm -rf build/sdist
  "$py" -m build --sdist -o build/sdist .
  sdist=$(ls build/sdist/tarnwick-*.tar.gz)
  tar tzf "$sdist" | sed 's|^[^/]*/||' >build/sdist/contents.txt
  for f in pyproject.toml CMakeLists.txt cmake/tarnwickConfig.cmake.in \
    include/tarnwick/repair.h src/python/module.cpp python/tarnwick/py.typed \
    python/tarnwick/_extras.pyi; do
    grep -qx "$f" build/sdist/contents.txt ||
      { echo "sdist lacks $f" >&2; exit 1; }
  done
  "$py" -m pip wheel -q --no-deps -w build/sdist "$sdist"
  ls build/sdist/*-cp38-abi3-*.whl
fi

step "all tests passed"
