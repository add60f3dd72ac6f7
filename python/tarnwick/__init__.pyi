from ._tarnwick import RepairResult as RepairResult
from ._tarnwick import __version__ as __version__
from ._tarnwick import repair as repair

__all__ = ["RepairResult", "repair", "__version__"]  # noqa: RUF022 - the extension's own order
