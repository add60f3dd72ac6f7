"""Schema-guided extraction: a JSON Schema or a Pydantic model, compiled once."""

from __future__ import annotations

import json
from typing import TYPE_CHECKING, Any, Literal, NamedTuple, Union, cast

from ._extras import Extraction, _compile_schema

if TYPE_CHECKING:
    from ._extras import _CompiledSchema
    from ._types import JsonValue

#: What coercion records: one kind per change, and "mismatch" for what still
#: does not conform.
IssueKind = Literal[
    "decoded", "unwrapped", "snapped", "wrapped", "converted", "dropped", "filled", "mismatch"
]
CoerceMode = Literal["none", "safe", "lenient"]


class SchemaIssue(NamedTuple):
    """One change coercion made, or one place that still does not conform."""

    #: Keys and indices from the root to the value, as in Pydantic's ``loc``.
    path: tuple[Union[str, int], ...]
    kind: IssueKind
    detail: str


def _is_model_class(source: object) -> bool:
    return isinstance(source, type) and callable(getattr(source, "model_json_schema", None))


def _is_type_adapter(source: object) -> bool:
    return callable(getattr(source, "json_schema", None)) and callable(
        getattr(source, "validate_python", None)
    )


def _schema_text(source: object) -> str:
    """The JSON text of a schema source; ValueError for anything else."""
    if isinstance(source, str):
        return source
    if _is_model_class(source):
        source = source.model_json_schema(mode="validation")  # type: ignore[attr-defined]
    elif _is_type_adapter(source):
        source = source.json_schema(mode="validation")  # type: ignore[attr-defined]
    elif not isinstance(source, (dict, bool)):
        raise ValueError(
            "a schema is a JSON Schema (a dict or its JSON text) or a Pydantic "
            f"model class or TypeAdapter, not {type(source).__name__}"
        )
    try:
        return json.dumps(source, allow_nan=False)
    except (TypeError, ValueError) as error:
        raise ValueError(f"the schema is not JSON: {error}") from None


class Schema:
    """A schema compiled once: from a JSON Schema (a dict or JSON text, draft
    2020-12; draft-07 ``definitions`` and array-form ``items`` are read too) or
    a Pydantic v2 model class or ``TypeAdapter``. Immutable, picklable and safe
    to share between threads. Raises ValueError when the schema cannot be
    compiled."""

    __slots__ = ("_core", "_model", "_text")

    _core: _CompiledSchema
    _model: Any
    _text: str

    def __init__(self, source: object) -> None:
        text = _schema_text(source)
        model = source if _is_model_class(source) or _is_type_adapter(source) else None
        object.__setattr__(self, "_core", _compile_schema(text))
        object.__setattr__(self, "_text", text)
        object.__setattr__(self, "_model", model)

    def __setattr__(self, name: str, value: object) -> None:
        raise AttributeError(f"Schema is immutable; cannot set {name!r}")

    def __delattr__(self, name: str) -> None:
        raise AttributeError(f"Schema is immutable; cannot delete {name!r}")

    def __reduce__(self) -> tuple[Any, ...]:
        model = self._model
        if model is not None and not isinstance(model, type):
            # A TypeAdapter is rebuilt from the type it adapts.
            model = ("adapter", getattr(model, "_type"))  # noqa: B009 - private, untyped
        return (_rebuild_schema, (self._text, model))

    def __repr__(self) -> str:
        if isinstance(self._model, type):
            return f"Schema({self._model.__name__})"
        return f"Schema({self._text[:60]}{'...' if len(self._text) > 60 else ''})"

    @property
    def ignored(self) -> tuple[tuple[str, str], ...]:
        """(JSON Pointer of the subschema, keyword) for each assertion keyword
        the schema holds that is not enforced (``pattern``, ``format``...)."""
        return self._core.ignored

    def coerce(
        self, value: JsonValue, coerce: CoerceMode = "safe"
    ) -> tuple[JsonValue, tuple[SchemaIssue, ...]]:
        """Coerce an already-parsed value (tool-call arguments, say) by the
        rules ``extract`` uses; returns the value and its issues. TypeError for
        a value that is not JSON-shaped."""
        out, report = self._core.coerce(value, coerce)
        return out, report[1]

    def model(self, extraction: Extraction | JsonValue) -> Any:
        """The Pydantic model instance (or the TypeAdapter's value) for an
        extraction's value, for a schema made from a model. Raises what
        Pydantic raises when the value does not validate."""
        value = extraction.value if isinstance(extraction, Extraction) else extraction
        model = self._model
        if model is None:
            raise TypeError("this Schema was not made from a Pydantic model")
        if isinstance(model, type):
            return cast(Any, model).model_validate(value)
        return model.validate_python(value)


def _rebuild_schema(text: str, model: Any) -> Schema:
    schema = Schema(text)
    if isinstance(model, tuple):
        from pydantic import TypeAdapter

        model = TypeAdapter(model[1])
    object.__setattr__(schema, "_model", model)
    return schema
