"""extract_all() and Extraction.guessed: every candidate in text order, the
answer always among them, and a guess said where the value rests on one."""

import sys

import pytest
from conftest import ROOT
from hypothesis import given
from hypothesis import strategies as st
from tarnwick import extract, extract_all
from test_properties import json_ish_text

sys.path.insert(0, str(ROOT / "bench"))
import extract_all_cases
import failure_classes
from lenient_recovery import same


class TestExtractAll:
    @pytest.mark.parametrize(
        "text, values",
        [
            ('Schema {"type": "object"} then data:\n```json\n{"a": 1,}\n```', [{"type": "object"}, {"a": 1}]),
            ('<think>draft {"a": 1}</think>\nfinal {"a": 2}', [{"a": 1}, {"a": 2}]),
            ('{"a": 1}\n{"a": 2}', [[{"a": 1}, {"a": 2}]]),  # JSON Lines: one candidate
            ('"x" + "y"', ["xy"]),
            ("no JSON at all, only [a link] and (a remark)", []),
            ("", []),
        ],
    )
    def test_candidates_in_text_order(self, text, values):
        found = extract_all(text)
        assert [e.value for e in found] == values
        assert [e.span for e in found] == sorted(e.span for e in found)

    @given(json_ish_text() | st.text(), st.booleans())
    def test_extract_is_one_of_them(self, text, lenient):
        one, every = extract(text, lenient=lenient), extract_all(text, lenient=lenient)
        assert all(e.strategy != "fallback" and 0 <= e.span[0] <= e.span[1] <= len(text) for e in every)
        if one.ok:
            assert one in every
        else:
            assert not any(e == one for e in every)

    def test_the_written_cases(self):
        right = 0
        for case in extract_all_cases.cases():
            found, one = extract_all(case.text), extract(case.text)
            assert (one in found) if one.ok else found == [], case.text
            right += len(found) == len(case.values) and all(same(e.value, v) for e, v in zip(found, case.values))
        assert right >= 0.95 * len(extract_all_cases.cases())


class TestGuessed:
    @pytest.mark.parametrize(
        "text, guessed",
        [
            ('{"a": 1}', False),
            ('Sure!\n```json\n{"a": [1, 2,], // note\n "b": True}\n```', False),  # fence, commas, comments, literals
            ("{'a': 'x', \"b\": None}", False),  # quote style
            ('{"a": [1, 2, {"b": "cut', False),  # truncation alone
            ('{"city": "Oslo, "zip": "0150"}', True),  # where the string ended
            ('{"a" "b": 1}', True),  # a key without a value, or two colons lost
            ('{"a": 1} or rather {"a": 2}', True),  # which candidate answers
            ('{"a": 1, {"b": 2}}', True),  # an object among members
        ],
    )
    def test_when(self, text, guessed):
        assert extract(text).guessed is guessed

    def test_repr_and_pickle_carry_it(self):
        import pickle

        e = extract('{"city": "Oslo, "zip": "0150"}')
        assert "guessed=True" in repr(e) and pickle.loads(pickle.dumps(e)).guessed


@pytest.mark.parametrize("family", failure_classes.failure_families(), ids=lambda f: f.name)
def test_failure_classes_recovered(family):
    # Each class of defect that model replies carry, read as meant: at least
    # 98% of the family's texts.
    right = sum(same(extract(text).value, want) for text, want in family.cases)
    assert right >= 0.98 * len(family.cases), (family.name, right, len(family.cases))
