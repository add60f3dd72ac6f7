"""The type stubs: mypy --strict accepts typical use and rejects wrong use."""

from __future__ import annotations

import re
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

pytest.importorskip("mypy")

USAGE = Path(__file__).with_name("typing_usage.py")

# Each line marked `# E: code` must get exactly that mypy error code; no
# other line may get one.
WRONG_USE = textwrap.dedent(
    """
    from tarnwick import JsonValue, extract, repair
    repair(1)  # E: arg-type
    repair(b"{}")  # E: arg-type
    repair("x", fallback="bad")  # E: arg-type
    repair("x", max_len=1.5)  # E: arg-type
    repair("x", strip_code_fences=1)  # E: arg-type
    repair("x", maxlen=3)  # E: call-arg
    extract("x", fallback="Null")  # E: arg-type
    n: int = repair("x").value  # E: assignment
    s: bool = repair("x").strategy  # E: assignment
    if repair("x").strategy == "strip-comments":  # E: comparison-overlap
        pass
    repair("x").ok = False  # E: misc
    v: JsonValue = {"a": [1, 2.5, None, {"b": "c"}]}
    w: JsonValue = {"a": {1, 2}}  # E: dict-item
    """
)


def mypy(tmp_path: Path, *args: str) -> list[str]:
    proc = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-error-summary",
         "--show-error-codes", "--cache-dir", str(tmp_path / "cache"), *args],
        capture_output=True, text=True, timeout=300, cwd=tmp_path, check=False)
    assert proc.returncode in (0, 1), proc.stderr
    return [line for line in proc.stdout.splitlines() if ": error:" in line]


def test_typical_use_passes(tmp_path):
    assert mypy(tmp_path, str(USAGE)) == []


def test_package_passes_strict(tmp_path):
    assert mypy(tmp_path, "-p", "tarnwick") == []


def test_wrong_use_is_rejected(tmp_path):
    path = tmp_path / "wrong_use.py"
    path.write_text(WRONG_USE)
    expected = {(n, m.group(1)) for n, line in enumerate(WRONG_USE.splitlines(), 1)
                if (m := re.search(r"# E: ([\w-]+)", line))}
    found = set()
    for line in mypy(tmp_path, str(path)):
        m = re.match(r".*wrong_use\.py:(\d+): error: .*\[([\w-]+)\]$", line)
        assert m, line
        found.add((int(m.group(1)), m.group(2)))
    assert found == expected
