"""Command line: ``tarnwick [options] [FILE ...]``, or ``python -m tarnwick``.

Repairs each input and prints its canonical JSON on one line of standard
output, in the order given. ``-`` (or no FILE at all) reads standard input.
The JSON is looked for inside the text and its defects rewritten by the
lenient pass, as ``tarnwick.extract`` does (``--no-lenient`` leaves them to
the repair ladder); ``--strict`` runs ``tarnwick.repair``'s ladder alone.
``--extract``, the way to ask for the search before it became the default,
is still accepted and changes nothing.

Batch mode, ``--jsonl FILE --field NAME``, reads JSON Lines whose field NAME
holds the raw text and writes JSON Lines with the repaired value and the
strategy added, and with ``--fixes-field`` the fixes of an extraction (see
``tarnwick._batch``), repairing a batch of lines at a time on ``--threads``
worker threads. With pyarrow installed it reads and writes Parquet files as
well (``--input-format``/``--output-format``, or the files' ``.parquet``
suffix; see ``tarnwick._parquet``). ``--stats`` prints how many inputs
each strategy answered on standard error, in either mode.

Inputs are decoded as strict UTF-8; a leading byte order mark is dropped as
an encoding mark, so a BOM-prefixed file repairs like the same file without
it. Lines are not translated: the text reaches ``repair`` byte for byte.
A file that cannot be read or is not valid UTF-8 is reported on standard
error and prints ``null``, so that output line i still answers input i, and
the remaining inputs are still processed. A text that falls back says so on
standard error in one line naming it: no value found, or its size when it is
longer than ``--max-len``.

Exit status: 0 when every input was repaired with ``ok`` true; 1 when at
least one fell back (``ok`` false); 2 on bad usage or when at least one
input could not be read or decoded, or, in batch mode, at least one line was
passed through unprocessed or none of the first lines has the field (2 wins
over 1); 130 after Ctrl-C; 141, the
status of a tool that SIGPIPE ends, when the reader of standard output went
away (``| head -1``), without a traceback.
"""

from __future__ import annotations

import argparse
import codecs
import contextlib
import functools
import os
import sys
from typing import Any, Callable, Sequence

from tarnwick import __version__, extract, repair
from tarnwick._extras import DEFAULT_MAX_LEN
from tarnwick._batch import FieldMissing, Result, Stats, report_fields, run_batch, too_long

EXIT_OK = 0
EXIT_FELL_BACK = 1
EXIT_ERROR = 2
EXIT_INTERRUPTED = 128 + 2  # SIGINT, as a shell reports a tool it stopped
EXIT_BROKEN_PIPE = 128 + 13  # SIGPIPE, likewise

STDIN_NAME = "-"
DEFAULT_VALUE_FIELD = "repaired"
DEFAULT_STRATEGY_FIELD = "strategy"
_MAX_LEN_LIMIT = 2**64  # the engine counts lengths in unsigned 64 bits
FORMATS = ("jsonl", "parquet")
_PARQUET_SUFFIXES = (".parquet", ".pq")


def _max_len(text: str) -> int:
    """argparse type for --max-len: an integer in [0, 2**64)."""
    try:
        value = int(text, 10)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an integer: {text!r}") from None
    if not 0 <= value < _MAX_LEN_LIMIT:
        raise argparse.ArgumentTypeError(
            f"must be between 0 and {_MAX_LEN_LIMIT - 1}: {text}")
    return value


def _threads(text: str) -> int:
    """argparse type for --threads: an integer of at least 1."""
    try:
        value = int(text, 10)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an integer: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1: {text}")
    return value


def _add_batch_arguments(parser: argparse.ArgumentParser) -> None:
    """The options of batch mode, in a group of their own."""
    batch = parser.add_argument_group(
        "batch mode", "read JSON Lines and write them back with the repaired "
        "value and the strategy added, one output line per input line")
    batch.add_argument(
        "--jsonl", metavar="FILE",
        help="JSON Lines file to process ('-' reads standard input)")
    batch.add_argument(
        "--field", metavar="NAME",
        help="field of each line that holds the text to repair (required)")
    batch.add_argument(
        "--value-field", metavar="NAME",
        help=f"output field for the repaired value (default {DEFAULT_VALUE_FIELD})")
    batch.add_argument(
        "--strategy-field", metavar="NAME",
        help=f"output field for the strategy (default {DEFAULT_STRATEGY_FIELD})")
    batch.add_argument(
        "--fixes-field", metavar="NAME",
        help="output field for the fixes applied, an array of names (not "
        "written by default; not with --strict)")
    batch.add_argument(
        "--threads", type=_threads, metavar="N", default=None,
        help="worker threads that repair a batch of inputs (default: the "
        "machine's cores)")
    batch.add_argument(
        "--input-format", choices=FORMATS, default=None,
        help="format of the --jsonl input (default: parquet for a .parquet "
        "or .pq file, else jsonl); parquet needs pyarrow")
    batch.add_argument(
        "--output-format", choices=FORMATS, default=None,
        help="format of the output (default: parquet for an --output "
        "ending in .parquet or .pq, else jsonl); parquet needs Parquet input")
    batch.add_argument(
        "--output", metavar="FILE", default=None,
        help="write the output to FILE instead of standard output")
    batch.add_argument(
        "--no-progress", dest="progress", action="store_false",
        help="no progress bar, even on a terminal (the bar needs the "
        "optional tqdm: pip install tqdm)")


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="tarnwick",
        allow_abbrev=False,
        description="Find the JSON in text meant to be JSON (a model's reply, "
        "say), repair it and print it as canonical JSON, one line per input.",
        epilog="Exit status: 0 all repaired, 1 some input fell back, "
        "2 bad usage, an unreadable input or (batch mode) a line passed "
        "through; 130 Ctrl-C, 141 the output pipe was closed.",
    )
    parser.add_argument(
        "files", nargs="*", metavar="FILE",
        help="UTF-8 text file to repair; '-' or none reads standard input")
    parser.add_argument(
        "--report", action="store_true",
        help="write the strategy, ok and changed of each input to stderr "
        "(and the fixes, without --strict)")
    parser.add_argument(
        "--max-len", type=_max_len, metavar="N", default=None,
        help="largest input in UTF-8 bytes; longer ones fall back "
        f"(default {DEFAULT_MAX_LEN})")
    parser.add_argument(
        "--fallback", choices=("null", "empty-object"), default=None,
        help="value given when nothing can be recovered (default null)")
    parser.add_argument(
        "--no-strip-code-fences", dest="strip_code_fences",
        action="store_false",
        help="do not remove a Markdown code fence around the document")
    parser.add_argument(
        "--no-unwrap-double-encoded", dest="unwrap_double_encoded",
        action="store_false",
        help="return a JSON string holding a document as that string")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument(
        "--strict", action="store_true",
        help="the repair ladder alone (tarnwick.repair): the value must "
        "start the text, and the lenient pass does not run")
    mode.add_argument(
        "--extract", action="store_true",
        help="the default, kept for old scripts: look for the JSON inside "
        "the text and rewrite its defects with the lenient pass "
        "(tarnwick.extract)")
    parser.add_argument(
        "--no-lenient", dest="lenient", action="store_false",
        help="look for the JSON, but without the lenient pass")
    parser.add_argument(
        "--stats", action="store_true",
        help="write how many inputs each strategy answered, and each fix "
        "touched, to stderr")
    _add_batch_arguments(parser)
    parser.add_argument("--version", action="version",
                        version=f"tarnwick {__version__}")
    return parser


class _InputError(Exception):
    """An input that cannot be read or decoded; the message names it."""


def _read_text(name: str) -> str:
    """The decoded text of input `name`, without a leading byte order mark.

    Raises _InputError when the input cannot be read or is not UTF-8."""
    shown = _display_name(name)
    try:
        if name == STDIN_NAME:
            data = sys.stdin.buffer.read()
        else:
            with open(name, "rb") as f:
                data = f.read()
    except OSError as e:
        raise _InputError(f"cannot read {shown!r}: {e.strerror or e}") from e
    start = len(codecs.BOM_UTF8) if data.startswith(codecs.BOM_UTF8) else 0
    try:
        return data[start:].decode("utf-8")
    except UnicodeDecodeError as e:
        offset = start + e.start
        raise _InputError(f"{shown!r} is not valid UTF-8: byte "
                          f"0x{data[offset]:02x} at offset {offset}") from e


def _display_name(name: str) -> str:
    return "<stdin>" if name == STDIN_NAME else name


def _error(message: str) -> None:
    print(f"tarnwick: {message}", file=sys.stderr, flush=True)


def _write_line(text: str) -> None:
    # Bytes, so that the output is UTF-8 whatever the locale says.
    out = sys.stdout
    buffer = getattr(out, "buffer", None)
    if buffer is None:
        out.write(text + "\n")
    else:
        out.flush()
        buffer.write(text.encode("utf-8") + b"\n")
    out.flush()


def _fixer(args: argparse.Namespace) -> Callable[[str], Result]:
    """extract, or repair with --strict, bound to the options in `args`."""
    options = {
        "max_len": args.max_len,
        "fallback": args.fallback,
        "strip_code_fences": args.strip_code_fences,
        "unwrap_double_encoded": args.unwrap_double_encoded,
    }
    if args.strict:
        return functools.partial(repair, **options)
    return functools.partial(extract, lenient=args.lenient, **options)


def run(args: argparse.Namespace) -> int:
    """Repairs every input named in `args`; returns the exit status."""
    fix = _fixer(args)
    stats = Stats("unreadable inputs")
    status = EXIT_OK
    names = args.files or [STDIN_NAME]
    if not args.files and sys.stdin is not None and sys.stdin.isatty():
        _error("reading standard input; end it with Ctrl-D, or give files (--help)")
    for name in names:
        try:
            text = _read_text(name)
        except _InputError as e:
            _error(str(e))
            _write_line("null")  # keeps output line i answering input i
            stats.skipped += 1
            status = EXIT_ERROR
            continue
        result = fix(text)
        stats.add(result)
        _write_line(result.json)
        if args.report:
            print(f"{_display_name(name)}: {report_fields(result)}",
                  file=sys.stderr, flush=True)
        if not result.ok:
            _error(f"{_display_name(name)}: {_why_fell_back(text, result, args.max_len)}")
            if status == EXIT_OK:
                status = EXIT_FELL_BACK
    if args.stats:
        sys.stderr.write(stats.table())
    return status


def _why_fell_back(text: str, result: Result, max_len: int | None) -> str:
    """What the line on stderr says of an input that fell back."""
    size = len(text.encode("utf-8", "surrogatepass"))
    return too_long(size, max_len) or f"no JSON value found; wrote {result.json}"


def _column_options(args: argparse.Namespace) -> dict[str, object]:
    """repair_column's options for batch mode."""
    return {
        "max_len": args.max_len,
        "fallback": args.fallback,
        "strip_code_fences": args.strip_code_fences,
        "unwrap_double_encoded": args.unwrap_double_encoded,
        "extract": not args.strict,
        "lenient": args.lenient,
        "threads": args.threads,
    }


def _input_format(args: argparse.Namespace) -> str:
    if args.input_format is not None:
        return str(args.input_format)
    return "parquet" if args.jsonl.lower().endswith(_PARQUET_SUFFIXES) else "jsonl"


def _output_format(args: argparse.Namespace) -> str:
    if args.output_format is not None:
        return str(args.output_format)
    output = args.output or ""
    return "parquet" if output.lower().endswith(_PARQUET_SUFFIXES) else "jsonl"


def run_jsonl(args: argparse.Namespace) -> int:
    """Batch mode: processes the JSON Lines or Parquet input of `args`;
    returns the exit status."""
    from tarnwick._parquet import ParquetError, run_parquet

    name = args.jsonl
    shown = _display_name(name)
    parquet = _input_format(args) == "parquet"
    try:
        source = sys.stdin.buffer if name == STDIN_NAME else open(name, "rb")  # noqa: SIM115 - closed below
    except OSError as e:
        _error(f"cannot read {shown!r}: {e.strerror or e}")
        return EXIT_ERROR
    try:
        out = sys.stdout.buffer if args.output is None else open(args.output, "wb")  # noqa: SIM115 - closed below
    except OSError as e:
        source.close()
        _error(f"cannot write {args.output!r}: {e.strerror or e}")
        return EXIT_ERROR
    stats = Stats("rows passed through" if parquet else "lines passed through")
    fields: dict[str, Any] = {
        "name": shown,
        "field": args.field,
        "value_field": args.value_field or DEFAULT_VALUE_FIELD,
        "strategy_field": args.strategy_field or DEFAULT_STRATEGY_FIELD,
        "fixes_field": args.fixes_field,
        "options": _column_options(args),
        "stats": stats,
        "report": args.report,
        "progress": args.progress,
    }
    sys.stdout.flush()
    try:
        with source, contextlib.nullcontext() if args.output is None else out:
            if parquet:
                fell_back = run_parquet(name if name != STDIN_NAME else source, out,
                                        output_format=_output_format(args), **fields)
            else:
                try:
                    size = os.fstat(source.fileno()).st_size or None
                except (OSError, ValueError):
                    size = None
                fell_back = run_batch(source, out, total_bytes=size, **fields)
    except (ParquetError, FieldMissing) as e:
        _error(f"{shown}: {e}")
        return EXIT_ERROR
    except OSError as e:
        if isinstance(e, BrokenPipeError):
            raise
        _error(f"cannot read {shown!r}: {e.strerror or e}")
        return EXIT_ERROR
    if args.stats:
        sys.stderr.write(stats.table())
    if stats.skipped:
        return EXIT_ERROR
    return EXIT_FELL_BACK if fell_back else EXIT_OK


def _check_usage(parser: argparse.ArgumentParser,
                 args: argparse.Namespace) -> None:
    """Rejects option combinations that make no sense (exit status 2)."""
    if args.strict:
        if not args.lenient:
            parser.error("--no-lenient does not go with --strict: the lenient "
                         "pass never runs there")
        if args.fixes_field is not None:
            parser.error("--fixes-field does not go with --strict: the ladder "
                         "makes no fixes")
    for option in ("field", "value_field", "strategy_field", "fixes_field"):
        if getattr(args, option) == "":
            parser.error(f"--{option.replace('_', '-')} needs a name, not ''")
    if args.jsonl is None:
        for option in ("field", "value_field", "strategy_field", "fixes_field", "threads", "input_format",
                       "output_format", "output"):
            if getattr(args, option) is not None:
                parser.error(f"--{option.replace('_', '-')} needs --jsonl")
        return
    if args.files:
        parser.error("--jsonl takes no FILE arguments")
    if args.field is None:
        parser.error("--jsonl needs --field NAME")
    value_field = args.value_field or DEFAULT_VALUE_FIELD
    strategy_field = args.strategy_field or DEFAULT_STRATEGY_FIELD
    if value_field == strategy_field:
        parser.error("--value-field and --strategy-field must differ")
    if args.fixes_field in (value_field, strategy_field):
        parser.error("--fixes-field must differ from the value and strategy fields")
    parquet_in, parquet_out = _input_format(args) == "parquet", _output_format(args) == "parquet"
    if parquet_out and not parquet_in:
        parser.error("Parquet output needs Parquet input")
    if parquet_in:
        try:
            # Only whether it is there.
            import pyarrow.parquet  # type: ignore[import-untyped,import-not-found,unused-ignore]  # noqa: F401
        except ImportError:
            parser.error("Parquet needs pyarrow: pip install pyarrow")


def main(argv: Sequence[str] | None = None) -> int:
    """Entry point of ``tarnwick`` and ``python -m tarnwick``; returns the
    exit status."""
    parser = build_parser()
    args = parser.parse_args(argv)
    _check_usage(parser, args)
    try:
        return run_jsonl(args) if args.jsonl is not None else run(args)
    except BrokenPipeError:
        # The reader went away (e.g. `| head`); stop quietly, and keep the
        # interpreter from failing again when it flushes stdout at exit.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return EXIT_BROKEN_PIPE
    except KeyboardInterrupt:
        return EXIT_INTERRUPTED
