import math
import sys
from pathlib import Path

import pytest

CORPUS_DIR = Path(__file__).resolve().parents[1] / "data" / "JSONTestSuite" / "test_parsing"

NOTES_SUPPORTED = sys.version_info >= (3, 11)


def assert_same_json(actual, expected, path="value"):
    """Equal, type for type: 1 is not 1.0, -0.0 is not 0.0, key order counts."""
    assert type(actual) is type(expected), f"{path}: {actual!r} vs {expected!r}"
    if isinstance(expected, float):
        assert actual == expected and math.copysign(1, actual) == math.copysign(1, expected), path
    elif isinstance(expected, list):
        assert len(actual) == len(expected), path
        for i, (a, e) in enumerate(zip(actual, expected)):
            assert_same_json(a, e, f"{path}[{i}]")
    elif isinstance(expected, dict):
        assert list(actual) == list(expected), path
        for key in expected:
            assert_same_json(actual[key], expected[key], f"{path}[{key!r}]")
    else:
        assert actual == expected, path


def assert_note(excinfo, name):
    """The processing note is attached where the interpreter has add_note."""
    notes = getattr(excinfo.value, "__notes__", [])
    if NOTES_SUPPORTED:
        assert notes == [f"while processing '{name}'"]
    else:
        assert notes == []


@pytest.fixture(scope="session")
def corpus_files():
    files = sorted(CORPUS_DIR.glob("*.json"))
    assert files, f"no corpus files in {CORPUS_DIR}"
    return files
