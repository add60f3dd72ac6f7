"""The type stubs: mypy --strict accepts typical use and rejects wrong use."""

import re
import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("mypy")

# Each line marked `# E: code` must get exactly that error code from mypy; no other line may get one.
WRONG_USE = """from tarnwick import JsonValue, extract, loads, repair
repair(1)  # E: arg-type
repair("x", fallback="bad")  # E: arg-type
repair("x", max_len=1.5)  # E: arg-type
repair("x", maxlen=3)  # E: call-arg
extract("x", fallback="Null")  # E: arg-type
n: int = repair("x").value  # E: assignment
if repair("x").strategy == "strip-comments":  # E: comparison-overlap
    pass
repair("x").ok = False  # E: misc
w: JsonValue = {"a": {1, 2}}  # E: dict-item
extract("x", lenient=1)  # E: arg-type
if extract("x").fixes[0] == "comment":  # E: comparison-overlap
    pass
start: str = extract("x").span[0]  # E: assignment
s: str = loads("x")  # E: assignment
from tarnwick import Stream
Stream().feed(["x"])  # E: arg-type
Stream(lenient="yes")  # E: arg-type
if Stream().feed("x")[0].kind == "close":  # E: comparison-overlap
    pass
extract("x", coerce="strict")  # E: arg-type
c: bool = extract("x").conforms  # E: assignment
"""


def mypy_errors(tmp_path, *args):
    """{(file name, line, error code)} that mypy --strict reports."""
    command = [sys.executable, "-m", "mypy", "--strict", "--show-error-codes", "--cache-dir", str(tmp_path / "cache")]
    proc = subprocess.run([*command, *args], capture_output=True, text=True, timeout=300, cwd=tmp_path, check=False)
    assert proc.returncode in (0, 1), proc.stderr
    return {m.groups() for m in re.finditer(r"^(\S+?):(\d+): error: .*?(?:\[([\w-]+)\])?$", proc.stdout, re.MULTILINE)}


@pytest.mark.parametrize("args", [[str(Path(__file__).with_name("typing_usage.py"))], ["-p", "tarnwick"]])
def test_typical_use_and_the_package_pass(tmp_path, args):
    assert mypy_errors(tmp_path, *args) == set()


def test_wrong_use_is_rejected(tmp_path):
    (tmp_path / "wrong_use.py").write_text(WRONG_USE)
    marked = enumerate(WRONG_USE.splitlines(), 1)
    expected = {("wrong_use.py", str(n), m[1]) for n, line in marked if (m := re.search(r"# E: ([\w-]+)", line))}
    assert mypy_errors(tmp_path, "wrong_use.py") == expected
