"""A failed allocation during a call: an exception, never a crash or a wrong value, and the next call works."""

import json
import os
import sys

import pytest
from tarnwick import loads, repair

testcapi = pytest.importorskip("_testcapi")
pytestmark = [
    pytest.mark.skipif(not hasattr(testcapi, "set_nomemory"), reason="needs _testcapi.set_nomemory"),
    # A preloaded AddressSanitizer found no __cxa_throw when it started, and
    # aborts at the panic's C++ throw.
    pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="AddressSanitizer aborts on a C++ throw"),
]

# One-character keys and small ints are objects the interpreter keeps, so the
# dict and its table are all that the reader allocates for this text: a
# failure there is the failure of a dict store.
TEXT = '{"a":1,"b":2,"c":3,"d":4,"e":5,"f":6,"g":7,"h":8,"i":9}'


def outcome_when_allocation_fails(call, n):
    """(what call(TEXT) returned or raised, the exception types passed to the unraisable hook) with allocation n failing."""
    unraisable = []
    hook, sys.unraisablehook = sys.unraisablehook, lambda args: unraisable.append(args.exc_type)
    try:
        testcapi.set_nomemory(n, n + 1)
        try:
            result = call(TEXT)
        finally:
            testcapi.remove_mem_hooks()
    except BaseException as e:  # PanicException derives from BaseException
        result = e
    finally:
        sys.unraisablehook = hook
    return result, unraisable


@pytest.mark.parametrize(
    "call, stores_fail",
    # repair() makes every object anew, so one of its dict stores always
    # allocates; loads() shares its key objects, and whether a store of its
    # dict allocates depends on what the interpreter's free lists hold from
    # earlier calls (the test alone after repair's run: none does).
    [(lambda text: repair(text).value, True), (loads, False)],
    ids=["repair", "loads"],
)
def test_each_failing_allocation(call, stores_fail):
    expected = json.loads(TEXT)
    store_failures = 0
    for n in range(60):
        result, unraisable = outcome_when_allocation_fails(call, n)
        if type(result).__name__ == "PanicException":
            # An object the builder cannot create is never expected to fail;
            # the MemoryError went to the unraisable hook.
            assert unraisable == [MemoryError], n
        elif isinstance(result, ValueError):
            # A failed dict store is the conversion's own failure.
            assert str(result).startswith("MemoryError: ") and not unraisable, (n, result)
            store_failures += 1
        elif isinstance(result, BaseException):
            assert type(result) is MemoryError and not unraisable, (n, result)
        else:
            assert result == expected and not unraisable, n
    assert store_failures > 0 or not stores_fail
    assert result == expected  # the range covered every allocation of the call
    assert call(TEXT) == expected
