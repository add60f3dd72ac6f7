"""Texts with several top-level JSON candidates, for tarnwick.extract_all().

Each case gives, in text order, the value of every candidate the search
should find, and the index of the one extract() should pick (None where the
writer's text does not settle it; then extract() need only be one of them).
Values the lenient reader joins into one (several values one a line, "a" +
"b") are one candidate; a text without JSON has none. Candidates carry the
defects replies carry, so each value is the one its writer meant.
"""

from __future__ import annotations

import json
import random
from dataclasses import dataclass

import failure_classes

SEED = 20261208


@dataclass(frozen=True)
class AllCase:
    text: str
    values: list  # every candidate's intended value, in text order
    pick: int | None  # index into values of extract()'s answer, or None


def _c(text: str, values: list, pick: int | None) -> AllCase:
    return AllCase(text, values, pick)


_SCHEMA = {"type": "object", "properties": {"name": {"type": "string"}, "age": {"type": "integer"}}}


def cases() -> list[AllCase]:
    """The cases, the same list on every call."""
    return _written() + _generated(random.Random(SEED), 18)


def _written() -> list[AllCase]:
    return [
        # A schema, then the data that follows it: the data is the answer.
        _c(
            'Schema:\n```json\n{"type": "object", "properties": {"name": {"type": "string"}, '
            '"age": {"type": "integer"}}}\n```\nData:\n```json\n{"name": "Ana", "age": 31}\n```',
            [_SCHEMA, {"name": "Ana", "age": 31}],
            1,
        ),
        _c(
            'Using the schema {"type": "object", "properties": {"name": {"type": "string"}, '
            '"age": {"type": "integer"}}} I extracted:\n{"name": "Ben", "age": 45,}',
            [_SCHEMA, {"name": "Ben", "age": 45}],
            1,
        ),
        _c(
            "The expected shape is\n```json\n{'city': 'string', 'temp_c': 'number'}\n```\n"
            "and the answer:\n```json\n{'city': 'Oslo', 'temp_c': -3.5}\n```",
            [{"city": "string", "temp_c": "number"}, {"city": "Oslo", "temp_c": -3.5}],
            1,
        ),
        _c(
            'Here is the record: {"id": 7, "tags": ["a", "b"]}\n\nIt conforms to this schema: '
            '{"type": "object", "required": ["id"]}',
            [{"id": 7, "tags": ["a", "b"]}, {"type": "object", "required": ["id"]}],
            0,
        ),
        # A wrong answer, then its correction.
        _c(
            '{"total": 41}\n\nCorrection: I mis-added. The right result is\n{"total": 42}',
            [{"total": 41}, {"total": 42}],
            1,
        ),
        _c(
            'Answer: ["Paris", "Rome"]\nWait, I missed one. Corrected:\n```json\n["Paris", "Rome", "Madrid"]\n```',
            [["Paris", "Rome"], ["Paris", "Rome", "Madrid"]],
            1,
        ),
        _c(
            '```json\n{"status": "approved"}\n```\nSorry, that was wrong: the amount exceeds the limit.\n'
            '```json\n{"status": "rejected", "reason": "over limit"}\n```',
            [{"status": "approved"}, {"status": "rejected", "reason": "over limit"}],
            1,
        ),
        _c(
            "Initial: {'lang': 'es'}  Actually the text is Portuguese → {'lang': 'pt', 'confidence': 0.9}",
            [{"lang": "es"}, {"lang": "pt", "confidence": 0.9}],
            1,
        ),
        _c(
            'My first attempt {"a": 1, "b": 2} missed a key; updated version:\n{"a": 1, "b": 2, "c": 3}',
            [{"a": 1, "b": 2}, {"a": 1, "b": 2, "c": 3}],
            1,
        ),
        # Two or more blocks of equal standing: the text does not say which is wanted.
        _c(
            'Input:\n```json\n{"text": "I love it"}\n```\nOutput:\n```json\n{"sentiment": "positive"}\n```',
            [{"text": "I love it"}, {"sentiment": "positive"}],
            None,
        ),
        _c(
            'I will call two tools.\n```json\n{"name": "get_weather", "arguments": {"city": "Lima"}}\n```\n'
            '```json\n{"name": "get_time", "arguments": {"tz": "America/Lima"}}\n```',
            [
                {"name": "get_weather", "arguments": {"city": "Lima"}},
                {"name": "get_time", "arguments": {"tz": "America/Lima"}},
            ],
            None,
        ),
        _c(
            'Example 1: {"q": "2+2", "a": 4}\nExample 2: {"q": "3*3", "a": 9}\nExample 3: {"q": "10/4", "a": 2.5}',
            [{"q": "2+2", "a": 4}, {"q": "3*3", "a": 9}, {"q": "10/4", "a": 2.5}],
            None,
        ),
        _c(
            'Before:\n```json\n{"debug": true, "port": 80}\n```\nAfter:\n```json\n{"debug": false, "port": 8080}\n```',
            [{"debug": True, "port": 80}, {"debug": False, "port": 8080}],
            None,
        ),
        _c(
            "```json\n[1, 2, 3]\n```\nand\n```json\n[4, 5, 6]\n```",
            [[1, 2, 3], [4, 5, 6]],
            None,
        ),
        # Several values one a line, or joined by +: one candidate.
        _c(
            '{"id": 1, "ok": true}\n{"id": 2, "ok": false}\n{"id": 3, "ok": true}\n',
            [[{"id": 1, "ok": True}, {"id": 2, "ok": False}, {"id": 3, "ok": True}]],
            0,
        ),
        _c(
            'Results:\n```jsonl\n{"url": "https://a.example", "code": 200}\n{"url": "https://b.example", "code": 404}\n```',
            [[{"url": "https://a.example", "code": 200}, {"url": "https://b.example", "code": 404}]],
            0,
        ),
        _c(
            '["a", 1]\n["b", 2]',
            [[["a", 1], ["b", 2]]],
            0,
        ),
        _c('"Hello, " + "world"', ["Hello, world"], 0),
        _c(
            '{"message": "part one, " + "part two"}',
            [{"message": "part one, part two"}],
            0,
        ),
        # No JSON at all: no candidate.
        _c("I'm sorry, I can't help with that request.", [], None),
        _c("The meeting is at 10:30 in room B.", [], None),
        _c("", [], None),
        _c("```\nno json here, just text\n```", [], None),
        _c("Sure! What would you like the JSON to contain?", [], None),
        # One candidate among prose: a list of one.
        _c(
            'Sure! Here it is:\n```json\n{"name": "Zoë", "langs": ["fr", "de"],}\n```\nAnything else?',
            [{"name": "Zoë", "langs": ["fr", "de"]}],
            0,
        ),
        _c("The answer is {'ok': True, 'n': None}.", [{"ok": True, "n": None}], 0),
        _c("Result → [1, 2, 3,] (done)", [[1, 2, 3]], 0),
        # A draft inside a reasoning block, then the answer.
        _c(
            '<think>Maybe {"unit": "F"}? No, metric.</think>\n{"unit": "C", "value": 21.5}',
            [{"unit": "F"}, {"unit": "C", "value": 21.5}],
            1,
        ),
        _c(
            '<reasoning>\nDraft: ["x"]\n</reasoning>\n```json\n["x", "y"]\n```',
            [["x"], ["x", "y"]],
            1,
        ),
        # Candidates with defects of their own.
        _c(
            "Old config: {port: 80, host: 'localhost'}\nNew config: {port: 8080, host: 'localhost', tls: true}",
            [{"port": 80, "host": "localhost"}, {"port": 8080, "host": "localhost", "tls": True}],
            1,
        ),
        _c(
            "Attempt 1: [1, 2, 3\nAttempt 2 (fixed): [1, 2, 3]",
            [[1, 2, 3], [1, 2, 3]],
            1,
        ),
        _c(
            '```json\n// the request\n{"method": "GET", "path": "/users/42"}\n```\n'
            '```json\n// the response\n{"id": 42, "name": "Kenji Nakamura"}\n```',
            [{"method": "GET", "path": "/users/42"}, {"id": 42, "name": "Kenji Nakamura"}],
            None,
        ),
        _c(
            'Step 1 gives {"x": 2}. Step 2 gives {"x": 4}. Final: {"x": 8}',
            [{"x": 2}, {"x": 4}, {"x": 8}],
            2,
        ),
        _c(
            'The API returned [{"id": "a1"}, {"id": "b2"}] and then {"next_page": null}.',
            [[{"id": "a1"}, {"id": "b2"}], {"next_page": None}],
            None,
        ),
        _c(
            'Précédente : {"prix": 9.5}\nCorrigée : {"prix": 9.95, "devise": "EUR"}',
            [{"prix": 9.5}, {"prix": 9.95, "devise": "EUR"}],
            1,
        ),
        _c(
            'Wrong:\n{"date": "17/05/2024"}\nRight (ISO 8601):\n{"date": "2024-05-17"}',
            [{"date": "17/05/2024"}, {"date": "2024-05-17"}],
            1,
        ),
        _c(
            'Schema: ```json\n{"type": "array", "items": {"type": "string"}}\n```\n'
            'Output: ```json\n["alpha", "beta", "gamma",]\n```',
            [{"type": "array", "items": {"type": "string"}}, ["alpha", "beta", "gamma"]],
            1,
        ),
        _c(
            'Tool result: {"temp": 18, "sky": "clear"}\nMy reply to the user: {"text": "It is 18°C and clear."}',
            [{"temp": 18, "sky": "clear"}, {"text": "It is 18°C and clear."}],
            1,
        ),
        _c(
            "(1, 2)\n\nOr, as a list: [1, 2]",
            [[1, 2], [1, 2]],
            None,
        ),
        _c(
            '{"a": 1} is invalid for this endpoint; send {"a": "1"} instead.',
            [{"a": 1}, {"a": "1"}],
            1,
        ),
        _c(
            '```json\n{"path": "C:\\\\Users\\\\ana\\\\file.txt"}\n```\n'
            'On Linux the same would be:\n```json\n{"path": "/home/ana/file.txt"}\n```',
            [{"path": "C:\\Users\\ana\\file.txt"}, {"path": "/home/ana/file.txt"}],
            None,
        ),
        _c(
            'First: {"ok": true}\n\n\nSecond: {"ok": false}\nThird: [true, false]',
            [{"ok": True}, {"ok": False}, [True, False]],
            None,
        ),
    ]


_CORRECTIONS = (
    "{a}\n\nCorrection: {key} was wrong. The right record:\n{b}",
    "```json\n{a}\n```\nSorry, I misread {key}. Here is the fixed version:\n```json\n{b}\n```",
    "First try: {a}\nUpdated: {b}",
    "{a}\nActually, scratch that; {key} is different:\n{b}",
)


def _dump(rng: random.Random, value: object) -> str:
    return json.dumps(value, ensure_ascii=False, indent=rng.choice((None, 2)))


def _generated(rng: random.Random, count: int) -> list[AllCase]:
    """A record and its correction, a schema and its data, or records one a line."""
    out = []
    for i in range(count):
        final = failure_classes.record(rng, rng.randint(2, 4))
        if i % 3 == 0:
            key = rng.choice(list(final))
            first = dict(final)
            while first[key] == final[key]:
                first[key] = failure_classes.scalar(rng)
            text = rng.choice(_CORRECTIONS).format(a=_dump(rng, first), b=_dump(rng, final), key=key)
            out.append(_c(text, [first, final], 1))
        elif i % 3 == 1:
            schema = {"type": "object", "required": sorted(final)}
            text = f"Schema:\n```json\n{_dump(rng, schema)}\n```\nResult:\n```json\n{_dump(rng, final)}\n```"
            out.append(_c(text, [schema, final], 1))
        else:
            rows = [final] + [failure_classes.record(rng, 2) for _ in range(rng.randint(1, 3))]
            text = "\n".join(json.dumps(r, ensure_ascii=False) for r in rows)
            if rng.random() < 0.5:
                text = f"Rows:\n```jsonl\n{text}\n```"
            out.append(_c(text, [rows], 0))
    return out


def main() -> int:
    all_cases = cases()
    print(f"{len(all_cases)} texts, {sum(len(c.values) for c in all_cases)} candidates")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
