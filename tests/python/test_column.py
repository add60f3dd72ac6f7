"""tarnwick.repair_column: every row answers as repair() or extract() does, from Python texts and from Arrow
columns of every string layout, on any number of threads; the result through the Arrow PyCapsule interface,
as lists and pickled; bad input named by row or argument."""

import importlib
import json
import os
import pickle
import subprocess
import sys
from pathlib import Path

import pytest
from conftest import ROOT, assert_note, run_cli
from tarnwick import RepairedColumn, extract, repair, repair_column


def require(name):
    """The module `name`; a test that needs a missing one is skipped, or fails where the test command asks for
    every optional engine (TARNWICK_REQUIRE_SCALE=1)."""
    if os.environ.get("TARNWICK_REQUIRE_SCALE") == "1":
        return importlib.import_module(name)
    return pytest.importorskip(name)


def corpus():
    """A few thousand texts of every kind the ladder and the extraction search meet, with null rows among them:
    the fuzz seeds, the JSON test suite, the lenient corpus and replies in prose."""
    sys.path.insert(0, str(ROOT / "bench"))
    import corpus as bench_corpus

    texts = ['```json\n{"a": [1, 2,],}\n```', '"{\\"a\\":1}"', '{"s": "a\nb"}', "[" * 200, "", "Sure: {'a': 1}"]
    for directory in (ROOT / "fuzz" / "seeds", ROOT / "tests" / "data" / "JSONTestSuite" / "test_parsing"):
        for path in sorted(directory.glob("*")):
            if path.stat().st_size <= 100_000:
                texts.append(path.read_bytes().decode("utf-8", errors="replace"))
    texts += [text for family in bench_corpus.lenient_families() for text, _ in family.cases]
    texts += [f"Reply {i}: here it is {text} hope it helps" for i, text in enumerate(texts[:300])]
    return [None if i % 11 == 5 else text for i, text in enumerate(texts)]


TEXTS = corpus()
OPTIONS = [
    {},
    {"fallback": "empty-object", "strip_code_fences": False},
    {"unwrap_double_encoded": False, "max_len": 60},
]


def serial(texts, extract_=False, **options):
    """What the loop of repair() (or extract()) gives, as repair_column's columns."""
    columns = {"json": [], "strategy": [], "ok": [], "changed": []}
    if extract_:
        columns["fixes"] = []
        columns["guessed"] = []
    for text in texts:
        result = None if text is None else extract(text, **options) if extract_ else repair(text, **options)
        for name, cells in columns.items():
            cells.append(None if result is None else getattr(result, name))
    return columns


@pytest.fixture(scope="module")
def pa():
    return require("pyarrow")


THREADS = "repair_column() argument 'threads' must be an int of at least 1, or None for the machine's cores, not "
MAX_LEN = "repair_column() argument 'max_len' must be an int from 0 to 18446744073709551615, or None for 5000000, not "

class TestEquality:
    @pytest.mark.parametrize("options", OPTIONS)
    @pytest.mark.parametrize("extract_", [False, True])
    def test_python_texts_on_any_number_of_threads(self, options, extract_):
        expected = serial(TEXTS, extract_, **options)
        for threads in (1, 2, 3):
            column = repair_column(TEXTS, extract=extract_, threads=threads, **options)
            assert column.to_pydict() == expected, threads
            assert (len(column), column.null_count) == (len(TEXTS), TEXTS.count(None))

    @pytest.mark.parametrize("extract_", [False, True])
    @pytest.mark.parametrize("layout", ["string", "large_string", "string_view", "binary", "chunked", "sliced"])
    def test_arrow_layouts(self, pa, layout, extract_):
        texts = TEXTS
        if layout == "chunked":
            data = pa.chunked_array([TEXTS[:700], [], TEXTS[700:]], type=pa.large_string())
        elif layout == "sliced":  # offsets that do not start at zero, in the array and its validity bitmap
            data, texts = pa.array(TEXTS)[13:], TEXTS[13:]
        elif layout == "binary":
            data = pa.array([None if t is None else t.encode() for t in TEXTS], type=pa.binary())
        else:
            data = pa.array(TEXTS, type=getattr(pa, layout)())
        assert repair_column(data, extract=extract_, threads=2).to_pydict() == serial(texts, extract_)

    @pytest.mark.parametrize(
        "make", [lambda pa, a: pa.record_batch([a], names=["reply"]), lambda pa, a: pa.table({"r": a})]
    )
    def test_one_column_tables(self, pa, make):
        assert repair_column(make(pa, pa.array(TEXTS[:50]))).to_pydict() == serial(TEXTS[:50])

    @pytest.mark.parametrize(
        "texts", [[], [None, None], ("[1,]" for _ in range(3)), ("a", None, "[1]"), {"x": 1}.keys()]
    )
    def test_iterables(self, texts):
        texts = list(texts) if not isinstance(texts, list) else texts
        assert repair_column(iter(texts)).to_pydict() == serial(texts)

    def test_all_null_arrow_type(self, pa):
        column = repair_column(pa.nulls(3))
        assert (column.to_pylist(), column.null_count) == ([None] * 3, 3)

    @pytest.mark.parametrize("text, fixes", [('["a\ud800b"]', ("lone-surrogates",)), ("x \udfff {'k': 1}", None)])
    def test_lone_surrogates_replaced_by_extraction(self, text, fixes):
        row = repair_column(["[1]", text], extract=True).to_pylist()[1]
        assert row == {name: getattr(extract(text), name) for name in row}
        assert "lone-surrogates" in row["fixes"]


class TestResult:
    def test_lists_and_arrow_agree(self, pa):
        column = repair_column(TEXTS[:300], extract=True)
        rows = column.to_pylist()
        assert rows == [None if row is None else dict(zip(column.column_names, row.values())) for row in rows]
        assert [column.column(name) for name in column.column_names] == list(column.to_pydict().values())
        # A null row is null in the struct array and in each of its fields; a record batch, which has no null
        # rows, keeps it null in every column.
        arrow_rows = [None if row is None else {**row, "fixes": list(row["fixes"])} for row in rows]
        array = pa.array(column)
        assert array.type.names == list(column.column_names) == ["json", "strategy", "ok", "changed", "fixes", "guessed"]
        assert (array.null_count, array.field("ok").null_count) == (column.null_count, column.null_count)
        assert array.to_pylist() == arrow_rows
        in_columns = [dict.fromkeys(column.column_names) if row is None else row for row in arrow_rows]
        for batch in (pa.RecordBatch.from_struct_array(array), pa.table(column)):
            assert batch.to_pylist() == in_columns

    @pytest.mark.parametrize("extract_", [False, True])
    def test_arrow_null_rows_are_the_list_paths(self, pa, extract_):
        texts = ["{}", None, *TEXTS[:200], None]
        listed = repair_column(texts, extract=extract_).to_pylist()
        arrow = pa.array(repair_column(pa.array(texts), extract=extract_)).to_pylist()
        assert arrow == [row if row is None or not extract_ else {**row, "fixes": list(row["fixes"])} for row in listed]

    def test_stream_keeps_the_input_chunks(self, pa):
        chunks = [TEXTS[:600], TEXTS[600:601], TEXTS[601:1500]]
        column = repair_column(pa.chunked_array(chunks))
        batches = list(pa.RecordBatchReader.from_stream(column))
        assert [b.num_rows for b in batches] == [len(c) for c in chunks]
        assert pa.Table.from_batches(batches).to_pydict() == column.to_pydict()

    def test_exports_outlive_the_column(self, pa):
        column = repair_column(TEXTS[:100])
        expected = column.column("json")
        reader = pa.RecordBatchReader.from_stream(column)
        array = pa.array(column)
        del column
        assert array.field("json").to_pylist() == reader.read_all().column("json").to_pylist() == expected

    @pytest.mark.parametrize("extract_", [False, True])
    def test_pickles_and_compares(self, extract_):
        column = repair_column(TEXTS, extract=extract_)
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            copy = pickle.loads(pickle.dumps(column, protocol))
            assert type(copy) is RepairedColumn and copy == column and copy.to_pydict() == column.to_pydict()
        assert column != repair_column(TEXTS[1:], extract=extract_)
        assert column != repair_column(TEXTS, extract=not extract_)

    @pytest.mark.parametrize(
        "change, message",
        [
            (lambda f: (f[0], f[1][:-8], *f[2:]), "offsets and strategies differ in length"),
            (lambda f: (f[0], f[1], f[2] + b"x", *f[3:]), "offsets do not span the json text"),
            (lambda f: (f[0], f[1], f[2], b"\x07" + f[3][1:], f[4]), "unknown strategy"),
            (lambda f: (f[0], f[1], f[2], b"\xff" + f[3][1:], f[4]), "a null row holds data"),
            (lambda f: (f[0], f[1], b"\xff" + f[2][1:], *f[3:]), "json text is not UTF-8"),
            (lambda f: (True, *f[1:]), "fixes do not match has_fixes"),
        ],
    )
    def test_rebuild_checks_the_buffers(self, change, message):
        rebuild, fields = repair_column(["[1,]", "x"]).__reduce__()
        with pytest.raises(ValueError, match=message):
            rebuild(*change(fields))

    def test_repr_and_refusals(self):
        column = repair_column(["[1]", None], extract=True)
        assert repr(column) == (
            "RepairedColumn(rows=2, nulls=1, columns=('json', 'strategy', 'ok', 'changed', 'fixes', 'guessed'))"
        )
        with pytest.raises(TypeError, match="cannot create 'tarnwick.RepairedColumn' instances"):
            type(column)()
        with pytest.raises(TypeError, match="unhashable"):
            hash(column)
        with pytest.raises(ValueError, match="no column 'fixes'"):
            repair_column([]).column("fixes")


class TestBadInput:
    @pytest.mark.parametrize(
        "make, exc_type, message",
        [
            (lambda pa: pa.array([1, 2]), TypeError, r"texts: an Arrow column of int64 holds no texts"),
            (lambda pa: pa.array([["a"]]), TypeError, r"texts: an Arrow column of list holds no texts"),
            (lambda pa: pa.array(["a", "b"]).dictionary_encode(), TypeError, r"dictionary-encoded"),
            (lambda pa: pa.table({"a": ["x"], "b": ["y"]}), TypeError, r"table or struct of 2 columns"),
            (
                lambda pa: pa.array([b"ok", None, b"\x80bad"]),
                ValueError,
                r"^texts\[2\]: not valid UTF-8 \(byte 0x80 at offset 0\)$",
            ),
            (
                lambda pa: pa.array([b"[1]", b"caf\xc3"], type=pa.large_binary()),
                ValueError,
                r"^texts\[1\]: .* offset 3\)$",
            ),
            (lambda pa: pa.array([b"a" * 20, b"\xed\xa0\x80" * 9], type=pa.binary_view()), ValueError, r"^texts\[1\]"),
            (lambda pa: pa.chunked_array([[b"[1]"] * 700, [b"ok", b"\xff"]]), ValueError, r"^texts\[701\]"),
        ],
    )
    def test_arrow(self, pa, make, exc_type, message):
        with pytest.raises(exc_type, match=message):
            repair_column(make(pa), threads=2)

    @pytest.mark.parametrize(
        "texts, kwargs, exc_type, message",
        [
            (["[1]", None, 7], {}, TypeError, r"^texts\[2\]: 'int' object is not an instance of 'str' or None$"),
            (["x"] * 70_000 + [b"x"], {}, TypeError, r"^texts\[70000\]: 'bytes' object"),
            ("[1, 2]", {}, TypeError, r"^texts: expected a column of texts, got a single 'str'$"),
            (5, {}, TypeError, r"^texts: expected an Arrow column .* got 'int'$"),
            (["x", '["\ud800"]'], {}, UnicodeEncodeError, r"surrogates not allowed in texts\[1\]$"),
            (["x", '["\ud800"]'], {"extract": True, "lenient": False}, UnicodeEncodeError, r"in texts\[1\]$"),
        ],
    )
    def test_texts(self, texts, kwargs, exc_type, message):
        with pytest.raises(exc_type, match=message):
            repair_column(texts, **kwargs)

    @pytest.mark.parametrize(
        "kwargs, exc_type, message, note",
        [
            ({"threads": 0}, ValueError, "threads must be at least 1, got 0", "threads"),
            ({"threads": -1}, ValueError, "threads must be at least 1, got -1", "threads"),
            ({"threads": -(2**70)}, ValueError, None, "threads"),
            ({"threads": "2"}, TypeError, None, "threads"),
            ({"threads": True}, TypeError, THREADS + "bool", "threads"),
            ({"threads": 1.0}, TypeError, THREADS + "float", "threads"),
            ({"extract": 1}, TypeError, "repair_column() argument 'extract' must be bool or None, not int", "extract"),
            ({"lenient": "yes"}, TypeError, None, "lenient"),
            ({"max_len": -1}, OverflowError, MAX_LEN + "-1", "max_len"),
            ({"fallback": "Null"}, ValueError, "invalid fallback \"Null\": expected 'null' or 'empty-object'", None),
            ({"text": []}, TypeError, "repair_column() got an unexpected keyword argument 'text'", None),
            ({"threads": 0, "lenient": 2}, TypeError, None, "lenient"),  # in parameter order
        ],
    )
    def test_arguments(self, kwargs, exc_type, message, note):
        with pytest.raises(exc_type) as excinfo:
            repair_column(["[1]"], **kwargs)
        assert type(excinfo.value) is exc_type and (message is None or str(excinfo.value) == message)
        if note:
            assert_note(excinfo, note)

    def test_error_of_the_iterable_while_a_piece_is_repaired(self):
        def texts():
            yield from ["[1,]"] * 70_000  # one piece of 65,536 runs on the workers while the next is read
            raise LookupError("no more")

        with pytest.raises(LookupError, match="no more"):
            repair_column(texts(), threads=2)
        assert repair_column(["[1,]"]).column("json") == ["[1]"]

    def test_huge_thread_count_is_capped(self):
        assert repair_column(["[1,]"] * 1500, threads=2**40).column("json") == ["[1]"] * 1500

    @pytest.mark.parametrize("texts", [["[1,]", "ok", None], ["[1,]", 3.5], ["x", "\ud800"]])
    def test_references_unchanged(self, texts):
        texts = [t[:1] + t[1:] if isinstance(t, str) else t and t * 1.0 for t in texts]  # fresh objects, not constants
        tracked = [t for t in texts if t is not None]
        before = [sys.getrefcount(t) for t in tracked]
        for _ in range(100):
            try:
                repair_column(texts, threads=2)
            except (TypeError, ValueError):
                pass
        assert [sys.getrefcount(t) for t in tracked] == before


class TestCommandLine:
    """Batch mode in batches over repair_column: --threads, and Parquet in and out."""

    ROWS = [{"id": i, "reply": text} for i, text in enumerate(TEXTS[:40] * 3)]

    @pytest.fixture
    def parquet(self, pa, tmp_path):
        pq = require("pyarrow.parquet")
        path = tmp_path / "replies.parquet"
        pq.write_table(pa.Table.from_pylist(self.ROWS), path, row_group_size=50)
        return path

    def test_batches_and_threads_do_not_change_the_output(self):
        # Past one batch of lines, with a line that repair() refuses in the second batch.
        lines = [{"id": i, "reply": TEXTS[i % 200] or "[1,]"} for i in range(9000)]
        lines[8500]["reply"] = "[\ud800]"
        data = b"".join(json.dumps(line).encode() + b"\n" for line in lines)
        outputs = [
            run_cli("--jsonl", "-", "--field", "reply", "--strict", *threads, stdin=data)
            for threads in ([], ["--threads", "1"], ["--threads", "3"])
        ]
        assert outputs[0] == outputs[1] == outputs[2]
        status, out, err = outputs[0]
        assert status == 2 and len(out) == 9000
        assert err.startswith("tarnwick: <stdin>:8501: field 'reply' holds a lone surrogate")
        for i in (0, 8999):
            assert json.loads(out[i])["strategy"] == repair(lines[i]["reply"]).strategy

    @pytest.mark.parametrize("extract_", [False, True])
    def test_parquet_to_parquet(self, parquet, tmp_path, extract_):
        pq = require("pyarrow.parquet")
        out = tmp_path / "out.parquet"
        args = ["--fixes-field", "fixes"] if extract_ else ["--strict"]
        status, _, err = run_cli(
            "--jsonl", parquet, "--field", "reply", "--value-field", "reply", "--output", out, *args
        )
        texts = [row["reply"] for row in self.ROWS]
        expected = serial(texts, extract_)
        table = pq.read_table(out).to_pydict()
        assert status == 2 and err.count("is null; passed through") == texts.count(None)
        # The reply column is replaced in place by the value; the other columns stay as they were.
        assert list(table) == ["id", "reply", "strategy", *(["fixes"] if extract_ else [])]
        assert table["id"] == [r["id"] for r in self.ROWS]
        assert (table["reply"], table["strategy"]) == (expected["json"], expected["strategy"])
        if extract_:
            assert table["fixes"] == [None if f is None else list(f) for f in expected["fixes"]]

    def test_parquet_to_json_lines_as_json_lines_mode(self, parquet):
        lines = [json.dumps(row, ensure_ascii=False, separators=(",", ":")) for row in self.ROWS]
        data = "".join(line + "\n" for line in lines).encode()
        from_lines = run_cli("--jsonl", "-", "--field", "reply", "--strict", "--stats", stdin=data)
        from_parquet = run_cli("--jsonl", parquet, "--field", "reply", "--strict", "--stats", "--threads", "2")
        assert from_parquet[1] == from_lines[1] and from_parquet[0] == from_lines[0] == 2
        assert from_parquet[2].splitlines()[-11:-1] == from_lines[2].splitlines()[-11:-1]  # the same counts

    @pytest.mark.parametrize(
        "args, message",
        [
            (["--threads", "0"], "--threads: must be at least 1: 0"),
            (["--output-format", "parquet"], "Parquet output needs Parquet input"),
            (["--output", "x.pq"], "Parquet output needs Parquet input"),
        ],
    )
    def test_usage(self, args, message):
        status, _, err = run_cli("--jsonl", "-", "--field", "reply", *args)
        assert status == 2 and message in err

    def test_not_a_column_of_texts(self, parquet):
        status, out, err = run_cli("--jsonl", parquet, "--field", "id")
        assert (status, out) == (2, []) and "column 'id' holds int64, not strings" in err


# Run in a child: repair_column over long texts, Ctrl-C (SIGINT) sent by a timer thread 0.3 s in; prints the
# seconds from the signal to KeyboardInterrupt and the threads left in the process.
INTERRUPTED_RUN = r"""
import os, signal, sys, threading, time
import tarnwick

texts = ["[" + "{'a': [1, 2,], b: True}, " * 150_000 + "]"] * 40  # 3.75 MB each: seconds of work uninterrupted
if sys.argv[1] == "generator":
    texts = iter(texts)
sent = []
def interrupt():
    sent.append(time.monotonic())
    os.kill(os.getpid(), signal.SIGINT)
timer = threading.Timer(0.3, interrupt)
timer.start()
try:
    tarnwick.repair_column(texts, extract=True, threads=int(sys.argv[2]))
except KeyboardInterrupt:
    latency = time.monotonic() - sent[0]
    timer.join()
    print(f"{latency:.3f} {len(os.listdir('/proc/self/task'))}")
"""


@pytest.mark.skipif(not Path("/proc/self/task").is_dir(), reason="counts threads in /proc")
class TestInterrupt:
    @pytest.mark.parametrize("kind, threads", [("list", 1), ("list", 2), ("generator", 2)])
    def test_ctrl_c_stops_the_run_and_its_threads(self, kind, threads):
        # A test started in the background inherits SIGINT ignored; the child sets its own default handler.
        code = "import signal; signal.signal(signal.SIGINT, signal.default_int_handler)\n" + INTERRUPTED_RUN
        proc = subprocess.run(
            [sys.executable, "-c", code, kind, str(threads)], capture_output=True, text=True, timeout=120
        )
        assert proc.returncode == 0, proc.stderr
        latency, tasks = proc.stdout.split()
        # About 100 ms is the aim (one poll, one row); the bound leaves room for a loaded or sanitized run.
        assert float(latency) < 1.0 and int(tasks) == 1
