"""Calls from several threads give exactly what one thread gets."""

import threading
from concurrent.futures import ThreadPoolExecutor
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

    def work(index):
        barrier.wait()
        # Each thread walks the cases in its own order, several times.
        order = [i for i in range(len(cases)) if i % THREADS == index]
        order += [i for i in range(len(cases)) if i % THREADS != index]
        got = {}
        for _ in range(ROUNDS):
            for i in order:
                text, o = cases[i]
                outcome = snapshot(text, OPTIONS[o])
                assert got.setdefault(i, outcome) == outcome, f"case {i} differs between rounds"
        return [got[i] for i in range(len(cases))]

    # result() re-raises whatever failed inside a thread.
    with ThreadPoolExecutor(max_workers=THREADS) as pool:
        futures = [pool.submit(work, i) for i in range(THREADS)]
        for index, future in enumerate(futures):
            assert future.result(timeout=300) == expected, f"thread {index}"
