"""tarnwick.extract: finding the JSON inside a reply written in prose."""

import pytest
from tarnwick import extract, repair

FENCE = "```"


class TestWhereItLooks:
    @pytest.mark.parametrize("text, value, strategy", [
        # a fenced block anywhere, with or without a tag, closed or not
        (f'Sure! Here it is:\n{FENCE}json\n{{"a": 1}}\n{FENCE}\nAnything else?',
         {"a": 1}, "parse"),
        (f"Result:\n{FENCE}\n[1, 2,]\n{FENCE}", [1, 2], "strip-trailing-commas"),
        (f'Here:\n{FENCE}json\n{{"a": [1, 2', {"a": [1, 2]}, "tolerant"),
        (f'{FENCE}json-ld\n{{"@id": "x"}}\n{FENCE}', {"@id": "x"}, "parse"),
        (f'{FENCE}json{{"a":1}}{FENCE}', {"a": 1}, "parse"),
        ('````json\n{"a": 1}\n````', {"a": 1}, "parse"),
        # two fences: the first that holds a value
        (f'One:\n{FENCE}json\n{{"a": 1}}\n{FENCE}\nTwo:\n{FENCE}json\n{{"b": 2}}\n{FENCE}',
         {"a": 1}, "parse"),
        (f'{FENCE}sh\npip install x\n{FENCE}\nthen\n{FENCE}json\n{{"b": 2}}\n{FENCE}',
         {"b": 2}, "parse"),
        # a fence that holds prose: the span inside it is found
        (f'{FENCE}python\nconfig = {{"debug": true}}\n{FENCE}', {"debug": True}, "parse"),
        # no fence: the first span that holds something
        ('Sure! Here it is: {"name": "x", "tags": ["a"]} Hope that helps.',
         {"name": "x", "tags": ["a"]}, "parse"),
        ('Sure: {"a": "line\nbreak"} done', {"a": "line\nbreak"}, "strip-controls"),
        ("The values are [1.5, 2.5] and {\"b\": 1}", [1.5, 2.5], "parse"),
        ('The model says {"a": 1, "b": True}.', {"a": 1, "b": None}, "tolerant"),
        ('Here you go: [{"a": 1}, {"b": 2', [{"a": 1}, {"b": 2}], "tolerant"),
        ('A quoted bracket: {"s": "]}", "n": 1} end', {"s": "]}", "n": 1}, "parse"),
        # the whole text is valid JSON: taken as it is
        ('"see [1]"', "see [1]", "parse"),
        ('"{\\"a\\": 1}"', {"a": 1}, "unwrap-double"),
        ("42", 42, "parse"),
    ])
    def test_finds(self, text, value, strategy):
        result = extract(text)
        assert (result.value, result.strategy, result.ok) == (value, strategy, True)


class TestPassedOverAndKeptBack:
    @pytest.mark.parametrize("text, value", [
        # reference marks lose to a later span that holds something
        ('As noted in [1], the result is {"a": 1}.', {"a": 1}),
        ('See [2, 3] and [] and {} first: ["x"]', ["x"]),
        # spans that only the tolerant rung reads as nothing are skipped
        ('See [the docs](https://example.com): {"a": 1, "b": [1, 2', {"a": 1, "b": [1, 2]}),
        ("Fill in {name} and [x] then [true]", [True]),
        # but a reference mark answers when nothing else does
        ("see [1]", [1]),
        ("Returns {} or [] when empty.", {}),
    ])
    def test_choice(self, text, value):
        assert extract(text).value == value

    @pytest.mark.parametrize("text", [
        "I could not find any JSON here.",
        "",
        "See [the docs](https://example.com).",
        "Use {name} here",
        "Unclosed { here",
        f"{FENCE}\nno json\n{FENCE}",
    ])
    def test_nothing_found_is_repair_of_the_text(self, text):
        result, expected = extract(text), repair(text)
        assert (result.ok, result.strategy, result.json) == (False, "fallback", "null")
        assert (expected.ok, expected.strategy) == (False, "fallback")


class TestOptions:
    def test_fallback_value_when_nothing_found(self):
        assert extract("no json", fallback="empty-object").value == {}

    def test_text_over_max_len_is_not_searched(self):
        text = 'Here: {"a": 1}'
        assert extract(text, max_len=len(text)).value == {"a": 1}
        result = extract(text, max_len=len(text) - 1)
        assert (result.strategy, result.value) == ("fallback", None)

    def test_max_len_counts_utf8_bytes(self):
        text = 'é {"a": 1}'  # 11 bytes, 10 code points
        assert extract(text, max_len=10).strategy == "fallback"
        assert extract(text, max_len=11).value == {"a": 1}

    @pytest.mark.parametrize("text", ['"{\\"a\\": 1}"', f'Here:\n{FENCE}\n"{{\\"a\\": 1}}"\n{FENCE}'])
    def test_unwrap_option_reaches_repair(self, text):
        assert extract(text).value == {"a": 1}
        assert extract(text, unwrap_double_encoded=False).value == '{"a": 1}'

    @pytest.mark.parametrize("args, kwargs, error", [
        ((1,), {}, TypeError),
        ((None,), {}, TypeError),
        (("x [1]",), {"fallback": "bad"}, ValueError),
        (("x [1]",), {"max_len": -1}, OverflowError),
        (("x [1]",), {"max_len": 1.5}, TypeError),
        (("x [1]",), {"strip_code_fences": 1}, TypeError),
    ])
    def test_bad_arguments_raise_like_repair(self, args, kwargs, error):
        with pytest.raises(error) as from_extract:
            extract(*args, **kwargs)
        with pytest.raises(error) as from_repair:
            repair(*args, **kwargs)
        assert str(from_extract.value) == str(from_repair.value)


def test_many_spans_each_read_once():
    # Disjoint spans: a long run of reference marks before the answer.
    text = "see [1] " * 20000 + '{"a": 1}'
    assert extract(text).value == {"a": 1}
