"""The value conversion: native objects of the kinds the JSON decoder builds."""

import json

import pytest
from conftest import assert_same_json
from tarnwick import repair


@pytest.mark.parametrize(
    "text, expected",
    [
        ("[null, true, false, 0, 1.0, 1e2, -0.0, -1, 2.5]", [None, True, False, 0, 1.0, 100.0, -0.0, -1, 2.5]),
        ("-0", -0.0),  # the one designed difference from json.loads
        ("[18446744073709551615, -9223372036854775808]", [2**64 - 1, -(2**63)]),
        ('"a\\u0000b\\ud834\\udd1e\u00e9"', "a\x00b\U0001d11e\u00e9"),
        ('{"b": 1, "a": [true, null, 2.5, "x"]}', {"b": 1, "a": [True, None, 2.5, "x"]}),
        ('[[], {}, [[]], {"": {}}, {"\\u0000": 4}]', [[], {}, [[]], {"": {}}, {"\x00": 4}]),
        ('{"a": 1, "b": 2, "a": 3}', {"a": 3, "b": 2}),  # first position, last value
    ],
)
def test_conversion(text, expected):
    result = repair(text)
    assert result.strategy == "parse"
    assert_same_json(result.value, expected)


def test_containers_are_new_each_time():
    first, second = repair("{}").value, repair("{}").value
    assert first == second == {} and first is not second
    empty = [repair("", fallback="empty-object").value for _ in range(2)]
    assert empty == [{}, {}] and empty[0] is not empty[1]


def depth(value):
    level = 0
    while isinstance(value, list):
        level, value = level + 1, (value[0] if value else None)
    return level


@pytest.mark.parametrize(
    "text, strategy, levels",
    [
        ("[" * 127 + "]" * 127, "parse", 127),  # the strict reader's deepest
        ("[" * 120, "tolerant", 120),  # the tolerant parser's deepest
        ("[" * 10_000 + "1", "tolerant", 120),
    ],
)
def test_deepest_nesting(text, strategy, levels):
    result = repair(text)
    assert (result.strategy, depth(result.value)) == (strategy, levels)
    assert json.loads(result.json) == result.value


def test_one_level_too_deep_for_the_strict_reader():
    assert repair("[" * 128 + "]" * 128).strategy != "parse"
