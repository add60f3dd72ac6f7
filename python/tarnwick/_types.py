"""Type names for annotating code that uses tarnwick.

They exist at run time too, so ``from tarnwick import JsonValue`` works in
annotations that are evaluated.
"""

from typing import Dict, List, Literal, Union

#: A JSON value as ``RepairResult.value`` holds it: ``None``, ``bool``,
#: ``int``, ``float``, ``str``, lists of values and dicts with ``str`` keys.
JsonValue = Union[None, bool, int, float, str, List["JsonValue"], Dict[str, "JsonValue"]]

#: The names that ``RepairResult.strategy`` takes, in ladder order.
Strategy = Literal[
    "parse",
    "unwrap-double",
    "strip-fences",
    "strip-controls",
    "strip-trailing-commas",
    "tolerant",
    "fallback",
]

#: The names that the ``fallback`` option accepts.
FallbackName = Literal["null", "empty-object"]

#: The names that ``Extraction.fixes`` holds, in the order it lists them.
FixName = Literal[
    "byte-order-mark",
    "lone-surrogates",
    "escaped-document",
    "quotes",
    "inner-quotes",
    "comments",
    "literals",
    "unquoted-keys",
    "bare-words",
    "numbers",
    "control-characters",
    "escapes",
    "ellipsis",
    "wrappers",
    "concatenation",
    "multiple-values",
    "missing-punctuation",
    "trailing-commas",
    "brackets",
    "truncated",
    "trailing-text",
    "invalid-utf8",
]

__all__ = ["FallbackName", "FixName", "JsonValue", "Strategy"]
