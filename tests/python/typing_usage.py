"""Typical use of tarnwick, checked by mypy --strict (tests/python/test_typing.py)."""

from __future__ import annotations

import tarnwick
from tarnwick import FallbackName, JsonValue, RepairResult, Strategy, extract, repair


def first_name(reply: str) -> str | None:
    result: RepairResult = repair(reply, fallback="empty-object", max_len=10_000)
    value: JsonValue = result.value
    if isinstance(value, dict):
        name = value.get("name")
        if isinstance(name, str):
            return name
    return None


def numbers(reply: str) -> list[float]:
    value = extract(reply, strip_code_fences=True, unwrap_double_encoded=False).value
    if not isinstance(value, list):
        return []
    return [float(v) for v in value if isinstance(v, (int, float))]


def count_strategies(replies: list[str], fallback: FallbackName = "null") -> dict[Strategy, int]:
    counts: dict[Strategy, int] = {}
    for reply in replies:
        result = tarnwick.repair(reply, fallback=fallback)
        counts[result.strategy] = counts.get(result.strategy, 0) + 1
        if result.strategy == "fallback":
            assert not result.ok
    return counts


def canonical(reply: str) -> str:
    result = repair(reply)
    flags: bool = result.ok and result.changed
    return result.json if flags else tarnwick.__version__
