from ._extract import extract as extract
from ._tarnwick import RepairResult as RepairResult
from ._tarnwick import __version__ as __version__
from ._tarnwick import repair as repair
from ._types import FallbackName as FallbackName
from ._types import JsonValue as JsonValue
from ._types import Strategy as Strategy

__all__ = ["RepairResult", "repair", "__version__"]  # noqa: RUF022 - the extension's own order
