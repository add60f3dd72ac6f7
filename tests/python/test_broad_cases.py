"""The held-out corpora themselves (bench/broad_cases.py, bench/reply_cases.py, bench/fresh_cases.py): stable, large enough, no repeated
texts, and intended values that are plain JSON, type for type. Recovery shares are measured by
bench/broad_recovery.py, never asserted here."""

import json
import math
import sys

import pytest
from conftest import ROOT

sys.path.insert(0, str(ROOT / "bench"))
import broad_cases
import fresh_cases
import reply_cases
from lenient_recovery import same

# (corpus, its families, the fewest cases a family may have): whole replies are longer, so fewer per family.
CORPORA = [
    ("broad", broad_cases.broad_families, 40),
    ("reply", reply_cases.reply_families, 24),
    ("fresh", fresh_cases.fresh_families, 24),
]
FAMILIES = [(name, make, least, family) for name, make, least in CORPORA for family in make()]


def _plain_json(value):
    """Whether value is made only of the types json.loads returns, with finite floats and string keys."""
    if value is None or type(value) in (bool, int, str):
        return True
    if type(value) is float:
        return math.isfinite(value)
    if type(value) is list:
        return all(map(_plain_json, value))
    if type(value) is dict:
        return all(type(k) is str and _plain_json(v) for k, v in value.items())
    return False


@pytest.mark.parametrize("make", [make for _, make, _ in CORPORA], ids=[name for name, _, _ in CORPORA])
class TestCorpus:
    def test_generation_is_deterministic(self, make):
        def snapshot(families):
            return [(f.name, [(text, json.dumps(value)) for text, value in f.cases]) for f in families]

        assert snapshot(make()) == snapshot(make())

    def test_family_names_are_unique(self, make):
        names = [f.name for f in make()]
        assert len(names) >= 14
        assert len(set(names)) == len(names)

    def test_no_text_appears_twice(self, make):
        seen = {}
        for family in make():
            for text, _ in family.cases:
                assert text not in seen, f"{text!r} in {family.name} and {seen[text]}"
                seen[text] = family.name


@pytest.mark.parametrize(
    ("least", "family"),
    [(least, f) for _, _, least, f in FAMILIES],
    ids=[f"{name}-{f.name}" for name, _, _, f in FAMILIES],
)
class TestFamily:
    def test_has_enough_cases(self, least, family):
        assert len(family.cases) >= least

    def test_texts_are_str(self, least, family):
        assert all(type(text) is str for text, _ in family.cases)

    def test_intended_values_are_plain_json(self, least, family):
        for text, want in family.cases:
            assert _plain_json(want), text
            # A round trip through JSON keeps it, type for type.
            assert same(json.loads(json.dumps(want)), want), text


class TestPlainJson:
    @pytest.mark.parametrize("value", [None, True, 0, 1.5, "s", [1, [2]], {"a": {"b": [None]}}])
    def test_accepts(self, value):
        assert _plain_json(value)

    @pytest.mark.parametrize("value", [(1, 2), {1: "a"}, float("nan"), float("inf"), {"a": {1, 2}}, b"x"])
    def test_refuses(self, value):
        assert not _plain_json(value)
