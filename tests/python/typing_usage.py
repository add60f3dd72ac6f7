"""Typical use of tarnwick, checked by mypy --strict (test_typing.py)."""

from __future__ import annotations

from typing import AsyncIterator

import tarnwick
from tarnwick import (
    Extraction,
    FallbackName,
    FixName,
    JsonValue,
    RepairedColumn,
    RepairResult,
    Schema,
    SchemaIssue,
    Strategy,
    extract,
    loads,
    repair,
    repair_column,
)


def first_name(reply: str, fallback: FallbackName = "null") -> str | None:
    value: JsonValue = repair(reply, fallback=fallback, max_len=10_000, strip_code_fences=True).value
    name = value.get("name") if isinstance(value, dict) else None
    return name if isinstance(name, str) else None


def numbers(reply: str) -> list[float]:
    value = extract(reply, max_len=None, unwrap_double_encoded=False).value
    return [float(v) for v in value if isinstance(v, (int, float))] if isinstance(value, list) else []


def count_strategies(replies: list[str]) -> dict[Strategy, int]:
    counts: dict[Strategy, int] = {}
    for result in map(tarnwick.repair, replies):
        counts[result.strategy] = counts.get(result.strategy, 0) + 1
    return counts


def canonical(result: RepairResult) -> str:
    nested: JsonValue = {"a": [1, 2.5, None, {"b": "c"}]}
    flags: bool = result.ok and result.changed and result.strategy != "fallback"
    return result.json if flags else str(nested) + tarnwick.__version__


def rewritten(reply: str) -> tuple[list[FixName], str]:
    result: Extraction = extract(reply, lenient=True, fallback="empty-object")
    start, end = result.span
    fixes: list[FixName] = sorted(result.fixes, key=len)
    return fixes, reply[start:end] if result.ok and result.changed and result != extract(reply) else ""


def strict_value(reply: str) -> JsonValue:
    return loads(reply, lenient=False, strip_code_fences=None)


def repaired_column(replies: list[str | None]) -> tuple[list[str | None], list[Strategy | None], int]:
    column: RepairedColumn = repair_column(replies, threads=2, extract=False, fallback="empty-object")
    fixes: list[tuple[FixName, ...] | None] = repair_column(iter(replies), extract=True).column("fixes")
    return column.column("json"), column.column("strategy"), len(column) + len(fixes)


def streamed(chunks: list[str]) -> tuple[JsonValue, bool, list[tuple[str | int, ...]], Extraction]:
    s = tarnwick.Stream(max_len=10_000, lenient=True)
    paths = [event.path for chunk in chunks for event in s.feed(chunk) if event.kind != "append"]
    last: JsonValue = None
    for last in tarnwick.stream(chunks, fallback="null"):
        pass
    return last, s.done and s.incremental, paths, s.close()


async def streamed_async(chunks: AsyncIterator[bytes]) -> list[JsonValue]:
    return [value async for value in tarnwick.astream(chunks)]


def schema_guided(reply: str) -> tuple[bool | None, list[str], str]:
    schema = Schema({"type": "object", "properties": {"n": {"type": "integer"}}})
    result = extract(reply, schema=schema, coerce="lenient")
    kinds: list[str] = [issue.kind for issue in result.issues if issue.path != ("n", 0)]
    value, issues = schema.coerce({"n": "1"}, "safe")
    issue: SchemaIssue = issues[0]
    return result.conforms, kinds + [issue.detail], result.feedback() + str(value) + str(schema.ignored)
