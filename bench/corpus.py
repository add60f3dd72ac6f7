"""Deterministic benchmark corpus: texts shaped like the traffic repair() sees.

Every text comes from a seeded generator, so two runs (or two machines) time
the same bytes. Categories:

  valid_small      tool-call arguments, 1-4 KB, strict JSON
  valid_large      ~1 MB arrays of records with non-ASCII strings and numbers
  fenced           a small reply inside a Markdown code fence
  trailing_commas  a small reply with commas before some closers
  raw_newlines     a small reply with raw line breaks and tabs in strings
  truncated        a small reply cut off part-way
  double_encoded   a small reply encoded as a JSON string
  large_broken     a ~1 MB document with trailing commas and raw line breaks
  hostile          deep nesting, unclosed strings, comma floods, garbage

lenient_families() adds small replies with the defects language models put
in JSON (single quotes, comments, bare words, NaN, ...), each paired with the
value a careful reader takes it to mean; bench/lenient_recovery.py scores
tarnwick.extract() against them.

rewrite_heavy() is one ~1 MB text in which nearly every token needs the
lenient pass: the Python repr() of an array of records.

`python bench/corpus.py --write DIR` writes each text to DIR/<category>/NN.json
for the C++ benchmarks; `--write-lenient DIR` writes each family's texts to
DIR/<family>/NN.txt and the rewrite-heavy text to DIR/rewrite_heavy/00.txt
(a tree of its own, since engine_vs_simdjson takes every directory under the
first as a category); `python bench/corpus.py` prints a summary.
"""

from __future__ import annotations

import argparse
import json
import pathlib
import random
import re
import uuid
from dataclasses import dataclass
from typing import Callable

SEED = 20240517

# Words and names, half of them outside ASCII, so that string decoding and
# UTF-8 validation are part of every measurement.
_WORDS = (
    "flight hotel booking search refund invoice customer order shipment "
    "weather forecast summary report meeting calendar reminder query filter "
    "Zürich Kraków Malmö São Paulo Reykjavík Ελλάδα Москва 東京 서울 القاهرة "
    "naïve café jalapeño smörgåsbord façade coöperate résumé déjà vu"
).split()
_EMOJI = ("🙂", "🚀", "✅", "📦", "🌍", "🔥")
_TOOLS = (
    "search_flights",
    "create_invoice",
    "lookup_customer",
    "schedule_meeting",
    "get_weather",
    "summarise_document",
)


@dataclass(frozen=True)
class Category:
    name: str
    texts: tuple[str, ...]
    # Every text is one strict JSON document, so json.loads and orjson apply.
    strict: bool
    # A broken category: the repair targets against the repair peers apply.
    broken: bool

    @property
    def total_bytes(self) -> int:
        return sum(len(t.encode("utf-8")) for t in self.texts)


def _sentence(rng: random.Random, lo: int, hi: int) -> str:
    words = [rng.choice(_WORDS) for _ in range(rng.randint(lo, hi))]
    if rng.random() < 0.2:
        words.append(rng.choice(_EMOJI))
    return " ".join(words)


def _number(rng: random.Random) -> int | float:
    pick = rng.random()
    if pick < 0.4:
        return rng.randint(0, 10_000)
    if pick < 0.55:
        return rng.randint(-(2**40), 2**40)
    if pick < 0.8:
        return round(rng.uniform(-1000, 1000), 2)
    return rng.uniform(-1, 1) * 10 ** rng.randint(-8, 12)


def _tool_arguments(rng: random.Random, target_bytes: int, multiline: bool) -> dict:
    """One tool call: name, an arguments object with nested records."""
    args: dict = {
        "query": _sentence(rng, 4, 12),
        "limit": rng.randint(1, 100),
        "include_archived": rng.random() < 0.5,
        "cursor": None,
        "filters": {
            "min_price": round(rng.uniform(0, 500), 2),
            "max_price": round(rng.uniform(500, 5000), 2),
            "tags": [rng.choice(_WORDS) for _ in range(rng.randint(1, 6))],
        },
        "items": [],
    }
    while len(json.dumps(args, ensure_ascii=False)) < target_bytes:
        note = _sentence(rng, 3, 20)
        if multiline:
            note = note.replace(" ", "\n", 2).replace(" ", "\t", 1)
        args["items"].append(
            {
                "id": rng.randint(1, 10**9),
                "title": _sentence(rng, 2, 6),
                "note": note,
                "amount": _number(rng),
                "ratio": _number(rng),
                "done": rng.random() < 0.5,
            }
        )
    return {"name": rng.choice(_TOOLS), "arguments": args}


def _record(rng: random.Random, i: int) -> dict:
    return {
        "id": i,
        "name": _sentence(rng, 1, 3),
        "city": rng.choice(_WORDS),
        "price": round(rng.uniform(0, 10_000), 2),
        "score": rng.random(),
        "count": rng.randint(-1_000_000, 1_000_000),
        "active": rng.random() < 0.7,
        "tags": [rng.choice(_WORDS) for _ in range(rng.randint(0, 4))],
        "location": {
            "lat": round(rng.uniform(-90, 90), 6),
            "lon": round(rng.uniform(-180, 180), 6),
        },
        "comment": _sentence(rng, 0, 15) if rng.random() < 0.5 else None,
    }


def _records(rng: random.Random, target_bytes: int) -> list:
    out = []
    size = 2
    while size < target_bytes:
        rec = _record(rng, len(out))
        size += len(json.dumps(rec, ensure_ascii=False).encode("utf-8")) + 1
        out.append(rec)
    return out


def _pretty(obj: object) -> str:
    return json.dumps(obj, ensure_ascii=False, indent=2)


def _compact(obj: object) -> str:
    return json.dumps(obj, ensure_ascii=False, separators=(",", ":"))


def _add_trailing_commas(text: str, rng: random.Random, share: float) -> str:
    """A comma before a share of the closers (at least one) outside strings."""
    out = []
    in_string = escaped = False
    added = 0
    last = ""  # the last character outside layout whitespace
    for ch in text:
        if in_string:
            if escaped:
                escaped = False
            elif ch == "\\":
                escaped = True
            elif ch == '"':
                in_string = False
        elif ch == '"':
            in_string = True
        elif ch in "]}":
            if last not in "[{" and (rng.random() < share or added == 0):
                # The comma goes after the last element, before the layout.
                j = len(out)
                while j > 0 and out[j - 1] in " \n\t":
                    j -= 1
                out.insert(j, ",")
                added += 1
        out.append(ch)
        if ch not in " \n\t":
            last = ch
    return "".join(out)


def _raw_line_breaks(text: str) -> str:
    # The generated strings hold no backslash, so every escape is ours.
    return text.replace("\\n", "\n").replace("\\t", "\t")


def _hostile(rng: random.Random) -> list[str]:
    garbage = "".join(
        rng.choice('{}[]":,.-+0123456789eEtrufalsn \n\\abcxyzé🙂') for _ in range(20_000)
    )
    return [
        "[" * 5_000,  # unclosed, past every depth limit
        '{"a":' * 3_000,  # unclosed objects, each waiting for a value
        "[" * 2_000 + "]" * 2_000,  # balanced but too deep for the strict reader
        '"' + "x" * 50_000,  # a string that never closes
        "[" + "," * 20_000 + "]",  # a comma flood
        '{"k": "v"' + ',"k": 1' * 5_000 + "}",  # one key repeated
        "[" + "1e99999," * 2_000 + "1]",  # numbers out of range
        "-" * 20_000,  # a number run that never becomes a number
        '["\\u' + "\\ud800" * 4_000 + '"]',  # lone surrogate escapes
        garbage,
        "```" + "`" * 10_000,  # a fence and nothing inside
        '{"a": [1, 2, {"b": "c\n' * 1_000,  # truncated repeating shape
    ]


def build() -> list[Category]:
    rng = random.Random(SEED)
    small = [
        _tool_arguments(rng, rng.randint(900, 3_800), multiline=False) for _ in range(40)
    ]
    multiline = [
        _tool_arguments(rng, rng.randint(900, 3_800), multiline=True) for _ in range(40)
    ]
    large = [_records(rng, 1_000_000) for _ in range(3)]
    large_texts = (
        _compact(large[0]),
        _pretty(large[1]),
        json.dumps(large[2]),  # ASCII with \u escapes, default separators
    )
    truncated = []
    for obj in small:
        text = _pretty(obj)
        truncated.append(text[: rng.randint(len(text) * 3 // 10, len(text) * 95 // 100)])
    large_broken = _raw_line_breaks(
        _add_trailing_commas(_pretty(_records(rng, 1_000_000)), rng, 0.3)
    )
    return [
        Category("valid_small", tuple(_compact(o) for o in small), True, False),
        Category("valid_large", large_texts, True, False),
        Category(
            "fenced",
            tuple(f"```json\n{_pretty(o)}\n```" for o in small),
            False,
            True,
        ),
        Category(
            "trailing_commas",
            tuple(_add_trailing_commas(_pretty(o), rng, 0.4) for o in small),
            False,
            True,
        ),
        Category(
            "raw_newlines",
            tuple(_raw_line_breaks(_pretty(o)) for o in multiline),
            False,
            True,
        ),
        Category("truncated", tuple(truncated), False, True),
        Category(
            "double_encoded",
            tuple(json.dumps(_compact(o)) for o in small),
            True,
            True,
        ),
        Category("large_broken", (large_broken,), False, True),
        Category("hostile", tuple(_hostile(rng)), False, True),
    ]


# ---------------------------------------------------------------------------
# Lenient families: replies carrying the defects language models put in JSON.
# Each text is paired with the value a careful reader takes it to mean, that
# is what json.loads gives once the text is corrected by hand. Values come
# from the generators above; a renderer walks them and writes them with the
# defect, so no family rests on a handful of hand-written strings.


@dataclass(frozen=True)
class Family:
    name: str
    # (text, intended value) pairs.
    cases: tuple[tuple[str, object], ...]

    @property
    def total_bytes(self) -> int:
        return sum(len(text.encode("utf-8")) for text, _ in self.cases)


@dataclass(eq=False)
class _Leaf:
    """A value written as `text` that means `value`."""

    text: str
    value: object


@dataclass(eq=False)
class _Note:
    """A comment among the members of a container. `where` is "line" (on a
    line of its own), "before_comma" (after the previous value, before its
    comma) or "after_comma". Notes sit in lists as elements and in dicts as
    keys; identity hashing keeps each one distinct."""

    text: str
    where: str


@dataclass(eq=False)
class _Filler:
    """A placeholder that takes a member's place and means nothing: "..."."""

    text: str


_PLACED = (_Note, _Filler)


def _meaning(node: object) -> object:
    """The value a tree of markers stands for."""
    if isinstance(node, _Leaf):
        return node.value
    if isinstance(node, dict):
        return {k: _meaning(v) for k, v in node.items() if isinstance(k, str)}
    if isinstance(node, list):
        return [_meaning(v) for v in node if not isinstance(v, _PLACED)]
    return node


_ESCAPES = {"\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t", "\b": "\\b", "\f": "\\f"}
# Every control character; raw_controls writes them as they are.
_CONTROLS = frozenset(chr(c) for c in range(0x20))


def _quoted(
    s: str,
    open_: str = '"',
    close: str = '"',
    *,
    escape: str = '"',
    raw: frozenset = frozenset(),
    ascii_only: bool = False,
) -> str:
    """`s` between the two delimiters: the characters in `escape` and the
    backslash get a backslash, controls their JSON escape, unless they are in
    `raw`; with `ascii_only`, everything past ASCII becomes \\uXXXX."""
    out = [open_]
    for ch in s:
        if ch in raw:
            out.append(ch)
        elif ch in _ESCAPES:
            out.append(_ESCAPES[ch])
        elif ch in escape:
            out.append("\\" + ch)
        elif ch < " ":
            out.append(f"\\u{ord(ch):04x}")
        elif ascii_only and ch > "~":
            code = ord(ch)
            if code > 0xFFFF:
                code -= 0x10000
                out.append(f"\\u{0xD800 + (code >> 10):04x}\\u{0xDC00 + (code & 0x3FF):04x}")
            else:
                out.append(f"\\u{code:04x}")
        else:
            out.append(ch)
    out.append(close)
    return "".join(out)


_JSON_LITERALS = {True: "true", False: "false", None: "null"}


@dataclass
class _Style:
    """How one text writes what its tree does not fix itself."""

    indent: str | None = "  "  # None: the whole value on one line
    comma: str = ", "  # between members on one line
    colon: str = ": "
    ascii_only: bool = False
    delimiters: tuple[str, str] = ('"', '"')  # of most strings, where a defect changes them
    comment_kinds: tuple[str, ...] = ("//", "/*")
    quote: Callable[..., str] | None = None  # (s, raw=frozenset()) -> text
    key: Callable[[str], str] | None = None  # None: keys are written as strings
    literal: Callable[[object], str] = _JSON_LITERALS.__getitem__

    def string(self, s: str, raw: frozenset = frozenset()) -> str:
        if self.quote is not None:
            return self.quote(s, raw)
        return _quoted(s, raw=raw, ascii_only=self.ascii_only)


def _render(node: object, style: _Style, depth: int = 0) -> str:
    if isinstance(node, _Leaf):
        return node.text
    if node is None or isinstance(node, bool):
        return style.literal(node)
    if isinstance(node, (int, float)):
        return json.dumps(node)
    if isinstance(node, str):
        return style.string(node)
    entries: list = []
    if isinstance(node, dict):
        key = style.key or style.string
        for k, v in node.items():
            if isinstance(k, _Note):
                entries.append(k)
            elif isinstance(k, _Filler):
                entries.append(k.text)
            else:
                entries.append(key(k) + style.colon + _render(v, style, depth + 1))
        return _join(entries, "{", "}", style, depth)
    for v in node:
        if isinstance(v, _Note):
            entries.append(v)
        elif isinstance(v, _Filler):
            entries.append(v.text)
        else:
            entries.append(_render(v, style, depth + 1))
    return _join(entries, "[", "]", style, depth)


def _join(entries: list, open_: str, close: str, style: _Style, depth: int) -> str:
    """Members (texts) and notes between brackets, with commas only between
    members. A note before any member goes on a line of its own."""
    slots: list[tuple[str, list[str], list[str], list[str]]] = []
    waiting: list[str] = []  # notes on their own lines, before the next member
    for e in entries:
        if isinstance(e, _Note):
            if e.where == "line" or not slots:
                waiting.append(e.text)
            else:
                slots[-1][1 if e.where == "before_comma" else 2].append(e.text)
        else:
            slots.append((e, [], [], waiting))
            waiting = []
    last = len(slots) - 1
    if style.indent is None:
        chunks = []
        for i, (text, before, after, lines) in enumerate(slots):
            chunk = " ".join([*lines, text, *before]) + ("," if i < last else "")
            chunks.append(" ".join([chunk, *after]))
        chunks.extend(waiting)
        return open_ + (" " if style.comma.endswith(" ") else "").join(chunks) + close
    pad = style.indent * (depth + 1)
    out = []
    for i, (text, before, after, lines) in enumerate(slots):
        out.extend(pad + note.replace("\n", "\n" + pad) for note in lines)
        out.append(pad + " ".join([text, *before]) + ("," if i < last else "") + "".join(" " + a for a in after))
    out.extend(pad + note.replace("\n", "\n" + pad) for note in waiting)
    if not out:
        return open_ + close
    return open_ + "\n" + "\n".join(out) + "\n" + style.indent * depth + close


# --- walking and editing a value tree ---------------------------------------


def _containers(node: object) -> list:
    """Every dict and list in the tree, the root first."""
    if not isinstance(node, (dict, list)):
        return []
    out = [node]
    for k, v in node.items() if isinstance(node, dict) else enumerate(node):
        if not isinstance(k, _PLACED) and not isinstance(v, _PLACED):
            out.extend(_containers(v))
    return out


def _slots(node: object, kind: type | tuple) -> list[tuple]:
    """(container, key) of every plain leaf of the given kind, booleans
    excepted: no defect rewrites them one by one."""
    out = []
    for c in _containers(node):
        for k, v in list(c.items() if isinstance(c, dict) else enumerate(c)):
            if isinstance(k, _PLACED) or isinstance(v, (_Leaf, _Note, _Filler, dict, list)):
                continue
            if isinstance(v, kind) and not isinstance(v, bool):
                out.append((c, k))
    return out


def _pick(rng: random.Random, candidates: list, share: float) -> list:
    """A share of the candidates, and at least one when there are any."""
    chosen = [c for c in candidates if rng.random() < share]
    if candidates and not chosen:
        chosen = [rng.choice(candidates)]
    return chosen


def _add_member(rng: random.Random, node: object, key: str, value: object) -> None:
    """Puts `value` under a fresh key close to `key` in a random object of the
    tree, or appends it to a random list when the tree has no object."""
    places = _containers(node)
    objects = [c for c in places if isinstance(c, dict)]
    if not objects:
        rng.choice(places).append(value)
        return
    target = rng.choice(objects)
    fresh, n = key, 2
    while fresh in target:
        fresh, n = f"{key}_{n}", n + 1
    target[fresh] = value


def _insert_at(container: object, index: int, entry: object, value: object = None) -> None:
    """Inserts a list element, or a dict entry at position `index`."""
    if isinstance(container, list):
        container.insert(index, entry)
        return
    items = list(container.items())
    items.insert(index, (entry, value))
    container.clear()
    container.update(items)


def _with_word(rng: random.Random, s: str, word: str) -> str:
    words = s.split(" ") if s else []
    words.insert(rng.randint(0, len(words)), word)
    return " ".join(words)


# --- random material ----------------------------------------------------------

_ASCII_WORDS = tuple(w for w in _WORDS if w.isascii())
_APOSTROPHE_WORDS = (
    "don't", "l'été", "it's", "O'Brien", "aujourd'hui", "can't", "we'll",
    "d'Artagnan", "Côte d'Ivoire", "rock'n'roll", "isn't", "J'ai", "c'est",
)  # fmt: skip
_FIRST_NAMES = ("John", "María", "Zoë", "Ahmed", "Li", "Søren", "Amélie", "Kenji", "Olga")
_LAST_NAMES = ("Smith", "García", "Müller", "Nakamura", "Kowalski", "Ivanova", "Dubois", "Okafor")
_IDENTS = (
    "active", "pending", "archived", "red", "green", "blue", "admin", "EUR", "north",
    "en_US", "café", "naïve", "Zürich", "draft", "high", "low", "premium",
)  # fmt: skip
# Words a careful reader would take for a literal rather than a string.
_LITERAL_WORDS = frozenset(("true", "false", "null", "none", "nan", "infinity", "undefined", "yes", "no"))


def _person(rng: random.Random) -> str:
    return f"{rng.choice(_FIRST_NAMES)} {rng.choice(_LAST_NAMES)}"


def _uuid(rng: random.Random) -> str:
    return str(uuid.UUID(int=rng.getrandbits(128), version=4))


def _date(rng: random.Random) -> str:
    return f"{rng.randint(2015, 2026)}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}"


def _timestamp(rng: random.Random) -> str:
    time = f"{rng.randint(0, 23):02d}:{rng.randint(0, 59):02d}:{rng.randint(0, 59):02d}"
    if rng.random() < 0.3:
        time += f".{rng.randint(0, 999):03d}"
    zone = rng.choice(("Z", "Z", "+02:00", "-05:00", "+05:30"))
    return f"{_date(rng)}T{time}{zone}"


def _object_id(rng: random.Random) -> str:
    return f"{rng.randint(0x5F000000, 0x66000000):08x}{rng.getrandbits(64):016x}"


def _small_scalar(rng: random.Random) -> object:
    return rng.choice((rng.randint(0, 500), round(rng.uniform(-50, 50), 2), _sentence(rng, 1, 3), True, None))


def _lenient_value(rng: random.Random) -> dict | list:
    """A random value of a few hundred bytes to a few kilobytes."""
    pick = rng.random()
    if pick < 0.45:
        return _tool_arguments(rng, rng.randint(100, 1_500), multiline=False)
    if pick < 0.75:
        return _record(rng, rng.randint(0, 10_000))
    if pick < 0.9:
        return _records(rng, rng.randint(300, 1_500))
    return {"results": [_sentence(rng, 2, 8) for _ in range(rng.randint(2, 8))], "total": rng.randint(0, 99)}


def _layout(rng: random.Random) -> _Style:
    indent = rng.choice(("  ", "  ", "  ", "    ", "\t", None, None, None))
    tight = indent is None and rng.random() < 0.3
    return _Style(indent=indent, comma="," if tight else ", ", colon=":" if tight else ": ")


def _inner_quotes(rng: random.Random, s: str) -> str | None:
    """`s` with a span of inner words in double quotes, never its first or
    last word, so that a quote always has a word on its outer side; None when
    `s` is too short."""
    words = s.split(" ")
    if len(words) < 3:
        return None
    i = rng.randint(1, len(words) - 2)
    j = rng.randint(i, min(i + 2, len(words) - 2))
    span = words[i : j + 1]
    if len(span) > 1 and rng.random() < 0.3:
        span[0] += ","  # "yes, please"
    return " ".join([*words[:i], '"' + " ".join(span) + '"', *words[j + 1 :]])


def _said(rng: random.Random) -> str:
    return f'{_person(rng)} said "{_sentence(rng, 1, 4)}" to {rng.choice(("me", "us", "the team", _person(rng)))}'


# --- defects --------------------------------------------------------------------
#
# A defect adjusts the style, then rewrites the value tree (knowing the style,
# so that the leaves it writes itself use the text's own quotes), then may
# touch the finished text. Every defect leaves at least one mark.


def _no_style(rng: random.Random, style: _Style) -> None:
    pass


def _no_value(rng: random.Random, node: object, style: _Style) -> None:
    pass


def _no_text(rng: random.Random, text: str, style: _Style) -> str:
    return text


@dataclass(frozen=True)
class _Defect:
    style: Callable[[random.Random, _Style], None] = _no_style
    value: Callable[[random.Random, object, _Style], None] = _no_value
    text: Callable[[random.Random, str, _Style], str] = _no_text


def _apostrophes_inside_words(s: str) -> bool:
    return all(0 < i < len(s) - 1 and s[i - 1].isalpha() and s[i + 1].isalpha() for i, c in enumerate(s) if c == "'")


def _single_quote_style(rng: random.Random, style: _Style) -> None:
    def quote(s: str, raw: frozenset = frozenset()) -> str:
        raw = raw | {'"'}
        if "'" in s:
            policy = rng.random()
            if policy < 0.4 and '"' not in s:
                return _quoted(s, raw=raw - {'"'}, ascii_only=style.ascii_only)  # as Python's repr does
            if policy < 0.7 or not _apostrophes_inside_words(s):
                return _quoted(s, "'", "'", escape="'", raw=raw, ascii_only=style.ascii_only)
            return _quoted(s, "'", "'", escape="", raw=raw, ascii_only=style.ascii_only)
        return _quoted(s, "'", "'", escape="'", raw=raw, ascii_only=style.ascii_only)

    style.quote = quote
    style.delimiters = ("'", "'")
    if rng.random() < 0.15:
        style.key = _quoted  # only the values in single quotes


def _single_quote_value(rng: random.Random, node: object, style: _Style) -> None:
    for c, k in _pick(rng, _slots(node, str), 0.25):
        c[k] = _with_word(rng, c[k], rng.choice(_APOSTROPHE_WORDS))
    if rng.random() < 0.3:
        _add_member(rng, node, "remark", _said(rng))


_LITERAL_SPELLINGS = (
    {True: "True", False: "False", None: "None"},
    {True: "True", False: "False", None: "None"},
    {True: "TRUE", False: "FALSE", None: "NULL"},
    {True: "True", False: "False", None: "Null"},
    {True: "true", False: "false", None: "None"},
    {True: "True", False: "False", None: "null"},
)


def _literal_style(rng: random.Random, style: _Style) -> None:
    main, other = rng.choice(_LITERAL_SPELLINGS), rng.choice(_LITERAL_SPELLINGS)
    mixed = rng.random() < 0.2
    style.literal = lambda v: (other if mixed and rng.random() < 0.4 else main)[v]


def _literal_value(rng: random.Random, node: object, style: _Style) -> None:
    _add_member(rng, node, "verified", rng.random() < 0.5)
    _add_member(rng, node, "deleted_at", None)


_COMMENT_TEXTS = (
    '"limit" must stay under 100',
    "TODO: fill in {id}",
    "see [1], [2]",
    "don't change this",
    "a, b: c",
    "prices in EUR, tax included",
    "see https://example.com/docs#limits",
    "optional",
)


def _comment_style(rng: random.Random, style: _Style) -> None:
    style.comment_kinds = rng.choice((("//", "/*"), ("//",), ("#",), ("/*",), ("//", "/*", "#")))
    if style.indent is None and rng.random() < 0.6:
        style.indent = "  "  # line comments need lines


def _comment(rng: random.Random, style: _Style, where: str) -> str:
    words = rng.choice(_COMMENT_TEXTS) if rng.random() < 0.3 else _sentence(rng, 1, 6)
    kinds = style.comment_kinds
    if style.indent is None or where == "before_comma":
        kinds = ("/*",)  # a line comment would swallow the comma or the rest of the line
    kind = rng.choice(kinds)
    if kind == "/*":
        if where == "line" and style.indent is not None and rng.random() < 0.2:
            return f"/*\n * {words}\n * {_sentence(rng, 1, 5)}\n */"
        return f"/* {words} */"
    return f"{kind} {words}"


def _comment_value(rng: random.Random, node: object, style: _Style) -> None:
    if rng.random() < 0.5:
        _add_member(rng, node, "url", f"https://example.com/{rng.choice(_ASCII_WORDS)}#{rng.choice(_ASCII_WORDS)}")
    if rng.random() < 0.3:
        _add_member(rng, node, "pattern", rng.choice(("src/**/*.py", "/* keep */", "a // b", "# heading", "C:/tmp/*")))
    for c in _pick(rng, [c for c in _containers(node) if c], 0.3):
        for _ in range(rng.randint(1, 2)):
            where = rng.choice(("line", "before_comma", "after_comma"))
            # Never before the first member: it would be a "line" note anyway.
            _insert_at(c, rng.randint(1, len(c)), _Note(_comment(rng, style, where), where))


def _comment_text(rng: random.Random, text: str, style: _Style) -> str:
    if rng.random() < 0.2:
        text = _comment(rng, style, "line") + "\n" + text
    if rng.random() < 0.4:
        text += "\n" + _comment(rng, _Style(comment_kinds=style.comment_kinds), "line")
    return text


_ODD_KEYS = (
    "_id", "$ref", "café", "naïve_score", "größe", "日付", "camelCase", "x1", "Ελλάδα", "class",
    "default", "$", "_", "first name", "max-price", "2nd", "a.b",
)  # fmt: skip


def _bare_key(k: str) -> bool:
    """Whether `k` may be written without quotes, as an identifier (with $)."""
    return k.replace("$", "_").isidentifier() and k.lower() not in _LITERAL_WORDS


def _unquoted_key_style(rng: random.Random, style: _Style) -> None:
    share = 1.0 if rng.random() < 0.7 else 0.6
    style.key = lambda k: k if _bare_key(k) and rng.random() < share else style.string(k)


def _unquoted_key_value(rng: random.Random, node: object, style: _Style) -> None:
    for _ in range(rng.randint(1, 3)):
        _add_member(rng, node, rng.choice(_ODD_KEYS), _small_scalar(rng))


# Characters a bare word never holds: they would end it or start a comment.
_BARE_WORD = re.compile(r"[^\W\d_][^\s,:\[\]{}\"'#/\\()]*(?: [^\s,:\[\]{}\"'#/\\()]+)*")


def _bare_value(rng: random.Random, node: object, style: _Style) -> None:
    fields = [
        ("id", lambda: _uuid(rng)),
        ("date", lambda: _date(rng)),
        ("created_at", lambda: _timestamp(rng)),
        ("status", lambda: rng.choice(_IDENTS)),
        ("name", lambda: _person(rng)),
        ("colors", lambda: rng.sample(_IDENTS, rng.randint(1, 4))),
    ]
    for key, make in rng.sample(fields, rng.randint(1, 4)):
        value = make()
        if isinstance(value, list):
            _add_member(rng, node, key, [_Leaf(v, v) for v in value])
        else:
            _add_member(rng, node, key, _Leaf(value, value))
    share = rng.uniform(0.2, 0.8)
    for c, k in _slots(node, str):
        s = c[k]
        if _BARE_WORD.fullmatch(s) and s.split(" ")[0].lower() not in _LITERAL_WORDS and rng.random() < share:
            c[k] = _Leaf(s, s)


def _unescaped_quote_value(rng: random.Random, node: object, style: _Style) -> None:
    marked = 0
    for c, k in _slots(node, str):
        if rng.random() < 0.3:
            s = _inner_quotes(rng, c[k])
            if s is not None:
                c[k] = _Leaf(style.string(s, frozenset('"')), s)
                marked += 1
    if not marked or rng.random() < 0.3:
        s = _said(rng)
        _add_member(rng, node, "quote", _Leaf(style.string(s, frozenset('"')), s))
    if rng.random() < 0.3:
        quotes = [q for q in (_inner_quotes(rng, _sentence(rng, 3, 8)) for _ in range(rng.randint(1, 4))) if q]
        _add_member(rng, node, "quotes", [_Leaf(style.string(q, frozenset('"')), q) for q in quotes])


def _spell_number(rng: random.Random, n: float) -> str | None:
    """Another spelling of `n` that a reader takes for the same number."""
    options = []
    if isinstance(n, int):
        if n > 0:
            options.append("+" + str(n))
        if abs(n) >= 1000:
            options.append(f"{n:_}")
        if 0 < n <= 0xFFFF:
            options.append(rng.choice(("0x%X", "0x%x")) % n)
        if 0 < abs(n) < 1000:
            options.append(("-" if n < 0 else "") + "0" * rng.randint(1, 2) + str(abs(n)))
    else:
        r = repr(n)
        if r.startswith("0."):
            options.append(r[1:])
        if r.startswith("-0."):
            options.append("-" + r[2:])
        if r.endswith(".0") and "e" not in r:
            options.append(r[:-1])
        if n > 0:
            options.append("+" + r)
    return rng.choice(options) if options else None


def _number_value(rng: random.Random, node: object, style: _Style) -> None:
    extras = {
        "ratio": round(rng.uniform(0.01, 0.99), 2),
        "delta": -round(rng.uniform(0.01, 0.99), 2),
        "weight": float(rng.randint(1, 500)),
        "population": rng.randint(1_000, 10**9),
        "code": rng.randint(1, 255),
        "rate": float(rng.choice((1, 2, 5))) * 10 ** rng.randint(3, 9),
    }
    for key in rng.sample(sorted(extras), rng.randint(1, 4)):
        _add_member(rng, node, key, extras[key])
    spelled = 0
    share = rng.uniform(0.2, 0.6)
    for c, k in _slots(node, (int, float)):
        n = c[k]
        if isinstance(n, float) and n >= 1000 and n.is_integer() and rng.random() < 0.5:
            mantissa, exponent = int(n), 0
            while mantissa % 10 == 0:
                mantissa, exponent = mantissa // 10, exponent + 1
            if exponent:
                c[k] = _Leaf(f"{mantissa}{rng.choice('eE')}{exponent}", n)  # strict JSON, and a float
                continue
        if rng.random() < share or not spelled:
            text = _spell_number(rng, n)
            if text is not None:
                c[k] = _Leaf(text, n)
                spelled += 1


_NON_FINITE = ("NaN", "NaN", "Infinity", "-Infinity", "undefined", "undefined")


def _non_finite_value(rng: random.Random, node: object, style: _Style) -> None:
    if rng.random() < 0.4:
        _add_member(rng, node, rng.choice(("ratio", "score", "mean", "max")), 0.0)
    for c, k in _pick(rng, _slots(node, (int, float, type(None))), rng.uniform(0.1, 0.35)):
        c[k] = _Leaf(rng.choice(_NON_FINITE), None)


def _ellipsis_value(rng: random.Random, node: object, style: _Style) -> None:
    def filler() -> _Filler:
        return _Filler("..." if rng.random() < 0.8 else "…")

    candidates = [c for c in _containers(node) if c]
    for c in _pick(rng, candidates, 0.25):
        if isinstance(c, dict):
            _insert_at(c, len(c), filler())
            continue
        where = rng.random()
        if where < 0.6:
            c.append(filler())
        elif where < 0.8 or len(c) < 2:
            c.insert(0, filler())
        else:
            c.insert(rng.randint(1, len(c) - 1), filler())


def _concatenated(rng: random.Random, s: str, style: _Style) -> str:
    """`s` as two or three quoted parts joined by +, split at spaces."""
    spaces = [i for i, ch in enumerate(s) if ch == " " and 0 < i < len(s) - 1]
    cuts = sorted(rng.sample(spaces, min(len(spaces), rng.randint(1, 2))))
    parts, start = [], 0
    for cut in cuts:
        end = cut + 1 if rng.random() < 0.7 else cut  # the space ends one part or starts the next
        parts.append(s[start:end])
        start = end
    parts.append(s[start:])
    joint = " + " if style.indent is None or rng.random() < 0.7 else " +\n" + style.indent * 2
    return joint.join(style.string(p) for p in parts)


def _concatenation_value(rng: random.Random, node: object, style: _Style) -> None:
    candidates = [(c, k) for c, k in _slots(node, str) if " " in c[k].strip() and not set(c[k]) & set("\"'“”‘’„")]
    if not candidates:
        s = _sentence(rng, 3, 10)
        _add_member(rng, node, "summary", s)
        candidates = [(c, k) for c, k in _slots(node, str) if c[k] is s]
    for c, k in _pick(rng, candidates, rng.uniform(0.1, 0.4)):
        c[k] = _Leaf(_concatenated(rng, c[k], style), c[k])


_RAW_CONTROLS = ("\b", "\f", "\x01", "\x1f", "\x0b", "\x1e", "\x07")
_RAW_LAYOUT = ("\n", "\t", "\r\n", "\n\n")


def _raw_control_value(rng: random.Random, node: object, style: _Style) -> None:
    def spoil(s: str, hard: bool) -> str:
        if hard:
            if rng.random() < 0.25:
                word = rng.choice(_WORDS)
                return _with_word(rng, s, f"\x1b[{rng.choice((1, 31, 32))}m{word}\x1b[0m")  # a terminal colour
            i = rng.randint(0, len(s))
            return s[:i] + rng.choice(_RAW_CONTROLS) + s[i:]
        spaces = [i for i, ch in enumerate(s) if ch == " "]
        if not spaces:
            return s + rng.choice(_RAW_LAYOUT)
        for i in sorted(rng.sample(spaces, min(len(spaces), rng.randint(1, 2))), reverse=True):
            s = s[:i] + rng.choice(_RAW_LAYOUT) + s[i + 1 :]  # a line break where the space was
        return s

    chosen = _pick(rng, _slots(node, str), rng.uniform(0.1, 0.4))
    for n, (c, k) in enumerate(chosen):
        s = spoil(c[k], hard=n == 0 or rng.random() < 0.4)
        c[k] = _Leaf(style.string(s, _CONTROLS), s)


_SMART_PAIRS = (("“", "”"),) * 14 + (("‘", "’"),) * 3 + (("”", "”"),) * 2 + (("„", "“"),)


def _smart_quote_style(rng: random.Random, style: _Style) -> None:
    keys = values = rng.choice(_SMART_PAIRS)
    if rng.random() < 0.15:
        values = rng.choice(_SMART_PAIRS)
    partly = rng.random() < 0.15  # only some strings went through the word processor

    def quoter(pair: tuple[str, str]) -> Callable[..., str]:
        def quote(s: str, raw: frozenset = frozenset()) -> str:
            if partly and rng.random() < 0.4:
                return _quoted(s, raw=raw, ascii_only=style.ascii_only)
            return _quoted(s, *pair, escape="", raw=raw | {'"'}, ascii_only=style.ascii_only)

        return quote

    style.quote = quoter(values)
    style.key = quoter(keys)
    style.delimiters = values


def _smart_quote_value(rng: random.Random, node: object, style: _Style) -> None:
    if "’" in style.delimiters:
        return  # an apostrophe would read as the closing quote
    for c, k in _pick(rng, _slots(node, str), 0.15):
        c[k] = _with_word(rng, c[k], rng.choice(_APOSTROPHE_WORDS).replace("'", "’"))


_DEFECTS = {
    "single_quotes": _Defect(style=_single_quote_style, value=_single_quote_value),
    "python_literals": _Defect(style=_literal_style, value=_literal_value),
    "comments": _Defect(style=_comment_style, value=_comment_value, text=_comment_text),
    "unquoted_keys": _Defect(style=_unquoted_key_style, value=_unquoted_key_value),
    "bare_words": _Defect(value=_bare_value),
    "unescaped_quotes": _Defect(value=_unescaped_quote_value),
    "number_spellings": _Defect(value=_number_value),
    "non_finite": _Defect(value=_non_finite_value),
    "ellipsis": _Defect(value=_ellipsis_value),
    "concatenation": _Defect(value=_concatenation_value),
    "raw_controls": _Defect(value=_raw_control_value),
    "smart_quotes": _Defect(style=_smart_quote_style, value=_smart_quote_value),
}
# Pairs that cannot share a reply: each decides how strings are delimited, or
# one puts double quotes inside strings that the other writes.
_CLASHES = (
    {"single_quotes", "smart_quotes"},
    {"single_quotes", "unescaped_quotes"},
    {"smart_quotes", "unescaped_quotes"},
)


def _styled(rng: random.Random, names: list[str], node: object = None) -> tuple[str, object]:
    """A random value (or `node`) written with the named defects."""
    style = _layout(rng)
    defects = [_DEFECTS[n] for n in names]
    for d in defects:
        d.style(rng, style)
    if node is None:
        node = _lenient_value(rng)
    for d in defects:
        d.value(rng, node, style)
    text = _render(node, style)
    for d in defects:
        text = d.text(rng, text, style)
    return text, _meaning(node)


def _one(name: str) -> Callable[[random.Random], tuple[str, object]]:
    return lambda rng: _styled(rng, [name])


# --- families that reshape the whole text -----------------------------------------


def _python_literals(rng: random.Random) -> tuple[str, object]:
    if rng.random() < 0.4:
        value = _lenient_value(rng)
        return repr(value), value
    return _styled(rng, ["python_literals"])


def _mongo_document(rng: random.Random, i: int) -> dict:
    oid = _object_id(rng)
    doc: dict = {"_id": _Leaf(f'ObjectId("{oid}")', oid)}
    doc.update(_record(rng, i))
    ts = _timestamp(rng).split(".")[0][:19] + rng.choice(("Z", ".000Z"))
    doc["created_at"] = _Leaf(f'ISODate("{ts}")', ts)
    for c, k in _pick(rng, _slots(doc, int), 0.5):
        n = c[k]
        form = "NumberInt" if abs(n) < 2**31 and rng.random() < 0.5 else "NumberLong"
        c[k] = _Leaf(f"{form}({n})", n)
    for c, k in _slots(doc, float):
        if rng.random() < 0.3:
            c[k] = _Leaf(f'NumberDecimal("{c[k]!r}")', repr(c[k]))
    return doc


def _wrappers(rng: random.Random) -> tuple[str, object]:
    if rng.random() < 0.5:
        docs = [_mongo_document(rng, i) for i in range(rng.randint(1, 3))]
        node: object = docs[0] if len(docs) == 1 else docs
        style = _Style(indent=rng.choice(("\t", "\t", None)), colon=" : ")
        text = _render(node, style)
        if style.indent is None:
            text = text[0] + " " + text[1:-1] + " " + text[-1]  # the shell pads one-line documents
        return text, _meaning(node)
    name = rng.choice(
        (
            "callback",
            "cb",
            "handleResponse",
            f"jQuery{rng.randint(10**17, 10**18 - 1)}_{rng.randint(10**12, 10**13 - 1)}",
            "angular.callbacks._0",
            "__jp3",
        )
    )
    text, value = _styled(rng, [])
    text = f"{name}({text})" + rng.choice((";", ";", "", ";\n"))
    if rng.random() < 0.15:
        text = "/**/" + text
    return text, value


def _json_lines(rng: random.Random) -> tuple[str, object]:
    values: list = []
    for i in range(rng.randint(2, 6)):
        pick = rng.random()
        if pick < 0.7:
            values.append(_record(rng, i))
        elif pick < 0.85:
            values.append({"event": rng.choice(_IDENTS), "at": _timestamp(rng), "n": rng.randint(0, 99)})
        else:
            values.append([_sentence(rng, 1, 3) for _ in range(rng.randint(1, 4))])
    dump = _compact if rng.random() < 0.5 else json.dumps
    separator = rng.choice(("\n", "\n", "\n", "\n\n", ", ", ",\n", "\r\n"))
    text = separator.join(dump(v) for v in values)
    if rng.random() < 0.5 and separator.strip() != ",":
        text += "\n"
    return text, values


def _escaped_document(rng: random.Random) -> tuple[str, object]:
    value = _lenient_value(rng)
    inner = json.dumps(value, ensure_ascii=rng.random() < 0.3, indent=rng.choice((None, None, 2)))
    return json.dumps(inner, ensure_ascii=False)[1:-1], value


_ENDINGS = ("café", "résumé", "Malmö", "déjà", "東京", "Ελλάδα", "🚀", "🙂", "naïveté")


def _truncated_escape(rng: random.Random) -> tuple[str, object]:
    node = _lenient_value(rng)
    container = node
    while rng.random() < 0.5:
        last = list(container.values())[-1] if isinstance(container, dict) else container[-1]
        if not isinstance(last, (dict, list)) or not last:
            break
        container = last
    s = _sentence(rng, 1, 8)
    layout = rng.random()
    if layout < 0.15:
        s += "\n"  # the cut comes right after the backslash of \n
    elif layout < 0.25:
        s = _said(rng) + ' "' + rng.choice(_WORDS) + '"'  # ... or of \"
    elif s[-1].isascii():
        s += " " + rng.choice(_ENDINGS)
    style = _layout(rng)
    if rng.random() < 0.6:
        style.ascii_only = True
        leaf: object = s
    else:
        leaf = _Leaf(_quoted(s, ascii_only=True), s)
    if isinstance(container, dict):
        key = "summary"
        while key in container:
            key += "_"
        container[key] = leaf
    else:
        container.append(leaf)
    text = _render(node, style)
    close = len(text.rstrip("]} \n\t")) - 1
    escape = _quoted(s[-1], "", "", ascii_only=True)
    assert text[close] == '"' and text[close - len(escape) : close] == escape
    cut = rng.randint(close - len(escape) + 1, close - 1)
    if isinstance(container, dict):
        container[key] = s[:-1]
    else:
        container[-1] = s[:-1]
    return text[:cut], _meaning(node)


def _top_level_concatenation(rng: random.Random) -> tuple[str, object]:
    if rng.random() < 0.15:
        s = _sentence(rng, 15, 40)
        return _concatenated(rng, s, _Style(indent="  ")), s
    return _styled(rng, ["concatenation"])


_PROSE_BEFORE = (
    "Sure! Here is the JSON:\n",
    "Here's the result you asked for.\n\n",
    "Certainly. The extracted data:\n",
    "Output:\n",
    "",
)
_PROSE_AFTER = ("\nLet me know if you need anything else!", "\n\nHope this helps.", "", "\n")


def _mixed(rng: random.Random) -> tuple[str, object]:
    names = sorted(_DEFECTS)
    while True:
        chosen = rng.sample(names, rng.randint(2, 4))
        if not any(clash <= set(chosen) for clash in _CLASHES):
            break
    text, value = _styled(rng, chosen)
    if rng.random() < 0.1:
        text = f"callback({text});"
    wrap = rng.random()
    if wrap < 0.5:
        fence = rng.choice(("```json", "```json", "```", "```JSON", "```javascript"))
        text = f"{rng.choice(_PROSE_BEFORE)}{fence}\n{text}\n```{rng.choice(_PROSE_AFTER)}"
    elif wrap < 0.65:
        text = f"{rng.choice(_PROSE_BEFORE[:-1])}{text}{rng.choice(_PROSE_AFTER)}"
    return text, value


def _strict_json(text: str) -> bool:
    """Whether json.loads reads `text` as it stands (NaN and Infinity refused)."""

    def refuse(name: str) -> object:
        raise ValueError(name)

    try:
        json.loads(text, parse_constant=refuse)
    except ValueError:
        return False
    return True


# (name, generator); the index gives each family its own seed, so a family can
# be added or changed without moving the texts of the others.
_FAMILIES: tuple[tuple[str, Callable[[random.Random], tuple[str, object]]], ...] = (
    ("single_quotes", _one("single_quotes")),
    ("python_literals", _python_literals),
    ("comments", _one("comments")),
    ("unquoted_keys", _one("unquoted_keys")),
    ("bare_words", _one("bare_words")),
    ("unescaped_quotes", _one("unescaped_quotes")),
    ("number_spellings", _one("number_spellings")),
    ("non_finite", _one("non_finite")),
    ("wrappers", _wrappers),
    ("ellipsis", _one("ellipsis")),
    ("concatenation", _top_level_concatenation),
    ("json_lines", _json_lines),
    ("escaped_document", _escaped_document),
    ("raw_controls", _one("raw_controls")),
    ("truncated_escape", _truncated_escape),
    ("smart_quotes", _one("smart_quotes")),
    ("mixed", _mixed),
)
_TEXTS_PER_FAMILY = 48
_TEXT_BYTES = (100, 3_200)


def lenient_families() -> list[Family]:
    """Every family: texts of 100 B to 3.2 KB that carry the family's defect
    (none of them is strict JSON), each with its intended value."""
    families = []
    for k, (name, make) in enumerate(_FAMILIES):
        rng = random.Random(SEED + 1_000 + k)
        cases: list[tuple[str, object]] = []
        while len(cases) < _TEXTS_PER_FAMILY:
            text, value = make(rng)
            size = len(text.encode("utf-8"))
            if _TEXT_BYTES[0] <= size <= _TEXT_BYTES[1] and not _strict_json(text):
                cases.append((text, value))
        families.append(Family(name, tuple(cases)))
    return families


def rewrite_heavy() -> tuple[str, object]:
    """The repr() of ~1 MB of records (single quotes, True, False, None
    throughout) and the records themselves. A seed of its own, so the other
    texts do not move."""
    records = _records(random.Random(SEED + 2_000), 1_000_000)
    return repr(records), records


def write(directory: pathlib.Path, categories: list[Category]) -> None:
    for cat in categories:
        sub = directory / cat.name
        sub.mkdir(parents=True, exist_ok=True)
        for old in sub.glob("*.json"):
            old.unlink()
        for i, text in enumerate(cat.texts):
            (sub / f"{i:02d}.json").write_bytes(text.encode("utf-8"))


def write_lenient(directory: pathlib.Path, families: list[Family]) -> None:
    """DIR/<family>/NN.txt for each family, DIR/rewrite_heavy/00.txt."""
    groups = [(fam.name, [text for text, _ in fam.cases]) for fam in families]
    groups.append(("rewrite_heavy", [rewrite_heavy()[0]]))
    for name, texts in groups:
        sub = directory / name
        sub.mkdir(parents=True, exist_ok=True)
        for old in sub.glob("*.txt"):
            old.unlink()
        for i, text in enumerate(texts):
            (sub / f"{i:02d}.txt").write_bytes(text.encode("utf-8"))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--write", type=pathlib.Path, help="write the texts here")
    parser.add_argument(
        "--write-lenient",
        type=pathlib.Path,
        metavar="DIR",
        help="write the lenient families and the rewrite-heavy text here",
    )
    args = parser.parse_args()
    categories = build()
    if args.write:
        write(args.write, categories)
    families = lenient_families()
    if args.write_lenient:
        write_lenient(args.write_lenient, families)
    for cat in categories:
        print(f"{cat.name:16} {len(cat.texts):3} texts {cat.total_bytes / 1e6:8.3f} MB")
    for fam in families:
        print(f"{fam.name:16} {len(fam.cases):3} texts {fam.total_bytes:9d} bytes")


if __name__ == "__main__":
    main()
