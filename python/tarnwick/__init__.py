"""Turns text that was meant to be JSON into a valid JSON value."""

from ._tarnwick import RepairResult, __version__, repair

__all__ = ["RepairResult", "repair", "__version__"]  # noqa: RUF022 - the extension's own order
