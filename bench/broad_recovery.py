"""How many texts of a held-out corpus tarnwick.loads() reads as their writer meant.

For each family of bench/broad_cases.py (--corpus broad, broken snippets), bench/reply_cases.py (--corpus reply,
whole model replies) or bench/fresh_cases.py (--corpus fresh, whole replies written apart from the others), counts the texts where tarnwick.loads(text) equals the intended value
type for type (lenient_recovery.same: 1, 1.0 and True differ, key order does not count). Beside it, the same count
for json_repair.loads, a peer, when it is installed, to show where another reading does better. When
Extraction.guessed exists, two more columns: of the wrong answers, the share tarnwick flagged as a guess (high is
good: it knew), and of the right answers, the share flagged (low is good: it was sure, rightly).

    python bench/broad_recovery.py [--corpus {broad,fresh,reply}] [--show-failures N] [--family NAME ...]

This is a measurement, not a test: the exit status is 0 whatever the counts.
"""

from __future__ import annotations

import argparse
import sys
from typing import Any, Callable, NamedTuple

import broad_cases
import fresh_cases
import reply_cases
from lenient_recovery import _difference, _short, command_line, same


CORPORA = {
    "broad": broad_cases.broad_families,
    "reply": reply_cases.reply_families,
    "fresh": fresh_cases.fresh_families,
}


class Row(NamedTuple):
    name: str
    texts: int
    right: int
    peer_right: int | None
    wrong_guessed: int | None
    right_guessed: int | None


def _call(fn: Callable[[str], Any], text: str) -> tuple[bool, Any]:
    """(True, fn(text)) or (False, the exception): a crash counts as a miss and is shown as one."""
    try:
        return True, fn(text)
    except Exception as exc:  # noqa: BLE001
        return False, exc


def _peer() -> Callable[[str], Any] | None:
    try:
        import json_repair
    except ImportError:
        return None
    return json_repair.loads


def _share(part: int | None, whole: int) -> str:
    if part is None:
        return "-"
    return f"{part / whole:6.1%}" if whole else "-"


def _measure(tarnwick: Any, family: broad_cases.Family, peer: Callable[[str], Any] | None, misses: list) -> Row:
    right = peer_right = wrong_guessed = right_guessed = 0
    has_guessed = hasattr(tarnwick.Extraction, "guessed")
    for text, want in family.cases:
        ok, got = _call(tarnwick.loads, text)
        hit = ok and same(got, want)
        right += hit
        peer_got: object = "-"
        if peer is not None:
            peer_ok, peer_got = _call(peer, text)
            peer_right += peer_ok and same(peer_got, want)
        if has_guessed:
            ok_x, extraction = _call(tarnwick.extract, text)
            guessed = ok_x and extraction.guessed
            right_guessed += hit and guessed
            wrong_guessed += (not hit) and guessed
        if not hit:
            misses.append((text, got, want, peer_got))
    return Row(
        family.name,
        len(family.cases),
        right,
        peer_right if peer is not None else None,
        wrong_guessed if has_guessed else None,
        right_guessed if has_guessed else None,
    )


def _print_table(rows: list[Row]) -> None:
    total = Row(
        "all",
        sum(r.texts for r in rows),
        sum(r.right for r in rows),
        *(
            None if any(getattr(r, f) is None for r in rows) else sum(getattr(r, f) for r in rows)
            for f in ("peer_right", "wrong_guessed", "right_guessed")
        ),
    )
    print(f"| {'family':21} | texts | tarnwick |  share | json_repair |  share | wrong: guessed | right: guessed |")
    print(f"|{'-' * 23}|------:|---------:|-------:|------------:|-------:|---------------:|---------------:|")
    for r in [*rows, total]:
        peer = "-" if r.peer_right is None else str(r.peer_right)
        wrong = r.texts - r.right
        print(
            f"| {r.name:21} | {r.texts:5} | {r.right:8} | {_share(r.right, r.texts)} | {peer:>11} |"
            f" {_share(r.peer_right, r.texts)} | {_share(r.wrong_guessed, wrong):>14} |"
            f" {_share(r.right_guessed, r.right):>14} |"
        )


def _corpus_option(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--corpus", choices=sorted(CORPORA), default="broad", help="which corpus to score")


def main() -> int:
    args, tarnwick = command_line(__doc__, _corpus_option)
    if tarnwick is None:
        return 0
    peer = _peer()
    families = [f for f in CORPORA[args.corpus]() if not args.family or f.name in args.family]
    print(f"tarnwick {getattr(tarnwick, '__version__', '?')} from {tarnwick.__file__}")
    print("json_repair: " + ("installed" if peer else "not installed") + "\n")
    misses: dict[str, list] = {f.name: [] for f in families}
    rows = [_measure(tarnwick, f, peer, misses[f.name]) for f in families]
    _print_table(rows)
    for fam in families if args.show_failures > 0 else []:
        shown = misses[fam.name][: args.show_failures]
        if shown:
            print(f"\n## {fam.name}: {len(misses[fam.name])} misses, first {len(shown)}")
        for text, got, want, peer_got in shown:
            print(f"  text:        {_short(text)}\n  got:         {_short(got)}\n  intended:    {_short(want)}")
            if peer is not None:
                mark = " (right)" if same(peer_got, want) else ""
                print(f"  json_repair: {_short(peer_got)}{mark}")
            if not isinstance(got, Exception):
                where, part, meant = _difference(got, want)
                print(f"  differs at {where}: got {_short(part, 120)}, intended {_short(meant, 120)}")
            print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
