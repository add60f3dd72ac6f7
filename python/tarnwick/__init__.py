"""Turns text that was meant to be JSON into a valid JSON value."""

from ._extras import Extraction, RepairedColumn, extract, extract_all, loads, repair_column
from ._tarnwick import RepairResult, __version__, repair
from ._types import FallbackName, FixName, JsonValue, Strategy

# The extension's own names first, in its order; then extraction, columns
# and the type names.
__all__ = [  # noqa: RUF022 - grouped by where the names come from
    "RepairResult",
    "repair",
    "__version__",
    "extract",
    "extract_all",
    "loads",
    "Extraction",
    "repair_column",
    "RepairedColumn",
    "JsonValue",
    "Strategy",
    "FallbackName",
    "FixName",
]
