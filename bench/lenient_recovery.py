"""How many replies of the lenient corpus tarnwick.extract() reads as meant.

For each family of bench/corpus.py's lenient_families(), runs
tarnwick.extract(text), with its default options, and counts the texts whose
`.value` equals the intended value type for type: 1, 1.0 and True differ,
floats compare by value, key order does not count. The last column counts the
texts that tarnwick.repair(text).value already gets right, for contrast.

    python bench/lenient_recovery.py [--show-failures N] [--family NAME ...]

This is a measurement, not a test: the exit status is 0 whatever the counts.
"""

from __future__ import annotations

import argparse
import sys
from typing import Any, Callable

import corpus


def same(got: object, want: object) -> bool:
    """Equal type for type: 1 is not 1.0 or True; dict key order is ignored."""
    if type(got) is not type(want):
        return False
    if isinstance(want, dict):
        return got.keys() == want.keys() and all(same(got[k], want[k]) for k in want)  # type: ignore[attr-defined]
    if isinstance(want, list):
        return len(got) == len(want) and all(map(same, got, want))  # type: ignore[arg-type]
    return got == want


def _difference(got: object, want: object, path: str = "") -> tuple[str, object, object]:
    """(path, got part, intended part) at the first place the two differ,
    since a long value truncated for display often hides it."""
    if type(got) is type(want):
        if isinstance(want, dict):
            for k in want:
                if k not in got:  # type: ignore[operator]
                    return f"{path}[{k!r}]", "<missing>", want[k]
                if not same(got[k], want[k]):  # type: ignore[index]
                    return _difference(got[k], want[k], f"{path}[{k!r}]")  # type: ignore[index]
            extra = [k for k in got if k not in want]  # type: ignore[attr-defined]
            return f"{path}[{extra[0]!r}]", got[extra[0]], "<absent>"  # type: ignore[index]
        if isinstance(want, list) and len(got) == len(want):  # type: ignore[arg-type]
            for i, (g, w) in enumerate(zip(got, want)):  # type: ignore[call-overload]
                if not same(g, w):
                    return _difference(g, w, f"{path}[{i}]")
    return path or "(top)", got, want


def _value_of(call: Callable[[str], object], text: str) -> tuple[bool, object]:
    """(True, value) from call(text).value, or (False, the exception)."""
    try:
        return True, call(text).value  # type: ignore[attr-defined]
    except Exception as exc:  # noqa: BLE001 - a crash counts as a miss, and is shown as one
        return False, exc


def _short(obj: object, limit: int = 300) -> str:
    text = repr(obj)
    return text if len(text) <= limit else text[:limit] + f"... ({len(text)} chars)"


def command_line(
    doc: str, add_arguments: Callable[[argparse.ArgumentParser], None] | None = None
) -> tuple[argparse.Namespace, Any]:
    """The recovery scripts' options (--show-failures, --family and any `add_arguments` adds) and the tarnwick module,
    or None for it, said on stderr, when it is not importable."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    parser.add_argument("--show-failures", type=int, default=0, metavar="N", help="print N misses per family")
    parser.add_argument("--family", action="append", help="only these families (repeatable)")
    if add_arguments is not None:
        add_arguments(parser)
    args = parser.parse_args()
    try:
        import tarnwick
    except ImportError as exc:
        print(f"tarnwick is not importable ({exc}); install it first", file=sys.stderr)
        return args, None
    return args, tarnwick


def main() -> int:
    args, tarnwick = command_line(__doc__)
    if tarnwick is None:
        return 0
    families = [f for f in corpus.lenient_families() if not args.family or f.name in args.family]
    print(f"tarnwick {getattr(tarnwick, '__version__', '?')} from {tarnwick.__file__}\n")
    rows = []
    misses: dict[str, list[tuple[str, object, object]]] = {}
    for fam in families:
        exact = via_repair = 0
        for text, want in fam.cases:
            ok, got = _value_of(tarnwick.extract, text)
            if ok and same(got, want):
                exact += 1
            else:
                misses.setdefault(fam.name, []).append((text, got, want))
            ok, got = _value_of(tarnwick.repair, text)
            via_repair += ok and same(got, want)
        rows.append((fam.name, len(fam.cases), exact, via_repair))
    total = sum(r[1] for r in rows)
    rows.append(("all", total, sum(r[2] for r in rows), sum(r[3] for r in rows)))
    print(f"| {'family':16} | texts | exact | share  | also via repair() |")
    print(f"|{'-' * 18}|------:|------:|-------:|------------------:|")
    for name, texts, exact, via_repair in rows:
        share = exact / texts if texts else 0.0
        print(f"| {name:16} | {texts:5} | {exact:5} | {share:6.1%} | {via_repair:17} |")
    if args.show_failures > 0:
        for fam in families:
            shown = misses.get(fam.name, [])[: args.show_failures]
            if shown:
                print(f"\n## {fam.name}: {len(misses[fam.name])} misses, first {len(shown)}")
            for text, got, want in shown:
                print(f"  text:     {_short(text)}\n  got:      {_short(got)}\n  intended: {_short(want)}")
                if not isinstance(got, Exception):
                    where, part, meant = _difference(got, want)
                    print(f"  differs at {where}: got {_short(part, 120)}, intended {_short(meant, 120)}")
                print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
