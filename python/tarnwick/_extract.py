"""``extract()``: find the JSON inside a reply written in prose, then repair it.

``repair()`` reads a value that starts at the beginning of its input, so a
reply such as ``Sure! Here it is: {"a": 1}`` falls back. ``extract()`` first
looks for the part of the text that holds the JSON and repairs only that part.
It is plain Python on top of ``repair()``; the extension is not involved.
"""
from __future__ import annotations

import operator
import re
from typing import Iterator, SupportsIndex

from ._tarnwick import RepairResult, repair
from ._types import FallbackName, JsonValue

_DEFAULT_MAX_LEN = 5_000_000

_FENCE = "```"
# The language tag after an opening fence: everything up to whitespace or a
# bracket, so that "```json-ld" and "```c++" lose their tag while the one-line
# block "```json{"a": 1}```" keeps its object.
_FENCE_TAG = re.compile(r"`*[^\s{\[`]*")
_OPENER = re.compile(r"[\[{]")
# What the bracket matcher has to look at; everything else is skipped by the
# regular expression engine rather than by Python code.
_BRACKET_SCAN = re.compile(r'[\[\]{}"\\]')


def _fenced_bodies(text: str) -> Iterator[str]:
    """The content of each Markdown code fence in `text`, in order.

    A fence opens at a run of three or more backticks, followed by an
    optional language tag; its content runs up to the next three backticks,
    or to the end of the text when the fence is never closed."""
    pos = 0
    while True:
        start = text.find(_FENCE, pos)
        if start < 0:
            return
        match = _FENCE_TAG.match(text, start + len(_FENCE))
        assert match is not None  # the pattern matches the empty text
        body_start = match.end()
        end = text.find(_FENCE, body_start)
        if end < 0:
            yield text[body_start:]
            return
        yield text[body_start:end]
        pos = end + len(_FENCE)
        while pos < len(text) and text[pos] == "`":
            pos += 1


def _span_end(text: str, start: int) -> int:
    """Index just after the bracket that closes the one at `start`.

    Opening brackets of either kind count up and closing ones count down,
    outside double-quoted strings (with backslash escapes); the span ends
    where the count returns to zero, or at the end of the text."""
    depth = 0
    in_string = False
    escaped_at = -1  # index of the character a backslash escapes
    for match in _BRACKET_SCAN.finditer(text, start):
        i = match.start()
        if i == escaped_at:
            continue
        c = text[i]
        if in_string:
            if c == "\\":
                escaped_at = i + 1
            elif c == '"':
                in_string = False
        elif c == '"':
            in_string = True
        elif c in "[{":
            depth += 1
        elif c in "]}":
            depth -= 1
            if depth == 0:
                return i + 1
    return len(text)


def _top_level_spans(text: str) -> Iterator[tuple[int, int]]:
    """(start, end) of each bracketed span that no other span encloses."""
    pos = 0
    while True:
        match = _OPENER.search(text, pos)
        if match is None:
            return
        end = _span_end(text, match.start())
        yield match.start(), end
        pos = end


def _holds_nothing(value: JsonValue) -> bool:
    """An empty container, or one that holds nothing but nulls."""
    if isinstance(value, dict):
        return all(v is None for v in value.values())
    return isinstance(value, list) and all(v is None for v in value)


def _is_reference_like(value: JsonValue) -> bool:
    """An empty container, or an array of integers only such as [1] or [2, 3],
    which in prose is more often a reference mark than the answer."""
    if isinstance(value, dict):
        return not value
    return isinstance(value, list) and all(type(v) is int for v in value)


def _within_limit(text: str, max_len: SupportsIndex | None) -> bool:
    """Whether `text` is no longer than `max_len` UTF-8 bytes; false also for
    a `max_len` that repair() would refuse, so that repair() reports it."""
    try:
        limit = _DEFAULT_MAX_LEN if max_len is None else operator.index(max_len)
    except TypeError:
        return False
    if len(text) * 4 <= limit:
        return True
    return len(text) <= limit and len(text.encode("utf-8", "surrogatepass")) <= limit


def extract(
    text: str,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
) -> RepairResult:
    """Find the JSON inside `text` and repair it.

    Looks, in this order, for:

    1. The whole text, when it is one valid JSON document as it stands
       (strategy "parse" or "unwrap-double"), so that a JSON string that
       mentions ``[1]`` stays that string.
    2. A Markdown code fence anywhere in the text: a run of three or more
       backticks, an optional language tag (up to whitespace or a bracket),
       and the content up to the next three backticks or the end of the text.
       Fences are tried in order; the first whose content repairs with ``ok``
       true is the answer.
    3. A bracketed span: from a ``{`` or ``[`` to the bracket that closes it
       (brackets of both kinds are counted, outside double-quoted strings),
       or to the end of the text when it is never closed. Spans are taken in
       order and never nested: the search goes on after the end of each one.
       Each is repaired, and the first one that holds something wins. Spans
       that hold nothing are passed over: an empty container, or one holding
       only nulls, that only the "tolerant" rung could read (the Markdown link
       text ``[the docs]`` gives ``[null]``, ``{name}`` gives ``{}``).
       Reference-like spans, that is ``[]``, ``{}`` or an array of integers
       only such as ``[1]`` in "see [1]", are kept back and answer only when
       no other span does.
    4. Otherwise the whole text, as ``repair(text)`` reads it.

    The result is ``repair()``'s own for the slice that was chosen, so its
    ``changed`` and ``strategy`` describe that slice: a clean object after a
    sentence reports "parse" and ``changed`` false. The options are passed to
    every ``repair()`` call unchanged; a text longer than ``max_len`` is not
    searched. Work is linear in the length of the text: fences do not overlap
    one another, nor do spans, so each character is repaired at most three
    times (in the whole text, a fence and a span).
    """
    def run(slice_: str) -> RepairResult:
        return repair(
            slice_,
            max_len=max_len,
            fallback=fallback,
            strip_code_fences=strip_code_fences,
            unwrap_double_encoded=unwrap_double_encoded,
        )

    if not isinstance(text, str) or not _within_limit(text, max_len):
        # repair() raises the binding's own TypeError, or falls back.
        return run(text)

    whole = run(text)
    if whole.strategy in ("parse", "unwrap-double"):
        return whole

    for body in _fenced_bodies(text):
        result = run(body)
        if result.ok:
            return result

    kept_back: RepairResult | None = None
    for start, end in _top_level_spans(text):
        result = run(text[start:end])
        if not result.ok:
            continue
        value = result.value
        if result.strategy == "tolerant" and _holds_nothing(value):
            continue
        if not _is_reference_like(value):
            return result
        if kept_back is None:
            kept_back = result
    return kept_back if kept_back is not None else whole
