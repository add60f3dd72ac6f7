"""The lenient corpus itself: plain intended values, stable texts that all carry a defect, and the comparator that
bench/lenient_recovery.py scores with."""

import json
import sys

import pytest
from conftest import ROOT

sys.path.insert(0, str(ROOT / "bench"))
import corpus
from lenient_recovery import same

FAMILIES = corpus.lenient_families()


def _refuse(name):
    raise ValueError(name)


def test_generation_is_deterministic():
    def snapshot(families):
        return [(f.name, [(text, json.dumps(value)) for text, value in f.cases]) for f in families]

    assert snapshot(corpus.lenient_families()) == snapshot(FAMILIES)


@pytest.mark.parametrize("family", FAMILIES, ids=[f.name for f in FAMILIES])
def test_family(family):
    assert len(family.cases) >= 30
    for text, value in family.cases:
        # Plain JSON data, type for type: no tuple, NaN, non-string key or marker left in.
        assert same(json.loads(json.dumps(value, allow_nan=False)), value), text
        # The text needs the lenient reader: json.loads refuses it (NaN and Infinity included).
        with pytest.raises(ValueError):
            json.loads(text, parse_constant=_refuse)


@pytest.mark.parametrize(
    "got, want, equal",
    [
        (1, 1, True),
        (1, 1.0, False),
        (1, True, False),
        (0, False, False),
        (None, 0, False),
        ("1", 1, False),
        (0.0, -0.0, True),
        ({"a": 1, "b": [2]}, {"b": [2], "a": 1}, True),
        ({"a": 1}, {"a": 1, "b": 2}, False),
        ([1, 2], [2, 1], False),
        ([1], [1, 1], False),
        ([[1.5]], [[1.5]], True),
        ({"a": [1]}, {"a": [1.0]}, False),
    ],
)
def test_same_compares_type_for_type(got, want, equal):
    assert same(got, want) is equal
    assert same(want, got) is equal
