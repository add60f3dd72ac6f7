from typing import ClassVar, SupportsIndex, final

from tarnwick._types import FallbackName, FixName, JsonValue, Strategy

__all__ = ["Extraction", "extract", "loads"]

#: Every fix name, in the order that ``Extraction.fixes`` lists them.
FIX_NAMES: tuple[FixName, ...]

@final
class Extraction:
    """The result of `extract`: the JSON found in a text, repaired. Always returned —
    `extract` never raises for input shape (only for invalid *options*).
    Compares equal field by field; not hashable, as its value may be a dict."""

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
    @property
    def fixes(self) -> tuple[FixName, ...]: ...
    @property
    def span(self) -> tuple[int, int]: ...
    def __eq__(self, other: object) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

def extract(
    text: str,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
    lenient: bool | None = None,
) -> Extraction:
    """Find the JSON inside `text` (the whole text, a Markdown code fence anywhere,
    or a bracketed span), rewrite its defects with the lenient pass unless
    `lenient` is False, and repair it. Never raises on input shape: any input
    returns a deterministic `Extraction`."""

def loads(
    text: str,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
    lenient: bool | None = None,
) -> JsonValue:
    """The value that `extract(text, ...)` finds, without the `Extraction`."""
