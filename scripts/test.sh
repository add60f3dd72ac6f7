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
for pkg in g++ libgtest-dev python3-venv; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
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

if [ -f pyproject.toml ]; then
  step "python package: install and pytest"
  "$py" -m pip install -q .
  "$py" -m pytest -q -p no:cacheprovider tests/python

  step "wheel: stable-ABI tag and abi3audit"
  rm -rf dist
  "$py" -m pip wheel -q --no-deps -w dist .
  ls dist/*-cp38-abi3-*.whl
  abi3audit --strict --report dist/*.whl
fi

step "all tests passed"
