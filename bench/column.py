"""repair_column at scale: equality with the serial loop, throughput on one and two threads, the cluster
engines, and the command line's memory on a large Parquet file.

    python bench/column.py                      # everything, with the default sizes below
    python bench/column.py --only speed --rows 1000000
    python bench/column.py --only rss --rss-mb 2048

Every text comes from a seeded generator (small model replies of every broken kind, the lenient corpus of
bench/corpus.py, prose around JSON, garbage, empty texts and null rows), so two runs time the same bytes.
Needs the `scale` extra (pyarrow, Polars, pandas, Dask, PySpark and Java 17) for the engines and Parquet.

- equality: on --check-rows rows, repair_column with 1 and 2 threads (from a Python list and from an Arrow
  array), with extract=False and True, against the loop of repair()/extract(); with the engines, the Spark,
  Dask and Polars pipelines of the README against the loop too. Prints the rows that differ (none expected).
- speed: on --rows rows, the wall and CPU time of the loop `[repair(s).json for s in texts]`, of
  repair_column(threads=1) and (threads=2) on an Arrow array and on the Python list, interleaved over
  --repeat rounds; the median of each.
- engines: the Spark (local[2]) and Dask (two worker processes) jobs of the README over a Parquet file of
  --engine-rows rows, their wall time (session and cluster start excluded, reported apart) against the serial
  loop over the same rows.
- rss: the command line's Parquet-to-Parquet mode on a generated file of about --rss-mb MB, its peak RSS.
"""

from __future__ import annotations

import argparse
import gc
import json
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import corpus as bench_corpus  # noqa: E402
import tarnwick  # noqa: E402

SEED = 20261206
COLUMNS = ("json", "strategy", "ok", "changed")

_WORDS = "order refund shipment Zürich Kraków café naïve 東京 서울 report meeting weather summary".split()


def _reply_value(rng: random.Random) -> dict:
    value: dict = {"id": rng.randrange(10**6), "name": " ".join(rng.choices(_WORDS, k=rng.randint(1, 4)))}
    for _ in range(rng.randint(0, 6)):
        key = rng.choice(["tags", "score", "active", "items", "note", "city", "count"])
        value[key] = rng.choice([
            rng.random() * 100, rng.randint(-5, 500), rng.random() < 0.5, None,
            [rng.choice(_WORDS) for _ in range(rng.randint(0, 4))], " ".join(rng.choices(_WORDS, k=5)),
        ])
    return value


def _broken(rng: random.Random, text: str, kind: str) -> str:
    if kind == "fenced":
        return f"```json\n{text}\n```"
    if kind == "trailing_commas":
        return text.replace("]", ",]").replace("}", ",}")
    if kind == "raw_newlines":
        return text.replace("\\n", "\n") if "\\n" in text else text.replace(" ", "\n", 2)
    if kind == "truncated":
        return text[: max(1, int(len(text) * rng.uniform(0.3, 0.95)))]
    if kind == "double_encoded":
        return json.dumps(text)
    if kind == "prose":
        return f"Sure! Here is the result:\n{text}\nLet me know if you need anything else."
    return text


def replies(rows: int, seed: int = SEED) -> list[str | None]:
    """`rows` seeded small replies: a pool of distinct texts of every kind, sampled with replacement."""
    rng = random.Random(seed)
    lenient = [text for family in bench_corpus.lenient_families() for text, _ in family.cases]
    kinds = ["valid", "pretty", "fenced", "trailing_commas", "raw_newlines", "truncated", "double_encoded", "prose"]
    pool: list[str] = []
    for _ in range(20_000):
        value = _reply_value(rng)
        kind = rng.choice(kinds)
        text = json.dumps(value, ensure_ascii=False, indent=2 if kind in ("pretty", "trailing_commas") else None)
        pool.append(_broken(rng, text, kind))
    pool += lenient
    pool += ["", "I could not find any JSON.", "null", "{" * 50, "}{][", '"just a string"', "42", "[1, 2, 3"]
    return [None if rng.random() < 0.02 else rng.choice(pool) for _ in range(rows)]


def serial(texts: list[str | None], extract: bool = False) -> dict[str, list]:
    call = tarnwick.extract if extract else tarnwick.repair
    results = [None if t is None else call(t) for t in texts]
    names = (*COLUMNS, "fixes") if extract else COLUMNS
    return {n: [None if r is None else getattr(r, n) for r in results] for n in names}


def differing_rows(got: dict[str, list], want: dict[str, list]) -> list[int]:
    return [i for i in range(len(want["json"])) if any(got[n][i] != want[n][i] for n in want)]


def cpu_seconds() -> float:
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


# --- equality --------------------------------------------------------------------------------------------------


def check_equality(rows: int, engines: bool) -> None:
    import pyarrow as pa

    texts = replies(rows, SEED + 1)
    print(f"\n## Equality: {rows:,} rows ({texts.count(None):,} null)\n")
    print("| pipeline | rows that differ from the serial loop |\n|---|---:|")
    for extract in (False, True):
        want = serial(texts, extract)
        for threads in (1, 2):
            for name, data in (("list", texts), ("Arrow", pa.array(texts))):
                got = tarnwick.repair_column(data, threads=threads, extract=extract).to_pydict()
                differ = len(differing_rows(got, want))
                print(f"| repair_column({name}, threads={threads}, extract={extract}) | {differ} |")
    if engines:
        want = serial(texts)
        with tempfile.TemporaryDirectory() as tmp:
            path = write_parquet(texts, Path(tmp) / "replies.parquet")
            for name, run in (("Spark", spark_job), ("Dask", dask_job), ("Polars", polars_job)):
                got, _, _ = run(path)
                print(f"| {name} (README recipe) | {len(differing_rows(got, want))} |")


# --- speed -------------------------------------------------------------------------------------------------------


def measure_speed(rows: int, repeat: int) -> None:
    import pyarrow as pa

    texts = replies(rows)
    present = [t for t in texts if t is not None]
    array = pa.array(texts)
    mb = sum(len(t.encode()) for t in present) / 1e6
    contenders = {
        "loop: [repair(s).json for s in texts]": lambda: [
            None if t is None else tarnwick.repair(t).json for t in texts
        ],
        "repair_column(Arrow array, threads=1)": lambda: tarnwick.repair_column(array, threads=1),
        "repair_column(Arrow array, threads=2)": lambda: tarnwick.repair_column(array, threads=2),
        "repair_column(list of str, threads=1)": lambda: tarnwick.repair_column(texts, threads=1),
        "repair_column(list of str, threads=2)": lambda: tarnwick.repair_column(texts, threads=2),
    }
    times: dict[str, list[tuple[float, float]]] = {name: [] for name in contenders}
    gc.disable()
    for round_ in range(repeat):
        names = list(contenders)
        names = names[round_ % len(names):] + names[: round_ % len(names)]  # rotate the order each round
        for name in names:
            wall, cpu = time.perf_counter(), cpu_seconds()
            result = contenders[name]()
            times[name].append((time.perf_counter() - wall, cpu_seconds() - cpu))
            del result
            gc.collect()
    gc.enable()
    loop = statistics.median(w for w, _ in times[next(iter(times))])
    print(f"\n## Speed: {rows:,} rows, {mb:.1f} MB of text ({mb * 1e6 / len(present):.0f} bytes a reply), "
          f"median of {repeat} interleaved rounds\n")
    print("| contender | wall s | CPU s | rows/s | MB/s | loop time / this |\n|---|---:|---:|---:|---:|---:|")
    for name, pairs in times.items():
        wall = statistics.median(w for w, _ in pairs)
        cpu = statistics.median(c for _, c in pairs)
        print(f"| {name} | {wall:.2f} | {cpu:.2f} | {rows / wall:,.0f} | {mb / wall:.1f} | {loop / wall:.2f}x |")


# --- engines -----------------------------------------------------------------------------------------------------


def write_parquet(texts: list[str | None], path: Path, row_group_size: int = 50_000) -> Path:
    import pyarrow as pa
    import pyarrow.parquet as pq

    pq.write_table(pa.table({"id": range(len(texts)), "reply": pa.array(texts, pa.string())}), path,
                   row_group_size=row_group_size)
    return path


def _by_id(ids: list[int], columns: dict[str, list]) -> dict[str, list]:
    order = sorted(range(len(ids)), key=ids.__getitem__)
    return {n: [columns[n][i] for i in order] for n in COLUMNS}


def spark_job(path: Path) -> tuple[dict[str, list], float, float]:
    """(columns by id, seconds to start the session, seconds of the job)."""
    os.environ.setdefault("PYSPARK_PYTHON", sys.executable)
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(HERE), os.environ.get("PYTHONPATH")]))
    from pyspark.sql import SparkSession

    start = time.perf_counter()
    spark = (SparkSession.builder.master("local[2]").appName("tarnwick-bench")
             .config("spark.ui.enabled", "false").config("spark.ui.showConsoleProgress", "false")
             .config("spark.sql.files.maxPartitionBytes", "8m").getOrCreate())
    spark.sparkContext.setLogLevel("ERROR")
    started = time.perf_counter() - start
    try:
        start = time.perf_counter()
        df = spark.read.parquet(str(path))
        table = df.mapInArrow(repair_batches, "id long, json string, strategy string, ok boolean, changed boolean")
        result = table.toArrow().to_pydict()
        job = time.perf_counter() - start
    finally:
        spark.stop()
    return _by_id(result["id"], result), started, job


def repair_batches(batches):  # the README's recipe
    import pyarrow as pa

    for batch in batches:
        fixed = pa.RecordBatch.from_struct_array(pa.array(tarnwick.repair_column(batch.column("reply"), threads=1)))
        yield pa.RecordBatch.from_arrays([batch.column("id"), *fixed.columns], names=["id", *fixed.schema.names])


def repair_partition(part):  # the README's recipe
    import pandas as pd
    import pyarrow as pa

    texts = pa.array(part["reply"])
    fixed = pa.table(tarnwick.repair_column(texts, threads=1)).to_pandas(types_mapper=pd.ArrowDtype)
    fixed.index = part.index
    return part.assign(**fixed)


def dask_job(path: Path) -> tuple[dict[str, list], float, float]:
    import dask.dataframe as dd
    import pandas as pd
    from distributed import Client, LocalCluster

    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(HERE), os.environ.get("PYTHONPATH")]))
    start = time.perf_counter()
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster):
        started = time.perf_counter() - start
        start = time.perf_counter()
        df = dd.read_parquet(path, split_row_groups=True)
        result = df.map_partitions(repair_partition, meta=repair_partition(df._meta)).compute()
        job = time.perf_counter() - start
    columns = {n: [None if pd.isna(v) else v for v in result[n].tolist()] for n in COLUMNS}
    return _by_id(result["id"].tolist(), columns), started, job


def polars_job(path: Path) -> tuple[dict[str, list], float, float]:
    import polars as pl

    fields = {"json": pl.String, "strategy": pl.String, "ok": pl.Boolean, "changed": pl.Boolean}
    start = time.perf_counter()
    result = (pl.scan_parquet(path)
              .with_columns(pl.col("reply")
                            .map_batches(lambda s: pl.Series(tarnwick.repair_column(s)), return_dtype=pl.Struct(fields))
                            .alias("repaired"))
              .unnest("repaired").collect().to_dict(as_series=False))
    return _by_id(result["id"], result), 0.0, time.perf_counter() - start


def measure_engines(rows: int) -> None:
    texts = replies(rows, SEED + 2)
    start = time.perf_counter()
    want = serial(texts)
    loop = time.perf_counter() - start
    print(f"\n## Engines: {rows:,} rows from one Parquet file (row groups of 50,000)\n")
    print("| pipeline | start s | job s | rows/s | job / serial loop | rows that differ |")
    print("|---|---:|---:|---:|---:|---:|")
    print(f"| serial loop of repair() | | {loop:.2f} | {rows / loop:,.0f} | 1.00 | |")
    with tempfile.TemporaryDirectory() as tmp:
        path = write_parquet(texts, Path(tmp) / "replies.parquet")
        for name, run in (("Spark local[2], mapInArrow", spark_job), ("Dask, 2 worker processes", dask_job),
                          ("Polars lazy scan, map_batches", polars_job)):
            got, started, job = run(path)
            print(f"| {name} | {started:.1f} | {job:.2f} | {rows / job:,.0f} | {job / loop:.2f} | "
                  f"{len(differing_rows(got, want))} |")


# --- rss -----------------------------------------------------------------------------------------------------------


def measure_rss(megabytes: int) -> None:
    import pyarrow as pa
    import pyarrow.parquet as pq

    with tempfile.TemporaryDirectory() as tmp:
        path = Path(tmp) / "big.parquet"
        schema = pa.schema([("id", pa.int64()), ("reply", pa.string())])
        written, rows, chunk = 0, 0, replies(100_000, SEED + 3)
        chunk_bytes = sum(len(t.encode()) for t in chunk if t is not None)
        with pq.ParquetWriter(path, schema, compression="none") as writer:
            while written < megabytes * 1e6:
                writer.write_table(pa.table({"id": range(rows, rows + len(chunk)), "reply": chunk}, schema=schema),
                                   row_group_size=50_000)
                written += chunk_bytes
                rows += len(chunk)
        size = path.stat().st_size
        out = Path(tmp) / "out.parquet"
        command = [sys.executable, "-m", "tarnwick", "--jsonl", str(path), "--field", "reply", "--output", str(out),
                   "--no-progress"]
        start = time.perf_counter()
        with open(Path(tmp) / "stderr", "wb") as err:
            proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=err)
            # This child's own peak (RUSAGE_CHILDREN would give the largest child so far: a JVM of the engines).
            _, status, usage = os.wait4(proc.pid, 0)
            proc.returncode = os.waitstatus_to_exitcode(status)
        seconds = time.perf_counter() - start
        peak = usage.ru_maxrss / 1024
        assert proc.returncode in (1, 2), (Path(tmp) / "stderr").read_text()[-2000:]
        assert pq.ParquetFile(out).metadata.num_rows == rows
    print(f"\n## Command line, Parquet to Parquet: {size / 1e6:,.0f} MB input ({rows:,} rows)\n")
    print("| command | wall s | peak RSS MB |\n|---|---:|---:|")
    command_line = "python -m tarnwick --jsonl big.parquet --field reply --output out.parquet"
    print(f"| {command_line} | {seconds:.1f} | {peak:,.0f} |")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", choices=["equality", "speed", "engines", "rss"], action="append")
    parser.add_argument("--check-rows", type=int, default=200_000)
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--engine-rows", type=int, default=200_000)
    parser.add_argument("--rss-mb", type=int, default=2048)
    args = parser.parse_args()
    parts = args.only or ["equality", "speed", "engines", "rss"]
    print(f"tarnwick {tarnwick.__version__}, Python {sys.version.split()[0]}, {os.cpu_count()} cores, "
          f"load average {os.getloadavg()[0]:.1f} at the start")
    if "engines" in parts:  # first, so that the engines' start times are those of a fresh JVM and cluster
        measure_engines(args.engine_rows)
    if "equality" in parts:
        check_equality(args.check_rows, "engines" in parts)
    if "speed" in parts:
        measure_speed(args.rows, args.repeat)
    if "rss" in parts:
        measure_rss(args.rss_mb)


if __name__ == "__main__":
    main()
