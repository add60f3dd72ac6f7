"""Every example in README.md and on the pages under docs/ runs: python blocks with a prompt as doctests (one
namespace per page, like a session), console blocks as shell commands whose output must match, and C++ blocks
compile against the public headers. `sh` blocks (installs, builds, the benchmarks) are not run."""

import doctest
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest
from conftest import ROOT

PAGES = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
BLOCK = re.compile(r"^```(\w+)\n(.*?)^```$", re.MULTILINE | re.DOTALL)


def blocks(language):
    """(page name, line of the block's first line, body) of every block in `language`, page by page."""
    found = []
    for page in PAGES:
        text = page.read_text(encoding="utf-8")
        name = str(page.relative_to(ROOT))
        found += [(name, text.count("\n", 0, m.start()) + 2, m[2]) for m in BLOCK.finditer(text) if m[1] == language]
    return found


def test_readme_is_short():
    assert len((ROOT / "README.md").read_text(encoding="utf-8").splitlines()) <= 250


def test_every_page_is_linked_from_readme():
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    assert [page.name for page in PAGES[1:] if f"](docs/{page.name}" not in readme] == []


@pytest.mark.parametrize("page", sorted({name for name, _, body in blocks("python") if ">>>" in body}))
def test_python_examples(page):
    examples = [(line, body) for name, line, body in blocks("python") if name == page and ">>>" in body]
    parser, runner, globs = doctest.DocTestParser(), doctest.DocTestRunner(optionflags=doctest.ELLIPSIS), {}
    for line, body in examples:  # in order, sharing one namespace like a session
        test = parser.get_doctest(body, {}, f"{page}:{line}", str(ROOT / page), line - 1)
        test.globs = globs
        runner.run(test, clear_globs=False)
    globs.clear()  # break the examples' reference cycles now, not during a later test
    assert runner.summarize(verbose=False).failed == 0


@pytest.mark.parametrize("page, line, body", blocks("console"))
def test_console_examples(tmp_path, page, line, body):
    shutil.copytree(ROOT / "examples", tmp_path / "examples")
    env = dict(os.environ, PATH=f"{Path(sys.executable).parent}{os.pathsep}{os.environ['PATH']}")
    for command, *expected in (part.split("\n") for part in ("\n" + body[:-1]).split("\n$ ")[1:]):
        proc = subprocess.run(
            ["bash", "-c", command], cwd=tmp_path, env=env, capture_output=True, text=True, check=False, timeout=60
        )
        assert proc.stdout == "".join(f"{out}\n" for out in expected), f"{page}:{line}: {command}\n{proc.stderr}"


@pytest.mark.parametrize("page, line, body", blocks("cpp"))
def test_cpp_examples(tmp_path, page, line, body):
    compiler = os.environ.get("CXX") or shutil.which("c++") or shutil.which("g++") or shutil.which("clang++")
    if compiler is None:
        pytest.skip("no C++ compiler")
    source = tmp_path / "example.cpp"
    source.write_text(body, encoding="utf-8")
    proc = subprocess.run(
        [compiler, "-std=c++20", "-fsyntax-only", "-Wall", "-Wextra", "-Werror", f"-I{ROOT / 'include'}", str(source)],
        capture_output=True,
        text=True,
        check=False,
        timeout=120,
    )
    assert proc.returncode == 0, f"{page}:{line}\n{proc.stderr}"
