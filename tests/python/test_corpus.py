"""JSONTestSuite through `repair`: y_ files parse like json.loads, n_ files do not parse."""

import json

import pytest
from conftest import ROOT, assert_same_json
from tarnwick import repair


def decodable_files():
    for path in sorted((ROOT / "tests" / "data" / "JSONTestSuite" / "test_parsing").glob("*.json")):
        try:
            yield pytest.param(path.name, path.read_bytes().decode("utf-8"), id=path.name)
        except UnicodeDecodeError:
            pass


FILES = list(decodable_files())


def test_corpus_present():
    names = [p.values[0] for p in FILES]
    assert sum(n.startswith("y_") for n in names) > 90 and sum(n.startswith("n_") for n in names) > 150


@pytest.mark.parametrize("name, text", FILES)
def test_document(name, text):
    result, again = repair(text), repair(text)
    assert_same_json(json.loads(result.json), result.value)
    fields = [(r.strategy, r.json, r.ok, r.changed, json.dumps(r.value)) for r in (result, again)]
    assert fields[0] == fields[1]  # json.dumps tells 1 from 1.0 and -0.0 from 0.0
    if name.startswith("y_"):
        assert (result.strategy, result.ok, result.changed) == ("parse", True, False)
        # json.loads, with the one designed difference: the integer -0 is float -0.0
        assert_same_json(result.value, json.loads(text, parse_int=lambda s: -0.0 if s == "-0" else int(s)))
    elif name.startswith("n_"):
        assert result.strategy != "parse"
