"""loads() and extract() on strict text against the standard library, and the
key cache they share across calls: the same results with it on and off, and
never more than its fixed number of keys."""

import json
import sys

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from tarnwick import _extras, extract, extract_all, loads, repair

from conftest import assert_same_json

no_surrogates = st.characters(blacklist_categories=("Cs",))
strict_values = st.recursive(
    st.none()
    | st.booleans()
    | st.integers(min_value=-(2**63), max_value=2**64 - 1)
    | st.floats(allow_nan=False, allow_infinity=False)
    | st.text(no_surrogates, max_size=12),
    lambda inner: st.lists(inner, max_size=5) | st.dictionaries(st.text(no_surrogates, max_size=40), inner, max_size=6),
    max_leaves=25,
)
documents = st.lists(strict_values, max_size=4) | st.dictionaries(st.text(no_surrogates, max_size=8), strict_values)


@settings(deadline=None, max_examples=300, suppress_health_check=[HealthCheck.too_slow])
@given(documents, st.booleans(), st.sampled_from([None, 2]))
def test_strict_text_reads_as_the_standard_library_reads_it(value, ascii_only, indent):
    # ensure_ascii spells every non-ASCII character, astral ones as a
    # surrogate pair, as an escape.
    text = json.dumps(value, ensure_ascii=ascii_only, indent=indent)
    expected = json.loads(text)
    assert_same_json(loads(text), expected)
    assert_same_json(extract(text).value, expected)


@pytest.mark.parametrize("depth", [1, 64, 127])
def test_nesting_up_to_the_limit(depth):
    text = '{"k": ' * (depth - 1) + "[]" + "}" * (depth - 1)
    assert_same_json(loads(text), json.loads(text))


@pytest.fixture
def cache_off():
    """Turns the cache off for one test, and back on afterwards."""
    _extras._key_cache(False)
    yield
    _extras._key_cache(True)


KEYED_TEXTS = [
    '{"id": 1, "name": "a", "tags": ["x"]}',
    '{"id": 1, "id": 2, "idx": 3}',  # a repeated key, and one a byte longer
    '{"": 0, "a": {"": 1}}',  # empty keys
    '{"Zürich": 1, "東京": 2, "🙂": 3}',  # keys of one, two and four bytes a code point
    '{"\\u00e9t\\u00e9": 1, "été": 2, "a\\nb": 3}',  # escaped keys and their decoded twins
    '{"' + "k" * 32 + '": 1, "' + "k" * 33 + '": 2}',  # at and past the longest cached key
    "[" + ",".join(f'{{"key{i}": {i}, "key{i + 1}": {i}}}' for i in range(50)) + "]",
    "Here it is: {\"reply\": {'quote': True, unquoted: [1, 2,]}}",  # through the lenient pass
]


class TestKeyCache:
    @pytest.mark.parametrize("text", KEYED_TEXTS)
    def test_same_results_on_and_off(self, text):
        on = (loads(text), extract(text).value, [e.value for e in extract_all(text)])
        _extras._key_cache(False)
        try:
            off = (loads(text), extract(text).value, [e.value for e in extract_all(text)])
        finally:
            _extras._key_cache(True)
        assert_same_json(on, off)

    def test_keys_are_shared_across_calls(self):
        first, second = loads('{"shared_key": 1}'), loads('{"shared_key": 2}')
        assert next(iter(first)) is next(iter(second))
        # repair() keeps making its own.
        assert next(iter(repair('{"shared_key": 3}').value)) is not next(iter(first))

    def test_off_means_new_keys_and_no_references_kept(self, cache_off):
        first, second = loads('{"own_key": 1}'), loads('{"own_key": 2}')
        key = next(iter(first))
        assert key is not next(iter(second))
        assert sys.getrefcount(key) == sys.getrefcount(next(iter(second)))
        assert _extras._key_cache()[0] == 0

    def test_long_keys_are_not_kept(self):
        long_key = "k" * 33
        assert next(iter(loads(f'{{"{long_key}": 1}}'))) is not next(iter(loads(f'{{"{long_key}": 2}}')))

    def test_stays_bounded(self):
        _, slots, enabled = _extras._key_cache()
        assert enabled
        for start in range(0, 20 * slots, 1000):
            loads("{" + ",".join(f'"k{i}": {i}' for i in range(start, start + 1000)) + "}")
            assert _extras._key_cache()[0] <= slots
        assert _extras._key_cache()[0] > slots // 2  # and it was used

    def test_off_empties_it(self):
        loads('{"one": 1, "two": 2}')
        assert _extras._key_cache()[0] > 0
        _extras._key_cache(False)
        try:
            assert _extras._key_cache() == (0, _extras._key_cache()[1], False)
        finally:
            _extras._key_cache(True)
