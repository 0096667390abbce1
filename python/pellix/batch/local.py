"""The local run of ``python3 -m pellix.batch --workers N``: N threads of this process take the
tasks, as a Dask client's workers would. The library analyses outside Python's lock, so the
threads analyse side by side; and a run that needs no cluster neither imports Dask nor starts
a scheduler and its workers, which cost more time and memory than the analysis of a few
hundred speakers."""

import concurrent.futures


class LocalWorkers:
    """A pool of ``workers`` threads with the part of a Dask client a corpus run uses:
    ``submit`` (Dask's ``pure`` and ``key`` are taken and have nothing to do here) and use as
    a context manager, which waits for the tasks and ends the threads."""

    def __init__(self, workers):
        self._pool = concurrent.futures.ThreadPoolExecutor(
            max_workers=workers, thread_name_prefix="pellix-batch")

    def submit(self, function, *args, pure=True, key=None):  # noqa: ARG002 - Dask's signature
        return self._pool.submit(function, *args)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        # Ctrl-C leaves the tasks not yet started; the running ones end with their speaker.
        self._pool.shutdown(wait=True, cancel_futures=exc[0] is not None)
        return False


def as_completed(futures):
    """``futures`` as they finish, whether of Dask or of a LocalWorkers pool."""
    if all(isinstance(f, concurrent.futures.Future) for f in futures):
        return concurrent.futures.as_completed(futures)
    from distributed import as_completed as dask_as_completed

    return dask_as_completed(futures)
