#!/usr/bin/env python3
"""Converts a column of numerals in a Dask DataFrame on a cluster of worker
processes: base 16 to base 10, each partition with one veltrane.convert call.

    python3 examples/dask_convert.py [--rows N] [--partitions P] [--workers W]
                                     [--scheduler ADDRESS] [--out FILE.npy]

Without --scheduler it starts a distributed.LocalCluster of W worker
processes (2) on this machine; with --scheduler tcp://HOST:8786 it runs the
same code on that cluster, whose workers need the veltrane package
installed. The numerals are N (10^6) random hexadecimal numerals from a
fixed seed, so that a run can be checked against the serial conversion; --out
saves the converted column (a NumPy array of str) for that.
"""

import argparse
import random
import time

import numpy as np
import pandas as pd

import veltrane

HEX = "0123456789abcdef"


def make_numerals(rows, seed=20261209):
    """rows hexadecimal numerals: a sign, up to 16 digits with a point, an
    exponent now and then."""
    rng = random.Random(seed)
    numerals = []
    for _ in range(rows):
        digits = "".join(rng.choice(HEX) for _ in range(rng.randint(1, 16)))
        if len(digits) > 1 and rng.random() < 0.5:
            point = rng.randrange(len(digits))
            digits = digits[:point] + "." + digits[point:]
        exponent = f"_{rng.randint(-40, 40):x}" if rng.random() < 0.3 else ""
        numerals.append(("-" if rng.random() < 0.3 else "") + digits + exponent)
    return numerals


def convert_partition(partition):
    """One partition: the numerals' column in, a column of base-10 texts out.
    A worker converts its partition on all of its cores (threads=None)."""
    return pd.Series(veltrane.convert(partition["hex"].to_numpy(), from_base=16, to_base=10),
                     index=partition.index, name="dec")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=10**6)
    parser.add_argument("--partitions", type=int, default=8)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--scheduler", help="the address of a running scheduler")
    parser.add_argument("--out", help="save the converted column here (.npy)")
    args = parser.parse_args()

    import dask.dataframe as dd
    from distributed import Client, LocalCluster

    frame = pd.DataFrame({"hex": make_numerals(args.rows)})
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        started = time.perf_counter()
        column = dd.from_pandas(frame, npartitions=args.partitions)
        converted = column.map_partitions(convert_partition, meta=("dec", "object"))
        result = converted.compute()
        took = time.perf_counter() - started
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    print(f"{len(result):,} numerals in {args.partitions} partitions on "
          f"{args.scheduler or f'{args.workers} local worker processes'}: {took:.2f} s")
    print(pd.DataFrame({"hex": frame["hex"], "dec": result}).head().to_string())
    if args.out:
        np.save(args.out, result.to_numpy(dtype=str))


if __name__ == "__main__":
    main()
