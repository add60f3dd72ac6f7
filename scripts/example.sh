#!/usr/bin/env bash
# The main job on a bundled example: sets up .venv with the package when it
# is missing, then repairs a fenced model reply with a trailing comma and
# reports which rung of the ladder answered. Extra arguments replace the file.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x .venv/bin/python ]; then
  python3 -m venv .venv
fi
if ! .venv/bin/python -c 'import tarnwick' 2>/dev/null; then
  .venv/bin/python -m pip install -q .
fi
if [ $# -eq 0 ]; then
  set -- --report examples/fenced_reply.txt
fi
exec .venv/bin/python -m tarnwick "$@"
