#!/usr/bin/env bash
# Runs every test on a fresh machine: installs what is missing (Debian
# packages, a project virtual environment), checks the house style
# (clang-format, ruff), builds the engine plain and with
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

step "house style: clang-format and ruff"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
ruff check .

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

# --- the portable scans: every engine test with the SSE2 blocks off --------
# aarch64 and other machines without SSE2 scan with 64-bit words; this runs
# that path here too. The installed-package test does not scan, so it stays
# out.
step "engine: portable scans (TARNWICK_PORTABLE_SCANS) build and ctest"
cmake -S . -B build/portable -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTARNWICK_DEVELOPER=ON -DTARNWICK_WERROR=ON -DTARNWICK_PORTABLE_SCANS=ON
cmake --build build/portable -j "$jobs"
ctest --test-dir build/portable --output-on-failure -j "$jobs" -LE package

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
  fuzz_ladder fuzz_lenient fuzz_extract_all fuzz_stream fuzz_schema)
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

# --- other C++ runtimes and machines ----------------------------------------
# Each step below prints its time. On the shared 2-core machine, under a
# load of about 10, they took 288 s (libc++), 384 s (libc++, sanitizers),
# 464 s (aarch64 engine) and 146 s (aarch64 wheel and pytest): about 9
# minutes of CPU time in all.

# Installs those of the given Debian packages that are missing.
install_missing() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}"
  fi
}

# clang with libc++, the C++ runtime of macOS, plain and under the
# sanitizers. Debian's GoogleTest is built against libstdc++, so its sources
# (package googletest) are built into each tree. Warnings are errors here
# too, as in the GCC builds above.
install_missing libc++-dev libc++abi-dev googletest
for variant in plain sanitize; do
  step "engine: clang and libc++ ($variant) build and ctest"
  start=$SECONDS
  options=(-DCMAKE_BUILD_TYPE=Release)
  if [ "$variant" = sanitize ]; then
    options=(-DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON)
  fi
  cmake -S . -B "build/libcxx-$variant" -G Ninja "${options[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS=-stdlib=libc++ -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++ \
    -DTARNWICK_DEVELOPER=ON -DTARNWICK_WERROR=ON \
    -DTARNWICK_GTEST_SOURCE=/usr/src/googletest
  cmake --build "build/libcxx-$variant" -j "$jobs"
  # The installed-package test builds its consumer with the default runtime.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "build/libcxx-$variant" --output-on-failure -j "$jobs" \
    -LE package
  echo "clang and libc++ ($variant): $((SECONDS - start)) s"
done

# aarch64: the engine, its tests and the fuzz replay targets cross-built with
# Debian's g++-aarch64-linux-gnu, and ctest run under qemu-user (the
# toolchain file names it as CMake's emulator).
step "aarch64: cross build and ctest under qemu-aarch64"
start=$SECONDS
install_missing g++-aarch64-linux-gnu qemu-user googletest
cmake -S . -B build/aarch64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DTARNWICK_DEVELOPER=ON -DTARNWICK_WERROR=ON \
  -DTARNWICK_GTEST_SOURCE=/usr/src/googletest
cmake --build build/aarch64 -j "$jobs"
ctest --test-dir build/aarch64 --output-on-failure -j "$jobs"
echo "aarch64 engine: $((SECONDS - start)) s"

# The aarch64 abi3 wheel, built against Debian's arm64 Python headers, and
# the module's own tests run by Debian's arm64 interpreter under qemu-user.
# That interpreter cannot be installed beside the host's, so its packages
# (with every library they load) are unpacked into a directory that
# `qemu-aarch64 -L` takes as the root.
step "aarch64: abi3 wheel, and pytest under qemu-aarch64"
start=$SECONDS
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  dpkg --add-architecture arm64
  apt-get update -qq
fi
arm_python=$(apt-cache depends python3-minimal:arm64 |
  grep -oE 'python3\.[0-9]+-minimal' | head -n 1)
arm_python=${arm_python%-minimal}  # Debian's python3, e.g. python3.11
sysroot=$root/build/aarch64-sysroot
if [ ! -x "$sysroot/usr/bin/$arm_python" ]; then
  rm -rf "$sysroot" build/aarch64-debs
  mkdir -p "$sysroot" build/aarch64-debs
  # The host's own tools (dpkg, tar) and the C headers stay out.
  debs=$({
    apt-cache depends --recurse --no-recommends --no-suggests \
      --no-conflicts --no-breaks --no-replaces --no-enhances \
      "$arm_python:arm64" libstdc++6:arm64 |
      grep -E '^[a-z0-9.+-]+:arm64$' |
      grep -vE '^(dpkg|tar|install-info|rpcsvc-proto|libc-dev-bin):' |
      grep -vE -- '-dev:arm64$'
    echo "lib$arm_python-dev:arm64"
  } | sort -u)
  # shellcheck disable=SC2086  # one package a word
  (cd build/aarch64-debs && apt-get download -q $debs)
  for deb in build/aarch64-debs/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
fi
rm -rf build/aarch64-wheel
# No build isolation: pip would fetch the build tools (cmake, ninja) for the
# platform it is told to tag, aarch64; the project's environment has them.
TARNWICK_SYSROOT=$sysroot _PYTHON_HOST_PLATFORM=linux-aarch64 \
  CMAKE_TOOLCHAIN_FILE=$root/cmake/aarch64-linux-gnu.cmake \
  "$py" -m pip wheel -q --no-deps --no-build-isolation -w build/aarch64-wheel . \
  -C cmake.python-hints=false \
  -C cmake.define.Python_INCLUDE_DIR="$sysroot/usr/include/$arm_python" \
  -C build-dir=build/aarch64-wheel/build
arm_wheel=$(ls build/aarch64-wheel/*-cp38-abi3-linux_aarch64.whl)
echo "$arm_wheel"
abi3audit --strict "$arm_wheel"
arm_site=$root/build/aarch64-py
rm -rf "$arm_site"
"$py" -m pip install -q --disable-pip-version-check --target "$arm_site" \
  --only-binary=:all: --implementation cp \
  --python-version "${arm_python#python}" \
  --platform manylinux2014_aarch64 --platform linux_aarch64 \
  pytest hypothesis "$arm_wheel"
arm_run=(env -u TARNWICK_REQUIRE_SCALE PYTHONPATH="$arm_site"
  qemu-aarch64 -L "$sysroot" "$sysroot/usr/bin/$arm_python")
"${arm_run[@]}" -c 'import platform, sys, tarnwick._extras as m
assert platform.machine() == "aarch64", platform.machine()
assert m.__file__.startswith(sys.argv[1]), m.__file__' "$arm_site"
# The module's own tests, the column's threads among them. Without the
# kernel's binfmt_misc (a container has none) an arm64 binary cannot start
# another, so the tests that run the interpreter in a subprocess stay out.
"${arm_run[@]}" -m pytest -q -p no:cacheprovider \
  tests/python/test_module.py tests/python/test_repair.py \
  tests/python/test_result.py tests/python/test_extract.py \
  tests/python/test_column.py \
  -k 'not test_internal_failure_raises_panic_exception and not TestCommandLine and not TestInterrupt'
echo "aarch64 wheel and pytest: $((SECONDS - start)) s"

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
  # The version file is written by the wheel build; the installed one serves.
  cp "$("$py" -c 'import tarnwick._version as v; print(v.__file__)')" \
    "$asan_site/tarnwick/"
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

  # --- the one cp38-abi3 wheel on every CPython it promises ----------------
  # The wheel above, installed into a throwaway venv for each CPython 3.8 to
  # 3.13 that pyenv keeps (a missing one is skipped, with a line saying so),
  # with what the tests import and no scale extra, so the tests that need
  # pyarrow or the cluster engines skip. The oldest and the newest present
  # run the whole suite, with mypy for the stubs; those between run the
  # binding's own tests (surface, ladder, results and their references,
  # extraction, threads), where an interpreter's differences would show.
  # That took 1.7 to 2.9 minutes on the shared 2-core machine with pip's
  # cache warm; all six in full took 3.8.
  step "wheel: pytest on each CPython 3.8-3.13 present"
  if command -v pyenv >/dev/null 2>&1; then
    pythons=$(pyenv root)/versions
  else
    pythons=${PYENV_ROOT:-$HOME/.pyenv}/versions
  fi
  wheel=$(ls dist/*-cp38-abi3-*.whl)
  interpreters=()
  for minor in 8 9 10 11 12 13; do
    # The newest patch release; a free-threaded build (3.13.0t) loads no
    # abi3 module, so only plain version folders count.
    found=$(ls -d "$pythons/3.$minor".* 2>/dev/null |
      grep -E "/3\.$minor\.[0-9]+$" | sort -V | tail -n 1 || true)
    if [ -n "$found" ] && [ -x "$found/bin/python3" ]; then
      interpreters+=("$found/bin/python3")
    else
      echo "CPython 3.$minor: not under $pythons; skipped"
    fi
  done
  smoke=(tests/python/test_module.py tests/python/test_package.py
    tests/python/test_repair.py tests/python/test_result.py
    tests/python/test_extract.py tests/python/test_threads.py)
  failed=()
  for i in "${!interpreters[@]}"; do
    interpreter=${interpreters[$i]}
    version=$("$interpreter" -c 'import platform; print(platform.python_version())')
    venv=$root/build/wheel-py/$version
    start=$SECONDS
    rm -rf "$venv"
    "$interpreter" -m venv "$venv"
    deps=(pytest hypothesis)
    tests=("${smoke[@]}")
    what="the module's own tests"
    if ((i == 0 || i == ${#interpreters[@]} - 1)); then
      # pydantic and jsonschema: the schema tests' oracles and the docs
      # page's Pydantic example.
      deps+=(mypy pydantic jsonschema)
      tests=(tests/python)
      what="every test"
    fi
    "$venv/bin/python" -m pip install -q --disable-pip-version-check \
      "$wheel" "${deps[@]}"
    "$venv/bin/python" -c 'import sys, tarnwick._tarnwick as m
assert m.__file__.startswith(sys.argv[1]), m.__file__' "$venv"
    if ! env -u TARNWICK_REQUIRE_SCALE "$venv/bin/python" -m pytest -q \
      -p no:cacheprovider "${tests[@]}"; then
      failed+=("$version")
    fi
    echo "CPython $version: $what, in $((SECONDS - start)) s"
  done
  if ((${#failed[@]})); then
    echo "the wheel's tests failed on CPython ${failed[*]}" >&2
    exit 1
  fi

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
