"""Batch mode of the command line: JSON Lines in, JSON Lines out.

Each input line is a JSON object whose field NAME holds the raw reply text.
The output has one line per input line, in order: the object with the
repaired value and its strategy added (and, when extracting, the fixes the
lenient pass applied, if asked for), or the input line unchanged when it
cannot be processed (not UTF-8, not a JSON object, no such field, a field
that is no string). Lines are read a batch at a time and each batch's
replies repaired together by ``repair_column`` on worker threads, so memory
stays flat however long the input is.
"""
from __future__ import annotations

import json
import sys
from typing import IO, Any, Iterable, Iterator, NamedTuple, Sequence, Union, get_args

from ._extras import DEFAULT_MAX_LEN, Extraction, RepairedColumn, repair_column
from ._tarnwick import RepairResult
from ._types import FixName, Strategy

#: Fix names in the order extract() reports them, as the statistics table lists them.
FIXES: tuple[FixName, ...] = get_args(FixName)

#: What an input gives: repair()'s result, extract()'s with --extract, or a
#: row of repair_column's result in batch mode.
Result = Union[RepairResult, Extraction, "Row"]

#: Strategy names in ladder order, as the statistics table lists them.
STRATEGIES: tuple[Strategy, ...] = get_args(Strategy)

_BOM = "\ufeff"
_JSON_WHITESPACE = " \t\r\n"
# A batch ends at this many lines or bytes, whichever comes first: enough
# rows to keep every worker thread busy, little enough memory to stay flat.
_BATCH_LINES = 8192
_BATCH_BYTES = 16 << 20
# Lines read before a field that none of them has stops the run: a typo in
# --field would otherwise pass every line through with an error each.
FIELD_PROBE_LINES = 100


class Row(NamedTuple):
    """One row of a RepairedColumn, with the fields a result has."""

    json: str
    strategy: Strategy
    ok: bool
    changed: bool
    fixes: tuple[FixName, ...] | None  # None unless extracting
    guessed: bool | None = None  # None unless the column reports it

    @property
    def value(self) -> Any:
        return json.loads(self.json)


def column_rows(column: RepairedColumn) -> list[Row | None]:
    """The rows of `column`, None where the input row was null."""
    data = {str(name): rows for name, rows in column.to_pydict().items()}  # any name: "guessed" may come
    fixes = data.get("fixes", [None] * len(column))
    guessed = data.get("guessed", [None] * len(column))
    return [None if j is None else Row(j, s, o, c, f, g)
            for j, s, o, c, f, g in zip(data["json"], data["strategy"], data["ok"], data["changed"], fixes, guessed)]


def _has_lone_surrogate(text: str) -> bool:
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        return True
    return False


def repair_texts(texts: Sequence[str], options: dict[str, Any]) -> list[Row | None]:
    """repair_column's rows for `texts` with `options`; a text that repair()
    refuses (a lone surrogate, without extraction's lenient pass) gives None
    instead of failing the whole batch."""
    try:
        return column_rows(repair_column(texts, **options))
    except UnicodeEncodeError:
        refused = [_has_lone_surrogate(t) for t in texts]
        rows = column_rows(repair_column([None if r else t for t, r in zip(texts, refused)], **options))
        return [None if r else row for row, r in zip(rows, refused)]


class Stats:
    """How many inputs each strategy answered, each fix touched and how many
    were guessed (what an extraction reports), and how many were skipped."""

    def __init__(self, skipped_label: str) -> None:
        self.counts: dict[str, int] = dict.fromkeys(STRATEGIES, 0)
        self.fixes: dict[str, int] | None = None  # set by the first extraction
        self.guessed: int | None = None  # set by the first result that says
        self.skipped = 0
        self.skipped_label = skipped_label

    def add(self, result: Result) -> None:
        self.counts[result.strategy] += 1
        fixes = getattr(result, "fixes", None)
        if fixes is not None:
            self.fixes = self.fixes or dict.fromkeys(FIXES, 0)
            for name in fixes:
                self.fixes[name] = self.fixes.get(name, 0) + 1
        guessed = getattr(result, "guessed", None)
        if guessed is not None:
            self.guessed = (self.guessed or 0) + bool(guessed)

    def add_rows(self, rows: Iterable[Row | None]) -> None:
        """Counts a column's rows; None (a null row) is not counted."""
        for row in rows:
            if row is not None:
                self.add(row)

    def table(self) -> str:
        """The statistics as an aligned text table: a row per strategy, then
        a row per fix that was made (inputs it touched) and the guessed ones."""
        total = sum(self.counts.values())
        repaired = total - self.counts["fallback"]

        def share(n: int) -> str:
            return f"{100 * n / total:.1f}%" if total else "-"

        rows = [("strategy", "inputs", "share")]
        rows += [(name, str(n), share(n)) for name, n in self.counts.items()]
        rows += [("repaired (ok)", str(repaired), share(repaired)),
                 ("total", str(total), "")]
        if self.fixes is not None:
            rows.append(("fix", "inputs", "share"))
            rows += [(name, str(n), share(n)) for name, n in self.fixes.items() if n]
            if self.guessed is not None:
                rows.append(("guessed", str(self.guessed), share(self.guessed)))
        if self.skipped:
            rows.append((self.skipped_label, str(self.skipped), ""))
        width = max(len(r[0]) for r in rows)
        return "".join(f"{a:<{width}}  {b:>7}  {c:>6}".rstrip() + "\n" for a, b, c in rows)


def too_long(size: int, max_len: int | None) -> str | None:
    """Why a text of `size` UTF-8 bytes fell back when --max-len caused it,
    else None."""
    limit = DEFAULT_MAX_LEN if max_len is None else max_len
    if size <= limit:
        return None
    return f"{size} bytes, longer than --max-len {limit}; fell back"


class _Skip(Exception):
    """A line that is passed through; the message says why."""


class _NoField(_Skip):
    """A JSON object without the field; `keys` are the fields it has."""

    def __init__(self, message: str, keys: Iterable[str]) -> None:
        super().__init__(message)
        self.keys = keys


class FieldMissing(Exception):
    """No line among the first FIELD_PROBE_LINES has the field, though some
    are objects: the run stops before writing anything."""


def _check_field(field: str, lines: int, found: bool, seen: dict[str, None]) -> None:
    """Raises FieldMissing when `lines` lines were read, none had `field`
    (`found` false) and objects with the fields `seen` were among them."""
    if found or not seen:
        return
    which = f"the first {lines}" if lines == FIELD_PROBE_LINES else f"the {lines}"
    shown = ", ".join(repr(k) for k in list(seen)[:20]) + (", ..." if len(seen) > 20 else "")
    raise FieldMissing(f"none of {which} lines has the field {field!r}; fields seen: {shown}")


def _field_text(line: bytes, first: bool, field: str) -> tuple[dict[str, object], str, str]:
    """(object, its JSON text, the text of `field`) of one input line.

    Raises _Skip when the line is not a UTF-8 JSON object holding `field` as
    a string."""
    try:
        text = line.decode("utf-8")
    except UnicodeDecodeError as e:
        raise _Skip(f"not valid UTF-8 (byte 0x{line[e.start]:02x} at offset {e.start})") from None
    if first and text.startswith(_BOM):
        text = text[len(_BOM):]
    if not text.strip(_JSON_WHITESPACE):
        raise _Skip("empty line")
    try:
        obj = json.loads(text)
    except ValueError:
        raise _Skip("not a JSON object") from None
    except RecursionError:
        raise _Skip("nested too deeply to read") from None
    if not isinstance(obj, dict):
        raise _Skip("not a JSON object")
    if field not in obj:
        raise _NoField(f"no field {field!r}", obj)
    reply = obj[field]
    if not isinstance(reply, str):
        raise _Skip(f"field {field!r} is not a string")
    return obj, text, reply


def report_fields(result: Result) -> str:
    """What ``--report`` says of one result: strategy, ok and changed, and
    the fixes (comma-separated, empty when none) of an extraction."""
    fields = (f"strategy={result.strategy} ok={str(result.ok).lower()} "
              f"changed={str(result.changed).lower()}")
    fixes = getattr(result, "fixes", None)
    if fixes is not None:
        fields += f" fixes={','.join(fixes)}"
    return fields


def _output_line(obj: dict[str, object], text: str, result: Result, value_field: str,
                 strategy_field: str, fixes_field: str | None, end: str) -> bytes:
    """The input object with the output fields added: the value, the
    strategy and, when `fixes_field` is set, the fixes as an array.

    When no output field is in the object yet, they are appended to the
    line's own text, so that every other byte of it stays as it was and the
    value is the canonical JSON text. Otherwise the object is written anew
    with the fields replaced in place. `end` is the line ending, the
    input line's own."""
    fixes = list(getattr(result, "fixes", None) or ())
    if value_field not in obj and strategy_field not in obj and fixes_field not in obj:
        head = text.rstrip(_JSON_WHITESPACE)[:-1]  # without the closing brace
        added = (f",{json.dumps(value_field, ensure_ascii=False)}:{result.json}"
                 f",{json.dumps(strategy_field, ensure_ascii=False)}:\"{result.strategy}\"")
        if fixes_field is not None:
            added += f",{json.dumps(fixes_field, ensure_ascii=False)}:{json.dumps(fixes, separators=(',', ':'))}"
        return (head + added + "}" + end).encode("utf-8")
    obj[value_field] = result.value
    obj[strategy_field] = result.strategy
    if fixes_field is not None:
        obj[fixes_field] = fixes
    try:
        return (json.dumps(obj, ensure_ascii=False, separators=(",", ":")) + end).encode("utf-8")
    except UnicodeEncodeError:  # a lone surrogate written as \ud800 in the input
        return (json.dumps(obj, separators=(",", ":")) + end).encode("ascii")


def _progress_bar(stream: IO[str], total: int | None, name: str) -> object | None:
    """A progress bar over `total` bytes on `stream` when it is a terminal and
    tqdm is installed (the optional ``cli`` extra); otherwise None."""
    isatty = getattr(stream, "isatty", None)
    if isatty is None or not isatty():
        return None
    try:
        from tqdm import tqdm  # type: ignore[import-untyped,unused-ignore]
    except ImportError:
        return None
    bar: object = tqdm(total=total, desc=name, unit="B", unit_scale=True, unit_divisor=1024,
                       file=stream, delay=1.0, leave=False, dynamic_ncols=True)
    return bar


def _read_lines(
    lines: Iterable[bytes], field: str
) -> Iterator[tuple[int, bytes, int, tuple[dict[str, object], str, str] | str]]:
    """(line number, line without its newline, its size in bytes, the parsed
    object, its text and reply or why it is passed through) of each line.

    Raises FieldMissing as soon as the first FIELD_PROBE_LINES lines (or the
    first batch's bytes, or all lines, if fewer) hold objects but no `field`:
    before a batch is full, so before anything is written."""
    probing, found, lineno = True, False, 0
    seen: dict[str, None] = {}  # fields of the objects without `field`, in order
    size = 0
    for lineno, line in enumerate(lines, 1):
        body = line[:-1] if line.endswith(b"\n") else line
        parsed: tuple[dict[str, object], str, str] | str
        try:
            parsed = _field_text(body, lineno == 1, field)
            found = True
        except _NoField as e:
            parsed = str(e)
            if probing:
                seen.update(dict.fromkeys(e.keys))
        except _Skip as e:
            parsed = str(e)
        size += len(line)
        if probing and (lineno == FIELD_PROBE_LINES or size >= _BATCH_BYTES):
            _check_field(field, lineno, found, seen)
            probing = False
        yield lineno, body, len(line), parsed
    if probing:
        _check_field(field, lineno, found, seen)


def run_batch(
    lines: Iterable[bytes],
    out: IO[bytes],
    *,
    name: str,
    field: str,
    value_field: str,
    strategy_field: str,
    fixes_field: str | None = None,
    options: dict[str, Any],
    stats: Stats,
    report: bool = False,
    total_bytes: int | None = None,
    progress: bool = True,
) -> bool:
    """Repairs field `field` of every line in `lines` with repair_column's
    `options` and writes the output lines to `out`. Problems and, with
    `report`, one line per repaired input go to standard error, prefixed with
    ``name:LINE:``. Returns whether any input fell back; skipped lines are
    counted in `stats`. Raises FieldMissing, having written nothing, when
    objects but no `field` are among the first FIELD_PROBE_LINES lines."""
    err = sys.stderr
    bar = _progress_bar(err, total_bytes, name) if progress else None
    fell_back = False
    # (line number, line without its newline, parsed object and text and reply, or why it is passed through)
    pending: list[tuple[int, bytes, tuple[dict[str, object], str, str] | str]] = []
    pending_bytes = 0

    def flush() -> None:
        nonlocal fell_back, pending_bytes
        replies = [entry[2][2] for entry in pending if not isinstance(entry[2], str)]
        rows = iter(repair_texts(replies, options))
        for lineno, body, parsed in pending:
            row = None
            if not isinstance(parsed, str):
                row = next(rows)
                if row is None:
                    parsed = f"field {field!r} holds a lone surrogate"
            if row is None or isinstance(parsed, str):
                stats.skipped += 1
                _write_stderr(err, bar, f"tarnwick: {name}:{lineno}: {parsed}; passed through")
                out.write(body + b"\n")
                continue
            obj, text, reply = parsed
            end = "\r\n" if body.endswith(b"\r") else "\n"  # a CRLF file stays CRLF
            out.write(_output_line(obj, text, row, value_field, strategy_field, fixes_field, end))
            stats.add(row)
            fell_back = fell_back or not row.ok
            if report:
                _write_stderr(err, bar, f"{name}:{lineno}: {report_fields(row)}")
                why = too_long(len(reply.encode("utf-8")), options.get("max_len")) if not row.ok else None
                if why is not None:
                    _write_stderr(err, bar, f"tarnwick: {name}:{lineno}: {why}")
        if bar is not None:
            bar.update(pending_bytes)  # type: ignore[attr-defined]
        pending.clear()
        pending_bytes = 0

    try:
        for lineno, body, size, parsed in _read_lines(lines, field):
            pending_bytes += size
            pending.append((lineno, body, parsed))
            if len(pending) == _BATCH_LINES or pending_bytes >= _BATCH_BYTES:
                flush()
        flush()
    finally:
        if bar is not None:
            bar.close()  # type: ignore[attr-defined]
    out.flush()
    return fell_back


def _write_stderr(err: IO[str], bar: object | None, line: str) -> None:
    """Writes `line` to standard error without tearing the progress bar."""
    if bar is not None:
        bar.write(line, file=err)  # type: ignore[attr-defined]
    else:
        print(line, file=err)
