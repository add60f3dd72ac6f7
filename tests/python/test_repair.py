"""The `repair` function: binding, conversion, validation and the options."""

import sys

import pytest
from conftest import assert_note
from tarnwick import repair

MISSING = "repair() missing 1 required positional argument: 'input'"
MULTIPLE = "repair() got multiple values for argument 'input'"
NOT_STR = "'{}' object is not an instance of 'str'"
NOT_BOOL = "'{}' object is not an instance of 'bool'"


class Outer:
    class Inner:
        pass


class StrSub(str):
    pass


class Index:
    def __init__(self, n):
        self.n = n

    def __index__(self):
        return self.n


class bool_:  # a NumPy boolean scalar, recognised by module and name
    __module__ = "numpy"

    def __init__(self, flag):
        self.flag = flag

    def __bool__(self):
        return self.flag


no_bool = type("bool_", (), {"__module__": "numpy"})


class TestBinding:
    @pytest.mark.parametrize(
        "args, kwargs, message",
        [
            ((), {}, MISSING),
            ((), {"max_len": 3}, MISSING),
            (("x", "y"), {}, "repair() takes 1 positional arguments but 2 were given"),
            (("x", 1, 2), {"b": 1}, "repair() takes 1 positional arguments but 3 were given"),
            (("x",), {"input": "y"}, MULTIPLE),
            (("x",), {"maxlen": 3}, "repair() got an unexpected keyword argument 'maxlen'"),
            # The first offending entry in the dict's own order wins, and
            # binding fails before any conversion is looked at.
            ((None,), {"b": 1, "input": "y"}, "repair() got an unexpected keyword argument 'b'"),
            (("x",), {"input": "y", "b": 1}, MULTIPLE),
        ],
    )
    def test_binding_errors(self, args, kwargs, message):
        with pytest.raises(TypeError) as excinfo:
            repair(*args, **kwargs)
        assert str(excinfo.value) == message
        assert getattr(excinfo.value, "__notes__", []) == []

    @pytest.mark.parametrize("call", [lambda t: repair(t), lambda t: repair(input=StrSub(t))])
    def test_input_by_position_keyword_or_subclass(self, call):
        result = call("[1,2,]")
        assert (result.strategy, result.value) == ("strip-trailing-commas", [1, 2])


class TestConversionErrors:
    @pytest.mark.parametrize(
        "kwargs, exc_type, message, param",
        [
            ({"input": None}, TypeError, "'None' is not an instance of 'str'", "input"),
            ({"input": b"{}"}, TypeError, NOT_STR.format("bytes"), "input"),
            ({"input": Outer.Inner()}, TypeError, NOT_STR.format("Outer.Inner"), "input"),
            ({"input": "\ud800"}, UnicodeEncodeError, None, "input"),
            ({"max_len": -1}, OverflowError, None, "max_len"),
            ({"max_len": 2**64}, OverflowError, None, "max_len"),
            ({"max_len": Index(-5)}, OverflowError, None, "max_len"),
            ({"max_len": 3.0}, TypeError, None, "max_len"),
            ({"fallback": b"null"}, TypeError, NOT_STR.format("bytes"), "fallback"),
            ({"strip_code_fences": 1}, TypeError, NOT_BOOL.format("int"), "strip_code_fences"),
            ({"unwrap_double_encoded": "y"}, TypeError, NOT_BOOL.format("str"), "unwrap_double_encoded"),
            (
                {"strip_code_fences": no_bool()},
                TypeError,
                "object of type '<class 'numpy.bool_'>' does not define a '__bool__' conversion",
                "strip_code_fences",
            ),
            # Parameter order decides, and any conversion error wins over an
            # invalid fallback name.
            ({"input": None, "max_len": -1}, TypeError, "'None' is not an instance of 'str'", "input"),
            (
                {"fallback": "bad", "unwrap_double_encoded": 1},
                TypeError,
                NOT_BOOL.format("int"),
                "unwrap_double_encoded",
            ),
            ({"unwrap_double_encoded": 1, "max_len": -1}, OverflowError, None, "max_len"),
        ],
    )
    def test_conversion_errors(self, kwargs, exc_type, message, param):
        with pytest.raises(exc_type) as excinfo:
            repair(**{"input": "1", **kwargs})
        assert type(excinfo.value) is exc_type
        assert message is None or str(excinfo.value) == message
        assert_note(excinfo, param)

    @pytest.mark.parametrize(
        "name, rendered",
        [("Null", '"Null"'), ("NULL", '"NULL"'), ("", '""'), ('a"\\\t\n\u00a0', '"a\\"\\\\\\t\\n\\u{a0}"')],
    )
    def test_invalid_fallback_name(self, name, rendered):
        with pytest.raises(ValueError) as excinfo:
            repair("1", fallback=name)  # validated even when the fallback is unused
        assert str(excinfo.value) == f"invalid fallback {rendered}: expected 'null' or 'empty-object'"
        assert getattr(excinfo.value, "__notes__", []) == []


class TestOptions:
    @pytest.mark.parametrize(
        "text, max_len, strategy",
        [
            ("1", 0, "fallback"),
            ("1", True, "parse"),
            ("12", True, "fallback"),
            ("12", Index(2), "parse"),
            ('"\u00e9"', 3, "fallback"),  # four UTF-8 bytes
            ('"\u00e9"', 4, "parse"),
            ("1", 2**64 - 1, "parse"),
        ],
    )
    def test_max_len_counts_utf8_bytes(self, text, max_len, strategy):
        assert repair(text, max_len=max_len).strategy == strategy

    def test_default_max_len(self):
        document = '"' + "a" * 4_999_998 + '"'
        assert repair(document, max_len=None).strategy == "parse"
        assert repair(document + " ").strategy == "fallback"

    @pytest.mark.parametrize("fallback, value", [(None, None), ("null", None), (StrSub("empty-object"), {})])
    def test_fallback_value(self, fallback, value):
        result = repair("", fallback=fallback)
        assert (result.ok, result.changed, result.strategy) == (False, True, "fallback")
        assert result.value == value and result.json == ("{}" if value == {} else "null")

    @pytest.mark.parametrize(
        "flag, strategy",
        [(None, "strip-fences"), (bool_(True), "strip-fences"), (False, "fallback"), (bool_(False), "fallback")],
    )
    def test_strip_code_fences(self, flag, strategy):
        assert repair('```json\n{"a": 1}\n```', strip_code_fences=flag).strategy == strategy

    @pytest.mark.parametrize("flag, strategy, value", [(None, "unwrap-double", {"a": 1}), (False, "parse", '{"a":1}')])
    def test_unwrap_double_encoded(self, flag, strategy, value):
        result = repair('"{\\"a\\":1}"', unwrap_double_encoded=flag)
        assert (result.strategy, result.value) == (strategy, value)


@pytest.mark.parametrize(
    "kwargs",
    [{"max_len": 10**30}, {"max_len": Index(9)}, {"fallback": "bad"}, {"strip_code_fences": 1.5}, {"bogus": 1}],
)
def test_arguments_are_not_leaked_or_over_released(kwargs):
    text = f"[1, {2},]"  # a fresh object, not a shared constant
    tracked = [text, *kwargs.values()]
    before = [sys.getrefcount(obj) for obj in tracked]
    for _ in range(200):
        try:
            repair(text, **kwargs)
        except (TypeError, ValueError, OverflowError):
            pass
    assert [sys.getrefcount(obj) for obj in tracked] == before
