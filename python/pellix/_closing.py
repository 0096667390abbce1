"""What the package's handles share: ``with`` closes them when its block ends."""


class Closing:
    """A handle with a ``close()``: ``with handle:`` closes it on leaving the block, however
    the block ends."""

    __slots__ = ()  # the handles keep their own slots

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
