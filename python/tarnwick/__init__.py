"""Turns text that was meant to be JSON into a valid JSON value.

Model replies (prose around the JSON, code fences, single quotes, comments,
Python literals, cut-off ends...):

    loads(text)           the value found in the text, repaired
    extract(text)         the same as an Extraction: value, json, strategy,
                          ok, changed, fixes (what was rewritten), span,
                          guessed; schema=Schema(model) coerces it to a schema
    extract_all(text)     every candidate found, in text order

The strict ladder, for text that starts with its JSON:

    repair(text)          a RepairResult: value, json, strategy (the rung
                          that answered), ok, changed

A reply as it arrives, the value after each chunk: Stream(), stream(chunks).

Many texts at once, on every core:

    repair_column(texts)  a RepairedColumn (Arrow or Python lists out)

Options are keyword-only; None (or leaving one out) means the default:
max_len 5,000,000 UTF-8 bytes, fallback "null", strip_code_fences True,
unwrap_double_encoded True, lenient True. loads() and extract() take str or
UTF-8 bytes; repair() takes str. None of them raises because of what the
text holds, only for bad arguments.

Type names for annotations: JsonValue, Strategy, FallbackName, FixName.
The command line: tarnwick --help (or python -m tarnwick).
"""

from ._extras import Extraction, RepairedColumn, Stream, StreamEvent, extract, extract_all, loads, repair_column
from ._schema import Schema, SchemaIssue
from ._stream import astream, stream
from ._tarnwick import RepairResult, repair
from ._types import FallbackName, FixName, JsonValue, Strategy
from ._version import __version__

# The extension's own names first, in its order; then extraction, columns,
# streams, schemas and the type names. __version__ is the package's (the extension
# keeps its own, which does not follow releases).
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
    "Stream",
    "StreamEvent",
    "stream",
    "astream",
    "Schema",
    "SchemaIssue",
    "JsonValue",
    "Strategy",
    "FallbackName",
    "FixName",
]
