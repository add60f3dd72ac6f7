"""The failure-class corpus itself: plain intended values, stable texts, each one needing the lenient reader.
How much of it tarnwick reads as meant is bench/class_recovery.py's business, not a test's."""

import json
import sys

import pytest
from conftest import ROOT

sys.path.insert(0, str(ROOT / "bench"))
import extract_all_cases
import failure_classes
from lenient_recovery import same

FAMILIES = failure_classes.failure_families()
INVISIBLES = set(failure_classes.INVISIBLES)


def _refuse(name):
    raise ValueError(name)


def _snapshot(families):
    return [(f.name, [(text, json.dumps(value)) for text, value in f.cases]) for f in families]


def test_generation_is_deterministic():
    assert _snapshot(failure_classes.failure_families()) == _snapshot(FAMILIES)


def test_every_class_has_a_family():
    assert [f.name for f in FAMILIES] == [
        "unclosed_string_end",
        "missing_comma_vs_inner_quote",
        "container_where_key_belongs",
        "mismatched_closer",
        "invisible_format_chars",
        "tuples_top_level",
        "reasoning_blocks",
    ]


@pytest.mark.parametrize("family", FAMILIES, ids=[f.name for f in FAMILIES])
class TestFamily:
    def test_size_and_no_repeats(self, family):
        texts = [text for text, _ in family.cases]
        assert len(texts) >= failure_classes.MIN_CASES
        assert len(set(texts)) == len(texts)

    def test_values_are_plain_json(self, family):
        for text, value in family.cases:
            # Type for type: no tuple, NaN, non-string key or marker left in.
            assert same(json.loads(json.dumps(value, allow_nan=False)), value), text

    def test_texts_need_the_lenient_reader(self, family):
        for text, _ in family.cases:
            with pytest.raises(ValueError):
                json.loads(text, parse_constant=_refuse)


def _strip_outside_strings(text):
    """(text without the format characters outside its string literals, whether any were there)."""
    stripped = failure_classes._outside_strings(text, lambda c: "" if c in INVISIBLES else c)
    return stripped, stripped != text


def test_invisible_texts_are_the_value_with_format_characters_between_tokens():
    family = next(f for f in FAMILIES if f.name == "invisible_format_chars")
    for text, value in family.cases:
        body = text.split("```")[1].split("\n", 1)[1] if "```" in text else text
        stripped, found = _strip_outside_strings(body)
        assert found, text
        start = min(i for i in (stripped.find("{"), stripped.find("[")) if i >= 0)
        got, _ = json.JSONDecoder().raw_decode(stripped[start:])
        assert same(got, value), text


class TestExtractAllCases:
    CASES = extract_all_cases.cases()

    def test_deterministic_and_sized(self):
        again = extract_all_cases.cases()
        assert [(c.text, json.dumps(c.values), c.pick) for c in again] == [
            (c.text, json.dumps(c.values), c.pick) for c in self.CASES
        ]
        assert len(self.CASES) >= 40

    def test_pick_is_one_of_the_candidates(self):
        for case in self.CASES:
            if case.values:
                assert case.pick is None or 0 <= case.pick < len(case.values), case.text
            else:
                assert case.pick is None, case.text

    def test_values_are_plain_json_and_texts_not(self):
        for case in self.CASES:
            for value in case.values:
                assert same(json.loads(json.dumps(value, allow_nan=False)), value), case.text
            with pytest.raises(ValueError):
                json.loads(case.text, parse_constant=_refuse)
