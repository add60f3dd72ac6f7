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

`python bench/corpus.py --write DIR` writes each text to DIR/<category>/NN.json
for the C++ benchmark; `python bench/corpus.py` prints a summary.
"""

from __future__ import annotations

import argparse
import json
import pathlib
import random
from dataclasses import dataclass

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


def write(directory: pathlib.Path, categories: list[Category]) -> None:
    for cat in categories:
        sub = directory / cat.name
        sub.mkdir(parents=True, exist_ok=True)
        for old in sub.glob("*.json"):
            old.unlink()
        for i, text in enumerate(cat.texts):
            (sub / f"{i:02d}.json").write_bytes(text.encode("utf-8"))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--write", type=pathlib.Path, help="write the texts here")
    args = parser.parse_args()
    categories = build()
    if args.write:
        write(args.write, categories)
    for cat in categories:
        print(f"{cat.name:16} {len(cat.texts):3} texts {cat.total_bytes / 1e6:8.3f} MB")


if __name__ == "__main__":
    main()
