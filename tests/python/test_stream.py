"""Streams: the value after each chunk follows the prefix rule whatever the chunking, equals loads() at every comma of
a strict text, rebuilds from the events, and close() is extract() of the whole text."""

import asyncio
import copy
import json
import random
import sys

import pytest
from conftest import ROOT
import tarnwick
from tarnwick import Stream, StreamEvent, extract, loads

sys.path.insert(0, str(ROOT / "bench"))
import corpus


def same(a, b):
    return a is b or json.dumps(a) == json.dumps(b)


def extends(earlier, later):
    """The prefix rule: `later` is `earlier` but that the last member (recursively) grew, or members were added."""
    if earlier is later:
        return True
    if type(earlier) is not type(later):
        return False
    if isinstance(earlier, str):
        return later.startswith(earlier)
    if isinstance(earlier, (list, dict)):
        if len(later) < len(earlier):
            return False
        if not earlier:
            return True
        if isinstance(earlier, dict):
            keys = list(earlier)
            if list(later)[: len(keys)] != keys:
                return False
            pairs = [(earlier[k], later[k]) for k in keys]
        else:
            pairs = list(zip(earlier, later))
        return all(same(a, b) for a, b in pairs[:-1]) and extends(*pairs[-1])
    return same(earlier, later)


def ends_on_comma(text):
    """Whether the text ends on a comma outside strings."""
    if not text.endswith(","):
        return False
    in_string = escaped = False
    for c in text[:-1]:
        if escaped:
            escaped = False
        elif in_string and c == "\\":
            escaped = True
        elif c == '"':
            in_string = not in_string
    return not in_string


def set_at(root, path, value):
    if not path:
        return value
    node = root
    for step in path[:-1]:
        node = node[step]
    if isinstance(node, list) and path[-1] == len(node):
        node.append(value)
    else:
        node[path[-1]] = value
    return root


class Rebuilder:
    """A consumer of events: applies them to its own value."""

    def __init__(self):
        self.value = None
        self.string_at = None

    def apply(self, event):
        if event.kind == "open":
            self.value = set_at(self.value, event.path, type(event.value)())
        elif event.kind == "append":
            text = ""
            if self.string_at == event.path:
                text = self.value
                for step in event.path:
                    text = text[step]
            self.value = set_at(self.value, event.path, text + event.value)
            self.string_at = event.path
        else:  # a completed container is already built
            if not isinstance(event.value, (list, dict)):
                self.value = set_at(self.value, event.path, event.value)
            self.string_at = None


def merged(events):
    """Events as plain tuples, adjacent appends to one path merged."""
    out = []
    for e in events:
        if e.kind == "append" and out and out[-1][:2] == ("append", e.path):
            out[-1] = ("append", e.path, out[-1][2] + e.value)
        else:
            out.append((e.kind, e.path, e.value if e.kind == "append" else json.dumps(e.value)))
    return out


def chunkings(text, rng):
    """The text whole, in random str chunks of 1-8 characters, and as UTF-8 in 1-byte and random chunks (so that
    chunks end inside UTF-8 sequences). Texts past 4 KB (the hostile ones) in chunks of 64 characters alone, as the
    checks after each chunk take time in proportion to the value."""
    data = text.encode("utf-8", "surrogatepass") if isinstance(text, str) else text

    def cut(seq, sizes):
        out, at = [], 0
        while at < len(seq):
            n = next(sizes)
            out.append(seq[at : at + n])
            at += n
        return out

    def random_sizes():
        while True:
            yield rng.randint(1, 8)

    def ones():
        while True:
            yield 1

    yield [text]
    if len(text) > 4096:
        yield cut(text, iter(lambda: 64, None))
        return
    if isinstance(text, str):
        yield cut(text, random_sizes())
    if b"\xed" not in data or isinstance(text, bytes):  # lone surrogates cannot travel as UTF-8
        yield cut(data, ones())
        yield cut(data, random_sizes())


def check_stream(text, chunks):
    """Feeds the chunks, checking the contract after each; returns the merged events."""
    s = Stream()
    rebuilt = Rebuilder()
    events = []
    so_far = chunks[0][:0] if chunks else text[:0]
    last = None
    for chunk in chunks:
        new = s.feed(chunk)
        events.extend(new)
        so_far += chunk
        value = s.value
        if last is not None:
            assert extends(last, value), (so_far, last, value)
        if s.incremental:
            for e in new:
                rebuilt.apply(e)
            assert same(rebuilt.value, value), so_far
            plain = so_far if isinstance(so_far, str) else so_far.decode("utf-8", "replace")
            if not s.done and ends_on_comma(plain):
                assert same(value, loads(plain)), plain
        last = value
    whole = text if isinstance(text, str) else text.decode("utf-8", "replace")
    assert s.close() == extract(whole)
    return merged(events), s.incremental


def replies():
    """The benchmark corpus's small categories, a few texts of each lenient family, replies with prose."""
    for category in corpus.build():
        if category.name not in ("valid_large", "large_broken"):
            for i, text in enumerate(category.texts[:12]):
                yield pytest.param(text, id=f"{category.name}-{i}")
    for family in corpus.lenient_families():
        for i, (text, _) in enumerate(family.cases[:3]):
            yield pytest.param(text, id=f"{family.name}-{i}")
    for i, text in enumerate(
        [
            'Sure! Here it is:\n```json\n{"a": [1, "x\\u00e9\\ud83d\\ude00", {"b": null}]}\n```\nAnything else?',
            'The result: {"city": "Zürich", "temp": -3.5e1, "ok": true}. Hope that helps.',
            "\ufeff[1, 2, 3]",
            '["lone \ud800 surrogate", 1]',
            '{"a": 1, "a": 2, "b": 3}',
        ]
    ):
        yield pytest.param(text, id=f"reply-{i}")


def suite():
    for path in sorted((ROOT / "tests" / "data" / "JSONTestSuite" / "test_parsing").glob("*.json")):
        data = path.read_bytes()
        if len(data) <= 4096:
            try:
                yield pytest.param(data.decode("utf-8"), id=path.name)
            except UnicodeDecodeError:
                yield pytest.param(data, id=path.name)


class TestContract:
    @pytest.mark.parametrize("text", [*replies(), *suite()])
    def test_every_chunking(self, text):
        rng = random.Random(repr(text))
        runs = [check_stream(text, chunks) for chunks in chunkings(text, rng)]
        assert all(run == runs[0] for run in runs[1:])

    @pytest.mark.parametrize("text", ['[1, {"a": "bc"}, [], {}]', '"top"', '{"a": {"b": [true, false, null]}}'])
    def test_events_rebuild_the_closed_value(self, text):
        s, rebuilt = Stream(), Rebuilder()
        for c in text:
            for e in s.feed(c):
                rebuilt.apply(e)
        assert s.done and same(rebuilt.value, s.close().value)


class TestPrefixRule:
    @pytest.mark.parametrize(
        "chunks, values",
        [
            (['{"ci', 'ty": "Zü', "rich", '"}'], [{}, {"city": "Zü"}, {"city": "Zürich"}, {"city": "Zürich"}]),
            (["[12", "3, 4", "5]"], [[], [123], [123, 45]]),
            (['["a\\', "n", '\\u00', 'e9"'], [["a"], ["a\n"], ["a\n"], ["a\né"]]),
            ([b'["\xe2\x82', b'\xac"]'], [[""], ["€"]]),
            (["Here: ```json\n", "[nul", "l, tr", "ue]"], [None, [], [None], [None, True]]),
        ],
    )
    def test_value_after_each_chunk(self, chunks, values):
        s = Stream()
        for chunk, value in zip(chunks, values):
            s.feed(chunk)
            assert same(s.value, value), chunk

    def test_snapshots_never_change_and_share_completed_values(self):
        text = json.dumps([{"id": i, "tags": ["a", "b"], "note": "x" * 20} for i in range(30)])
        s = Stream()
        snapshots = []
        for at in range(0, len(text), 7):
            s.feed(text[at : at + 7])
            snapshots.append((s.value, copy.deepcopy(s.value)))
        assert all(same(v, kept) for v, kept in snapshots)
        first, last = snapshots[len(snapshots) // 2][0], snapshots[-1][0]
        assert first[0] is last[0] and first[-2] is last[len(first) - 2]

    def test_departure_falls_back_and_rereads(self):
        s = Stream()
        s.feed('[1, 2, {"a": ')
        assert s.incremental and s.value == [1, 2, {}]
        assert s.feed("'x'") == () and not s.incremental
        s.feed(', "b": [3, 4, 5, 6, 7, 8, 9, 10]}]')
        assert s.value == [1, 2, {"a": "x", "b": [3, 4, 5, 6, 7, 8, 9, 10]}]
        assert s.close().fixes == ("quotes",)


class TestSurface:
    def test_feed_after_close_raises(self):
        s = Stream()
        s.feed("[1]")
        assert s.close() is s.close()
        with pytest.raises(ValueError, match="after close"):
            s.feed("x")

    @pytest.mark.parametrize("chunks", [[1], [None], ["a", b"b"], [b"a", "b"], [bytearray(b"x")]])
    def test_chunk_types(self, chunks):
        s = Stream()
        with pytest.raises(TypeError):
            for c in chunks:
                s.feed(c)

    @pytest.mark.parametrize(
        "args, kwargs, error",
        [(("x",), {}, TypeError), ((), {"fallback": "zero"}, ValueError), ((), {"lenient": 1}, TypeError),
         ((), {"max_len": -1}, OverflowError), ((), {"text": "x"}, TypeError)],
    )
    def test_options_are_checked(self, args, kwargs, error):
        with pytest.raises(error):
            Stream(*args, **kwargs)

    def test_options_reach_close(self):
        s = Stream(fallback="empty-object", lenient=False)
        s.feed("not json")
        assert s.close() == extract("not json", fallback="empty-object", lenient=False)

    def test_bytes_span_counts_code_points(self):
        text = 'Voilà « le résultat » : {"é": "ü"}'
        s = Stream()
        for b in text.encode():
            s.feed(bytes([b]))
        assert s.close().span == extract(text).span == (24, len(text))
        assert s.value == {"é": "ü"} and s.done

    def test_past_max_len_the_stream_stops(self):
        text = "[" + ", ".join(map(str, range(100))) + "]"
        s = Stream(max_len=50)
        for at in range(0, len(text), 10):
            s.feed(text[at : at + 10])
        assert s.done and not s.incremental and s.value == list(range(15))
        assert s.close() == extract(text, max_len=50) and s.close().strategy == "fallback"
        # Past max_len no chunk is kept: memory stays bounded.
        late = "9" * 100
        held = sys.getrefcount(late)
        s = Stream(max_len=50)
        s.feed(late)
        assert sys.getrefcount(late) == held and s.close().span == (0, 100)

    def test_event_type(self):
        (event,) = Stream().feed("[")
        assert (event.kind, event.path, event.value) == ("open", (), [])
        assert event == Stream().feed("[")[0] and event != Stream().feed("{")[0]
        assert repr(event) == "StreamEvent(kind='open', path=(), value=[])"
        with pytest.raises(AttributeError):
            event.kind = "complete"
        with pytest.raises(TypeError):
            StreamEvent()
        with pytest.raises(TypeError):
            hash(event)

    def test_references_are_released(self):
        chunk = '{"key": [1, "text"]}'
        before = sys.getrefcount(chunk)
        s = Stream()
        events = s.feed(chunk)
        value, closed = s.value, s.close()
        assert sys.getrefcount(chunk) == before + 1  # kept for close()
        del s, events
        assert sys.getrefcount(chunk) == before and value == closed.value


class TestIterators:
    def test_stream_yields_after_each_chunk(self):
        assert list(tarnwick.stream(['{"a": [1', ", 2", "]}"])) == [{"a": []}, {"a": [1]}, {"a": [1, 2]}]
        assert list(tarnwick.stream([b"[1,", b" 2"], lenient=False)) == [[1], [1]]

    def test_astream_yields_and_cancels_cleanly(self):
        closed = []

        async def source():
            try:
                yield '{"a": '
                yield '"b"'
                await asyncio.sleep(3600)
            finally:
                closed.append(True)

        async def main():
            seen = []

            async def consume():
                async for value in tarnwick.astream(source()):
                    seen.append(value)

            task = asyncio.ensure_future(consume())
            while len(seen) < 2:
                await asyncio.sleep(0)
            task.cancel()
            with pytest.raises(asyncio.CancelledError):
                await task
            others = [t for t in asyncio.all_tasks() if t is not asyncio.current_task()]
            return seen, others

        seen, others = asyncio.run(main())
        assert seen == [{}, {"a": "b"}] and others == [] and closed == [True]

