"""The extension module: attributes, re-import, the internal-failure guard."""

import importlib
import inspect
import os
import subprocess
import sys

import pytest
import tarnwick
from tarnwick import _tarnwick

PUBLIC = ["RepairResult", "repair", "__version__"]


def test_module_package_and_function_attributes():
    assert (_tarnwick.__all__, tarnwick.__all__) == (PUBLIC, PUBLIC)
    assert (_tarnwick.__version__, _tarnwick.__doc__) == ("0.1.1", "")
    assert _tarnwick.__file__.endswith(".abi3.so")
    assert all(getattr(tarnwick, name) is getattr(_tarnwick, name) for name in PUBLIC)
    repair = _tarnwick.repair
    assert (repair.__name__, repair.__self__, repair.__module__) == ("repair", _tarnwick, "tarnwick._tarnwick")
    keyword_only = ["max_len", "fallback", "strip_code_fences", "unwrap_double_encoded"]
    assert [(p.name, p.kind, p.default) for p in inspect.signature(repair).parameters.values()] == [
        ("input", inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.empty),
        *((name, inspect.Parameter.KEYWORD_ONLY, None) for name in keyword_only),
    ]


def test_reimport_shares_the_class():
    old = sys.modules.pop("tarnwick._tarnwick")
    try:
        new = importlib.import_module("tarnwick._tarnwick")
        assert new is not old and new.repair is not old.repair and new.__all__ == PUBLIC
        assert new.RepairResult is old.RepairResult is type(new.repair("1"))
    finally:
        sys.modules["tarnwick._tarnwick"] = old


# Out of memory inside the engine: room is left for the input's UTF-8 copy but not
# for the engine's own copies of a 64 MiB string.
PANIC_SCRIPT = """
import resource
from tarnwick import repair
text = '"' + "a" * (64 << 20) + '"'
soft, hard = resource.getrlimit(resource.RLIMIT_AS)
size = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (size + (160 << 20), hard))
try:
    repair(text, max_len=1 << 40)
except BaseException as e:  # an Exception would be caught here too, and fail the comparison
    print(type(e).__module__, type(e).__name__, type(e).__bases__ == (BaseException,), bool(e.args[0]))
resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
print(repair("[1,]").json)
"""


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="AddressSanitizer aborts on exhausted memory")
def test_internal_failure_raises_panic_exception():
    run = subprocess.run([sys.executable, "-c", PANIC_SCRIPT], check=False, capture_output=True, text=True, timeout=120)
    assert run.stdout.split() == ["native_runtime", "PanicException", "True", "True", "[1]"], run.stderr
    assert "tarnwick: internal failure at" in run.stderr
