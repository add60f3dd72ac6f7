"""The extension modules: attributes, re-import, the internal-failure guard."""

import importlib
import importlib.metadata
import inspect
import os
import re
import subprocess
import sys

import pytest
from conftest import ROOT
import tarnwick
from tarnwick import _extras, _tarnwick

PUBLIC = ["RepairResult", "repair", "__version__"]
EXTRAS = ["Extraction", "extract", "loads", "extract_all", "RepairedColumn", "repair_column", "Stream", "StreamEvent"]
# What a user imports: the extension's names in its own order, then extraction, columns, then the type names.
PACKAGE = [
    *PUBLIC, "extract", "extract_all", "loads", "Extraction", "repair_column", "RepairedColumn",
    "Stream", "StreamEvent", "stream", "astream", "Schema", "SchemaIssue", "JsonValue", "Strategy", "FallbackName",
    "FixName",
]
OPTIONS = ["max_len", "fallback", "strip_code_fences", "unwrap_double_encoded"]


def signature(function):
    return [(p.name, p.kind, p.default) for p in inspect.signature(function).parameters.values()]


def test_module_package_and_function_attributes():
    assert (_tarnwick.__all__, _extras.__all__, tarnwick.__all__) == (PUBLIC, EXTRAS, PACKAGE)
    # The version and the size limit are written once (CMakeLists.txt, the
    # engine) and read from there by the metadata, the package and the CLI;
    # the extension keeps its own version, which does not follow releases.
    version = re.search(r"project\(tarnwick VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())[1]
    assert (tarnwick.__version__, importlib.metadata.version("tarnwick")) == (version, version)
    assert _tarnwick.__version__ == "0.1.1"
    assert (_tarnwick.__doc__, _extras.__doc__) == ("", "")
    limit = _extras.DEFAULT_MAX_LEN
    assert [tarnwick.repair(" " * n + "1").strategy for n in (limit - 1, limit)] == ["parse", "fallback"]
    assert _tarnwick.__file__.endswith(".abi3.so") and _extras.__file__.endswith(".abi3.so")
    assert all(getattr(tarnwick, name) is getattr(_tarnwick, name) for name in PUBLIC if name != "__version__")
    assert all(getattr(tarnwick, name) is getattr(_extras, name) for name in EXTRAS)
    repair = _tarnwick.repair
    assert (repair.__name__, repair.__self__, repair.__module__) == ("repair", _tarnwick, "tarnwick._tarnwick")
    assert signature(repair) == [
        ("input", inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.empty),
        *((name, inspect.Parameter.KEYWORD_ONLY, None) for name in OPTIONS),
    ]
    for function in (_extras.extract, _extras.loads):
        assert (function.__self__, function.__module__) == (_extras, "tarnwick._extras")
        assert signature(function) == [
            ("text", inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.empty),
            *((name, inspect.Parameter.KEYWORD_ONLY, None) for name in [*OPTIONS, "lenient", "schema", "coerce"]),
        ]


@pytest.mark.parametrize(
    "name, names, make, cls",
    [
        ("tarnwick._tarnwick", PUBLIC, lambda m: m.repair("1"), "RepairResult"),
        ("tarnwick._extras", EXTRAS, lambda m: m.extract("1"), "Extraction"),
    ],
)
def test_reimport_shares_the_class(name, names, make, cls):
    old = sys.modules.pop(name)
    try:
        new = importlib.import_module(name)
        assert new is not old and new.__all__ == names and make(new) is not make(old)
        assert getattr(new, cls) is getattr(old, cls) is type(make(new))
    finally:
        sys.modules[name] = old


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
