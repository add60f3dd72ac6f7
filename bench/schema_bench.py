"""Schema-guided extraction: extract(t, schema=s) against extract(t) on valid replies that conform (a schema of the
reply's shape), interleaved in one process; json_repair's schema mode (standard and salvage) beside them when it is
installed; and the compile time of a 50-model Pydantic schema.

    python bench/schema_bench.py [--rounds 15]

Each figure is the best of `rounds` interleaved rounds (microseconds per call), so a busy machine slows every contender
alike and the ratio stays meaningful.
"""

from __future__ import annotations

import argparse
import importlib.metadata
import json
import time
from typing import Any, Callable, List, Optional

import tarnwick
from tarnwick import Schema, extract

ADDRESS = {
    "type": "object",
    "properties": {"city": {"type": "string"}, "zip": {"type": "string"}},
    "required": ["city"],
}
PERSON = {
    "type": "object",
    "properties": {
        "id": {"type": "integer"},
        "name": {"type": "string"},
        "score": {"type": "number"},
        "tags": {"type": "array", "items": {"type": "string"}},
        "active": {"type": "boolean"},
        "role": {"enum": ["admin", "user", "guest"]},
        "address": ADDRESS,
    },
    "required": ["id", "name"],
}


def person(i: int) -> dict[str, Any]:
    return {
        "id": i,
        "name": f"user {i}",
        "score": i * 1.5,
        "tags": ["a", "b"],
        "active": i % 2 == 0,
        "role": ["admin", "user", "guest"][i % 3],
        "address": {"city": "Paris", "zip": f"{75000 + i}"},
    }


# (name, reply text, schema): valid JSON that conforms, as a model would write it.
CASES = [
    ("one record in a fence", "Here it is:\n```json\n" + json.dumps(person(1), indent=2) + "\n```", PERSON),
    ("100 records", json.dumps([person(i) for i in range(100)]), {"type": "array", "items": PERSON}),
    ("1000 records", json.dumps([person(i) for i in range(1000)]), {"type": "array", "items": PERSON}),
]


def best(fn: Callable[[], Any], calls: int) -> float:
    start = time.perf_counter()
    for _ in range(calls):
        fn()
    return (time.perf_counter() - start) / calls * 1e6


def bench_cases(rounds: int) -> None:
    try:
        import json_repair

        repair_version: Optional[str] = importlib.metadata.version("json-repair")
    except ImportError:
        json_repair = None
        repair_version = None
    print(f"tarnwick {tarnwick.__version__}; json_repair {repair_version or 'not installed'}")
    header = "| reply | extract(t) µs | extract(t, schema=s) µs | ratio |"
    if json_repair is not None:
        header += " json_repair µs | json_repair schema µs (standard / salvage) |"
    print(header)
    for name, text, source in CASES:
        schema = Schema(source)
        assert extract(text, schema=schema).conforms and not extract(text, schema=schema).issues
        calls = max(5, 20000 // max(1, len(text) // 100))
        contenders: List[Callable[[], Any]] = [lambda: extract(text), lambda: extract(text, schema=schema)]
        if json_repair is not None:
            contenders += [
                lambda: json_repair.repair_json(text, return_objects=True),
                lambda: json_repair.repair_json(text, return_objects=True, schema=source),
                lambda: json_repair.repair_json(
                    text, return_objects=True, schema=source, schema_repair_mode="salvage"
                ),
            ]
        times = [float("inf")] * len(contenders)
        for _ in range(rounds):
            for i, fn in enumerate(contenders):
                times[i] = min(times[i], best(fn, calls))
        row = f"| {name} ({len(text)} B) | {times[0]:.1f} | {times[1]:.1f} | {times[1] / times[0]:.2f} |"
        if json_repair is not None:
            row += f" {times[2]:.1f} | {times[3]:.1f} / {times[4]:.1f} |"
        print(row)


def bench_compile(rounds: int) -> None:
    try:
        from pydantic import BaseModel, create_model
    except ImportError:
        print("pydantic not installed: compile time skipped")
        return
    from typing import Literal

    # 49 models that refer to earlier ones (a shallow tree), and a root that refers to each.
    models: List[type[BaseModel]] = []
    for i in range(49):
        fields: dict[str, Any] = {
            "id": (int, ...),
            "name": (str, ...),
            "score": (Optional[float], None),
            "kind": (Literal["a", "b", "c"], "a"),
            "tags": (List[str], []),
        }
        if models:
            fields["child"] = (Optional[models[i // 2]], None)
            fields["items"] = (List[models[i // 3]], [])
        models.append(create_model(f"Model{i}", **fields))
    root = create_model("Root", **{f"m{i}": (Optional[m], None) for i, m in enumerate(models)})
    text = json.dumps(root.model_json_schema(mode="validation"))
    assert len(json.loads(text)["$defs"]) == 49
    from_model = min(best(lambda: Schema(root), 20) for _ in range(rounds))
    from_text = min(best(lambda: Schema(text), 50) for _ in range(rounds))
    print(f"50-model Pydantic schema ({len(text)} B): Schema(model) {from_model / 1000:.2f} ms "
          f"(of which compiling the text: {from_text / 1000:.2f} ms)")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15)
    args = parser.parse_args()
    bench_cases(args.rounds)
    bench_compile(args.rounds)


if __name__ == "__main__":
    main()
