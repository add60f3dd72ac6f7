"""The `repair` function: argument binding and conversion, options, native values."""

import json
import sys

import pytest
from conftest import assert_note, assert_same_json
from tarnwick import repair

MISSING = "repair() missing 1 required positional argument: 'input'"
TOO_MANY = "repair() takes 1 positional arguments but {} were given"
MULTIPLE = "repair() got multiple values for argument 'input'"
UNEXPECTED = "repair() got an unexpected keyword argument '{}'"
NOT_STR = "'{}' object is not an instance of 'str'"
NOT_BOOL = "'{}' object is not an instance of 'bool'"
NO_BOOL = "object of type '<class 'numpy.bool_'>' does not define a '__bool__' conversion"
StrSub = type("StrSub", (str,), {})
Inner = type("Inner", (), {"__qualname__": "Outer.Inner"})


def index(n):
    return type("Index", (), {"__index__": lambda self: n})()


def numpy_bool(flag=None):  # a NumPy boolean scalar is recognised by its module and name
    namespace = {"__module__": "numpy"} if flag is None else {"__module__": "numpy", "__bool__": lambda self: flag}
    return type("bool_", (), namespace)()


class TestArgumentErrors:
    @pytest.mark.parametrize(
        "args, kwargs, message",
        [
            ((), {}, MISSING),
            ((), {"max_len": 3}, MISSING),
            (("x", "y"), {}, TOO_MANY.format(2)),
            (("x", 1, 2), {"b": 1}, TOO_MANY.format(3)),
            (("x",), {"input": "y"}, MULTIPLE),
            (("x",), {"maxlen": 3}, UNEXPECTED.format("maxlen")),
            # the first bad entry in the dict's order wins, before any conversion
            ((None,), {"b": 1, "input": "y"}, UNEXPECTED.format("b")),
            (("x",), {"input": "y", "b": 1}, MULTIPLE),
            (("x",), {"m\xe1x_len": 3}, UNEXPECTED.format("m\xe1x_len")),
            (("x",), {"max_len\udc80": 3}, UNEXPECTED.format("max_len\udc80")),
        ],
    )
    def test_binding(self, args, kwargs, message):
        with pytest.raises(TypeError) as excinfo:
            repair(*args, **kwargs)
        assert str(excinfo.value) == message
        assert getattr(excinfo.value, "__notes__", []) == []

    @pytest.mark.parametrize(
        "kwargs, exc_type, message, param",
        [
            ({"input": None}, TypeError, "'None' is not an instance of 'str'", "input"),
            ({"input": Inner()}, TypeError, NOT_STR.format("Outer.Inner"), "input"),
            ({"max_len": -1}, OverflowError, None, "max_len"),
            ({"max_len": 2**64}, OverflowError, None, "max_len"),
            ({"max_len": 3.0}, TypeError, None, "max_len"),
            ({"fallback": b"null"}, TypeError, NOT_STR.format("bytes"), "fallback"),
            ({"strip_code_fences": 1}, TypeError, NOT_BOOL.format("int"), "strip_code_fences"),
            ({"strip_code_fences": numpy_bool()}, TypeError, NO_BOOL, "strip_code_fences"),
            ({"unwrap_double_encoded": "y"}, TypeError, NOT_BOOL.format("str"), "unwrap_double_encoded"),
            # parameter order decides; any conversion error wins over a bad fallback name
            ({"input": None, "max_len": -1}, TypeError, "'None' is not an instance of 'str'", "input"),
            ({"fallback": "x", "unwrap_double_encoded": 1}, TypeError, NOT_BOOL.format("int"), "unwrap_double_encoded"),
            ({"unwrap_double_encoded": 1, "max_len": -1}, OverflowError, None, "max_len"),
        ],
    )
    def test_conversion(self, kwargs, exc_type, message, param):
        with pytest.raises(exc_type) as excinfo:
            repair(**{"input": "1", **kwargs})
        assert type(excinfo.value) is exc_type
        assert message is None or str(excinfo.value) == message
        assert_note(excinfo, param)

    @pytest.mark.parametrize(
        "kwargs, param",
        [
            ({"input": "[1, \ud800]"}, "input"),
            ({"input": "\xe9\udfff\ud800x"}, "input"),  # a run of two, after a non-ASCII character
            ({"fallback": "null\udc80"}, "fallback"),
        ],
    )
    def test_lone_surrogates_as_str_encode_reports_them(self, kwargs, param):
        with pytest.raises(UnicodeEncodeError) as excinfo:
            repair(**{"input": "1", **kwargs})
        with pytest.raises(UnicodeEncodeError) as expected:
            kwargs[param].encode("utf-8")
        fields = [(str(e), e.object, e.start, e.end) for e in (excinfo.value, expected.value)]
        assert fields[0] == fields[1]
        assert_note(excinfo, param)

    @pytest.mark.parametrize("name, shown", [("Null", '"Null"'), ('a"\\\t\n\xa0', '"a\\"\\\\\\t\\n\\u{a0}"')])
    def test_invalid_fallback_name_even_when_unused(self, name, shown):
        with pytest.raises(ValueError) as excinfo:
            repair("1", fallback=name)
        assert str(excinfo.value) == f"invalid fallback {shown}: expected 'null' or 'empty-object'"
        assert getattr(excinfo.value, "__notes__", []) == []

    @pytest.mark.parametrize(
        "kwargs", [{"max_len": index(9)}, {"max_len": 10**30}, {"fallback": "bad".upper()}, {"b": 1}]
    )
    def test_references_unchanged(self, kwargs):
        text = f"[1, {2},]"  # a fresh object, not a shared constant
        tracked = [text, *kwargs.values()]
        before = [sys.getrefcount(obj) for obj in tracked]
        for _ in range(200):
            try:
                repair(text, **kwargs)
            except (TypeError, ValueError, OverflowError):
                pass
        assert [sys.getrefcount(obj) for obj in tracked] == before


class TestOptions:
    @pytest.mark.parametrize(
        "text, kwargs, strategy",
        [
            (StrSub("[1,2,]"), {}, "strip-trailing-commas"),
            ("12", {"max_len": True}, "fallback"),
            ("12", {"max_len": index(2)}, "parse"),
            ('"\u00e9"', {"max_len": 3}, "fallback"),  # four UTF-8 bytes
            ('"\u00e9"', {"max_len": 4}, "parse"),
            ("1", {"max_len": 2**64 - 1}, "parse"),
            ("```\n[1]\n```", {"strip_code_fences": numpy_bool(True)}, "strip-fences"),
            ("```\n[1]\n```", {"strip_code_fences": numpy_bool(False)}, "fallback"),
            ('"[1]"', {"unwrap_double_encoded": False}, "parse"),
        ],
    )
    def test_strategy(self, text, kwargs, strategy):
        assert repair(text, **kwargs).strategy == repair(input=text, **kwargs).strategy == strategy

    def test_default_max_len(self):
        document = '"' + "a" * 4_999_998 + '"'
        assert (repair(document, max_len=None).strategy, repair(document + " ").strategy) == ("parse", "fallback")


class TestValues:
    @pytest.mark.parametrize(
        "text, expected",
        [
            ("[null, true, false, 0, 1.0, 1e2, -0.0, -1, 2.5]", [None, True, False, 0, 1.0, 100.0, -0.0, -1, 2.5]),
            ("[18446744073709551615, -9223372036854775808]", [2**64 - 1, -(2**63)]),
            ('"a\\u0000b\\ud834\\udd1e\u00e9"', "a\x00b\U0001d11e\u00e9"),
            ('{"b": 1, "a": [true, null, 2.5, "x"]}', {"b": 1, "a": [True, None, 2.5, "x"]}),
            ('[[], {}, [[]], {"": {}}, {"\\u0000": 4}]', [[], {}, [[]], {"": {}}, {"\x00": 4}]),
            ('{"a": 1, "b": 2, "a": 3}', {"a": 3, "b": 2}),  # first position, last value
        ],
    )
    def test_conversion(self, text, expected):
        assert_same_json(repair(text).value, expected)

    # Strict rungs build the value while reading and copy the text as its json;
    # a repeated key or an escape the writer spells otherwise must not leak.
    @pytest.mark.parametrize(
        "text, strategy, expected_json",
        [
            ('{"a": 1, "b": {"c": 2, "c": [3]}, "a": "\\/"}', "parse", '{"a":"/","b":{"c":[3]}}'),
            ('[1E2, "\\u00e9\\u001f", 0.10]', "parse", '[100.0,"\u00e9\\u001f",0.1]'),
            ('```json\n{"k": "\\n", "k": 1e2}\n```', "strip-fences", '{"k":100.0}'),
            ('[{"a": 1, "a": 2,},]', "strip-trailing-commas", '[{"a":2}]'),
            ('"{\\"a\\": 1, \\"a\\": [2]}"', "unwrap-double", '{"a":[2]}'),
        ],
    )
    def test_strict_rungs_json(self, text, strategy, expected_json):
        result = repair(text)
        assert (result.strategy, result.json) == (strategy, expected_json)
        assert_same_json(result.value, json.loads(expected_json))

    def test_containers_are_new_each_time(self):
        values = [repair(text, fallback=StrSub("empty-object")).value for text in ("{}", "{}", "", "")]
        assert values == [{}] * 4 and len({id(v) for v in values}) == 4

    @pytest.mark.parametrize(
        "text, strategy, levels",
        [
            ("[" * 127 + "]" * 127, "parse", 127),
            ("[" * 128 + "]" * 128, "tolerant", 120),
            ("[" * 10_000, "tolerant", 120),
        ],
    )
    def test_deepest_nesting(self, text, strategy, levels):
        result = repair(text)
        value, depth = result.value, 0
        while isinstance(value, list):
            value, depth = (value[0] if value else None), depth + 1
        assert (result.strategy, depth) == (strategy, levels)
        assert json.loads(result.json) == result.value
