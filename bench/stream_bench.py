"""Streaming replies: the cost of reading a reply chunk by chunk.

For each shape and chunk size, in one process with the collector on:

- events: ``Stream.feed`` on every chunk, the events consumed (counted), the
  value never read; against the bound of 3x one ``loads()`` of the whole
  text plus 100 ns per chunk;
- value: ``Stream.feed`` and ``Stream.value`` after every chunk;
- jiter: ``jiter.from_json(prefix, partial_mode="trailing-strings")`` after
  every chunk, the way clients re-parse today;
- floor (the long-string shape): the growing string alone, a new ``str``
  of the text so far after every chunk;
- partial-json-parser, pure Python, on the 20 KB tool call at 64 characters.

Then the cost per chunk over the first and the last tenth of a 1 MB records
reply in 64-character chunks, events consumed.

Run: ``python bench/stream_bench.py`` (after ``pip install . jiter
partial-json-parser``). Prints a Markdown table.
"""

import json
import random
import sys
import time

import tarnwick

try:
    import jiter
except ImportError:  # the table says so
    jiter = None
try:
    import partial_json_parser
except ImportError:
    partial_json_parser = None


def records(target):
    """An array of records as replies list them, about `target` bytes."""
    rng = random.Random(1)
    out, size, i = [], 2, 0
    while size < target:
        row = {
            "id": i,
            "name": f"user_{i}",
            "email": f"user{i}@example.com",
            "active": rng.random() < 0.5,
            "score": round(rng.random() * 100, 2),
            "tags": rng.sample(["red", "green", "blue", "admin", "beta"], 2),
        }
        out.append(row)
        size += len(json.dumps(row)) + 2
        i += 1
    return json.dumps(out, indent=None)


def long_string(target):
    """An object with one long prose field, as a model writes an essay."""
    words = "the quick brown fox jumps over a lazy dog and writes\n".split(" ")
    rng = random.Random(2)
    text = []
    size = 0
    while size < target:
        w = rng.choice(words)
        text.append(w)
        size += len(w) + 1
    return json.dumps({"title": "Report", "body": " ".join(text), "done": True})


def tool_call(target):
    """A tool call's arguments: nested objects, a list of items, code in a string."""
    rng = random.Random(3)
    items = []
    size = 0
    while size < target * 0.8:
        item = {"path": f"src/file_{len(items)}.py", "line": rng.randint(1, 999), "change": "x = x + 1\n" * 3}
        items.append(item)
        size += len(json.dumps(item))
    return json.dumps({"name": "apply_edits", "arguments": {"edits": items, "message": "fix " * 200, "dry_run": False}})


def numbers(target):
    """A flat array of floats: every value a number that ends at a comma."""
    rng = random.Random(4)
    out, size = [], 2
    while size < target:
        x = round(rng.uniform(-1e3, 1e3), 4)
        out.append(x)
        size += len(repr(x)) + 2
    return json.dumps(out)


def chunks_of(text, n):
    return [text[i : i + n] for i in range(0, len(text), n)]


def best(run, repeat=5):
    """The best of `repeat` runs, in seconds."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def events_only(chunks):
    s = tarnwick.Stream()
    n = 0
    for c in chunks:
        n += len(s.feed(c))
    return n


def value_each(chunks):
    s = tarnwick.Stream()
    for c in chunks:
        s.feed(c)
        _ = s.value


def jiter_each(chunks):
    prefix = ""
    for c in chunks:
        prefix += c
        jiter.from_json(prefix.encode(), partial_mode="trailing-strings")


def pjp_each(chunks):
    prefix = ""
    for c in chunks:
        prefix += c
        partial_json_parser.loads(prefix)


def floor_each(chunks):
    text = ""
    kept = None
    for c in chunks:
        # A new str each time, as a snapshot must be: the one before is kept.
        kept = text
        text = kept + c
    return kept


def flat_cost(text, size=64):
    """ns per chunk over the first and the last tenth of the chunks, events consumed."""
    chunks = chunks_of(text, size)
    tenth = len(chunks) // 10
    firsts, lasts = [], []
    for _ in range(5):
        s = tarnwick.Stream()
        start = time.perf_counter()
        for c in chunks[:tenth]:
            s.feed(c)
        firsts.append(time.perf_counter() - start)
        for c in chunks[tenth:-tenth]:
            s.feed(c)
        start = time.perf_counter()
        for c in chunks[-tenth:]:
            s.feed(c)
        lasts.append(time.perf_counter() - start)
    return min(firsts) / tenth * 1e9, min(lasts) / tenth * 1e9


def ms(seconds):
    return f"{seconds * 1e3:.2f}"


def main():
    shapes = [
        ("84 KB array of records", records(84_000)),
        ("94 KB object with one long string", long_string(94_000)),
        ("20 KB tool call", tool_call(20_000)),
        ("100 KB array of numbers", numbers(100_000)),
    ]
    print(f"Python {sys.version.split()[0]}, tarnwick {tarnwick.__version__}, collector on\n")
    print("| payload | chunk | chunks | loads() whole | events | bound | value read | jiter re-parse | jiter / value |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, text in shapes:
        assert tarnwick.loads(text) == json.loads(text)
        whole = best(lambda: tarnwick.loads(text))  # noqa: B023 - run at once
        for size in (4, 16, 64):
            chunks = chunks_of(text, size)
            events = best(lambda: events_only(chunks))  # noqa: B023
            value = best(lambda: value_each(chunks), 3)  # noqa: B023
            bound = 3 * whole + 100e-9 * len(chunks)
            if jiter is not None:
                jit = best(lambda: jiter_each(chunks), 1)  # noqa: B023
                jit_cells = f"{ms(jit)} | {jit / value:.0f}x"
            else:
                jit_cells = "- | -"
            print(
                f"| {name} | {size} | {len(chunks)} | {ms(whole)} | {ms(events)} | {ms(bound)} "
                f"| {ms(value)} | {jit_cells} |"
            )
        if "long string" in name:
            floor = best(lambda: floor_each(chunks_of(text, 16)))  # noqa: B023
            print(f"\nFloor of the long string at 16 characters (a new str of the text so far per chunk): {ms(floor)} ms\n")
    if partial_json_parser is not None:
        chunks = chunks_of(shapes[2][1], 64)
        pjp = best(lambda: pjp_each(chunks), 1)
        print(f"\npartial-json-parser, 20 KB tool call at 64 characters: {ms(pjp)} ms")
    first, last = flat_cost(records(1_000_000))
    print(f"\n1 MB records at 64 characters, events consumed: {first:.0f} ns per chunk over the first tenth, "
          f"{last:.0f} ns over the last ({last / first:.2f}x)")


if __name__ == "__main__":
    main()
