"""Turns text that was meant to be JSON into a valid JSON value."""

from ._extract import extract
from ._tarnwick import RepairResult, __version__, repair
from ._types import FallbackName, JsonValue, Strategy

# The extension's names, in its own order. `extract` and the type names are
# importable from the package as well.
__all__ = ["RepairResult", "repair", "__version__"]  # noqa: RUF022 - the extension's own order
