from ._extras import Extraction as Extraction
from ._extras import RepairedColumn as RepairedColumn
from ._extras import Stream as Stream
from ._extras import StreamEvent as StreamEvent
from ._extras import extract as extract
from ._extras import extract_all as extract_all
from ._extras import loads as loads
from ._extras import repair_column as repair_column
from ._schema import Schema as Schema
from ._schema import SchemaIssue as SchemaIssue
from ._stream import astream as astream
from ._stream import stream as stream
from ._tarnwick import RepairResult as RepairResult
from ._tarnwick import repair as repair
from ._types import FallbackName as FallbackName
from ._types import FixName as FixName
from ._types import JsonValue as JsonValue
from ._types import Strategy as Strategy

__version__: str

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
