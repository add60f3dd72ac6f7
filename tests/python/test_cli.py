"""python -m tarnwick, run as a subprocess the way a user runs it."""

from __future__ import annotations

import json
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def run_cli(*args: str | Path, stdin: bytes = b"", cwd: Path | None = None):
    proc = subprocess.run(
        [sys.executable, "-m", "tarnwick", *map(str, args)],
        input=stdin, capture_output=True, cwd=cwd, timeout=60)
    return (proc.returncode, proc.stdout.decode("utf-8").splitlines(),
            proc.stderr.decode("utf-8"))


@pytest.fixture
def write(tmp_path):
    def write_file(name: str, content: str | bytes) -> Path:
        path = tmp_path / name
        data = content.encode("utf-8") if isinstance(content, str) else content
        path.write_bytes(data)
        return path
    return write_file


class TestOutput:
    def test_one_line_per_file_in_order(self, write):
        files = [write("a.txt", "[1,2,]"), write("b.txt", '{"x": "é"}'),
                 write("c.txt", "null")]
        status, out, err = run_cli(*files)
        assert (status, out, err) == (0, ["[1,2]", '{"x":"é"}', "null"], "")

    @pytest.mark.parametrize("args", [(), ("-",)])
    def test_standard_input(self, args):
        assert run_cli(*args, stdin=b'{"a": 1,}') == (0, ['{"a":1}'], "")

    def test_stdin_among_files(self, write):
        status, out, _ = run_cli(write("a.txt", "[1]"), "-",
                                 write("b.txt", "[2]"), stdin=b"[3]")
        assert (status, out) == (0, ["[1]", "[3]", "[2]"])

    def test_line_endings_reach_repair_unchanged(self, write):
        # A raw CR LF inside a string is escaped, not turned into LF.
        _, out, _ = run_cli(write("crlf.txt", b'["a\r\nb"]'))
        assert out == ['["a\\r\\nb"]']

    def test_byte_order_mark_is_dropped(self, write):
        assert run_cli(write("bom.txt", b'\xef\xbb\xbf{"a":1}'))[:2] == (
            0, ['{"a":1}'])


class TestReport:
    def test_one_line_per_input_naming_it(self, write):
        good, bad = write("good.json", "[1]"), write("bad.txt", "nul")
        status, out, err = run_cli("--report", good, "-", bad,
                                   stdin=b"```json\n[2,]\n```")
        assert (status, out) == (1, ["[1]", "[2]", "null"])
        assert err.splitlines() == [
            f"{good}: strategy=parse ok=true changed=false",
            "<stdin>: strategy=strip-trailing-commas ok=true changed=true",
            f"{bad}: strategy=fallback ok=false changed=true",
        ]


class TestOptions:
    @pytest.mark.parametrize("text, args, expected, status", [
        ("[1,2]", ["--max-len", "5"], "[1,2]", 0),
        ("[1,2]", ["--max-len", "4"], "null", 1),
        ("é", ["--max-len", "1"], "null", 1),  # counted in UTF-8 bytes
        ("nul", [], "null", 1),
        ("nul", ["--fallback", "null"], "null", 1),
        ("nul", ["--fallback", "empty-object"], "{}", 1),
        ("```json\n{\"a\":1}\n```", [], '{"a":1}', 0),
        ("```json\n{\"a\":1}\n```", ["--no-strip-code-fences"], "null", 1),
        ('"{\\"a\\":1}"', [], '{"a":1}', 0),
        ('"{\\"a\\":1}"', ["--no-unwrap-double-encoded"], '"{\\"a\\":1}"', 0),
    ])
    def test_flag_effect(self, text, args, expected, status):
        assert run_cli(*args, stdin=text.encode())[:2] == (status, [expected])


class TestExitStatus:
    def test_missing_file_among_good_ones(self, write, tmp_path):
        missing = tmp_path / "missing.json"
        status, out, err = run_cli(write("a.txt", "[1]"), missing,
                                   write("b.txt", "[2]"))
        assert (status, out) == (2, ["[1]", "[2]"])
        assert str(missing) in err

    @pytest.mark.parametrize("content", [b"[1, \xff]", b"\xef\xbb\xbf\xc3("])
    def test_invalid_utf8_is_an_error(self, write, content):
        path = write("latin1.txt", content)
        status, out, err = run_cli(path, write("ok.txt", "[1]"))
        assert (status, out) == (2, ["[1]"])
        assert str(path) in err and "UTF-8" in err

    def test_directory_is_an_error(self, tmp_path):
        status, out, err = run_cli(tmp_path)
        assert (status, out) == (2, [])
        assert str(tmp_path) in err

    def test_error_outranks_fallback(self, write, tmp_path):
        status, out, _ = run_cli(write("bad.txt", "nul"), tmp_path / "nope")
        assert (status, out) == (2, ["null"])


class TestUsage:
    @pytest.mark.parametrize("args", [
        ["--max-len", "-1"],
        ["--max-len", "ten"],
        ["--max-len", str(2**64)],
        ["--max-len"],
        ["--fallback", "Null"],
        ["--strip-code-fences"],
        ["--unknown"],
    ])
    def test_bad_usage(self, args):
        status, out, err = run_cli(*args, stdin=b"[1]")
        assert (status, out) == (2, [])
        assert "usage:" in err

    def test_largest_max_len_is_accepted(self):
        assert run_cli("--max-len", str(2**64 - 1), stdin=b"[1]")[:2] == (
            0, ["[1]"])


class TestExamples:
    @pytest.mark.parametrize("name, strategy, value", [
        ("fenced_reply.txt", "strip-trailing-commas",
         {"title": "Quarterly report", "authors": ["R. Lindqvist", "M. Osei"],
          "pages": 42, "draft": False}),
        ("truncated_reply.txt", "tolerant",
         {"customer": {"id": 1042, "name": "Hana Kobayashi",
                       "email": "hana@example.com"},
          "items": [{"sku": "TW-118", "qty": 2},
                    {"sku": "TW-204", "qty": 1, "note": "gift wr"}]}),
        ("raw_newlines.txt", "strip-controls",
         {"subject": "Meeting notes",
          "body": "Agenda:\n\t1. Budget\n\t2. Hiring\nNext meeting on Friday.",
          "attendees": 5}),
        ("double_encoded.txt", "unwrap-double",
         {"status": "done",
          "result": {"score": 0.87, "labels": ["spam", "promo"]}}),
    ])
    def test_example_repairs(self, name, strategy, value):
        path = EXAMPLES / name
        status, out, err = run_cli("--report", path)
        assert status == 0
        assert [json.loads(line) for line in out] == [value]
        assert err == f"{path}: strategy={strategy} ok=true changed=true\n"
