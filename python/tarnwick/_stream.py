"""The value after each chunk of a reply, for plain and async iterables of chunks."""

from typing import AsyncIterable, AsyncIterator, Iterable, Iterator, Optional, SupportsIndex, Union

from ._extras import Stream
from ._types import FallbackName, JsonValue


def stream(
    chunks: Iterable[Union[str, bytes]],
    *,
    max_len: Optional[SupportsIndex] = None,
    fallback: Optional[FallbackName] = None,
    strip_code_fences: Optional[bool] = None,
    unwrap_double_encoded: Optional[bool] = None,
    lenient: Optional[bool] = None,
) -> Iterator[JsonValue]:
    """Yield the value so far after each chunk (see `Stream`; the options are extract()'s)."""
    s = Stream(
        max_len=max_len,
        fallback=fallback,
        strip_code_fences=strip_code_fences,
        unwrap_double_encoded=unwrap_double_encoded,
        lenient=lenient,
    )
    for chunk in chunks:
        s.feed(chunk)
        yield s.value


async def astream(
    chunks: AsyncIterable[Union[str, bytes]],
    *,
    max_len: Optional[SupportsIndex] = None,
    fallback: Optional[FallbackName] = None,
    strip_code_fences: Optional[bool] = None,
    unwrap_double_encoded: Optional[bool] = None,
    lenient: Optional[bool] = None,
) -> AsyncIterator[JsonValue]:
    """Yield the value so far after each chunk of an async iterable, as `stream` does.

    Nothing runs between chunks: cancelling the consumer leaves no task behind.
    """
    s = Stream(
        max_len=max_len,
        fallback=fallback,
        strip_code_fences=strip_code_fences,
        unwrap_double_encoded=unwrap_double_encoded,
        lenient=lenient,
    )
    async for chunk in chunks:
        s.feed(chunk)
        yield s.value
