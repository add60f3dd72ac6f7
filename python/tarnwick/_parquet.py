"""Batch mode of the command line on Parquet files (needs pyarrow).

The input is read one record batch at a time; column NAME (strings, or
binary data in UTF-8) of each batch is repaired by ``repair_column`` on
worker threads, and the batch is written out at once, as Parquet (every input
column, then the output fields as columns: the value as its canonical JSON
text, the strategy, and the fixes as a list of names) or as JSON Lines (one
object per row, as in JSON Lines mode). Memory holds a batch or two, however
large the file. A row whose reply is null is passed through with null output
fields, and counted like a line passed through.
"""
from __future__ import annotations

import json
import sys
from typing import IO, Any

from ._batch import Row, Stats, _progress_bar, _write_stderr, column_rows, report_fields
from ._extras import repair_column

# Rows per record batch read: enough to keep every worker thread busy, few
# enough that a batch of long replies stays small.
_BATCH_ROWS = 16384


class ParquetError(Exception):
    """A Parquet input that cannot be processed; the message says why."""


def _open_input(source: str | IO[bytes]) -> Any:
    import pyarrow as pa  # type: ignore[import-untyped,import-not-found,unused-ignore]
    import pyarrow.parquet as pq  # type: ignore[import-untyped,import-not-found,unused-ignore]

    if not isinstance(source, str):  # standard input: Parquet needs to seek
        source = pa.BufferReader(source.read())
    try:
        return pq.ParquetFile(source)
    except (pa.ArrowException, OSError) as e:
        raise ParquetError(f"not a Parquet file: {e}") from e


def _batches(parquet: Any) -> Any:
    """The record batches of every row group in order. One iterator over the
    whole file kept what it had read until it was done (measured with pyarrow
    26: memory grew with the file); one per row group stays flat."""
    for group in range(parquet.num_row_groups):
        yield from parquet.iter_batches(batch_size=_BATCH_ROWS, row_groups=[group])


def _text_column(schema: Any, field: str) -> None:
    """Raises ParquetError unless `field` is a column of strings or binary data."""
    import pyarrow as pa  # type: ignore[import-untyped,import-not-found,unused-ignore]

    if field not in schema.names:
        raise ParquetError(f"no column {field!r}; columns: {', '.join(map(repr, schema.names))}")
    kind = schema.field(field).type
    if not (pa.types.is_string(kind) or pa.types.is_large_string(kind) or pa.types.is_binary(kind)
            or pa.types.is_large_binary(kind) or getattr(pa.types, "is_string_view", lambda _: False)(kind)):
        raise ParquetError(f"column {field!r} holds {kind}, not strings")


def _output_batch(batch: Any, column: Any, value_field: str, strategy_field: str, fixes_field: str | None) -> Any:
    """`batch` with the output columns replaced where it has them, appended otherwise."""
    import pyarrow as pa  # type: ignore[import-untyped,import-not-found,unused-ignore]

    fixed = pa.array(column)  # a null row is null in each field as well
    added = {value_field: fixed.field("json"), strategy_field: fixed.field("strategy")}
    if fixes_field is not None:
        added[fixes_field] = fixed.field("fixes")
    names = list(batch.schema.names)
    arrays = [added.pop(n) if n in added else batch.column(i) for i, n in enumerate(names)]
    names += list(added)
    arrays += list(added.values())
    return pa.RecordBatch.from_arrays(arrays, names=names)


def _json_line(row: dict[str, Any], result: Row | None, value_field: str, strategy_field: str,
               fixes_field: str | None) -> bytes:
    """One row as a JSON Lines object: its columns, then the output fields
    (replacing columns of the same names); the columns alone without a result."""
    if result is not None:
        for key in (value_field, strategy_field, fixes_field):
            if key is not None:
                row.pop(key, None)
    text = json.dumps(row, ensure_ascii=False, default=str, separators=(",", ":"))
    if result is None:
        return (text + "\n").encode("utf-8")
    added = (f"{json.dumps(value_field, ensure_ascii=False)}:{result.json}"
             f",{json.dumps(strategy_field, ensure_ascii=False)}:\"{result.strategy}\"")
    if fixes_field is not None:
        added += f",{json.dumps(fixes_field, ensure_ascii=False)}:{json.dumps(list(result.fixes or ()))}"
    return (text[:-1] + ("," if row else "") + added + "}\n").encode("utf-8")


def run_parquet(
    source: str | IO[bytes],
    out: IO[bytes],
    *,
    name: str,
    field: str,
    value_field: str,
    strategy_field: str,
    fixes_field: str | None,
    output_format: str,
    options: dict[str, Any],
    stats: Stats,
    report: bool = False,
    progress: bool = True,
) -> bool:
    """Repairs column `field` of the Parquet input `source` and writes the
    result to `out` as `output_format` ("parquet" or "jsonl"). Returns
    whether any row fell back; null rows are counted in `stats`. Raises
    ParquetError for an input that cannot be processed."""
    import pyarrow as pa  # type: ignore[import-untyped,import-not-found,unused-ignore]
    import pyarrow.parquet as pq  # type: ignore[import-untyped,import-not-found,unused-ignore]

    parquet = _open_input(source)
    _text_column(parquet.schema_arrow, field)
    err = sys.stderr
    total = parquet.metadata.num_rows
    bar = _progress_bar(err, total, name) if progress else None
    if bar is not None:
        bar.unit, bar.unit_scale = "rows", False  # type: ignore[attr-defined]
    writer = None
    fell_back = False
    first_row = 1
    try:
        for batch in _batches(parquet):
            texts = batch.column(field)
            try:
                column = repair_column(texts, **options)
            except (ValueError, TypeError) as e:
                raise ParquetError(f"rows {first_row}-{first_row + len(texts) - 1}: {e}") from e
            rows = column_rows(column)
            stats.add_rows(rows)
            fell_back = fell_back or any(r is not None and not r.ok for r in rows)
            for i, row in enumerate(rows):
                if row is None:
                    stats.skipped += 1
                    _write_stderr(err, bar, f"tarnwick: {name}:row {first_row + i}: {field!r} is null; passed through")
                elif report:
                    _write_stderr(err, bar, f"{name}:row {first_row + i}: {report_fields(row)}")
            if output_format == "parquet":
                fixed = _output_batch(batch, column, value_field, strategy_field, fixes_field)
                if writer is None:
                    writer = pq.ParquetWriter(pa.PythonFile(out, mode="w"), fixed.schema)
                writer.write_batch(fixed)
            else:
                for record, result in zip(batch.to_pylist(), rows):
                    out.write(_json_line(record, result, value_field, strategy_field, fixes_field))
            first_row += len(texts)
            if bar is not None:
                bar.update(len(texts))  # type: ignore[attr-defined]
        if output_format == "parquet" and writer is None:  # no batch at all: an empty file of the same columns
            empty = pa.RecordBatch.from_pylist([], schema=parquet.schema_arrow)
            column = repair_column(empty.column(field), **options)
            writer = pq.ParquetWriter(pa.PythonFile(out, mode="w"),
                                      _output_batch(empty, column, value_field, strategy_field, fixes_field).schema)
    finally:
        if writer is not None:
            writer.close()
        if bar is not None:
            bar.close()  # type: ignore[attr-defined]
    out.flush()
    return fell_back
