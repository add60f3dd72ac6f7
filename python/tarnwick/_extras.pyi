from typing import Any, ClassVar, Iterable, Literal, Protocol, SupportsIndex, Union, final, overload

from tarnwick._schema import CoerceMode, Schema, SchemaIssue
from tarnwick._types import FallbackName, FixName, JsonValue, Strategy

__all__ = ["Extraction", "RepairedColumn", "Stream", "StreamEvent", "extract", "loads", "repair_column"]

#: Every fix name, in the order that ``Extraction.fixes`` lists them.
FIX_NAMES: tuple[FixName, ...]
DEFAULT_MAX_LEN: int

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
    @property
    def conforms(self) -> bool | None:
        """With a schema: whether the value conforms to it after coercion (a fallback
        never does); None without one."""
    @property
    def issues(self) -> tuple[SchemaIssue, ...]:
        """With a schema: a SchemaIssue (path, kind, detail) for every change coercion
        made and every mismatch left; empty without one."""
    @property
    def missing(self) -> tuple[tuple[str | int, ...], ...]:
        """With a schema: the paths of required members neither present nor filled."""
    def feedback(self) -> str:
        """With a schema that the value does not conform to: a short text for a
        retry prompt, each failing path with what was expected there. Empty
        otherwise."""
    @property
    def guessed(self) -> bool:
        """Whether the value rests on a choice between two plausible readings of the
        text (where a string that lost its closing quote ends, which container a
        stray closer closes, which of two candidates answers, ...). Fences, prose,
        trailing commas, comments, quote styles, literals and truncation alone never
        set it."""
    def __eq__(self, other: object) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

def extract(
    text: str | bytes | bytearray | memoryview,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
    lenient: bool | None = None,
    schema: Schema | dict[str, Any] | bool | str | type | object | None = None,
    coerce: CoerceMode | None = None,
) -> Extraction:
    """Find the JSON inside `text` (the whole text, a Markdown code fence anywhere,
    or a bracketed span), rewrite its defects with the lenient pass, and repair
    it. `text` is a str, or bytes, bytearray or memoryview holding UTF-8.
    Never raises on input shape: any input returns a deterministic `Extraction`.

    Each option left out or None takes its default: max_len 5,000,000 UTF-8
    bytes (a longer text is not searched and falls back), fallback "null"
    (None; "empty-object" gives {}), strip_code_fences True,
    unwrap_double_encoded True, lenient True (False: the search without the
    lenient pass), schema none, coerce "safe".

    With a `schema` (a `Schema`, or any source `Schema` accepts), the value
    found is coerced towards it; if it does not conform, the first other
    candidate in text order that does is taken instead. `coerce`: "none",
    "safe" (the default) or "lenient". See `conforms`, `issues`, `missing` and
    `feedback()`."""

def extract_all(
    text: str | bytes | bytearray | memoryview,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
    lenient: bool | None = None,
    schema: Schema | dict[str, Any] | bool | str | type | object | None = None,
    coerce: CoerceMode | None = None,
) -> list[Extraction]:
    """Every top-level candidate that `extract(text, ...)` searches through, in text
    order, each with its span. `extract(text)` is always one of them; a text
    without JSON gives []. `text` and the options as for `extract()`.

    Each option left out or None takes its default: max_len 5,000,000 UTF-8
    bytes, fallback "null", strip_code_fences True, unwrap_double_encoded
    True, lenient True, schema none, coerce "safe"."""

def loads(
    text: str | bytes | bytearray | memoryview,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
    lenient: bool | None = None,
    schema: Schema | dict[str, Any] | bool | str | type | object | None = None,
    coerce: CoerceMode | None = None,
) -> JsonValue:
    """The value that `extract(text, ...)` finds, without the `Extraction`.

    Each option left out or None takes its default: max_len 5,000,000 UTF-8
    bytes, fallback "null", strip_code_fences True, unwrap_double_encoded
    True, lenient True, schema none, coerce "safe"."""

@final
class _CompiledSchema:
    @property
    def ignored(self) -> tuple[tuple[str, str], ...]: ...
    def coerce(
        self, value: JsonValue, coerce: CoerceMode | None = None, /
    ) -> tuple[
        JsonValue,
        tuple[bool, tuple[SchemaIssue, ...], tuple[tuple[str | int, ...], ...], str, bool],
    ]: ...

def _compile_schema(text: str, /) -> _CompiledSchema:
    """The compiled schema of a JSON text (what `Schema` wraps); ValueError when
    it cannot be compiled. Each option left out or None takes its default: it
    has none."""

class _ArrowArrayExportable(Protocol):
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...

class _ArrowStreamExportable(Protocol):
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...

#: What ``repair_column`` reads: an Arrow column of strings or binary data
#: (pyarrow, Polars, pandas with Arrow strings, DuckDB...) or Python texts.
ColumnInput = Union[_ArrowArrayExportable, _ArrowStreamExportable, Iterable[Union[str, None]]]

#: The names of a RepairedColumn's columns.
ColumnName = Literal["json", "strategy", "ok", "changed", "fixes"]

@final
class RepairedColumn:
    """The result of `repair_column`: per row, the json text, the strategy, ok and
    changed (and the fixes after an extraction), null where the input row was.
    Exports the Arrow PyCapsule interface; pickles; compares equal row by row."""

    @property
    def column_names(self) -> tuple[ColumnName, ...]: ...
    @property
    def null_count(self) -> int: ...
    def __len__(self) -> int: ...
    @overload
    def column(self, name: Literal["json"], /) -> list[str | None]: ...
    @overload
    def column(self, name: Literal["strategy"], /) -> list[Strategy | None]: ...
    @overload
    def column(self, name: Literal["ok", "changed"], /) -> list[bool | None]: ...
    @overload
    def column(self, name: Literal["fixes"], /) -> list[tuple[FixName, ...] | None]: ...
    def to_pydict(self) -> dict[ColumnName, list[Any]]: ...
    def to_pylist(self) -> list[dict[ColumnName, Any] | None]: ...
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...
    def __eq__(self, other: object) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

def repair_column(
    texts: ColumnInput,
    *,
    max_len: SupportsIndex | None = None,
    fallback: FallbackName | None = None,
    strip_code_fences: bool | None = None,
    unwrap_double_encoded: bool | None = None,
    extract: bool | None = False,
    lenient: bool | None = True,
    threads: SupportsIndex | None = None,
) -> RepairedColumn:
    """Repair every row of `texts` (an Arrow column of strings through the Arrow
    PyCapsule interface, or an iterable of str and None) on `threads` worker
    threads, as `repair()` would, or as `extract()` would with `extract=True`.
    A null row gives a null row. Returns a `RepairedColumn`.

    Each option left out or None takes its default: max_len 5,000,000 UTF-8
    bytes, fallback "null", strip_code_fences True, unwrap_double_encoded
    True, extract False, lenient True, threads the machine's cores."""

#: The kinds of a StreamEvent.
StreamEventKind = Literal["open", "complete", "append"]

@final
class StreamEvent:
    """One change of a Stream's value: (kind, path, value). Immutable; compares
    equal field by field."""

    @property
    def kind(self) -> StreamEventKind: ...
    @property
    def path(self) -> tuple[str | int, ...]: ...
    @property
    def value(self) -> JsonValue: ...
    def __eq__(self, other: object) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

@final
class Stream:
    """Reads a reply chunk by chunk: after each, `value` is the value so far, in
    time proportional to the chunk. The options are extract()'s."""

    def __init__(
        self,
        *,
        max_len: SupportsIndex | None = None,
        fallback: FallbackName | None = None,
        strip_code_fences: bool | None = None,
        unwrap_double_encoded: bool | None = None,
        lenient: bool | None = None,
    ) -> None: ...
    def feed(self, chunk: str | bytes, /) -> tuple[StreamEvent, ...]:
        """Read the next chunk (str or bytes, as the first one was; it may end
        anywhere) and return its events. ValueError after close()."""
    @property
    def value(self) -> JsonValue: ...
    @property
    def done(self) -> bool: ...
    @property
    def incremental(self) -> bool: ...
    def close(self) -> Extraction:
        """The Extraction that extract() makes of the whole text."""
