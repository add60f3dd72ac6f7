"""JSONTestSuite through `repair`: y_ files parse like json.loads, n_ files
never come out as "parse", nothing raises, and `json` reads back as `value`."""

import json

import pytest
from conftest import CORPUS_DIR, assert_same_json
from tarnwick import repair

FILES = sorted(CORPUS_DIR.glob("*.json"))


def read_text(path):
    try:
        return path.read_bytes().decode("utf-8")
    except UnicodeDecodeError:
        return None


def decodable(prefix):
    return [p for p in FILES if p.name.startswith(prefix) and read_text(p) is not None]


def json_loads_strict(text):
    """json.loads, with the designed difference: the integer -0 is float -0.0."""
    return json.loads(text, parse_int=lambda s: -0.0 if s == "-0" else int(s))


def test_corpus_present():
    assert len(decodable("y_")) > 90 and len(decodable("n_")) > 150


@pytest.mark.parametrize("path", decodable("y_"), ids=lambda p: p.name)
def test_accepted_document_parses_like_json_loads(path):
    text = read_text(path)
    result = repair(text)
    assert result.strategy == "parse" and result.ok and not result.changed
    assert_same_json(result.value, json_loads_strict(text))


@pytest.mark.parametrize("path", decodable("n_"), ids=lambda p: p.name)
def test_rejected_document_is_repaired_not_parsed(path):
    assert repair(read_text(path)).strategy != "parse"


@pytest.mark.parametrize("path", decodable(""), ids=lambda p: p.name)
def test_json_reads_back_as_value_and_is_deterministic(path):
    text = read_text(path)
    result = repair(text)
    assert_same_json(json.loads(result.json), result.value)
    again = repair(text)
    assert (again.strategy, again.json, again.ok, again.changed) == (
        result.strategy,
        result.json,
        result.ok,
        result.changed,
    )
    assert_same_json(again.value, result.value)
