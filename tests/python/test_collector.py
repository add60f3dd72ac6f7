"""The garbage collector is paused while a large value is built, and comes
back in the state it was in, whatever the call did."""

import gc

import pytest
import tarnwick

LARGE = "[" + ",".join(['{"k": [1, 2, "x"]}'] * 20_000) + "]"  # about 400 KB
CALLS = [
    lambda: tarnwick.repair(LARGE),
    lambda: tarnwick.repair(LARGE[:-1]),  # the tolerant rung
    lambda: tarnwick.extract("Here: " + LARGE),
    lambda: tarnwick.loads(LARGE.replace('"', "'")),
]


@pytest.mark.parametrize("call", CALLS)
@pytest.mark.parametrize("enabled", [True, False])
def test_state_comes_back(call, enabled):
    was = gc.isenabled()
    (gc.enable if enabled else gc.disable)()
    try:
        value = call()
        assert gc.isenabled() is enabled
        assert value is not None
    finally:
        (gc.enable if was else gc.disable)()


def test_state_comes_back_after_an_error():
    assert gc.isenabled()
    with pytest.raises(TypeError):
        tarnwick.extract(LARGE, fallback=1)
    with pytest.raises(UnicodeEncodeError):
        tarnwick.repair(LARGE + "\ud800")
    assert gc.isenabled()
