from typing import SupportsIndex, final

from tarnwick._types import FallbackName, JsonValue, Strategy

__version__: str
__all__ = ["RepairResult", "repair", "__version__"]  # noqa: RUF022 - the extension's own order

@final
class RepairResult:
    """The result of a repair attempt. Always returned — `repair` never raises for
    input shape (only for invalid *options*)."""

    @property
    def ok(self) -> bool: ...
    @property
    def value(self) -> JsonValue: ...
    @property
    def json(self) -> str: ...
    @property
    def changed(self) -> bool: ...
    @property
    def strategy(self) -> Strategy: ...

def repair(
    input: str,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
) -> RepairResult:
    """Repair `input` into a valid JSON value. Never raises on input shape — any
    input, including pure garbage, returns a deterministic `RepairResult`.

    Each option left out or None takes its default: max_len 5,000,000 UTF-8
    bytes (a longer text falls back unread), fallback "null" (None;
    "empty-object" gives {}), strip_code_fences True, unwrap_double_encoded
    True."""
