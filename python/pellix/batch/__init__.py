"""Corpus-scale analysis on Dask: thousands of speakers, in tasks of a few speakers each.

>>> from pellix import batch
>>> table = batch.analyze("examples/manifest.csv")                   # doctest: +SKIP
>>> from distributed import Client
>>> table = batch.analyze("corpus.csv", client=Client("tcp://scheduler:8786"))  # doctest: +SKIP

``python3 -m pellix.batch MANIFEST --scheduler ADDRESS --out results.csv`` does the same from
the command line and writes what ``pellix analyze --batch --format csv`` prints.
"""

from .corpus import DEFAULT_PARAMS, analyze
from .._analysis import ManifestError

__all__ = ["DEFAULT_PARAMS", "ManifestError", "analyze"]
