"""Batch mode: tarnwick --jsonl FILE --field NAME."""

import json
import re
import subprocess
import sys

import pytest
from conftest import run_cli

import tarnwick


def jsonl(*rows):
    return b"".join((r if isinstance(r, bytes) else json.dumps(r).encode()) + b"\n" for r in rows)


def batch(data, *args):
    return run_cli("--jsonl", "-", "--field", "reply", *args, stdin=data)


def strict(data, *args):
    return batch(data, "--strict", *args)


def stats_rows(err):
    """{label: count} of the statistics table on stderr."""
    return {m.group(1): int(m.group(2)) for m in re.finditer(r"^(\S.*?) +(\d+)", err, re.MULTILINE)}


class TestOutput:
    def test_one_line_per_input_in_order(self):
        rows = [{"id": 1, "reply": "[1,2,]"}, {"id": 2, "reply": '```json\n{"a": 1,}\n```'}, {"id": 3, "reply": "null"}]
        status, out, err = strict(b"\xef\xbb\xbf" + jsonl(*rows)[:-1])  # a BOM, no final newline
        assert (status, err) == (0, "")
        assert [json.loads(line) for line in out] == [
            {**rows[0], "repaired": [1, 2], "strategy": "strip-trailing-commas"},
            {**rows[1], "repaired": {"a": 1}, "strategy": "strip-trailing-commas"},
            {**rows[2], "repaired": None, "strategy": "parse"},
        ]

    def test_rest_of_the_line_is_kept_byte_for_byte(self):
        line = '{ "n": 1.0, "big": 1e400, "reply" : "[1,]", "é": "\\u00e9" }  '
        _, out, _ = strict(line.encode() + b"\r\n")
        assert out == [line.rstrip()[:-1] + ',"repaired":[1],"strategy":"strip-trailing-commas"}']

    @pytest.mark.parametrize(
        "line, args, expected",
        [
            ('{"reply":"[1]"}', "--value-field f --strategy-field s", '{"reply":"[1]","f":[1],"s":"parse"}'),
            ('{"repaired":0,"reply":"[1]","z":2}', "", '{"repaired":[1],"reply":"[1]","z":2,"strategy":"parse"}'),
            ('{"reply":"[1,]"}', "--strict --value-field reply", '{"reply":[1],"strategy":"strip-trailing-commas"}'),
            ('{"reply":"x [1]"}', "", '{"reply":"x [1]","repaired":[1],"strategy":"parse"}'),
            ('{"reply":"x [1]"}', "--strict", '{"reply":"x [1]","repaired":null,"strategy":"fallback"}'),
            (
                '{"reply":"x [\'a\']"}',
                "--fixes-field fx",
                '{"reply":"x [\'a\']","repaired":["a"],"strategy":"parse","fx":["quotes"]}',
            ),
            (
                '{"fx":0,"reply":"[1]"}',
                "--fixes-field fx",
                '{"fx":[],"reply":"[1]","repaired":[1],"strategy":"parse"}',
            ),
        ],
    )
    def test_output_fields(self, line, args, expected):
        _, out, _ = batch(line.encode(), *args.split())
        assert list(json.loads(out[0]).items()) == list(json.loads(expected).items())  # replaced in place


@pytest.mark.parametrize(
    "line, problem",
    [
        (b"garbage", "not a JSON object"),
        (b"[1, 2]", "not a JSON object"),
        (b"", "empty line"),
        (b'{"id": 3}', "no field 'reply'"),
        (b'{"reply": 5}', "field 'reply' is not a string"),
        (b'{"reply": "\\ud800"}', "field 'reply' holds a lone surrogate"),
        (b'{"reply": "\xff"}', "not valid UTF-8"),
        (b'{"x": ' + b"[" * 100_000 + b"]" * 100_000 + b', "reply": "[1]"}', "nested too deeply"),
    ],
    ids=lambda v: v if isinstance(v, str) else "",
)
def test_bad_line_is_reported_and_passed_through(line, problem):
    status, out, err = strict(jsonl({"reply": "[1]"}, line, {"reply": "[2]"}))
    assert status == 2
    assert out[1].encode("utf-8", "surrogateescape") == line
    assert [json.loads(out[i])["repaired"] for i in (0, 2)] == [[1], [2]]
    assert err.startswith(f"tarnwick: <stdin>:2: {problem}") and len(err.splitlines()) == 1


@pytest.mark.parametrize(
    "rows, status",
    [([{"reply": "[1]"}], 0), ([{"reply": "[1]"}, {"reply": "nul"}], 1), ([{"reply": "nul"}, b"oops"], 2), ([], 0)],
)
def test_exit_status(rows, status):
    assert batch(jsonl(*rows))[0] == status


@pytest.mark.parametrize("ending", [b"\r\n", b"\n"], ids=["CRLF", "LF"])
@pytest.mark.parametrize(
    "line, passed",
    [
        (b"oops", True),
        (b'{"id": 3} ', True),
        (b'{"reply": "\xff"}', True),
        (b'{"reply": "[1,]"}', False),
        (b'{"repaired": 0, "reply": "[1,]"}', False),  # written anew
    ],
    ids=lambda v: v.decode("latin-1")[:12] if isinstance(v, bytes) else None,
)
def test_line_endings_are_kept(line, passed, ending):
    command = [sys.executable, "-m", "tarnwick", "--jsonl", "-", "--field", "reply"]
    out = subprocess.run(command, input=line + ending + b'{"reply": "[2]"}' + ending, capture_output=True, check=False).stdout
    lines = out.split(b"\n")
    assert len(lines) == 3 and lines[2] == b""  # two lines, each ended
    if passed:
        assert lines[0] + b"\n" == line + ending
    assert [x.endswith(b"\r") for x in lines[:2]] == [ending == b"\r\n"] * 2


@pytest.mark.parametrize("args, said", [("--max-len 4 --report", True), ("--max-len 4", False), ("--report", False)])
def test_too_long_is_reported_with_its_size(args, said):
    status, _, err = batch(jsonl({"reply": "[1]"}, {"reply": "[1,2]"}), *args.split())
    assert status == (1 if "--max-len" in args else 0)
    expected = ["tarnwick: <stdin>:2: 5 bytes, longer than --max-len 4; fell back"] if said else []
    assert [line for line in err.splitlines() if "longer than" in line] == expected


def test_unreadable_file(tmp_path):
    status, out, err = run_cli("--jsonl", tmp_path / "nope.jsonl", "--field", "reply")
    assert (status, out) == (2, []) and "nope.jsonl" in err


class TestStats:
    def test_counts_per_strategy(self):
        data = jsonl({"reply": "[1]"}, {"reply": "[1,]"}, {"reply": "[2,]"}, {"reply": "nul"}, b"oops")
        assert stats_rows(strict(data, "--stats")[2]) == {
            "parse": 1, "unwrap-double": 0, "strip-fences": 0, "strip-controls": 0, "strip-trailing-commas": 2,
            "tolerant": 0, "fallback": 1, "repaired (ok)": 3, "total": 4, "lines passed through": 1,
        }  # fmt: skip

    def test_counts_fixes_beside_strategies(self):
        replies = ["[1]", "Sure: [1,]", "{'a': [2,]}", "no json", "```\n[True]\n```"]
        rows = stats_rows(batch(jsonl(*({"reply": r} for r in replies)), "--stats")[2])
        results = [tarnwick.extract(r) for r in replies]
        fixes = {name: sum(name in r.fixes for r in results) for r in results for name in r.fixes}
        assert {k: rows[k] for k in fixes} == fixes and fixes  # the library's own fixes, counted per input
        assert rows["total"] == len(replies) and rows["fallback"] == sum(not r.ok for r in results)

    def test_file_mode_counts_too(self, write):
        rows = stats_rows(run_cli("--strict", "--stats", write("0", "[1]"), write("1", "[1,]"), write("2", "nul"))[2])
        assert [rows[k] for k in ("parse", "strip-trailing-commas", "fallback", "total")] == [1, 1, 1, 3]
        assert "trailing-commas" not in stats_rows(run_cli("--strict", "--stats", stdin=b"[1,]")[2])  # no fixes there
        guessed = stats_rows(run_cli("--stats", stdin=b"[1,]")[2]).get("guessed")
        assert (guessed is not None) == hasattr(tarnwick.extract(""), "guessed")


class TestFieldTypo:
    """A --field that no line among the first 100 has stops the run at once, naming the fields seen."""

    @pytest.mark.parametrize(
        "lines, stops",
        [
            ([{"id": 1, "response": "[1]"}] * 3, "none of the 3 lines has the field 'reply'; fields seen: 'id', 'response'"),
            ([{"id": 1}] * 100 + [{"reply": "[1]"}], "none of the first 100 lines has the field 'reply'; fields seen: 'id'"),
            ([b"oops", {"a": 1}, {"b": 2}], "none of the 3 lines has the field 'reply'; fields seen: 'a', 'b'"),
            ([{"id": 1}] * 99 + [{"reply": "[1]"}], None),  # the field within the first 100: those lines pass through
            ([{"reply": 5}], None),  # there, but no string: passed through as before
            ([b"oops", b"[1]"], None),  # no object at all: nothing to name, passed through
            ([], None),
        ],
        ids=["three lines", "found at 101", "not all objects", "found at 100", "no string", "no objects", "empty"],
    )
    def test_stops_with_one_message(self, lines, stops):
        status, out, err = batch(jsonl(*lines))
        if stops:
            assert (status, out, err) == (2, [], f"tarnwick: <stdin>: {stops}\n")
        else:
            assert len(out) == len(lines) and "fields seen" not in err
