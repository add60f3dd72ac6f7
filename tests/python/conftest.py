import json
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


def assert_same_json(actual, expected):
    """Equal, type for type: 1 is not 1.0 or True, -0.0 is not 0.0, key order counts."""
    assert json.dumps(actual) == json.dumps(expected)


def assert_note(excinfo, name):
    """The processing note is attached where the interpreter has add_note."""
    expected = [f"while processing '{name}'"] if sys.version_info >= (3, 11) else []
    assert getattr(excinfo.value, "__notes__", []) == expected


def run_cli(*args, stdin=b""):
    """(exit status, stdout lines with non-UTF-8 bytes kept as surrogates, stderr) of `python -m tarnwick`."""
    proc = subprocess.run(
        [sys.executable, "-m", "tarnwick", *map(str, args)], input=stdin, capture_output=True, timeout=60, check=False
    )
    return proc.returncode, proc.stdout.decode("utf-8", "surrogateescape").splitlines(), proc.stderr.decode("utf-8")


@pytest.fixture
def write(tmp_path):
    def write_file(name, content):
        path = tmp_path / name
        path.write_bytes(content.encode() if isinstance(content, str) else content)
        return path

    return write_file
