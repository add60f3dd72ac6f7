"""Every example in README.md runs: ```python blocks as doctests, ```console
blocks as shell commands whose output must match."""

from __future__ import annotations

import doctest
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
README = ROOT / "README.md"
BLOCK = re.compile(r"^```(\w+)\n(.*?)^```$", re.MULTILINE | re.DOTALL)


def blocks(language: str) -> list[tuple[int, str]]:
    text = README.read_text(encoding="utf-8")
    return [(text.count("\n", 0, m.start()) + 2, m.group(2))
            for m in BLOCK.finditer(text) if m.group(1) == language]


def test_python_examples():
    examples = [(line, body) for line, body in blocks("python") if ">>>" in body]
    assert len(examples) >= 8
    parser, globs = doctest.DocTestParser(), {}
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    tests = []
    try:
        for line, body in examples:  # in order, sharing names like a session
            tests.append(parser.get_doctest(body, globs, f"README.md:{line}", str(README), line - 1))
            runner.run(tests[-1], clear_globs=False)
            globs = tests[-1].globs  # DocTest works on a copy
    finally:
        # The examples' functions and results refer to each other through
        # these namespaces; break the cycles now rather than at some later
        # collection in the middle of another test.
        for test in tests:
            test.globs.clear()
    assert runner.summarize(verbose=False).failed == 0


def console_commands(body: str) -> list[tuple[str, str]]:
    """(command, expected output) pairs of a console block."""
    pairs: list[tuple[str, list[str]]] = []
    for line in body.splitlines():
        if line.startswith("$ "):
            pairs.append((line[2:], []))
        else:
            pairs[-1][1].append(line)
    return [(command, "".join(out + "\n" for out in output)) for command, output in pairs]


@pytest.mark.parametrize("line, body", blocks("console"), ids=lambda v: str(v) if isinstance(v, int) else "")
def test_console_examples(tmp_path, line, body):
    shutil.copytree(ROOT / "examples", tmp_path / "examples")
    env = dict(os.environ, PATH=f"{Path(sys.executable).parent}{os.pathsep}{os.environ['PATH']}")
    for command, expected in console_commands(body):
        proc = subprocess.run(["bash", "-c", command], cwd=tmp_path, env=env,
                              capture_output=True, text=True, timeout=60, check=False)
        assert proc.stdout == expected, f"README.md:{line}: {command}\n{proc.stderr}"
