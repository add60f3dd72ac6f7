"""Calls from several threads give exactly what one thread gets."""

import threading
from pathlib import Path

from tarnwick import repair

ROOT = Path(__file__).resolve().parents[2]
THREADS = 8
ROUNDS = 3

OPTIONS = [
    {},
    {"fallback": "empty-object", "strip_code_fences": False},
    {"unwrap_double_encoded": False, "max_len": 40},
]


def load_corpus():
    texts = ['```json\n{"a": [1, 2,],}\n```', '"{\\"a\\":1}"', '{"s": "a\nb"}', "[" * 200, ""]
    for directory in (ROOT / "fuzz" / "seeds", ROOT / "tests" / "data" / "JSONTestSuite" / "test_parsing"):
        for path in sorted(directory.glob("*")):
            if path.stat().st_size <= 100_000:
                texts.append(path.read_bytes().decode("utf-8", errors="replace"))
    return texts


def snapshot(text, options):
    # The json text is canonical, so it pins the value down type for type.
    r = repair(text, **options)
    return (r.json, r.strategy, r.ok, r.changed, repr(r.value))


def test_eight_threads_match_one():
    corpus = load_corpus()
    cases = [(t, o) for t in corpus for o in range(len(OPTIONS))]
    expected = [snapshot(t, OPTIONS[o]) for t, o in cases]

    barrier = threading.Barrier(THREADS)
    results = [None] * THREADS
    errors = []

    def work(index):
        try:
            barrier.wait()
            # Each thread walks the cases in its own order.
            order = list(range(len(cases)))
            order = order[index::THREADS] + [i for i in order if i % THREADS != index]
            got = {}
            for _ in range(ROUNDS):
                for i in order:
                    text, o = cases[i]
                    outcome = snapshot(text, OPTIONS[o])
                    if got.setdefault(i, outcome) != outcome:
                        errors.append((index, i, "differs between rounds"))
            results[index] = [got[i] for i in range(len(cases))]
        except BaseException as exc:  # reported below, never lost in a thread
            errors.append((index, repr(exc)))

    threads = [threading.Thread(target=work, args=(i,)) for i in range(THREADS)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()

    assert errors == []
    for index in range(THREADS):
        assert results[index] == expected, f"thread {index}"
