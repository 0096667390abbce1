"""The CSV file a corpus run writes, through the library's report file: the command's header,
then each speaker's rows, in manifest order, written as ``pellix analyze --batch --format csv
-o FILE`` writes them (a temporary file put in place whole, at checkpoints as the run goes on),
and resumed with the command's --resume rules; a speaker absent from the file (its task failed
for good) is analysed again and written in its place."""

from .. import _analysis


class OutputError(Exception):
    """An output file that cannot be written or resumed; the message names it."""


class Output:
    """The output file, opened for a run over ``manifest`` (an ``_analysis.Manifest``).
    ``kept`` counts the speakers an earlier run's file holds whole (0 unless resuming);
    ``todo()`` gives the indices of the others, in manifest order."""

    def __init__(self, path, manifest, resume, checkpoint_seconds=30.0):
        self.manifest = manifest
        try:
            self.report = _analysis.Report(path, manifest, resume, checkpoint_seconds)
        except _analysis.AnalysisError as e:
            raise OutputError(str(e)) from None
        self.kept = self.report.kept()

    def todo(self):
        return [i for i in range(len(self.manifest.speakers)) if not self.report.has(i)]

    def write_speaker(self, index, rows):
        """The rows of the speaker at ``index``; "" for one whose task failed for good, which a
        resumed run then analyses again."""
        try:
            self.report.write(index, rows)
        except _analysis.AnalysisError as e:
            raise OutputError(str(e)) from None

    def close(self):
        """Puts the file in place with every speaker written so far and every one kept."""
        try:
            self.report.commit()
        except _analysis.AnalysisError as e:
            raise OutputError(str(e)) from None
        finally:
            self.report.close()
