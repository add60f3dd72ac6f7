"""Turns text that was meant to be JSON into a valid JSON value."""

from ._extract import extract as extract
from ._tarnwick import RepairResult, __version__, repair
from ._types import FallbackName as FallbackName
from ._types import JsonValue as JsonValue
from ._types import Strategy as Strategy

# The extension's names, in its own order. `extract` and the type names are
# importable from the package as well.
__all__ = ["RepairResult", "repair", "__version__"]  # noqa: RUF022 - the extension's own order
