"""The command line (tarnwick, python -m tarnwick) on files and standard input, run the way a user runs it."""

import functools
import os
import shlex
import signal
import subprocess
import sys

from pathlib import Path

import pytest
from conftest import run_cli

import tarnwick

COMMAND = [sys.executable, "-m", "tarnwick"]

FENCED, DOUBLE = '```json\n{"a":1}\n```', '"{\\"a\\":1}"'
REPLY = 'Sure! Here it is:\n```json\n{"a": 1,}\n```\nBye'  # a fenced reply with prose around it


class TestConsoleCommand:
    """`pip install .` puts a `tarnwick` command beside the interpreter, the same as `python -m tarnwick`."""

    @pytest.mark.parametrize("args", [[], ["--strict", "--report"], ["--version"], ["--no-such-option"]])
    def test_same_as_python_dash_m(self, args):
        command = Path(sys.executable).with_name("tarnwick")
        run = functools.partial(subprocess.run, input=REPLY.encode(), capture_output=True, timeout=60, check=False)
        ours, module = run([str(command), *args]), run([*COMMAND, *args])
        assert (ours.returncode, ours.stdout, ours.stderr) == (module.returncode, module.stdout, module.stderr)


class TestMode:
    """The lenient path by default, the ladder with --strict; each the library's own answer."""

    @pytest.mark.parametrize(
        "args, answer",
        [
            ([], tarnwick.extract),
            (["--extract"], tarnwick.extract),  # kept for old scripts: the default
            (["--no-lenient"], functools.partial(tarnwick.extract, lenient=False)),
            (["--strict"], tarnwick.repair),
        ],
        ids=lambda v: " ".join(v) if isinstance(v, list) else None,
    )
    @pytest.mark.parametrize("text", [REPLY, "Sure: {'a': None, b: 2}", "[1, 2,]", "no json here"])
    def test_answers_as_the_library_does(self, args, answer, text):
        expected = answer(text)
        status, out, err = run_cli(*args, stdin=text.encode())
        assert (status, out) == (0 if expected.ok else 1, [expected.json])
        assert (err == "") == expected.ok

    @pytest.mark.parametrize(
        "args, text, said",
        [
            ([], "no json here", "tarnwick: <stdin>: no JSON value found; wrote null"),
            (["--strict"], REPLY, "tarnwick: <stdin>: no JSON value found; wrote null"),
            (["--fallback", "empty-object"], "", "tarnwick: <stdin>: no JSON value found; wrote {}"),
            (["--max-len", "4"], "[1,2]", "tarnwick: <stdin>: 5 bytes, longer than --max-len 4; fell back"),
        ],
    )
    def test_one_line_says_nothing_was_found_and_where(self, args, text, said):
        assert run_cli(*args, stdin=text.encode())[2].splitlines() == [said]


class TestOutput:
    def test_one_line_per_input_in_order(self, write):
        # stdin among files; non-ASCII text and a raw CR LF reach repair unchanged; a leading BOM is dropped
        files = [write("a", "[1,2,]"), "-", write("b", '["é\r\nb"]'), write("c", b'\xef\xbb\xbf{"a":1}')]
        assert run_cli(*files, stdin=b"[3]") == (0, ["[1,2]", "[3]", '["é\\r\\nb"]', '{"a":1}'], "")
        assert run_cli(stdin=b'{"a": 1,}') == (0, ['{"a":1}'], "")

    def test_report_names_each_input(self, write):
        good, bad = write("good.json", "[1]"), write("bad.txt", "nul")
        status, out, err = run_cli("--strict", "--report", good, "-", bad, stdin=b"```json\n[2,]\n```")
        assert (status, out) == (1, ["[1]", "[2]", "null"])
        assert err.splitlines() == [
            f"{good}: strategy=parse ok=true changed=false",
            "<stdin>: strategy=strip-trailing-commas ok=true changed=true",
            f"{bad}: strategy=fallback ok=false changed=true",
            f"tarnwick: {bad}: no JSON value found; wrote null",
        ]

    def test_report_names_the_fixes_when_extracting(self, write):
        clean = write("clean.json", "[1]")
        status, out, err = run_cli("--report", "-", clean, stdin=b"Sure: {'a': None, b: 2}")
        assert (status, out) == (0, ['{"a":null,"b":2}', "[1]"])
        assert err.splitlines() == [
            "<stdin>: strategy=parse ok=true changed=true fixes=quotes,literals,unquoted-keys",
            f"{clean}: strategy=parse ok=true changed=false fixes=",
        ]


@pytest.mark.parametrize(
    "text, args, expected, status",
    [
        ("[1,2]", ["--max-len", "5"], "[1,2]", 0),
        ("[1,2]", ["--max-len", "4"], "null", 1),
        ("[1]", ["--max-len", str(2**64 - 1)], "[1]", 0),
        ("nul", ["--fallback", "empty-object"], "{}", 1),
        (FENCED, ["--strict", "--no-strip-code-fences"], "null", 1),
        (DOUBLE, ["--no-unwrap-double-encoded"], DOUBLE, 0),
        ("Sure: {'a': 1} ok", ["--no-lenient"], "null", 1),
    ],
)
def test_options(text, args, expected, status):
    assert run_cli(*args, stdin=text.encode())[:2] == (status, [expected])


@pytest.mark.parametrize("kind", ["missing", "directory", "not UTF-8", "not UTF-8 after a BOM"])
def test_unreadable_input_among_good_ones(write, tmp_path, kind):
    (tmp_path / "dir").mkdir()
    bad = {
        "missing": tmp_path / "missing.json",
        "directory": tmp_path / "dir",
        "not UTF-8": write("latin1.txt", b"[1, \xff]"),
        "not UTF-8 after a BOM": write("bom.txt", b"\xef\xbb\xbf\xc3("),
    }[kind]
    status, out, err = run_cli(write("a.txt", "[1]"), bad, write("fell.txt", "nul"), write("b.txt", "[2]"))
    assert (status, out) == (2, ["[1]", "null", "null", "[2]"])  # aligned; 2 outranks a later fallback's 1
    assert str(bad) in err and ("UTF-8" in err) == kind.startswith("not UTF-8")


@pytest.mark.parametrize(
    "args, text, files, too_long",
    [
        ("--max-len 4", "[1,2]", 1, True),
        ("--max-len 4", "[1,2]", 2, True),  # each input, named
        ("--max-len 4 --strict", "[1,2]", 2, True),
        ("--max-len 4 --strict", "nul", 1, False),  # fits, falls back for another reason
        ("", "[" + "1," * 2_500_000 + "1]", 1, True),  # the default limit
    ],
    ids=lambda v: v[:6] if isinstance(v, str) else None,
)
def test_too_long_says_its_size_and_the_limit(write, args, text, files, too_long):
    limit = args.split()[1] if args else "5000000"
    names = [write(f"{i}.json", text) for i in range(files)]
    status, out, err = run_cli(*args.split(), *names)
    assert (status, out) == (1, ["null"] * files)
    why = f"{len(text.encode())} bytes, longer than --max-len {limit}; fell back" if too_long else "no JSON value found"
    assert err.splitlines() == [f"tarnwick: {name}: {why}" + ("" if too_long else "; wrote null") for name in names]


@pytest.mark.parametrize(
    "args",
    [
        "--max-len -1",
        f"--max-len {2**64}",
        "--fallback Null",
        "--jsonl -",
        "--value-field x",
        "--jsonl - --field reply some.txt",
        "--jsonl - --field reply --value-field strategy",
        "--strict --extract",
        "--strict --no-lenient",
        "--fixes-field f",
        "--extract --fixes-field f",
        "--jsonl - --field reply --strict --fixes-field f",
        "--jsonl - --field reply --fixes-field strategy",
        "--jsonl - --field ''",
        "--jsonl - --field reply --value-field ''",
        "--jsonl - --field reply --strategy-field ''",
        "--jsonl - --field reply --extract --fixes-field ''",
    ],
)
def test_bad_usage(args):
    status, out, err = run_cli(*shlex.split(args), stdin=b"[1]")
    assert (status, out) == (2, []) and "usage:" in err


def test_parquet_without_pyarrow_names_what_to_install(tmp_path):
    # pyarrow made unimportable: the hint names it alone, not an extra that pulls in cluster engines
    code = "import sys; sys.modules['pyarrow'] = None; from tarnwick._cli import main; sys.exit(main())"
    command = [sys.executable, "-c", code, "--jsonl", str(tmp_path / "in.parquet"), "--field", "reply"]
    proc = subprocess.run(command, capture_output=True, text=True, timeout=60, check=False)
    assert proc.returncode == 2 and proc.stderr.endswith("Parquet needs pyarrow: pip install pyarrow\n")


class TestManners:
    """How the command ends and starts when it runs among other programs."""

    @pytest.mark.parametrize("batch", [False, True], ids=["files", "jsonl"])
    def test_closed_pipe_ends_quietly(self, write, batch):
        if batch:  # many short lines, more than a pipe holds
            args = ["--jsonl", write("in.jsonl", '{"reply": "[1]"}\n' * 200_000), "--field", "reply"]
        else:  # many files, more output than a pipe holds
            args = [write("a.json", "[" + "1," * 100 + "1]")] * 2000
        with subprocess.Popen([*COMMAND, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE) as proc:
            proc.stdout.read(100)
            proc.stdout.close()
            err = proc.stderr.read().decode()
        assert (proc.returncode, err) == (141, "")

    def test_ctrl_c_ends_with_130(self, write):
        command = [*COMMAND, write("a.json", "[1]"), "-"]
        # A test command started in the background inherits SIGINT ignored,
        # and Python then leaves it so; the command as a user runs it has it.
        default_sigint = functools.partial(signal.signal, signal.SIGINT, signal.SIG_DFL)
        with subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              preexec_fn=default_sigint) as proc:
            assert proc.stdout.readline() == b"[1]\n"  # now it waits on the open pipe
            proc.send_signal(signal.SIGINT)
            # Standard input stays open until it has ended: closed earlier,
            # the command may read its end and finish before the signal lands.
            proc.wait(timeout=60)
            err = proc.stderr.read()
        assert (proc.returncode, err.decode()) == (130, "")

    @pytest.mark.skipif(sys.platform == "win32", reason="needs a pseudo-terminal")
    @pytest.mark.parametrize("args, hint", [([], True), (["-"], False)])
    def test_hint_when_standard_input_is_a_terminal(self, args, hint):
        leader, follower = os.openpty()
        with subprocess.Popen([*COMMAND, *args], stdin=follower, stdout=subprocess.PIPE, stderr=subprocess.PIPE) as proc:
            os.close(follower)
            os.write(leader, b"[1,]\n\x04")  # a line, then Ctrl-D: end of input
            out, err = proc.communicate(timeout=60)
        os.close(leader)
        assert (proc.returncode, out) == (0, b"[1]\n")
        assert err.decode().startswith("tarnwick: reading standard input") == hint and len(err.splitlines()) == hint
