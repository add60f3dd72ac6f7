"""How many texts of each failure-class family tarnwick reads as meant.

For each family of bench/failure_classes.py, counts the texts whose
tarnwick.loads(text) and tarnwick.extract(text).value equal the intended
value type for type (bench/lenient_recovery.py's comparator). When
Extraction has a `guessed` flag, it also gives the share of wrong answers
that carry guessed=True (it should be high) and the share of right answers
that do (it should be low). Then, for bench/extract_all_cases.py: how many
texts tarnwick.extract_all() splits into the intended candidates, whether
extract() is one of them, and whether extract() picks the intended one.

    python bench/class_recovery.py [--show-failures N] [--family NAME ...]

This is a measurement, not a test: the exit status is 0 whatever the counts.
"""

from __future__ import annotations

import argparse
import sys
from typing import Any

import extract_all_cases
import failure_classes
from lenient_recovery import _difference, _short, command_line, same


def _call(fn: Any, text: str) -> tuple[bool, Any]:
    try:
        return True, fn(text)
    except Exception as exc:  # noqa: BLE001 - a crash counts as a miss, and is shown as one
        return False, exc


def _share(part: int, whole: int) -> str:
    return f"{part}/{whole} ({part / whole:.0%})" if whole else "-"


def _show(text: str, got: object, want: object) -> None:
    print(f"  text:     {_short(text)}\n  got:      {_short(got)}\n  intended: {_short(want)}")
    if not isinstance(got, Exception):
        where, part, meant = _difference(got, want)
        print(f"  differs at {where}: got {_short(part, 120)}, intended {_short(meant, 120)}")
    print()


def _families(tarnwick: Any, args: argparse.Namespace) -> None:
    families = [f for f in failure_classes.failure_families() if not args.family or f.name in args.family]
    print("| family                        | texts | loads  | extract | wrong guessed  | right guessed |")
    print("|-------------------------------|------:|-------:|--------:|---------------:|--------------:|")
    totals = [0, 0, 0, 0, 0, 0, 0]
    misses: dict[str, list[tuple[str, object, object]]] = {}
    for fam in families:
        via_loads = via_extract = wrong = wrong_guessed = right = right_guessed = 0
        for text, want in fam.cases:
            ok, got = _call(tarnwick.loads, text)
            via_loads += ok and same(got, want)
            ok, result = _call(tarnwick.extract, text)
            hit = ok and same(result.value, want)
            via_extract += hit
            if not hit:
                misses.setdefault(fam.name, []).append((text, result.value if ok else result, want))
            guessed = getattr(result, "guessed", None) if ok else None
            if guessed is not None:
                if hit:
                    right, right_guessed = right + 1, right_guessed + bool(guessed)
                else:
                    wrong, wrong_guessed = wrong + 1, wrong_guessed + bool(guessed)
        n = len(fam.cases)
        row = (n, via_loads, via_extract, wrong, wrong_guessed, right, right_guessed)
        totals = [a + b for a, b in zip(totals, row)]
        _row(fam.name, row)
    _row("all", tuple(totals))
    for fam in families:
        shown = misses.get(fam.name, [])[: args.show_failures]
        if shown:
            print(f"\n## {fam.name}: {len(misses[fam.name])} misses, first {len(shown)}")
        for case in shown:
            _show(*case)


def _row(name: str, row: tuple) -> None:
    n, via_loads, via_extract, wrong, wrong_guessed, right, right_guessed = row
    print(
        f"| {name:29} | {n:5} | {via_loads / n:6.1%} | {via_extract / n:7.1%} "
        f"| {_share(wrong_guessed, wrong):>14} | {_share(right_guessed, right):>13} |"
    )


def _extract_all(tarnwick: Any, args: argparse.Namespace) -> None:
    cases = extract_all_cases.cases()
    has_all = hasattr(tarnwick, "extract_all")
    split = among = ordered = picked = pickable = 0
    misses = []
    for case in cases:
        ok, one = _call(tarnwick.extract, case.text)
        if case.pick is not None:
            pickable += 1
            picked += ok and same(one.value, case.values[case.pick])
        if not has_all:
            continue
        ok_all, results = _call(tarnwick.extract_all, case.text)
        values = [r.value for r in results] if ok_all else results
        if ok_all and same(values, case.values):
            split += 1
        else:
            misses.append((case.text, values, case.values))
        # extract() of a text without candidates is a fallback, which extract_all leaves out.
        among += ok and ok_all and (not case.values or any(r == one for r in results))
        if ok_all:
            spans = [tuple(r.span) for r in results]
            ordered += all(0 <= a <= b <= len(case.text) for a, b in spans) and spans == sorted(spans)
    print(f"\nextract_all cases: {len(cases)} texts")
    if has_all:
        print(f"  extract_all() gives the intended candidates: {_share(split, len(cases))}")
        print(f"  extract() is one of extract_all(): {_share(among, len(cases))}")
        print(f"  spans in text order and within the text: {_share(ordered, len(cases))}")
    else:
        print("  extract_all() is not in this build")
    print(f"  extract() picks the intended candidate (where the text settles it): {_share(picked, pickable)}")
    for case in misses[: args.show_failures]:
        _show(*case)


def main() -> int:
    args, tarnwick = command_line(__doc__)
    if tarnwick is None:
        return 0
    print(f"tarnwick {getattr(tarnwick, '__version__', '?')} from {tarnwick.__file__}\n")
    _families(tarnwick, args)
    if not args.family:
        _extract_all(tarnwick, args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
