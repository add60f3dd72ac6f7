#!/usr/bin/env bash
# The main job on a bundled example: sets up .venv with the package, then
# repairs a fenced model reply with a trailing comma and reports how it was
# read and what was fixed. Arguments, if any, replace that example: they are
# the command line's own (`tarnwick --help`), and relative paths among
# them mean what they mean where the script was started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
py=$root/.venv/bin/python
# Written after each successful install; sources newer than it mean the
# installed package is stale.
stamp=$root/.venv/.tarnwick-installed

if [ ! -x "$py" ]; then
  python3 -m venv "$root/.venv"
fi

stale=
if ! "$py" -I -c 'import tarnwick' 2>/dev/null || [ ! -f "$stamp" ]; then
  stale=yes
else
  for source in src include python CMakeLists.txt pyproject.toml; do
    if [ -n "$(find "$root/$source" -newer "$stamp" -print -quit)" ]; then
      stale=yes
      break
    fi
  done
fi
if [ -n "$stale" ]; then
  echo "example.sh: building tarnwick into .venv (C++; about a minute on" \
    "two cores, again only after the sources change)..." >&2
  # Stamped with the time the build started, so that a source saved during
  # the build still counts as newer than the install.
  touch "$stamp.new"
  (cd "$root" && "$py" -m pip install -q .)
  mv "$stamp.new" "$stamp"
fi

# -I: the installed package, never a tarnwick/ folder in the caller's
# directory (the command runs there, so that relative paths work).
if [ $# -eq 0 ]; then
  cd "$root"
  set -- --report examples/fenced_reply.txt
fi
exec "$py" -I -m tarnwick "$@"
