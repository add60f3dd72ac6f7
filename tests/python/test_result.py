"""The RepairResult class: attributes, repr, immutability, lifetime."""

import copy
import pickle
import sys
import weakref

import pytest
from tarnwick import RepairResult, repair


class TestInstance:
    @pytest.mark.parametrize(
        "text, ok, changed, strategy, json_text, shown",
        [
            ('{"a":1}', True, False, "parse", '{"a":1}', '"{\\"a\\":1}"'),
            ('"a\\nb"', True, False, "parse", '"a\\nb"', '"\\"a\\\\nb\\""'),
            ("", False, True, "fallback", "null", '"null"'),
        ],
    )
    def test_fields_and_repr(self, text, ok, changed, strategy, json_text, shown):
        result = repair(text)
        assert (result.ok, result.changed, result.strategy, result.json) == (ok, changed, strategy, json_text)
        expected = f'RepairResult(ok={ok}, strategy="{strategy}", changed={changed}, json={shown})'
        assert repr(result) == str(result) == expected

    @pytest.mark.parametrize(
        "char, shown",
        [("\xe9", "\xe9"), ("'", "'"), ("\xa0", "\\u{a0}"), ("\u2028", "\\u{2028}"), ("\ufeff", "\\u{feff}")],
    )
    def test_repr_of_characters_in_json(self, char, shown):
        assert repr(repair(f'["{char}"]')).endswith(f'json="[\\"{shown}\\"]")')

    def test_one_value_object_identity_equality_and_hash(self):
        first, second = repair("[1]"), repair("[1]")
        assert first.value is first.value and first.__eq__(first) is True and first != second
        assert len({first, second}) == 2

    @pytest.mark.parametrize("name", ["ok", "value", "json", "changed", "strategy", "extra"])
    def test_read_only(self, name):
        result = repair("[1]")
        with pytest.raises(AttributeError):
            setattr(result, name, 1)
        with pytest.raises(AttributeError):
            delattr(result, name)
        assert result.value == [1]


class TestClass:
    def test_names(self):
        assert (RepairResult.__module__, RepairResult.__qualname__) == ("tarnwick", "RepairResult")

    @pytest.mark.parametrize(
        "make", [RepairResult, lambda: RepairResult(1, x=2), lambda: RepairResult.__new__(RepairResult)]
    )
    def test_not_instantiable(self, make):
        with pytest.raises(TypeError, match=r"^cannot create 'tarnwick\.RepairResult' instances$"):
            make()

    @pytest.mark.parametrize("operation", [lambda r: type("Sub", (type(r),), {}), weakref.ref, pickle.dumps, copy.copy])
    def test_unsupported(self, operation):
        with pytest.raises(TypeError):
            operation(repair("1"))


class TestLifetime:
    @pytest.mark.parametrize("text", ["1", '{"k": [1, "s", null, {"x": 2.5}]}', "", "```\n[1,]\n```"])
    def test_class_refcount_after_many_results(self, text):
        before = sys.getrefcount(RepairResult)
        results = [repair(text) for _ in range(1000)]
        assert sys.getrefcount(RepairResult) == before + 1000
        del results
        for _ in range(100_000):
            repair(text)
        assert sys.getrefcount(RepairResult) == before

    def test_value_released_with_result(self):
        result = repair('[[1], {"b": 2}]')
        inner = result.value[0]
        before = sys.getrefcount(inner)
        del result
        assert sys.getrefcount(inner) == before - 1
