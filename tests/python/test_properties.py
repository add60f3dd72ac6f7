"""Properties of `repair` over generated text: the result's json and value
agree type for type, repeated calls agree, ok/changed follow the strategy,
and only lone surrogates make the input unencodable."""

import json

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from tarnwick import repair

from conftest import assert_note, assert_same_json

# Sanitized builds run this too; examples are cheap but not instant there.
settings.register_profile(
    "tarnwick",
    deadline=None,
    max_examples=200,
    suppress_health_check=[HealthCheck.too_slow],
)
settings.load_profile("tarnwick")

json_values = st.recursive(
    st.none()
    | st.booleans()
    | st.integers(min_value=-(2**70), max_value=2**70)
    | st.floats(allow_nan=False, allow_infinity=False)
    | st.text(max_size=12),
    lambda inner: st.lists(inner, max_size=5) | st.dictionaries(st.text(max_size=6), inner, max_size=5),
    max_leaves=20,
)


@st.composite
def json_ish_text(draw):
    """json.dumps of a value, then broken the ways model output is broken."""
    text = json.dumps(
        draw(json_values),
        ensure_ascii=draw(st.booleans()),
        indent=draw(st.sampled_from([None, 2])),
    )
    for _ in range(draw(st.integers(0, 3))):
        mutation = draw(st.sampled_from(["truncate", "fence", "comma", "newline", "double", "insert", "prose", "ws"]))
        at = draw(st.integers(0, len(text)))
        if mutation == "truncate":
            text = text[:at]
        elif mutation == "fence":
            tag = draw(st.sampled_from(["", "json", "JSON", "json-ld"]))
            closing = draw(st.sampled_from(["\n```", "", "\n```\nDone."]))
            text = f"```{tag}\n{text}{closing}"
        elif mutation == "comma":
            text = text[:at] + "," + text[at:]
        elif mutation == "newline":
            text = text.replace("\\n", "\n").replace("\\t", "\t")
            text = text[:at] + "\n" + text[at:]
        elif mutation == "double":
            text = json.dumps(text)
        elif mutation == "insert":
            text = text[:at] + draw(st.sampled_from(list("[]{}\":'\\`") + ["\\u", "\u3000", "\x00"])) + text[at:]
        elif mutation == "prose":
            text = "Here it is: " + text
        else:
            text = draw(st.sampled_from(["\u00a0", "\u2028", " \n", "\ufeff"])) + text
    return text


texts = json_ish_text() | st.text()


def check_result(text, **options):
    result = repair(text, **options)
    assert_same_json(json.loads(result.json), result.value)
    assert (result.ok, result.changed) == (result.strategy != "fallback", result.strategy != "parse")
    again = repair(text, **options)
    assert (again.json, again.strategy, again.ok, again.changed) == (
        result.json, result.strategy, result.ok, result.changed)  # fmt: skip
    assert_same_json(again.value, result.value)
    return result


class TestResultAgreesWithJson:
    @given(texts)
    def test_default_options(self, text):
        check_result(text)

    @given(
        texts,
        st.sampled_from([None, "null", "empty-object"]),
        st.sampled_from([None, True, False]),
        st.sampled_from([None, True, False]),
        st.none() | st.integers(0, 64),
    )
    def test_any_options(self, text, fallback, fences, unwrap, max_len):
        result = check_result(
            text, fallback=fallback, strip_code_fences=fences, unwrap_double_encoded=unwrap, max_len=max_len
        )
        if max_len is not None and len(text.encode()) > max_len:
            assert result.strategy == "fallback"
        if result.strategy == "fallback":
            assert result.json == ("{}" if fallback == "empty-object" else "null")

    @given(json_values)
    def test_valid_documents_parse_or_unwrap(self, value):
        result = check_result(json.dumps(value))
        assert result.strategy in ("parse", "unwrap-double")


lone_surrogates = st.integers(0xD800, 0xDFFF).map(chr)


class TestLoneSurrogates:
    @given(st.text(max_size=10), lone_surrogates, st.text(max_size=10))
    def test_raise_unicode_encode_error(self, before, surrogate, after):
        with pytest.raises(UnicodeEncodeError) as excinfo:
            repair(before + surrogate + after)
        assert_note(excinfo, "input")
