"""The "At scale" recipes of docs/scale.md run on real engines started here (PySpark in local mode with two cores, a
Dask cluster of two worker processes, Polars' lazy engine) over one Parquet file of replies, and give exactly
what the serial loop of repair() gives, row by row. The recipe functions below are that page's, with their
imports inside them.

The test command installs the engines (pip install '.[scale]', Java for Spark) and sets TARNWICK_REQUIRE_SCALE=1,
under which a missing engine fails these tests instead of skipping them."""

import os
import sys
from pathlib import Path

import pytest
from test_column import TEXTS, require, serial

COLUMNS = ["json", "strategy", "ok", "changed"]
ROWS = 3000


@pytest.fixture(scope="module")
def replies(tmp_path_factory):
    """(Parquet file of `id`, `reply`, the serial loop's columns by id). Row groups of 250 rows, so that every
    engine splits the file into several tasks."""
    pa = require("pyarrow")
    pq = require("pyarrow.parquet")
    texts = (TEXTS * (ROWS // len(TEXTS) + 1))[:ROWS]
    path = tmp_path_factory.mktemp("scale") / "replies.parquet"
    pq.write_table(pa.table({"id": range(ROWS), "reply": pa.array(texts, pa.string())}), path, row_group_size=250)
    return path, serial(texts)


@pytest.fixture(scope="module", autouse=True)
def worker_path():
    """Worker processes that unpickle this module's functions import it by name: give them its directory."""
    old = os.environ.get("PYTHONPATH")
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(Path(__file__).parent), old]))
    yield
    if old is None:
        del os.environ["PYTHONPATH"]
    else:
        os.environ["PYTHONPATH"] = old


def by_id(ids, columns):
    """The columns' rows in the order of `ids` (0 .. n-1), as plain lists."""
    order = sorted(range(len(ids)), key=ids.__getitem__)
    assert [ids[i] for i in order] == list(range(len(ids)))
    return {name: [columns[name][i] for i in order] for name in COLUMNS}


# --- Spark: mapInArrow ---------------------------------------------------------------------------------------

SPARK_SCHEMA = "id long, json string, strategy string, ok boolean, changed boolean"


def repair_batches(batches):
    import pyarrow as pa
    import tarnwick

    for batch in batches:
        fixed = pa.RecordBatch.from_struct_array(pa.array(tarnwick.repair_column(batch.column("reply"), threads=1)))
        yield pa.RecordBatch.from_arrays([batch.column("id"), *fixed.columns], names=["id", *fixed.schema.names])


@pytest.fixture(scope="module")
def spark():
    require("pyspark")
    from pyspark.sql import SparkSession

    os.environ.setdefault("PYSPARK_PYTHON", sys.executable)
    session = (
        SparkSession.builder.master("local[2]")
        .appName("tarnwick-test")
        .config("spark.ui.enabled", "false")
        .config("spark.sql.files.maxPartitionBytes", "16k")
        .getOrCreate()
    )
    session.sparkContext.setLogLevel("ERROR")
    yield session
    session.stop()


@pytest.mark.filterwarnings("ignore:PySpark does not yet fully support pandas:FutureWarning")
def test_spark_map_in_arrow(spark, replies):
    path, expected = replies
    df = spark.read.parquet(str(path))
    assert df.rdd.getNumPartitions() >= 2
    result = df.mapInArrow(repair_batches, SPARK_SCHEMA).toArrow().to_pydict()
    assert by_id(result["id"], result) == expected


# --- Dask: map_partitions ------------------------------------------------------------------------------------


def repair_partition(part):
    import pandas as pd
    import pyarrow as pa
    import tarnwick

    texts = pa.array(part["reply"])  # NaN and NA become nulls; Arrow-backed strings are not copied
    fixed = pa.table(tarnwick.repair_column(texts, threads=1)).to_pandas(types_mapper=pd.ArrowDtype)
    fixed.index = part.index
    return part.assign(**fixed)


def test_dask_map_partitions(replies):
    dd = require("dask.dataframe")
    distributed = require("distributed")
    path, expected = replies
    with distributed.LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None
    ) as cluster, distributed.Client(cluster):
        df = dd.read_parquet(path, split_row_groups=True)
        assert df.npartitions >= 2
        result = df.map_partitions(repair_partition, meta=repair_partition(df._meta)).compute()
    pd = require("pandas")
    columns = {name: [None if pd.isna(v) else v for v in result[name].tolist()] for name in COLUMNS}
    assert by_id(result["id"].tolist(), columns) == expected


# --- Polars: a lazy scan with map_batches ---------------------------------------------------------------------


def repair_lazy(path):
    import polars as pl
    import tarnwick

    fields = {"json": pl.String, "strategy": pl.String, "ok": pl.Boolean, "changed": pl.Boolean}
    return (
        pl.scan_parquet(path)
        .with_columns(
            pl.col("reply")
            .map_batches(lambda s: pl.Series(tarnwick.repair_column(s)), return_dtype=pl.Struct(fields))
            .alias("repaired")
        )
        .unnest("repaired")
    )


def test_polars_lazy_map_batches(replies):
    require("polars")
    path, expected = replies
    result = repair_lazy(path).collect().to_dict(as_series=False)
    assert by_id(result["id"], result) == expected
