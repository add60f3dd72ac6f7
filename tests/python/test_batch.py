"""Batch mode: python -m tarnwick --jsonl FILE --field NAME."""

from __future__ import annotations

import io
import json
import re
import subprocess
import sys
from pathlib import Path

import pytest
from tarnwick import _batch, repair

FENCED = "```json\n{\"a\": 1,}\n```"


def run_cli(*args: str | Path, stdin: bytes = b""):
    proc = subprocess.run([sys.executable, "-m", "tarnwick", *map(str, args)],
                          input=stdin, capture_output=True, timeout=60, check=False)
    # Passed-through lines may not be UTF-8; keep their bytes recoverable.
    return (proc.returncode, proc.stdout.decode("utf-8", "surrogateescape").splitlines(),
            proc.stderr.decode("utf-8"))


def jsonl(*rows: object) -> bytes:
    return b"".join((r if isinstance(r, bytes) else json.dumps(r).encode()) + b"\n" for r in rows)


def batch(data: bytes, *args: str):
    return run_cli("--jsonl", "-", "--field", "reply", *args, stdin=data)


class TestOutput:
    def test_one_line_per_input_in_order(self):
        data = jsonl({"id": 1, "reply": "[1,2,]"}, {"id": 2, "reply": FENCED},
                     {"id": 3, "reply": "null"})
        status, out, err = batch(data)
        assert (status, err) == (0, "")
        assert [json.loads(line) for line in out] == [
            {"id": 1, "reply": "[1,2,]", "repaired": [1, 2], "strategy": "strip-trailing-commas"},
            {"id": 2, "reply": FENCED, "repaired": {"a": 1}, "strategy": "strip-trailing-commas"},
            {"id": 3, "reply": "null", "repaired": None, "strategy": "parse"},
        ]

    def test_rest_of_the_line_is_kept_byte_for_byte(self):
        line = '{ "n": 1.0, "big": 1e400, "reply" : "[1,]", "é": "\\u00e9" }  '
        _, out, _ = batch(line.encode() + b"\r\n")
        assert out == [line.rstrip()[:-1] + ',"repaired":[1],"strategy":"strip-trailing-commas"}']

    def test_output_field_names(self):
        _, out, _ = batch(jsonl({"reply": "[1]"}), "--value-field", "fixed",
                          "--strategy-field", "how")
        assert json.loads(out[0]) == {"reply": "[1]", "fixed": [1], "how": "parse"}

    def test_existing_output_field_is_replaced_in_place(self):
        _, out, _ = batch(jsonl({"repaired": 0, "reply": "[1,]", "z": 2}))
        assert list(json.loads(out[0]).items()) == [
            ("repaired", [1]), ("reply", "[1,]"), ("z", 2), ("strategy", "strip-trailing-commas")]

    def test_value_field_may_replace_the_input_field(self):
        _, out, _ = batch(jsonl({"reply": "[1,]"}), "--value-field", "reply")
        assert json.loads(out[0]) == {"reply": [1], "strategy": "strip-trailing-commas"}

    def test_byte_order_mark_and_missing_final_newline(self):
        data = b'\xef\xbb\xbf{"reply": "[1]"}\n{"reply": "[2]"}'
        status, out, _ = batch(data)
        assert (status, [json.loads(line)["repaired"] for line in out]) == (0, [[1], [2]])

    def test_extract_option(self):
        _, out, _ = batch(jsonl({"reply": 'Sure! Here: {"a": 1} Enjoy.'}), "--extract")
        assert json.loads(out[0])["repaired"] == {"a": 1}

    @pytest.mark.parametrize("reply, args, expected", [
        ("nul", ["--fallback", "empty-object"], {}),
        ("[1]", ["--max-len", "2"], None),
        ("[1]", ["--max-len", "3"], [1]),
        ('"[1]"', ["--no-unwrap-double-encoded"], "[1]"),
    ])
    def test_repair_options(self, reply, args, expected):
        _, out, _ = batch(jsonl({"reply": reply}), *args)
        assert json.loads(out[0])["repaired"] == expected


class TestPassedThrough:
    @pytest.mark.parametrize("line, problem", [
        (b"garbage", "not a JSON object"),
        (b"[1, 2]", "not a JSON object"),
        (b'"text"', "not a JSON object"),
        (b"", "empty line"),
        (b'{"id": 3}', "no field 'reply'"),
        (b'{"reply": 5}', "field 'reply' is not a string"),
        (b'{"reply": null}', "field 'reply' is not a string"),
        (b'{"reply": "\\ud800"}', "field 'reply' holds a lone surrogate"),
        (b'{"reply": "\xff"}', "not valid UTF-8"),
        pytest.param(b'{"x": ' + b"[" * 100_000 + b"]" * 100_000 + b', "reply": "[1]"}',
                     "nested too deeply to read", id="deep"),
    ])
    def test_reported_with_line_number_and_kept(self, line, problem):
        data = jsonl({"reply": "[1]"}, line, {"reply": "[2]"})
        status, out, err = batch(data)
        assert status == 2
        assert out[1].encode("utf-8", "surrogateescape") == line
        assert [json.loads(out[i])["repaired"] for i in (0, 2)] == [[1], [2]]
        assert err.startswith(f"tarnwick: <stdin>:2: {problem}")
        assert len(err.splitlines()) == 1


class TestExitStatus:
    @pytest.mark.parametrize("lines, status", [
        ([{"reply": "[1]"}], 0),
        ([{"reply": "[1]"}, {"reply": "nul"}], 1),
        ([{"reply": "nul"}, b"oops"], 2),
        ([], 0),
    ])
    def test_status(self, lines, status):
        assert batch(jsonl(*lines))[0] == status

    def test_unreadable_file(self, tmp_path):
        status, out, err = run_cli("--jsonl", tmp_path / "nope.jsonl", "--field", "reply")
        assert (status, out) == (2, [])
        assert "nope.jsonl" in err


def stats_rows(err: str) -> dict[str, int]:
    """{label: count} of the statistics table on stderr."""
    return {m.group(1): int(m.group(2)) for m in re.finditer(r"^(\S.*?) +(\d+)", err, re.MULTILINE)}


class TestStats:
    def test_counts_per_strategy(self):
        data = jsonl({"reply": "[1]"}, {"reply": "[1,]"}, {"reply": "[2,]"}, {"reply": "nul"}, b"oops")
        rows = stats_rows(batch(data, "--stats")[2])
        assert rows == {"parse": 1, "unwrap-double": 0, "strip-fences": 0, "strip-controls": 0,
                        "strip-trailing-commas": 2, "tolerant": 0, "fallback": 1,
                        "repaired (ok)": 3, "total": 4, "lines passed through": 1}

    def test_file_mode_counts_too(self, tmp_path):
        paths = [tmp_path / f"{i}.txt" for i in range(3)]
        for path, text in zip(paths, ["[1]", "[1,]", "nul"]):
            path.write_text(text)
        rows = stats_rows(run_cli("--stats", *paths)[2])
        assert [rows[k] for k in ("parse", "strip-trailing-commas", "fallback", "total")] == [1, 1, 1, 3]


class TestUsage:
    @pytest.mark.parametrize("args", [
        ["--jsonl", "-"],
        ["--field", "reply"],
        ["--value-field", "x"],
        ["--jsonl", "-", "--field", "reply", "some.txt"],
        ["--jsonl", "-", "--field", "reply", "--value-field", "strategy"],
    ])
    def test_bad_usage(self, args):
        status, out, err = run_cli(*args, stdin=b"")
        assert (status, out) == (2, [])
        assert "usage:" in err


class _Terminal(io.StringIO):
    def isatty(self) -> bool:
        return True


class TestProgressBar:
    def test_none_when_not_a_terminal(self):
        assert _batch._progress_bar(io.StringIO(), 100, "x") is None

    def test_none_without_tqdm(self, monkeypatch):
        monkeypatch.setitem(sys.modules, "tqdm", None)  # import fails
        assert _batch._progress_bar(_Terminal(), 100, "x") is None

    def test_bar_on_a_terminal(self, monkeypatch):
        pytest.importorskip("tqdm")
        terminal = _Terminal()
        monkeypatch.setattr(sys, "stderr", terminal)
        lines = [b'{"reply": "[1]"}\n'] * (2 * _batch._PROGRESS_EVERY) + [b"bad\n"]
        out = io.BytesIO()
        stats = _batch.Stats("skipped")
        _batch.run_batch(lines, out, name="in", field="reply", value_field="v",
                         strategy_field="s", fix=repair, stats=stats,
                         total_bytes=sum(map(len, lines)))
        assert out.getvalue().count(b"\n") == len(lines)
        assert "tarnwick: in:4097: not a JSON object" in terminal.getvalue()
        assert stats.counts["parse"] == 2 * _batch._PROGRESS_EVERY
