"""Corpus families for the failure classes the lenient reader must get right.

Each family pairs texts that carry one class of defect with the value their
writer meant. The base cases are written by hand from the class's
description, never from the reader's output; a seeded generator then places
each base where replies put JSON (bare, after a lead-in sentence, inside a
Markdown fence with prose around it, nested inside a tool call or a result)
so that one base yields several texts that differ in what surrounds it.

  unclosed_string_end           a string that lost its closing quote
  missing_comma_vs_inner_quote  adjacent strings, or quotes inside a string
  container_where_key_belongs   an object where a key belongs, {{ }}, early ]
  mismatched_closer             a closer that is not the innermost one's
  invisible_format_chars        U+200B, U+2060, U+FEFF, U+180E between tokens
  tuples_top_level              Python tuples and parenthesised values
  reasoning_blocks              JSON inside <think> and its kin

Every text is refused by json.loads; invisible_format_chars texts are refused
as well, since a format character between tokens is no JSON whitespace.

    python bench/failure_classes.py     prints each family's size
"""

from __future__ import annotations

import json
import random
import re
from dataclasses import dataclass
from typing import Callable

from corpus import Family

SEED = 20261207
# Texts per family at least: the bases times their placements reach it.
MIN_CASES = 60


@dataclass(frozen=True)
class _Base:
    text: str
    value: object
    # May sit inside an outer container (False when the base is about the top level).
    nest: bool = True
    # May be followed by unfenced prose (False when the defect runs to the end of the text).
    tail: bool = True
    # Already carries its own fence or surroundings: placed as written only.
    placed: bool = False


def _dump(value: object) -> str:
    return json.dumps(value, ensure_ascii=False)


_LEAD_INS = (
    "Sure! Here is the JSON you asked for:\n\n",
    "Here's the result:\n",
    "Okay, calling the tool with these arguments:\n",
    "Voilà le résultat demandé :\n\n",
    "Of course. The extracted data is below.\n\n",
    "Answer:\n",
)
_OUTROS = (
    "\n\nLet me know if you need anything else!",
    "\n\nThis should match the schema you described.",
    "\n\nHope that helps 🙂",
    "\n\nNote: values are taken from the document you sent.",
)
_FENCE_LANGS = ("json", "json", "", "JSON", "jsonc")

# (text before the base, text after it, how the base's value sits in the whole).
_NESTS: tuple[tuple[str, str, Callable[[object], object]], ...] = (
    ('{"name": "update_record", "arguments": ', "}", lambda v: {"name": "update_record", "arguments": v}),
    (
        '{"id": "call_7f3a", "type": "function", "function": {"name": "save", "args": ',
        "}}",
        lambda v: {"id": "call_7f3a", "type": "function", "function": {"name": "save", "args": v}},
    ),
    ('{"status": "ok", "result": {"items": [', "]}}", lambda v: {"status": "ok", "result": {"items": [v]}}),
    ('[{"step": 1, "done": true}, ', "]", lambda v: [{"step": 1, "done": True}, v]),
    ('{\n  "version": 2,\n  "payload": ', "\n}", lambda v: {"version": 2, "payload": v}),
)


def _placements(base: _Base, rng: random.Random) -> list[tuple[str, object]]:
    """The base as written, then two other placements picked by rng."""
    out = [(base.text, base.value)]
    if base.placed:
        out.append((rng.choice(_LEAD_INS) + base.text, base.value))
        return out
    options: list[Callable[[], tuple[str, object]]] = [
        lambda: (rng.choice(_LEAD_INS) + base.text, base.value),
        lambda: (
            rng.choice(_LEAD_INS) + f"```{rng.choice(_FENCE_LANGS)}\n{base.text}\n```" + rng.choice(_OUTROS),
            base.value,
        ),
    ]
    if base.tail:
        options.append(lambda: (base.text + rng.choice(_OUTROS), base.value))
    if base.nest:
        before, after, wrap = rng.choice(_NESTS)
        options.append(lambda: (before + base.text + after, wrap(base.value)))
        options.append(lambda: (f"```json\n{before}{base.text}{after}\n```", wrap(base.value)))
    for make in rng.sample(options, 2):
        out.append(make())
    return out


def _family(name: str, bases: list[_Base], rng: random.Random) -> Family:
    cases: list[tuple[str, object]] = []
    seen: set[str] = set()
    for base in bases:
        for text, value in _placements(base, rng):
            if text not in seen:
                seen.add(text)
                cases.append((text, value))
    return Family(name, tuple(cases))


# --- unclosed_string_end ---------------------------------------------------
# The string ends before the closers that close what is open at the end of the
# text, before a closing fence, or before a comma or line break followed by
# what reads as the next key or element. Commas inside the string that no key
# follows stay in it.
_UNCLOSED = [
    _Base('{"city": "Oslo, "zip": "0150"}', {"city": "Oslo", "zip": "0150"}),
    _Base('{"dir": "src/app}', {"dir": "src/app"}, tail=False),
    _Base(
        '{"address": "12 Main St, Springfield, "zip": "01101", "country": "US"}',
        {"address": "12 Main St, Springfield", "zip": "01101", "country": "US"},
    ),
    _Base('{"greeting": "Hello, world}', {"greeting": "Hello, world"}, tail=False),
    _Base('["alpha", "beta, "gamma"]', ["alpha", "beta", "gamma"]),
    _Base(
        '{\n  "name": "Ada Lovelace,\n  "role": "admin"\n}',
        {"name": "Ada Lovelace", "role": "admin"},
    ),
    _Base(
        '{\n    "title": "Quarterly report\n    "pages": 12,\n    "draft": false\n}',
        {"title": "Quarterly report", "pages": 12, "draft": False},
    ),
    _Base(
        '{"url": "https://example.com/search?q=caf%C3%A9&page=2}',
        {"url": "https://example.com/search?q=caf%C3%A9&page=2"},
        tail=False,
    ),
    _Base(
        '{"user": {"name": "Søren, "langs": ["da", "en]}}',
        {"user": {"name": "Søren", "langs": ["da", "en"]}},
        tail=False,
    ),
    _Base(r'{"path": "C:\\Users\\me\\Documents}', {"path": "C:\\Users\\me\\Documents"}, tail=False),
    _Base(
        '{"cmd": "git commit -m fix, "cwd": "/home/dev/repo"}',
        {"cmd": "git commit -m fix", "cwd": "/home/dev/repo"},
    ),
    _Base(
        '{"items": ["apples, "pears", "plums"], "total": 3}',
        {"items": ["apples", "pears", "plums"], "total": 3},
    ),
    _Base(
        '{"q": "¿Dónde está la estación?, "lang": "es"}',
        {"q": "¿Dónde está la estación?", "lang": "es"},
    ),
    _Base('{"note": "🚀 launch at dawn, "count": 2}', {"note": "🚀 launch at dawn", "count": 2}),
    _Base(
        '[{"id": 1, "label": "first}, {"id": 2, "label": "second"}]',
        [{"id": 1, "label": "first"}, {"id": 2, "label": "second"}],
    ),
    _Base(
        '{"remind": "remember: bring ID, "time": "09:30"}',
        {"remind": "remember: bring ID", "time": "09:30"},
    ),
    _Base(
        '{"name": "config.yaml, "size_kb": 4.2, "hidden": false}',
        {"name": "config.yaml", "size_kb": 4.2, "hidden": False},
    ),
    _Base('{"tags": ["red", "green", "blue]}', {"tags": ["red", "green", "blue"]}, tail=False),
    _Base(
        '{"reply": "Sure, I can help with that. What time works for you?}',
        {"reply": "Sure, I can help with that. What time works for you?"},
        tail=False,
    ),
    _Base(
        '{"steps": ["install deps, "run tests", "deploy"]}',
        {"steps": ["install deps", "run tests", "deploy"]},
    ),
    _Base(
        '{"email": "ana@example.org, "verified": true}',
        {"email": "ana@example.org", "verified": True},
    ),
    _Base('{"city": "São Paulo,\n "state": "SP"}', {"city": "São Paulo", "state": "SP"}),
    _Base(
        '{"sql": "SELECT name, email FROM users WHERE id = 7, "db": "main"}',
        {"sql": "SELECT name, email FROM users WHERE id = 7", "db": "main"},
    ),
    _Base('{"price": "$4.99, "currency": "USD"}', {"price": "$4.99", "currency": "USD"}),
    _Base(
        '{"file": "report_2024.pdf", "status": "uploaded}',
        {"file": "report_2024.pdf", "status": "uploaded"},
        tail=False,
    ),
    _Base('["one", "two", "three]', ["one", "two", "three"], tail=False),
    _Base(
        '{"k": "v, "nested": {"x": "deep value}}',
        {"k": "v", "nested": {"x": "deep value"}},
        tail=False,
    ),
    _Base(
        '{"description": "A fast, small, and safe parser, "stars": 1200}',
        {"description": "A fast, small, and safe parser", "stars": 1200},
    ),
    _Base('{"a": {"b": {"c": "deep}}}', {"a": {"b": {"c": "deep"}}}, tail=False),
    _Base('[\n  "first item\n  "second item"\n]', ["first item", "second item"]),
    _Base(
        '{"from": "Zürich HB, "to": "Genève, "changes": 0}',
        {"from": "Zürich HB", "to": "Genève", "changes": 0},
    ),
    _Base(
        '{"event": "Meetup", "where": "Café Noir, 3rd floor}',
        {"event": "Meetup", "where": "Café Noir, 3rd floor"},
        tail=False,
    ),
    _Base(
        '{"headers": {"Content-Type": "application/json, "Accept": "*/*"}}',
        {"headers": {"Content-Type": "application/json", "Accept": "*/*"}},
    ),
    _Base(
        '[{"name": "build", "ok": true}, {"name": "lint, "ok": false}]',
        [{"name": "build", "ok": True}, {"name": "lint", "ok": False}],
    ),
    _Base(
        'Here you go:\n```json\n{"summary": "All 42 tests passed\n```\n',
        {"summary": "All 42 tests passed"},
        placed=True,
    ),
    _Base(
        'The list:\n\n```json\n["milk", "eggs", "flour\n```\nAnything else?',
        ["milk", "eggs", "flour"],
        placed=True,
    ),
    _Base('```\n{"cmd": "ls -la /tmp}\n```', {"cmd": "ls -la /tmp"}, placed=True),
    _Base(
        '```json\n{\n  "title": "Notes on Kafka\n  "author": "Kenji"\n}\n```',
        {"title": "Notes on Kafka", "author": "Kenji"},
        placed=True,
    ),
    _Base(
        '{"error": "file not found: /var/log/app.log, "code": 404}',
        {"error": "file not found: /var/log/app.log", "code": 404},
    ),
    _Base('{"answer": "42}', {"answer": "42"}, tail=False),
    _Base(
        '{"recipients": ["ana@x.org", "ben@y.org, "chloé@z.fr"], "subject": "Hi"}',
        {"recipients": ["ana@x.org", "ben@y.org", "chloé@z.fr"], "subject": "Hi"},
    ),
    _Base(
        '{"coords": {"lat": "59.91, "lon": "10.75"}, "zoom": 12}',
        {"coords": {"lat": "59.91", "lon": "10.75"}, "zoom": 12},
    ),
]


# --- missing_comma_vs_inner_quote -------------------------------------------
# Strings separated by whitespace alone lack a comma between them; a quote
# followed by more of the sentence is a quote inside the string.
_COMMA_OR_QUOTE = [
    _Base('["north" "south"   "east"]', ["north", "south", "east"]),
    _Base('{"q": "say "hi" now"}', {"q": 'say "hi" now'}),
    _Base('{"first": "Ada" "last": "Lovelace"}', {"first": "Ada", "last": "Lovelace"}),
    _Base('{\n  "a": "x"\n  "b": "y"\n}', {"a": "x", "b": "y"}),
    _Base(
        '{"title": "The "Best" Pizza in Town", "rating": 4.5}',
        {"title": 'The "Best" Pizza in Town', "rating": 4.5},
    ),
    _Base('{"text": "She replied "ok", then left"}', {"text": 'She replied "ok", then left'}),
    _Base('{"cmd": "echo "hello world""}', {"cmd": 'echo "hello world"'}),
    _Base('["red" "green", "blue"]', ["red", "green", "blue"]),
    _Base('{"tags": ["a" "b" "c"], "n": 3}', {"tags": ["a", "b", "c"], "n": 3}),
    _Base(
        '{"quote": "He said "I\'ll be back" and left.", "year": 1984}',
        {"quote": 'He said "I\'ll be back" and left.', "year": 1984},
    ),
    _Base('{"label": "6" screen protector", "qty": 2}', {"label": '6" screen protector', "qty": 2}),
    _Base(
        '{"html": "<a href="https://x.org/docs">docs</a>"}',
        {"html": '<a href="https://x.org/docs">docs</a>'},
    ),
    _Base('{"names": ["Zoë" "Ahmed" "Li"]}', {"names": ["Zoë", "Ahmed", "Li"]}),
    _Base(
        '{"argv": ["--name" "my app" "--port" "8080"]}',
        {"argv": ["--name", "my app", "--port", "8080"]},
    ),
    _Base('{"sql": "SELECT "id" FROM t", "db": "x"}', {"sql": 'SELECT "id" FROM t', "db": "x"}),
    _Base('{"k1": "v1" "k2": "v2" "k3": "v3"}', {"k1": "v1", "k2": "v2", "k3": "v3"}),
    _Base('[\n  "line one"\n  "line two"\n  "line three"\n]', ["line one", "line two", "line three"]),
    _Base(
        '{"message": "Use the "--force" flag carefully"}',
        {"message": 'Use the "--force" flag carefully'},
    ),
    _Base('{"a": "1" "b": {"c": "2" "d": "3"}}', {"a": "1", "b": {"c": "2", "d": "3"}}),
    _Base('{"greeting": "¡Hola "amigo", qué tal!"}', {"greeting": '¡Hola "amigo", qué tal!'}),
    _Base(
        '{"review": "Five stars: "would buy again"", "score": 5}',
        {"review": 'Five stars: "would buy again"', "score": 5},
    ),
    _Base('["x", "y" "z"]', ["x", "y", "z"]),
    _Base('{"title": "Chapter "One"" "pages": 30}', {"title": 'Chapter "One"', "pages": 30}),
    _Base('{"nickname": ""The Rock"", "age": 52}', {"nickname": '"The Rock"', "age": 52}),
    _Base('{"city": "Zürich" "country": "CH"}', {"city": "Zürich", "country": "CH"}),
    _Base(
        '{"description": "Frame 10" x 12", oak", "sku": "P-1"}',
        {"description": 'Frame 10" x 12", oak', "sku": "P-1"},
    ),
    _Base(
        '{\n  "name": "Wi-Fi",\n  "ssid": "Home "5G" net"\n  "band": "5GHz"\n}',
        {"name": "Wi-Fi", "ssid": 'Home "5G" net', "band": "5GHz"},
    ),
    _Base(
        '[{"q": "What is "idempotent"?" "a": "Same result twice"}]',
        [{"q": 'What is "idempotent"?', "a": "Same result twice"}],
    ),
    _Base(
        '{"urls": ["https://a.example/x" "https://b.example/y?z=1"]}',
        {"urls": ["https://a.example/x", "https://b.example/y?z=1"]},
    ),
    _Base(
        '{"log": "error: expected "}" at line 3", "level": "warn"}',
        {"log": 'error: expected "}" at line 3', "level": "warn"},
    ),
    _Base('{"paths": ["/etc/hosts"\n"/etc/passwd"]}', {"paths": ["/etc/hosts", "/etc/passwd"]}),
    _Base(
        '{"user": "kenji" "bio": "Likes "retro" games and 日本語"}',
        {"user": "kenji", "bio": 'Likes "retro" games and 日本語'},
    ),
    _Base('{"regex": "^"[a-z]+"$"}', {"regex": '^"[a-z]+"$'}),
    _Base(
        '{"options": {"mode": "fast"   "retries": "3"}}',
        {"options": {"mode": "fast", "retries": "3"}},
    ),
    _Base(
        '{"caption": "Me at the "beach" 🏖️", "likes": 17}',
        {"caption": 'Me at the "beach" 🏖️', "likes": 17},
    ),
]


# --- container_where_key_belongs --------------------------------------------
# No reading invents an empty key: an object that opens where a key should be
# inside an array starts the next element; bracketed values after an array
# value continue that array; doubled braces unwrap.
_CONTAINER_AS_KEY = [
    _Base('[{"a": 1, {"a": 2}]', [{"a": 1}, {"a": 2}]),
    _Base(
        '[{"id": 1, "name": "Anna", {"id": 2, "name": "Ben"}, {"id": 3, "name": "Chloé"}]',
        [{"id": 1, "name": "Anna"}, {"id": 2, "name": "Ben"}, {"id": 3, "name": "Chloé"}],
    ),
    _Base(
        '[\n  {"city": "Oslo", "pop": 709000,\n  {"city": "Bergen", "pop": 291000}\n]',
        [{"city": "Oslo", "pop": 709000}, {"city": "Bergen", "pop": 291000}],
    ),
    _Base('{"users": [{"name": "a", {"name": "b"}]}', {"users": [{"name": "a"}, {"name": "b"}]}),
    _Base(
        '[{"x": 1, "y": 2, {"x": 3, "y": 4, {"x": 5, "y": 6}]',
        [{"x": 1, "y": 2}, {"x": 3, "y": 4}, {"x": 5, "y": 6}],
    ),
    _Base('{{"name": "Ada", "age": 36}}', {"name": "Ada", "age": 36}, nest=False),
    _Base('{{"a": {{"b": 1}}}}', {"a": {"b": 1}}, nest=False),
    _Base(
        '{{\n  "tool": "search",\n  "query": "hotels in Lisbon",\n  "limit": 5\n}}',
        {"tool": "search", "query": "hotels in Lisbon", "limit": 5},
        nest=False,
    ),
    _Base(
        '{{"items": [{{"sku": "A1", "qty": 2}}, {{"sku": "B2", "qty": 1}}]}}',
        {"items": [{"sku": "A1", "qty": 2}, {"sku": "B2", "qty": 1}]},
        nest=False,
    ),
    _Base('{"items": [{"id": 1}], {"id": 2}}', {"items": [{"id": 1}, {"id": 2}]}),
    _Base('{"matrix": [[1, 2]], [3, 4], [5, 6]}', {"matrix": [[1, 2], [3, 4], [5, 6]]}),
    _Base(
        '{"results": [{"title": "A", "url": "https://a.example"}], {"title": "B", "url": "https://b.example"},'
        ' "count": 2}',
        {
            "results": [{"title": "A", "url": "https://a.example"}, {"title": "B", "url": "https://b.example"}],
            "count": 2,
        },
    ),
    _Base('{"rows": [["a", 1]], ["b", 2], ["c", 3]}', {"rows": [["a", 1], ["b", 2], ["c", 3]]}),
    _Base(
        '[{"q": "¿qué?", "lang": "es", {"q": "what?", "lang": "en"}]',
        [{"q": "¿qué?", "lang": "es"}, {"q": "what?", "lang": "en"}],
    ),
    _Base('{"data": [{"k": "v", {"k": "w"}], "ok": true}', {"data": [{"k": "v"}, {"k": "w"}], "ok": True}),
    _Base(
        '[{"path": "/usr/bin", "mode": 755, {"path": "/etc", "mode": 644}]',
        [{"path": "/usr/bin", "mode": 755}, {"path": "/etc", "mode": 644}],
    ),
    _Base('[{"a": {"b": 1}, {"a": {"b": 2}}]', [{"a": {"b": 1}}, {"a": {"b": 2}}]),
    _Base(
        '[{"n": 1, "tags": ["x"], {"n": 2, "tags": []}]',
        [{"n": 1, "tags": ["x"]}, {"n": 2, "tags": []}],
    ),
    _Base('{ {"lat": 59.9, "lon": 10.7} }', {"lat": 59.9, "lon": 10.7}, nest=False),
    _Base('{{"message": "Hello, {{name}}!"}}', {"message": "Hello, {{name}}!"}, nest=False),
    _Base(
        '{\n  "events": [\n    {"type": "click", "x": 10},\n  ],\n  {"type": "scroll", "x": 0}\n}',
        {"events": [{"type": "click", "x": 10}, {"type": "scroll", "x": 0}]},
    ),
    _Base(
        '[\n  {\n    "title": "Dune",\n    "year": 1965,\n  {\n    "title": "Solaris",\n    "year": 1961\n  }\n]',
        [{"title": "Dune", "year": 1965}, {"title": "Solaris", "year": 1961}],
    ),
    _Base(
        '{"tool_calls": [{"name": "get_time", "args": {"tz": "UTC"}, {"name": "get_weather", "args": {"city": "Kyiv"}}]}',
        {
            "tool_calls": [
                {"name": "get_time", "args": {"tz": "UTC"}},
                {"name": "get_weather", "args": {"city": "Kyiv"}},
            ]
        },
    ),
    _Base(
        '{{"answer": "yes", "confidence": 0.9}}',
        {"answer": "yes", "confidence": 0.9},
        nest=False,
    ),
    _Base(
        '{"points": [{"t": 0, "v": 1.5}], {"t": 1, "v": 2.25}, {"t": 2, "v": -0.5}}',
        {"points": [{"t": 0, "v": 1.5}, {"t": 1, "v": 2.25}, {"t": 2, "v": -0.5}]},
    ),
    _Base(
        '[{"word": "naïve", "len": 5, {"word": "café", "len": 4, {"word": "façade", "len": 6}]',
        [{"word": "naïve", "len": 5}, {"word": "café", "len": 4}, {"word": "façade", "len": 6}],
    ),
]


# --- mismatched_closer ------------------------------------------------------
# A closer that is not the innermost container's closes everything up to the
# container it matches, and what follows it is kept. Where the closers balance
# only if the odd one stands for the innermost closer (a ] typed as }), that
# is what the writer meant.
_MISMATCHED = [
    _Base('{"items": [1, 2, 3}', {"items": [1, 2, 3]}),
    _Base('[{"a": 1]', [{"a": 1}]),
    _Base('{"a": [{"b": 1}}', {"a": [{"b": 1}]}),
    _Base(
        '[{"id": 1, "tags": ["a", "b"}, {"id": 2, "tags": []}]',
        [{"id": 1, "tags": ["a", "b"]}, {"id": 2, "tags": []}],
    ),
    _Base(
        '{"user": {"name": "Ana", "roles": ["admin", "dev"}, "active": true}',
        {"user": {"name": "Ana", "roles": ["admin", "dev"]}, "active": True},
    ),
    _Base('{"a": [1, 2}, "b": 3}', {"a": [1, 2], "b": 3}),
    _Base("[[1, 2], [3, 4}]", [[1, 2], [3, 4]]),
    _Base('{"matrix": [[1, 0], [0, 1}}', {"matrix": [[1, 0], [0, 1]]}),
    _Base(
        '{"config": {"debug": true, "paths": ["/var/log", "/tmp"}}}',
        {"config": {"debug": True, "paths": ["/var/log", "/tmp"]}},
    ),
    _Base('["a", {"b": "c"]', ["a", {"b": "c"}]),
    _Base('{"steps": [{"n": 1}, {"n": 2}}', {"steps": [{"n": 1}, {"n": 2}]}),
    _Base(
        '[{"name": "x", "children": [{"name": "y"}]]',
        [{"name": "x", "children": [{"name": "y"}]}],
    ),
    _Base(
        '{"name": "Ana", "langs": ["pt", "en"}, "age": 30}',
        {"name": "Ana", "langs": ["pt", "en"], "age": 30},
    ),
    _Base(
        '{\n  "order": {\n    "id": "A-17",\n    "lines": [\n      {"sku": "X1", "qty": 2},\n      {"sku": "Y9", "qty": 1}\n  }\n}',
        {"order": {"id": "A-17", "lines": [{"sku": "X1", "qty": 2}, {"sku": "Y9", "qty": 1}]}},
    ),
    _Base(
        '{"cities": ["Kraków", "Łódź", "Gdańsk"}',
        {"cities": ["Kraków", "Łódź", "Gdańsk"]},
    ),
    _Base(
        '[{"url": "https://example.com/a", "status": 200], {"url": "https://example.com/b", "status": 404}]',
        [{"url": "https://example.com/a", "status": 200}, {"url": "https://example.com/b", "status": 404}],
    ),
    _Base(
        '{"query": "weather", "filters": {"city": "Nairobi", "days": 3], "units": "metric"}',
        {"query": "weather", "filters": {"city": "Nairobi", "days": 3}, "units": "metric"},
    ),
    _Base(
        '{"results": [{"score": 0.91, "doc": "a.md"}, {"score": 0.42, "doc": "b.md"}}',
        {"results": [{"score": 0.91, "doc": "a.md"}, {"score": 0.42, "doc": "b.md"}]},
    ),
    _Base('{"a": {"b": {"c": [1, 2}}}', {"a": {"b": {"c": [1, 2]}}}),
    _Base(
        '{"schedule": [{"day": "Mon", "slots": ["09:00", "14:00"}, {"day": "Tue", "slots": ["10:00"]}]}',
        {"schedule": [{"day": "Mon", "slots": ["09:00", "14:00"]}, {"day": "Tue", "slots": ["10:00"]}]},
    ),
    _Base("[1, 2, [3, 4}", [1, 2, [3, 4]]),
    _Base(
        '{"env": {"PATH": "/usr/bin:/bin", "HOME": "/home/ana"], "shell": "/bin/zsh"}',
        {"env": {"PATH": "/usr/bin:/bin", "HOME": "/home/ana"}, "shell": "/bin/zsh"},
    ),
    _Base(
        '{"title": "Ünïcödé", "authors": [{"name": "Zoë"}, {"name": "Olga"}}',
        {"title": "Ünïcödé", "authors": [{"name": "Zoë"}, {"name": "Olga"}]},
    ),
    _Base(
        '[{"k": "a", "v": [true, false}, {"k": "b", "v": [null]}]',
        [{"k": "a", "v": [True, False]}, {"k": "b", "v": [None]}],
    ),
    _Base(
        '{"pairs": [["x", 1], ["y", 2}, "n": 2}',
        {"pairs": [["x", 1], ["y", 2]], "n": 2},
    ),
]


# --- invisible_format_chars -------------------------------------------------
# Zero-width space, word joiner, byte-order mark and Mongolian vowel separator
# between tokens are whitespace; inside strings they are content and stay.
INVISIBLES = ("\u200b", "\u2060", "\ufeff", "\u180e")

_INVISIBLE_VALUES: list[object] = [
    {"name": "Ada", "age": 36},
    ["north", "south", "east"],
    {"tool": "get_weather", "arguments": {"city": "Reykjavík", "unit": "C"}},
    {"id": 7, "tags": ["a", "b"], "active": True, "score": None},
    [{"sku": "A1", "price": 9.99}, {"sku": "B2", "price": 0.5}],
    {"url": "https://example.com/path?q=1&r=two", "status": 301},
    {"path": "C:\\Program Files\\App", "exists": False},
    {"text": "Hello, world!", "lang": "en"},
    {"matrix": [[1, 0], [0, 1]]},
    {"emoji": "✅", "msg": "done 🚀"},
    [1, 2.5, -3, 1e-07],
    {"nested": {"deeper": {"deepest": [True, False]}}},
    {"query": "SELECT * FROM t WHERE x = 'y'", "limit": 10},
    {"greeting": "こんにちは", "name": "Kenji"},
    {"a": [], "b": {}, "c": ""},
    {"steps": ["build", "test", "deploy"], "parallel": False},
    {"title": "Résumé", "pages": 2},
    {"ok": True},
    {"intent": "refund", "confidence": 0.87, "entities": {"order": "A-17"}},
    [{"role": "user", "content": "hi"}, {"role": "assistant", "content": "hello"}],
]
# Values whose strings carry a format character: it must survive as content.
_INVISIBLE_IN_STRINGS: list[object] = [
    {"name": "Zo\u200bë", "id": 3},
    {"word": "co\u2060operate", "ok": True},
    ["\ufeffstart", "end"],
    {"mn": "ᠮᠣ\u180eᠩᠭᠣᠯ", "script": "mongolian"},
    {"slug": "a\u200bb\u200bc", "n": 3},
    {"note": "zero\u200bwidth", "tags": ["x\u2060y"]},
]


def _token_gaps(text: str) -> list[int]:
    """Offsets between tokens of a json.dumps text: after { [ , : and before } ], outside strings."""
    gaps = [0]
    in_string = escaped = False
    for i, c in enumerate(text):
        if in_string:
            if escaped:
                escaped = False
            elif c == "\\":
                escaped = True
            elif c == '"':
                in_string = False
            continue
        if c == '"':
            in_string = True
        elif c in "{[,:":
            gaps.append(i + 1)
        if c in "}]":
            gaps.append(i)
    gaps.append(len(text))
    return sorted(set(gaps))


def _sprinkle(rng: random.Random, value: object) -> str:
    indent = rng.choice((None, None, 2))
    text = json.dumps(value, ensure_ascii=False, indent=indent)
    gaps = _token_gaps(text)
    chosen = sorted(rng.sample(gaps, min(len(gaps), rng.randint(1, 4))), reverse=True)
    if 0 not in chosen and rng.random() < 0.3:
        chosen.append(0)  # a leading BOM or zero-width space, the commonest spot
    for at in chosen:
        text = text[:at] + rng.choice(INVISIBLES) * rng.choice((1, 1, 2)) + text[at:]
    return text


def _invisible_bases(rng: random.Random) -> list[_Base]:
    bases = []
    for value in _INVISIBLE_VALUES + _INVISIBLE_IN_STRINGS:
        for _ in range(2):
            text = _sprinkle(rng, value)
            bases.append(_Base(text, value))
    return bases


# --- tuples_top_level -------------------------------------------------------
# A Python tuple is an array; a parenthesised single value is that value, as
# in Python: ("x",) is a one-element tuple, ("x") the string.
_TUPLES = [
    _Base("(1, 2, 3)", [1, 2, 3], nest=False),
    _Base('("a", {"b": 1})', ["a", {"b": 1}], nest=False),
    _Base("((1, 2), (3, 4))", [[1, 2], [3, 4]], nest=False),
    _Base('("Oslo", 59.91, 10.75)', ["Oslo", 59.91, 10.75], nest=False),
    _Base('("x",)', ["x"], nest=False),
    _Base('({"name": "Ana"}, {"name": "Ben"})', [{"name": "Ana"}, {"name": "Ben"}], nest=False),
    _Base('("ok", None, True)', ["ok", None, True], nest=False),
    _Base(
        '(\n    "search",\n    {"query": "flights to Tokyo", "max_results": 5},\n)',
        ["search", {"query": "flights to Tokyo", "max_results": 5}],
        nest=False,
    ),
    _Base('(42, "answer")', [42, "answer"], nest=False),
    _Base("([1, 2], [3, 4])", [[1, 2], [3, 4]], nest=False),
    _Base('("café", "naïve", "Zürich")', ["café", "naïve", "Zürich"], nest=False),
    _Base(
        '("https://example.com/a", "https://example.com/b?page=2")',
        ["https://example.com/a", "https://example.com/b?page=2"],
        nest=False,
    ),
    _Base("(3.14, -2.5e3, 0)", [3.14, -2500.0, 0], nest=False),
    _Base('({"a": (1, 2)}, "z")', [{"a": [1, 2]}, "z"], nest=False),
    _Base("('single', 'quoted')", ["single", "quoted"], nest=False),
    _Base('("/usr/local/bin", "/opt/tool/bin")', ["/usr/local/bin", "/opt/tool/bin"], nest=False),
    _Base("(true, false, null)", [True, False, None], nest=False),
    _Base(
        '({"tool": "get_weather", "args": {"city": "Lima"}},)',
        [{"tool": "get_weather", "args": {"city": "Lima"}}],
        nest=False,
    ),
    _Base("(1,)", [1], nest=False),
    _Base('("a", ("b", ("c",)))', ["a", ["b", ["c"]]], nest=False),
    _Base(
        '({"id": 1, "score": 0.93}, {"id": 2, "score": 0.71}, {"id": 3, "score": 0.42})',
        [{"id": 1, "score": 0.93}, {"id": 2, "score": 0.71}, {"id": 3, "score": 0.42}],
        nest=False,
    ),
    _Base('("2024-05-17", "2024-05-18")', ["2024-05-17", "2024-05-18"], nest=False),
    _Base('(["x", "y"],)', [["x", "y"]], nest=False),
    _Base('({"status": "done", "count": 3})', {"status": "done", "count": 3}, nest=False),
    _Base('(["alpha", "beta"])', ["alpha", "beta"], nest=False),
    _Base("(1, 2, 3,)", [1, 2, 3], nest=False),
    _Base("()", [], nest=False),
    _Base(
        "(\n  ('user', 'Hi there'),\n  ('assistant', 'Hello! How can I help?'),\n)",
        [["user", "Hi there"], ["assistant", "Hello! How can I help?"]],
        nest=False,
    ),
    _Base('("日本", "東京", 13960000)', ["日本", "東京", 13960000], nest=False),
    _Base("(-1, -0.5, 1e3)", [-1, -0.5, 1000.0], nest=False),
    _Base(
        "('C:\\\\temp\\\\out.csv', \"rows=120\")",
        ["C:\\temp\\out.csv", "rows=120"],
        nest=False,
    ),
]


# --- reasoning_blocks -------------------------------------------------------
# A value inside a reasoning block is a draft: a candidate after the block
# wins. When nothing follows the block but prose, or the block never closes,
# the value inside it is the answer.
_REASONING_TAGS = ("think", "thinking", "reasoning", "reflection")


@dataclass(frozen=True)
class _Thought:
    body: str  # inside the block
    after: object = None  # the value written after the block, if any
    prose_after: str = ""  # prose after the block when no value follows
    closed: bool = True
    meant: object = None  # intended value when no value follows the block


_THOUGHTS = [
    _Thought(
        'The user wants the weather in Paris. Draft: {"city": "Paris", "unit": "F"}. '
        "No wait, they said Celsius earlier.",
        after={"city": "Paris", "unit": "C"},
    ),
    _Thought(
        "I need to extract name and age. The text says Ana is 31.",
        after={"name": "Ana", "age": 31},
    ),
    _Thought(
        'Let me try: ["apple", "banana"]. Hmm, the list also had cherries.',
        after=["apple", "banana", "cherry"],
    ),
    _Thought(
        'Option A: {"action": "refund", "amount": 20}\nOption B: {"action": "replace"}\n'
        "The customer asked for money back, so A, but the amount was 25.",
        after={"action": "refund", "amount": 25},
    ),
    _Thought(
        'The schema is {"type": "object", "properties": {"id": {"type": "integer"}}}. So I return an id.',
        after={"id": 1042},
    ),
    _Thought(
        '```json\n{"query": "hotels", "city": "Lisboa"}\n```\nBetter include the dates.',
        after={"query": "hotels", "city": "Lisboa", "checkin": "2024-06-01", "nights": 3},
    ),
    _Thought(
        'Counting words: "naïve café" has 2. {"count": 3}? No, 2.',
        after={"count": 2},
    ),
    _Thought(
        "Sentiment looks mixed; leaning positive.",
        after={"sentiment": "positive", "score": 0.64},
    ),
    _Thought(
        'Tool call draft: {"name": "search", "arguments": {"q": "rust async"}}',
        after={"name": "search", "arguments": {"q": "rust async tutorial", "limit": 5}},
    ),
    _Thought(
        'Classify: the ticket mentions a login failure.\n{"category": "auth", "priority": "high"}',
        prose_after="\nI've classified the ticket above.",
        meant={"category": "auth", "priority": "high"},
    ),
    _Thought(
        '{"intent": "book_flight", "from": "OSL", "to": "NRT"}',
        prose_after="\nDone — let me know if the airports are right.",
        meant={"intent": "book_flight", "from": "OSL", "to": "NRT"},
    ),
    _Thought(
        'Working it out step by step. Subtotal 40, tax 10%.\n{"subtotal": 40, "tax": 4, "total": 44}',
        prose_after="",
        meant={"subtotal": 40, "tax": 4, "total": 44},
    ),
    _Thought(
        'The entities are Berlin and Paris.\n["Berlin", "Paris"]',
        closed=False,
        meant=["Berlin", "Paris"],
    ),
    _Thought(
        'I will output the config now:\n{"debug": false, "workers": 4, "log_dir": "/var/log/app"}',
        closed=False,
        meant={"debug": False, "workers": 4, "log_dir": "/var/log/app"},
    ),
    _Thought(
        'Translate to Spanish.\n```json\n{"es": "¿Dónde está la biblioteca?"}\n```',
        closed=False,
        meant={"es": "¿Dónde está la biblioteca?"},
    ),
    _Thought(
        "First guess [1, 2, 3] but the sequence doubles: [1, 2, 4].",
        after=[1, 2, 4, 8],
    ),
    _Thought(
        'They want the file list. {"files": ["a.txt"]} is incomplete.',
        after={"files": ["a.txt", "b.txt", "notes/c.md"]},
    ),
    _Thought(
        'Previous answer {"ok": true} was wrong: the build failed.',
        after={"ok": False, "reason": "tests failed on linux-arm64"},
    ),
    _Thought(
        "Extract the date: 17 May 2024 → ISO.",
        after={"date": "2024-05-17"},
    ),
    _Thought(
        '[{"role": "user"}] needs content too.',
        prose_after="\nI could not finish the message list.",
        meant=[{"role": "user"}],
    ),
    _Thought(
        'Candidates: [{"title": "Dune", "year": 1965}]. Should I add Solaris? The user listed both.',
        after=[{"title": "Dune", "year": 1965}, {"title": "Solaris", "year": 1961}],
    ),
    _Thought(
        'The call needs a path. {"path": "~/docs"} is relative; use the absolute one.',
        after={"path": "/home/zoe/docs", "recursive": True},
    ),
    _Thought(
        "Need the tool call to fetch the price.\n"
        '{"name": "get_price", "arguments": {"ticker": "NVDA", "currency": "USD"}}',
        closed=False,
        meant={"name": "get_price", "arguments": {"ticker": "NVDA", "currency": "USD"}},
    ),
    _Thought(
        'Grading the essay: structure good, grammar weak. {"grade": "B", "comments": ["tighten the intro"]}',
        prose_after="\n\nThat is my assessment.",
        meant={"grade": "B", "comments": ["tighten the intro"]},
    ),
]

_FINAL_LEADS = ("", "", "Final answer:\n", "Here is the JSON:\n", "Answer: ")


def _reasoning_text(rng: random.Random, tag: str, thought: _Thought) -> tuple[str, object]:
    text = f"<{tag}>\n{thought.body}\n"
    if not thought.closed:
        return text, thought.meant
    text += f"</{tag}>\n"
    if thought.after is None:
        return text + thought.prose_after, thought.meant
    body = json.dumps(thought.after, ensure_ascii=False, indent=rng.choice((None, 2)))
    if rng.random() < 0.4:
        body = f"```json\n{body}\n```"
    return text + rng.choice(_FINAL_LEADS) + body, thought.after


_DRAFT_BODIES = (
    "Draft: {draft}. Checking the source again, {key} should be {right}.",
    "First pass gave {draft}\nOne field is off; fixing {key}.",
    "Let me write it out:\n```json\n{draft}\n```\nHmm, {key} is wrong there.",
    "Candidate {draft} - but the user said {key} = {right}.",
)
_FINAL_BODIES = (
    "Filling in the fields from the message.\n{final}",
    "Everything checks out: {final}",
    "```json\n{final}\n```",
)


def _thoughts_generated(rng: random.Random, count: int) -> list[_Thought]:
    """A record drafted with one field wrong, then the record after the block; or the record
    alone in a block that prose follows, or that never closes."""
    thoughts = []
    for _ in range(count):
        final = record(rng, rng.randint(2, 4))
        key = rng.choice(list(final))
        draft = dict(final)
        while draft[key] == final[key]:
            draft[key] = scalar(rng)
        roll = rng.random()
        if roll < 0.6:
            body = rng.choice(_DRAFT_BODIES).format(draft=_dump(draft), key=key, right=_dump(final[key]))
            thoughts.append(_Thought(body, after=final))
        else:
            body = rng.choice(_FINAL_BODIES).format(final=_render(final, rng.choice((None, 2))))
            prose = rng.choice(("\nThat is the extracted record.", "", "\n\nDone."))
            thoughts.append(_Thought(body, prose_after=prose, closed=roll < 0.8, meant=final))
    return thoughts


def _reasoning_cases(rng: random.Random) -> list[tuple[str, object]]:
    cases = []
    for thought in _THOUGHTS + _thoughts_generated(rng, 10):
        for tag in rng.sample(_REASONING_TAGS, 3):
            cases.append(_reasoning_text(rng, tag, thought))
    return cases


# --- generated bases --------------------------------------------------------
# Records drawn from pools of the keys and strings replies carry, rendered
# compact or indented, with one defect put in by construction: they add shapes
# (where in the document the defect sits, how deep, what surrounds it) that
# the hand-written bases above do not cover.
_KEYS = (
    "name", "city", "title", "email", "path", "url", "note", "status", "user id", "display name",
    "Straße", "país", "описание", "file_path", "last-login", "query", "cmd", "label", "comment",
    "unit price", "created_at", "owner", "region", "message", "分类", "reply_to",
)  # fmt: skip
# Strings whose end a reader can find: no quote, no trailing space, no closer
# or comma at the end, and no comma followed by a quote inside.
_STRINGS = (
    "Oslo", "São Paulo", "ana@example.org", "/var/log/app.log", "C:\\Temp\\out.csv",
    "https://example.com/a?b=1&c=2", "Hello, world", "Café Noir, 3rd floor", "12 Main St, Springfield",
    "naïve approach", "東京都", "🚀 launch", "v2.3.1", "SELECT id FROM t WHERE x > 3", "Zoë Müller",
    "it's fine", "50% off", "#ff8800", "2024-05-17T10:30:00Z", "user: admin", "a, b, and c",
    "Wait for the build to finish.", "line one\nline two", "¿Qué tal?", "ID-4471", "N/A",
    "Добрый день", "x = y + 1", "~/projects/tarn/src", "read; write", "tab\there",
)  # fmt: skip
# Sentences with a quoted word inside: each inner quote is followed by more of the sentence.
_QUOTING = (
    'the "best" pizza in town', 'say "hi" now', 'a 6" screen', 'He said "no" twice.',
    'press "Save" then exit', 'the so-called "fix" broke it', 'label it "urgent" please',
    'use "--force" with care', 'Er sagte "ja" und ging.',
)  # fmt: skip


def scalar(rng: random.Random) -> object:
    """A string from the pool (most of the time), an integer, a float, a boolean or null."""
    roll = rng.random()
    if roll < 0.6:
        return rng.choice(_STRINGS)
    if roll < 0.75:
        return rng.randint(-50, 5000)
    if roll < 0.88:
        return round(rng.uniform(-100, 100), rng.choice((1, 2, 3)))
    return rng.choice((True, False, None))


def record(rng: random.Random, size: int) -> dict:
    """An object of `size` members with keys from the pool and scalar values."""
    return {k: scalar(rng) for k in rng.sample(_KEYS, size)}


def _render(node: object, indent: int | None, drop: Callable[[str, str], str] | None = None, depth: int = 0) -> str:
    """JSON text of node, compact (", " and ": ") or indented; drop(prev, next) may replace the
    ", " or ",\n" between two entries with whatever the caller wants there."""
    if isinstance(node, dict):
        entries = [
            json.dumps(k, ensure_ascii=False) + ": " + _render(v, indent, drop, depth + 1) for k, v in node.items()
        ]
        opener, closer = "{", "}"
    elif isinstance(node, list):
        entries = [_render(v, indent, drop, depth + 1) for v in node]
        opener, closer = "[", "]"
    else:
        return json.dumps(node, ensure_ascii=False)
    if not entries:
        return opener + closer
    pad = "" if indent is None else "\n" + " " * (indent * (depth + 1))
    out = opener + pad + entries[0]
    for prev, entry in zip(entries, entries[1:]):
        gap = "," + (pad or " ")
        out += (drop(prev, entry) if drop else None) or gap
        out += entry
    return out + ("" if indent is None else "\n" + " " * (indent * depth)) + closer


def _refused(text: str) -> bool:
    try:
        json.loads(text)
    except ValueError:
        return True
    return False


def _unclosed_generated(rng: random.Random, count: int) -> list[_Base]:
    """A record or list of records in which one string lost its closing quote (and,
    when indented, sometimes its comma too)."""
    bases = []
    while len(bases) < count:
        shape = rng.random()
        if shape < 0.5:
            value: object = record(rng, rng.randint(2, 5))
        elif shape < 0.8:
            value = {rng.choice(_KEYS): record(rng, rng.randint(1, 3)), rng.choice(("ok", "total")): 1}
        else:
            value = [record(rng, 2) for _ in range(rng.randint(2, 3))]
        strings = _string_slots(value)
        if not strings:
            continue
        holder, key = rng.choice(strings)
        target = holder[key]
        holder[key] = "@@CUT@@"
        indent = rng.choice((None, 2, 4))
        text = _render(value, indent)
        cut = json.dumps(target, ensure_ascii=False)[:-1]
        if indent and rng.random() < 0.5:
            text = re.sub(r'"@@CUT@@",(\n)', lambda m: cut + m.group(1), text)
        text = text.replace('"@@CUT@@"', cut)
        holder[key] = target
        last = text.rstrip("}] \n").endswith(cut)
        bases.append(_Base(text, value, tail=not last))
    return bases


def _string_slots(node: object) -> list[tuple[object, object]]:
    """(container, key or index) of every string value; list elements only when the next one
    is no number, which would read as more of the string."""
    slots: list[tuple[object, object]] = []
    items = list(node.items()) if isinstance(node, dict) else list(enumerate(node)) if isinstance(node, list) else []
    for i, (k, v) in enumerate(items):
        if isinstance(v, str):
            after = items[i + 1][1] if i + 1 < len(items) else None
            if isinstance(node, dict) or not isinstance(after, (int, float)) or isinstance(after, bool):
                slots.append((node, k))
        else:
            slots.extend(_string_slots(v))
    return slots


def _comma_generated(rng: random.Random, count: int) -> list[_Base]:
    """Records and string lists with commas left out between strings, some strings quoting a word."""
    bases = []
    while len(bases) < count:
        roll = rng.random()
        if roll < 0.4:
            value: object = rng.sample(_STRINGS + _QUOTING, rng.randint(3, 5))
        elif roll < 0.8:
            value = {k: rng.choice(_STRINGS + _QUOTING) for k in rng.sample(_KEYS, rng.randint(2, 4))}
        else:
            value = {rng.choice(_KEYS): rng.sample(_STRINGS, 3), "owner": {"name": rng.choice(_QUOTING), "id": 7}}
        indent = rng.choice((None, 2))

        def drop(prev: str, entry: str, indent: int | None = indent) -> str:
            if prev.endswith('"') and entry.startswith('"') and rng.random() < 0.6:
                return rng.choice(("\n" + " " * (indent or 0), " ", "  ", "\t"))
            return ""

        text = _render(value, indent, drop).replace('\\"', '"')
        if _refused(text):
            bases.append(_Base(text, value))
    return bases


def _records_without_closers(rng: random.Random, count: int) -> list[_Base]:
    """Arrays of records where some record's closer is missing, so the next one opens where its
    key belongs; or a record list closed early, its last records following the ]."""
    bases = []
    while len(bases) < count:
        records = [record(rng, rng.randint(1, 3)) for _ in range(rng.randint(2, 4))]
        indent = rng.choice((None, 2))
        texts = [_render(r, indent, depth=1) for r in records]
        pad = " " if indent is None else "\n  "
        if rng.random() < 0.6:
            cut = rng.sample(range(len(texts) - 1), rng.randint(1, len(texts) - 1))
            parts = [t[:-1].rstrip() if i in cut else t for i, t in enumerate(texts)]
            text = "[" + pad.lstrip(" ") + ("," + pad).join(parts) + ("\n]" if indent else "]")
            bases.append(_Base(text, records))
            continue
        key = rng.choice(("items", "results", "rows", "records", "hits"))
        split = rng.randint(1, len(texts) - 1)
        text = "{" + json.dumps(key) + ": [" + ", ".join(texts[:split]) + "], " + ", ".join(texts[split:])
        value: dict = {key: records}
        if rng.random() < 0.4:
            text += ', "count": ' + str(len(records))
            value["count"] = len(records)
        bases.append(_Base(text + "}", value))
    return bases


def _doubled_braces(rng: random.Random, count: int) -> list[_Base]:
    """A template's {{ }} escapes left in: every brace outside strings doubled."""
    bases = []
    for _ in range(count):
        value = record(rng, rng.randint(1, 3))
        if rng.random() < 0.5:
            value[rng.choice(("meta", "args", "data"))] = record(rng, 2)
        text = _render(value, rng.choice((None, 2)))
        bases.append(_Base(_outside_strings(text, lambda c: c * 2 if c in "{}" else c), value, nest=False))
    return bases


def _outside_strings(text: str, change: Callable[[str], str], inside: Callable[[str], str] = str) -> str:
    """text with change() applied to each character outside its string literals, inside() to the rest."""
    out, in_string, escaped = [], False, False
    for c in text:
        if in_string:
            if escaped:
                escaped = False
            elif c == "\\":
                escaped = True
            elif c == '"':
                in_string = False
            out.append(c if c == '"' and not in_string else inside(c))
        else:
            in_string = c == '"'
            out.append(change(c))
    return "".join(out)


def _nested(rng: random.Random, depth: int) -> object:
    if depth == 0:
        return scalar(rng)
    if rng.random() < 0.5:
        return {k: _nested(rng, depth - 1) for k in rng.sample(_KEYS, rng.randint(1, 3))}
    return [_nested(rng, depth - 1) for _ in range(rng.randint(1, 3))]


def _closers_dropped(rng: random.Random, count: int) -> list[_Base]:
    """A nested document with one closer left out where the next closer is of the other kind,
    which then closes both."""
    bases = []
    while len(bases) < count:
        value = _nested(rng, rng.randint(2, 4))
        text = _render(value, rng.choice((None, 2)))
        spots = [
            m.start()
            for m in re.finditer(r"[\]}](?=\s*([\]}]))", _outside_strings(text, str, lambda c: "x"))
            if text[m.start()] != m.group(1)
        ]
        if not spots:
            continue
        at = rng.choice(spots)
        head = text[:at].rstrip(" ")
        # An indented closer goes with its line.
        head = head[:-1] if head.endswith("\n") else text[:at]
        bases.append(_Base(head + text[at + 1 :], value))
    return bases


def _python_literal(node: object, rng: random.Random, single: bool, top: bool = False) -> str:
    """node as Python source: lists as tuples at the top and now and then inside; strings in
    single quotes when `single` and they hold none."""
    if isinstance(node, list):
        inner = ", ".join(_python_literal(v, rng, single) for v in node)
        if top or rng.random() < 0.5:
            return "(" + inner + ("," if len(node) == 1 else "") + ")"
        return "[" + inner + "]"
    if isinstance(node, dict):
        pairs = (f"{_python_literal(k, rng, single)}: {_python_literal(v, rng, single)}" for k, v in node.items())
        return "{" + ", ".join(pairs) + "}"
    if node is None or isinstance(node, bool):
        return {True: "True", False: "False", None: "None"}[node]
    text = json.dumps(node, ensure_ascii=False)
    if isinstance(node, str) and single and "'" not in node:
        return "'" + text[1:-1] + "'"
    return text


def _tuples_generated(rng: random.Random, count: int) -> list[_Base]:
    bases = []
    for _ in range(count):
        value = [_nested(rng, rng.choice((0, 0, 1, 2))) for _ in range(rng.randint(1, 4))]
        text = _python_literal(value, rng, single=rng.random() < 0.6, top=True)
        bases.append(_Base(text, value, nest=False))
    return bases


def failure_families() -> list[Family]:
    """The seven families, the same texts on every call."""
    rng = random.Random(SEED)
    families = [
        _family("unclosed_string_end", _UNCLOSED + _unclosed_generated(rng, 15), rng),
        _family("missing_comma_vs_inner_quote", _COMMA_OR_QUOTE + _comma_generated(rng, 15), rng),
        _family(
            "container_where_key_belongs",
            _CONTAINER_AS_KEY + _records_without_closers(rng, 12) + _doubled_braces(rng, 5),
            rng,
        ),
        _family("mismatched_closer", _MISMATCHED + _closers_dropped(rng, 15), rng),
        _family("invisible_format_chars", _invisible_bases(rng), rng),
        _family("tuples_top_level", _TUPLES + _tuples_generated(rng, 12), rng),
        Family("reasoning_blocks", tuple(_reasoning_cases(rng))),
    ]
    return families


def main() -> int:
    for fam in failure_families():
        print(f"{fam.name:30} {len(fam.cases):4} texts {fam.total_bytes:7} bytes")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
