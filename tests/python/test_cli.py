"""python -m tarnwick on files and standard input, run the way a user runs it."""

import pytest
from conftest import run_cli

FENCED, DOUBLE = '```json\n{"a":1}\n```', '"{\\"a\\":1}"'


class TestOutput:
    def test_one_line_per_input_in_order(self, write):
        # stdin among files; non-ASCII text and a raw CR LF reach repair unchanged; a leading BOM is dropped
        files = [write("a", "[1,2,]"), "-", write("b", '["é\r\nb"]'), write("c", b'\xef\xbb\xbf{"a":1}')]
        assert run_cli(*files, stdin=b"[3]") == (0, ["[1,2]", "[3]", '["é\\r\\nb"]', '{"a":1}'], "")
        assert run_cli(stdin=b'{"a": 1,}') == (0, ['{"a":1}'], "")

    def test_report_names_each_input(self, write):
        good, bad = write("good.json", "[1]"), write("bad.txt", "nul")
        status, out, err = run_cli("--report", good, "-", bad, stdin=b"```json\n[2,]\n```")
        assert (status, out) == (1, ["[1]", "[2]", "null"])
        assert err.splitlines() == [
            f"{good}: strategy=parse ok=true changed=false",
            "<stdin>: strategy=strip-trailing-commas ok=true changed=true",
            f"{bad}: strategy=fallback ok=false changed=true",
        ]

    def test_report_names_the_fixes_when_extracting(self, write):
        clean = write("clean.json", "[1]")
        status, out, err = run_cli("--extract", "--report", "-", clean, stdin=b"Sure: {'a': None, b: 2}")
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
        (FENCED, ["--no-strip-code-fences"], "null", 1),
        (DOUBLE, ["--no-unwrap-double-encoded"], DOUBLE, 0),
        ('Sure: {"a": 1} ok', ["--extract"], '{"a":1}', 0),
        ("Sure: {'a': 1} ok", ["--extract"], '{"a":1}', 0),
        ("Sure: {'a': 1} ok", ["--extract", "--no-lenient"], "null", 1),
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
    assert (status, out) == (2, ["[1]", "null", "[2]"])  # 2 outranks a later fallback's 1
    assert str(bad) in err and ("UTF-8" in err) == kind.startswith("not UTF-8")


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
        "--no-lenient",
        "--fixes-field f",
        "--extract --fixes-field f",
        "--jsonl - --field reply --fixes-field f",
        "--jsonl - --field reply --extract --fixes-field strategy",
    ],
)
def test_bad_usage(args):
    status, out, err = run_cli(*args.split(), stdin=b"[1]")
    assert (status, out) == (2, []) and "usage:" in err
