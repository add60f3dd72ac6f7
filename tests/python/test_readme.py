"""Every example in README.md runs: python blocks as doctests, console blocks as
shell commands whose output must match."""

import doctest
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest
from conftest import ROOT

README = ROOT / "README.md"
TEXT = README.read_text(encoding="utf-8")
BLOCK = re.compile(r"^```(\w+)\n(.*?)^```$", re.MULTILINE | re.DOTALL)
BLOCKS = [(TEXT.count("\n", 0, m.start()) + 2, m[1], m[2]) for m in BLOCK.finditer(TEXT)]


def test_python_examples():
    examples = [(line, body) for line, language, body in BLOCKS if language == "python" and ">>>" in body]
    assert len(examples) >= 8
    parser, runner, globs = doctest.DocTestParser(), doctest.DocTestRunner(optionflags=doctest.ELLIPSIS), {}
    for line, body in examples:  # in order, sharing one namespace like a session
        test = parser.get_doctest(body, {}, f"README.md:{line}", str(README), line - 1)
        test.globs = globs
        runner.run(test, clear_globs=False)
    globs.clear()  # break the examples' reference cycles now, not during a later test
    assert runner.summarize(verbose=False).failed == 0


@pytest.mark.parametrize("line, body", [(line, body) for line, language, body in BLOCKS if language == "console"])
def test_console_examples(tmp_path, line, body):
    shutil.copytree(ROOT / "examples", tmp_path / "examples")
    env = dict(os.environ, PATH=f"{Path(sys.executable).parent}{os.pathsep}{os.environ['PATH']}")
    for command, *expected in (part.split("\n") for part in ("\n" + body[:-1]).split("\n$ ")[1:]):
        proc = subprocess.run(
            ["bash", "-c", command], cwd=tmp_path, env=env, capture_output=True, text=True, check=False, timeout=60
        )
        assert proc.stdout == "".join(f"{out}\n" for out in expected), f"README.md:{line}: {command}\n{proc.stderr}"
