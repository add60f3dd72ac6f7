"""tarnwick.extract: finding the JSON inside a reply written in prose."""

import pytest
from tarnwick import extract, repair


@pytest.mark.parametrize(
    "text, value, strategy",
    [
        # a fenced block anywhere, with or without a tag, closed or not; the first that holds a value
        ('Rows:\n```json\n[\n {"id": 1},\n {"id": 2},\n]\n```\nOk?', [{"id": 1}, {"id": 2}], "strip-trailing-commas"),
        ('Sure! Config:\n```json\n{"name": "x", "tags": ["a", "b', {"name": "x", "tags": ["a", "b"]}, "tolerant"),
        ('```json-ld\n{"@id": "x"}\n```', {"@id": "x"}, "parse"),
        ('```json[1]``` or {"b": 2}', [1], "parse"),
        ('````json\n{"a": 1}\n````', {"a": 1}, "parse"),
        ('```sh\npip install x\n```\nthen\n```json\n{"b": 2}\n```', {"b": 2}, "parse"),
        ('```python\nconfig = {"debug": true}\n```', {"debug": True}, "parse"),  # a span inside the fence
        # no fence: the first span that holds something
        ('The values are [1.5, 2.5] and {"b": 1}', [1.5, 2.5], "parse"),
        ('The reply is {"text": "use ] or }", "n": 1}. Hope that helps!', {"text": "use ] or }", "n": 1}, "parse"),
        # the whole text is valid JSON: taken as it is
        ('"see [1]"', "see [1]", "parse"),
        ('"{\\"a\\": 1}"', {"a": 1}, "unwrap-double"),
        # spans that only the tolerant rung reads as nothing are passed over, reference marks kept back
        ('See [2, 3] and [] and {} first: ["x"]', ["x"], "parse"),
        ("Fill in {name} and [x] then [true]", [True], "parse"),
    ],
)
def test_finds(text, value, strategy):
    result = extract(text)
    assert (result.value, result.strategy, result.ok) == (value, strategy, True)


@pytest.mark.parametrize(
    "text", ["No JSON here.", "", "See [the docs](https://x.org).", "Use {name}", "```\nno json\n```"]
)
def test_nothing_found_is_the_fallback(text):
    result = extract(text, fallback="empty-object")
    assert (result.ok, result.strategy, result.value) == (False, "fallback", {})


@pytest.mark.parametrize(
    "text, kwargs, value",
    [
        ('Here: {"a": 1}', {"max_len": 14}, {"a": 1}),
        ('Here: {"a": 1}', {"max_len": 13}, None),  # too long to search
        ('\xe9 {"a": 1}', {"max_len": 10}, None),  # 11 UTF-8 bytes
        ('Here:\n```\n"{\\"a\\": 1}"\n```', {}, {"a": 1}),
        ('Here:\n```\n"{\\"a\\": 1}"\n```', {"unwrap_double_encoded": False}, '{"a": 1}'),
    ],
)
def test_options_reach_repair(text, kwargs, value):
    assert extract(text, **kwargs).value == value


@pytest.mark.parametrize(
    "text, kwargs", [(1, {}), ("x [1]", {"fallback": "bad"}), ("x [1]", {"max_len": -1}), ("x [1]", {"max_len": 1.5})]
)
def test_bad_arguments_raise_like_repair(text, kwargs):
    with pytest.raises((TypeError, ValueError, OverflowError)) as from_repair:
        repair(text, **kwargs)
    with pytest.raises(from_repair.type) as from_extract:
        extract(text, **kwargs)
    assert str(from_extract.value) == str(from_repair.value)
