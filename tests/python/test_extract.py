"""tarnwick.extract and tarnwick.loads: finding the JSON inside a reply written in prose, with and without the
lenient pass, and the Extraction they return."""

import copy
import json
import pickle
import re
import sys
from typing import get_args

import pytest
from conftest import ROOT, assert_note, assert_same_json
from hypothesis import given
from hypothesis import strategies as st
from tarnwick import Extraction, FixName, extract, extract_all, loads, repair, repair_column
from tarnwick._extras import FIX_NAMES, _rebuild_extraction
from test_properties import json_ish_text

# (text, value, strategy without the lenient pass, (strategy, fixes) with it when they differ)
FINDS = [
    # a fenced block anywhere, with or without a tag, closed or not; the first that holds a value
    (
        'Rows:\n```json\n[\n {"id": 1},\n {"id": 2},\n]\n```\nOk?',
        [{"id": 1}, {"id": 2}],
        "strip-trailing-commas",
        ("parse", ("trailing-commas",)),
    ),
    (
        'Sure! Config:\n```json\n{"name": "x", "tags": ["a", "b',
        {"name": "x", "tags": ["a", "b"]},
        "tolerant",
        ("parse", ("truncated",)),
    ),
    ('```json-ld\n{"@id": "x"}\n```', {"@id": "x"}, "parse", None),
    ('```json[1]``` or {"b": 2}', [1], "parse", None),
    ('````json\n{"a": 1}\n````', {"a": 1}, "parse", None),
    ('```sh\npip install x\n```\nthen\n```json\n{"b": 2}\n```', {"b": 2}, "parse", None),
    ('```python\nconfig = {"debug": true}\n```', {"debug": True}, "parse", None),  # a span inside the fence
    # no fence: the first span that holds something
    ('The values are [1.5, 2.5] and {"b": 1}', [1.5, 2.5], "parse", None),
    ('The reply is {"text": "use ] or }", "n": 1}. Hope that helps!', {"text": "use ] or }", "n": 1}, "parse", None),
    # the whole text is valid JSON: taken as it is
    ('"see [1]"', "see [1]", "parse", None),
    ('"{\\"a\\": 1}"', {"a": 1}, "unwrap-double", None),
    # spans that read as nothing are passed over, reference marks kept back; prose words in brackets are no values
    ('See [2, 3] and [] and {} first: ["x"]', ["x"], "parse", None),
    ("Fill in {name} and [x] then [true]", [True], "parse", None),
]


class TestFinds:
    @pytest.mark.parametrize("text, value, strategy, lenient", FINDS)
    def test_without_lenient_pass(self, text, value, strategy, lenient):
        result = extract(text, lenient=False)
        assert (result.value, result.strategy, result.ok, result.fixes) == (value, strategy, True, ())

    @pytest.mark.parametrize("text, value, strategy, lenient", FINDS)
    def test_with_lenient_pass(self, text, value, strategy, lenient):
        result = extract(text)
        assert (result.value, result.ok, (result.strategy, result.fixes)) == (value, True, lenient or (strategy, ()))

    @pytest.mark.parametrize(
        "text", ["No JSON here.", "", "See [the docs](https://x.org).", "Use {name}", "```\nno json\n```"]
    )
    @pytest.mark.parametrize("lenient", [False, True])
    def test_nothing_found_is_the_fallback(self, text, lenient):
        result = extract(text, fallback="empty-object", lenient=lenient)
        assert (result.ok, result.strategy, result.value, result.span) == (False, "fallback", {}, (0, len(text)))

    # The defects the lenient pass is for, each in a reply of its own.
    @pytest.mark.parametrize(
        "text, expected",
        [
            ("{'name': 'Ada', 'active': True, 'manager': None}", {"name": "Ada", "active": True, "manager": None}),
            ('{"flag": /* on */ true, // why\n "n": 2}', {"flag": True, "n": 2}),
            ('{name: "x", tags: [a, b]}', {"name": "x", "tags": ["a", "b"]}),
            ('{"key": "apple "bee" carrot"}', {"key": 'apple "bee" carrot'}),
            ('{"value": 82_461_110, "r": .5, "n": 5., "h": 0x1f}', {"value": 82461110, "r": 0.5, "n": 5.0, "h": 31}),
            ('{"id": 746de9ad-25d8-4a31}', {"id": "746de9ad-25d8-4a31"}),
            ('callback({"a": 1});', {"a": 1}),
            ('{"_id": ObjectId("5f1"), "n": NumberLong(2)}', {"_id": "5f1", "n": 2}),
            ("[1, 2, 3, ...]", [1, 2, 3]),
            ('"a" + "b"', "ab"),
            ("1\n2\n3", [1, 2, 3]),
            ('{\\"a\\": 1}', {"a": 1}),
            ('{"s": "x\by"}', {"s": "x\by"}),
            ('{"s": "caf\\u00', {"s": "caf"}),
        ],
    )
    def test_lenient_pass(self, text, expected):
        result = extract(text)
        assert_same_json(result.value, expected)
        assert (result.ok, result.changed) == (True, True) and result.fixes
        assert_same_json(loads(text), expected)


class TestOptions:
    @pytest.mark.parametrize("lenient", [False, True])
    @pytest.mark.parametrize(
        "text, kwargs, value",
        [
            ('Here: {"a": 1}', {"max_len": 14}, {"a": 1}),
            ('Here: {"a": 1}', {"max_len": 13}, None),  # too long to search
            ('\xe9 {"a": 1}', {"max_len": 10}, None),  # 11 UTF-8 bytes
            ('Here:\n```\n"{\\"a\\": 1}"\n```', {}, {"a": 1}),
            ('Here:\n```\n"{\\"a\\": 1}"\n```', {"unwrap_double_encoded": False}, '{"a": 1}'),
            ("Here:\n```\nnull\n```", {"fallback": "empty-object"}, None),
            ("Here:\n```\nnull\n```", {"fallback": "empty-object", "strip_code_fences": False}, {}),  # no fences
        ],
    )
    def test_reach_the_search(self, text, kwargs, value, lenient):
        assert extract(text, lenient=lenient, **kwargs).value == loads(text, lenient=lenient, **kwargs) == value

    def test_size_limit_is_the_inputs(self):
        # The rewrite of a text within the limit may be longer than the limit.
        assert [loads("[x, y]", max_len=n) for n in (5, 6)] == [None, ["x", "y"]]


class TestSpan:
    @pytest.mark.parametrize("lenient", [False, True])
    @pytest.mark.parametrize(
        "text, found",
        [
            ('h\xe9llo {"\xe9": [1, 2]} x', '{"\xe9": [1, 2]}'),
            ('\U0001f600\U0001f600 ```json\n{"a": "\u4e2d"}\n``` \U0001f600', '{"a": "\u4e2d"}'),
            ('\u4e2d\u6587 [1, "\U0001f600"] and more', '[1, "\U0001f600"]'),
            ('{"\xe9": 1}', '{"\xe9": 1}'),
        ],
    )
    def test_in_code_points(self, text, found, lenient):
        start, end = extract(text, lenient=lenient).span
        assert text[start:end].strip() == found


class TestLoneSurrogates:
    @pytest.mark.parametrize(
        "text, expected",
        [
            ('["a\ud800b"]', ["a\ufffdb"]),
            ('x \udfff {"k": "\ud83d\ude00"}', {"k": "\ufffd\ufffd"}),  # a pair in a str is two lone surrogates
            ("\ud800", None),
        ],
    )
    def test_replaced_with_a_fix(self, text, expected):
        result = extract(text)
        assert (result.value, loads(text)) == (expected, expected)
        assert "lone-surrogates" in result.fixes and result.changed
        start, end = result.span
        assert 0 <= start <= end <= len(text)

    @pytest.mark.parametrize("function", [extract, loads])
    def test_raise_without_lenient_pass(self, function):
        with pytest.raises(UnicodeEncodeError) as excinfo:
            function('["a\ud800b"]', lenient=False)
        assert_note(excinfo, "text")

    def test_lenient_flag_is_read_first(self):
        with pytest.raises(TypeError, match="^extract\\(\\) argument 'lenient' must be bool or None, not int") as excinfo:
            extract('["\ud800"]', max_len=-1, lenient=1)
        assert_note(excinfo, "lenient")


class TestBytes:
    """bytes, bytearray and memoryview read as their UTF-8 text, decoded as bytes.decode("utf-8", "replace")."""

    KINDS = [bytes, bytearray, memoryview]
    VALID = ['{"a": [1, 2]}', "Sure: {'caf\xe9': True,} \U0001f600", "\u4e2d ```json\n[\"\U0001f600\"]\n```", "", "no json"]
    INVALID = [
        b'["\xff"]',  # a byte that starts nothing
        b'["caf\xc3"] and \xe2\x82',  # sequences cut short, one by the end
        b'{"k": "\xc0\xaf\xed\xa0\x80"}',  # overlong; an encoded surrogate
        b'\xf4\x90\x80\x80 [1, "\xe9"]',  # past U+10FFFF, then Latin-1
    ]

    @pytest.mark.parametrize("kind", KINDS)
    @pytest.mark.parametrize("text", VALID)
    def test_valid_utf8_as_its_text(self, kind, text):
        assert extract(kind(text.encode())) == extract(text)
        assert_same_json(loads(kind(text.encode())), loads(text))

    @pytest.mark.parametrize("kind", KINDS)
    @pytest.mark.parametrize("data", INVALID)
    def test_invalid_utf8_replaced_with_a_fix(self, kind, data):
        decoded = data.decode("utf-8", "replace")
        result, expected = extract(kind(data)), extract(decoded)
        assert (result.value, result.json, result.span) == (expected.value, expected.json, expected.span)
        assert result.fixes == tuple(sorted({*expected.fixes, "invalid-utf8"}, key=FIX_NAMES.index))
        assert result.changed and "invalid-utf8" not in expected.fixes

    @pytest.mark.parametrize("text", ['{"a": 1}', 'x {"\xe9": 1}', "\ufeff[1]"])
    def test_leading_byte_order_mark_is_an_encoding_mark(self, text):
        # Dropped as json.loads drops it from bytes: the text after it, its spans and fixes; a second one is text.
        assert extract(b"\xef\xbb\xbf" + text.encode()) == extract(text)

    def test_memoryview_of_a_slice_and_of_other_items(self):
        data = b'xx[1, 2]yy'
        assert loads(memoryview(data)[2:-2]) == [1, 2]
        assert loads(memoryview(bytearray(b"[7]")).cast("B", (3,))) == [7]

    def test_repair_still_refuses_bytes(self):
        with pytest.raises(TypeError):
            repair(b"[1]")


class TestChanged:
    """False only when the whole text was read as strict JSON as it stood; repair_column and pickles agree."""

    @pytest.mark.parametrize(
        "text, changed",
        [
            ('{"a": [1, 2]}', False),
            (' \t[1, "x"]\r\n', False),  # JSON whitespace around it is part of a JSON text
            ('"plain"', False),
            (b'\xef\xbb\xbf{"a": 1}', False),  # an encoding mark, not text
            ('Sure: {"a": 1}', True),  # prose dropped before
            ('{"a": 1} Hope that helps!', True),  # and after
            ('```json\n{"a": 1}\n```', True),  # a fence around the whole text
            ('Here:\n```json\n{"a": 1}\n```', True),
            ("{'a': 1}", True),  # a fix
            ('\ufeff{"a": 1}', True),  # a BOM in a str is a fix
            ('"{\\"a\\": 1}"', True),  # unwrapped
            ("\u00a0[1]", True),  # not JSON whitespace
            ("no json here", True),
        ],
    )
    def test_as_it_stood(self, text, changed):
        result = extract(text)
        assert result.changed is changed
        assert pickle.loads(pickle.dumps(result)).changed is changed
        if isinstance(text, str):
            assert repair_column([text], extract=True).column("changed") == [changed]
            assert [found.changed for found in extract_all(text) if found.span == result.span][:1] in ([], [changed])

    def test_repair_keeps_its_own_meaning(self):
        assert (repair('{"a": 1} Hope that helps!').changed, repair('```json\n{"a": 1}\n```').changed) == (True, True)
        assert repair('  {"a": 1}  ').changed is False

    def test_pickles_from_before_the_field_follow_the_strategy_and_fixes(self):
        assert _rebuild_extraction({"a": 1}, '{"a":1}', "parse", (), (6, 14)).changed is False
        assert _rebuild_extraction({"a": 1}, '{"a":1}', "parse", (), (6, 14), False, True).changed is True


MISSING = "{}() missing 1 required positional argument: 'text'"
MAX_LEN = "{}() argument 'max_len' must be an int from 0 to 18446744073709551615, or None for 5000000, not "


class TestArguments:
    @pytest.mark.parametrize("function", [extract, loads])
    @pytest.mark.parametrize(
        "args, kwargs, exc_type, message, note",
        [
            ((), {}, TypeError, MISSING, None),
            (("x", "y"), {}, TypeError, "{}() takes 1 positional argument but 2 were given", None),
            (("x",), {"text": "y"}, TypeError, "{}() got multiple values for argument 'text'", None),
            (("x",), {"input": "y"}, TypeError, "{}() got an unexpected keyword argument 'input'", None),
            ((5,), {}, TypeError, "{}() argument 'text' must be str, bytes, bytearray or memoryview, not int", "text"),
            ((None,), {"lenient": 1}, TypeError, None, "text"),  # in parameter order
            (("x",), {"lenient": 1}, TypeError, "{}() argument 'lenient' must be bool or None, not int", "lenient"),
            (("x",), {"lenient": 1, "max_len": 1.5}, TypeError, MAX_LEN + "float", "max_len"),
            (("x",), {"max_len": -1}, OverflowError, MAX_LEN + "-1", "max_len"),
            (("x",), {"max_len": 2**64}, OverflowError, MAX_LEN + str(2**64), "max_len"),
            (("x",), {"max_len": "10"}, TypeError, MAX_LEN + "str", "max_len"),
            (("x",), {"fallback": 0}, TypeError, "{}() argument 'fallback' must be str or None, not int", "fallback"),
            (("x",), {"strip_code_fences": "no"}, TypeError, None, "strip_code_fences"),
            (("x",), {"fallback": "Null", "lenient": 0}, TypeError, None, "lenient"),
            (
                ("x",),
                {"fallback": "Null"},
                ValueError,
                "invalid fallback \"Null\": expected 'null' or 'empty-object'",
                None,
            ),
        ],
    )
    def test_errors(self, function, args, kwargs, exc_type, message, note):
        with pytest.raises(exc_type) as excinfo:
            function(*args, **kwargs)
        assert type(excinfo.value) is exc_type
        assert message is None or str(excinfo.value) == message.format(function.__name__)
        if note is None:
            assert getattr(excinfo.value, "__notes__", []) == []
        else:
            assert_note(excinfo, note)

    @pytest.mark.parametrize("kwargs", [{}, {"max_len": 10**30}, {"fallback": "bad".upper()}, {"lenient": 2}])
    @pytest.mark.parametrize("text", ["Here [1, {2},]", "x \ud800 [1]"])
    def test_references_unchanged(self, text, kwargs):
        text = text[:1] + text[1:]  # a fresh object, not a shared constant
        tracked = [text, *kwargs.values()]
        before = [sys.getrefcount(obj) for obj in tracked]
        for _ in range(200):
            for function in (extract, loads):
                try:
                    function(text, **kwargs)
                except (TypeError, ValueError, OverflowError):
                    pass
        assert [sys.getrefcount(obj) for obj in tracked] == before


class TestExtraction:
    def test_fields(self):
        text = 'Sure: {"a": [1, 2.5, null, "\xe9"]} ok'
        result = extract(text)
        assert (result.ok, result.changed, result.strategy, result.fixes) == (True, True, "parse", ())  # prose dropped
        assert (result.json, text[slice(*result.span)]) == (
            '{"a":[1,2.5,null,"\xe9"]}',
            '{"a": [1, 2.5, null, "\xe9"]}',
        )
        assert_same_json(result.value, {"a": [1, 2.5, None, "\xe9"]})

    def test_fix_names(self):
        assert FIX_NAMES == get_args(FixName)
        fixes = extract("{'a': True, b: 1,}").fixes
        assert fixes and list(fixes) == sorted(fixes, key=FIX_NAMES.index)

    @pytest.mark.parametrize("text", ["[1]", "Here: {'a': 1}", "", "x \ud800 [1]"])
    def test_equal_by_fields_pickle_and_copy(self, text):
        result = extract(text)
        copies = [pickle.loads(pickle.dumps(result, protocol)) for protocol in range(pickle.HIGHEST_PROTOCOL + 1)]
        for other in [extract(text), copy.copy(result), copy.deepcopy(result), *copies]:
            assert type(other) is Extraction and other == result and (other != result) is False
            assert (other.value, other.json, other.strategy, other.fixes, other.span) == (
                result.value, result.json, result.strategy, result.fixes, result.span)  # fmt: skip

    @pytest.mark.parametrize(
        "text, kwargs, equal",
        [
            ("[1]", {"lenient": False}, True),
            ("[1]", {"max_len": 3}, True),
            (" [1]", {}, False),  # span
            ("[1.0]", {}, False),  # json and value
            ("[1,]", {"lenient": False}, False),  # strategy
            ("[1,]", {}, False),  # fixes
        ],
    )
    def test_equality(self, text, kwargs, equal):
        result, other = extract("[1]"), extract(text, **kwargs)
        assert (result == other, other == result, result != other) == (equal, equal, not equal)
        assert result != repair("[1]") and result != result.value and result != None  # noqa: E711 - the comparison itself is under test
        with pytest.raises(TypeError):
            hash(result)

    def test_mutated_value_makes_it_unequal(self):
        first, second = extract('{"a": 1}'), extract('{"a": 1}')
        first.value["a"] = 2
        assert first != second

    @pytest.mark.parametrize(
        "args, exc_type",
        [
            ((1, "1", "parse", (), (0, 1)), None),
            ((1, "1", "parse", (), (0, 1), False), None),
            ((1, "1", "parse", ("quotes",), (0, 1), True, True, "extra"), TypeError),
            ((1, b"1", "parse", (), (0, 1)), TypeError),
            ((1, "1", "Parse", (), (0, 1)), ValueError),
            ((1, "1", "parse", ("quote",), (0, 1)), ValueError),
            ((1, "1", "parse", (1,), (0, 1)), TypeError),
            ((1, "1", "parse", [], (0, 1)), TypeError),
            ((1, "1", "parse", (), (2, 1)), ValueError),
            ((1, "1", "parse", (), (-1, 1)), ValueError),
            ((1, "1", "parse", (), (0,)), TypeError),
        ],
    )
    def test_rebuild_checks_fields(self, args, exc_type):
        if exc_type is None:
            assert _rebuild_extraction(*args) == extract("1")
        else:
            with pytest.raises(exc_type):
                _rebuild_extraction(*args)

    def test_repr(self):
        assert repr(extract('Here: {"a": "\xe9"} ok')) == (
            'Extraction(ok=True, strategy="parse", changed=True, fixes=(), span=(6, 16), guessed=False, '
            'json="{\\"a\\":\\"\xe9\\"}")'
        )
        assert repr(extract("[1, 'x']")).startswith(
            'Extraction(ok=True, strategy="parse", changed=True, fixes=("quotes",)'
        )
        shown = repr(extract(json.dumps(list(range(100_000)))))
        assert len(shown) < 250 and shown.endswith('...")') and str(extract("[]")) == repr(extract("[]"))

    @pytest.mark.parametrize(
        "name", ["ok", "value", "json", "changed", "strategy", "fixes", "span", "guessed", "extra"]
    )
    def test_read_only(self, name):
        result = extract("[1]")
        with pytest.raises(AttributeError):
            setattr(result, name, 1)
        with pytest.raises(AttributeError):
            delattr(result, name)
        assert result.value == [1]

    @pytest.mark.parametrize("make", [Extraction, lambda: Extraction(1), lambda: Extraction.__new__(Extraction)])
    def test_not_instantiable(self, make):
        assert (Extraction.__module__, Extraction.__qualname__) == ("tarnwick", "Extraction")
        with pytest.raises(TypeError, match=r"^cannot create 'tarnwick\.Extraction' instances$"):
            make()

    @pytest.mark.parametrize("text", ["1", '{"k": [1, "s", null]}', "", "Sure: ```\n[1,]\n```", "{'a': [x]}"])
    def test_class_refcount_after_many_results(self, text):
        before = sys.getrefcount(Extraction)
        results = [extract(text) for _ in range(1000)]
        assert sys.getrefcount(Extraction) == before + 1000
        del results
        for _ in range(20_000):
            extract(text)
            loads(text)
        assert sys.getrefcount(Extraction) == before

    def test_value_released_with_result(self):
        result = extract('Here: [[1], {"b": 2}]')
        inner = result.value[0]
        before = sys.getrefcount(inner)
        del result
        assert sys.getrefcount(inner) == before - 1


def corpus_files(prefix):
    for path in sorted((ROOT / "tests" / "data" / "JSONTestSuite" / "test_parsing").glob(f"{prefix}*.json")):
        try:
            yield pytest.param(path.read_bytes().decode("utf-8"), id=path.name)
        except UnicodeDecodeError:
            pass


@pytest.mark.parametrize("text", list(corpus_files("y_")))
def test_valid_documents_are_repairs(text):
    expected = repair(text)
    for lenient in (True, False):
        result = extract(text, lenient=lenient)
        assert (result.strategy, result.json, result.ok, result.changed, result.fixes, result.span) == (
            expected.strategy, expected.json, expected.ok, expected.changed, (), (0, len(text)))  # fmt: skip
        assert_same_json(result.value, expected.value)


_WORD = re.compile(r'[^\s,:{}\[\]\x00-\x1f"\\]{2,}')


def weight(value):
    """Words (two or more characters between layout, punctuation and quotes;
    "null" is none) in strings and keys, and one per number or boolean: what
    a reading holds, whatever members a stray quote split it into."""
    if isinstance(value, list):
        return sum(map(weight, value))
    if isinstance(value, dict):
        return sum(weight(k) + weight(v) for k, v in value.items())
    if isinstance(value, str):
        return sum(word != "null" for word in _WORD.findall(value))
    return value is not None


lone_surrogates = st.integers(0xD800, 0xDFFF).map(chr)


@given(json_ish_text() | st.text() | st.lists(st.text() | lone_surrogates).map("".join), st.booleans())
def test_never_raises_never_less_than_repair(text, lenient):
    replaced = re.sub("[\ud800-\udfff]", "\ufffd", text)  # what the lenient path reads
    if replaced != text and not lenient:
        return  # refused unread: test_raise_without_lenient_pass
    result = extract(text, lenient=lenient)
    assert_same_json(json.loads(result.json), result.value)
    assert_same_json(loads(text, lenient=lenient), result.value)
    start, end = result.span
    around = (text[:start] + text[end:]).strip(" \t\r\n")  # only JSON whitespace is part of a JSON text
    assert (result.ok, result.changed) == (
        result.strategy != "fallback",
        result.strategy != "parse" or bool(result.fixes) or bool(around),
    )
    assert set(result.fixes) <= set(FIX_NAMES) and 0 <= result.span[0] <= result.span[1] <= len(text)
    assert ("lone-surrogates" in result.fixes) == (replaced != text)
    # A part found after other text never holds less than the whole text's
    # repair; a reading from the text's first value on reads the same text,
    # and so does the content of a fence that opens the text.
    before = text[: result.span[0]].strip()
    fence_first = before.startswith(("```", "~~~")) and "\n" not in before
    if not (lenient and (before in ("", "\ufeff") or fence_first)):
        assert weight(result.value) >= weight(repair(replaced).value)
