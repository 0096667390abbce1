"""pellix: the voice-stress analysis control ALG_V1S from Python.

For recordings, use ``pellix.Speaker`` and ``pellix.analyze``: they run the analysis of
``pellix analyze`` inside this process through libPellixAnalysis.so, converting any recording
(WAV, FLAC, ... at any rate), bytes or NumPy samples, and give the report's rows.

``pellix.Speaker(params=DEFAULT_PARAMS, state=None, name="")``
    One speaker's control. ``calibrate(take)``, ``check(take)`` (a take is a path, a URL, bytes
    or a NumPy array of samples with ``rate=``; bytes and samples without ``name=`` are named
    "bytes #N" and "samples #N", N their place among the speaker's takes) and ``profile()``
    return a ``Result`` whose attributes are the report's keys (``code``, ``meaning``,
    ``lie_stress``, ..., ``error_number``, ``error_message``). ``save()`` writes the state file
    back. Parameters with which every take is refused give a ``ParameterWarning``.
``pellix.analyze(manifest, client=None, params=DEFAULT_PARAMS, profile=True)``
    The report of a manifest (a path or a DataFrame with speaker, role and file) as a typed
    DataFrame; with a ``distributed.Client``, Dask tasks of a few speakers each (``pellix.batch``).

Each key has one type wherever it shows, as ``docs/report.schema.json`` describes it: whole
numbers (code, stress levels, profile_checks, error_number) are ``int`` attributes and ``Int64``
columns, measures, seconds, levels and shares ``float`` attributes and ``Float64`` columns, texts
``str`` and ``string`` columns, the flags a list of words and a ``boolean`` column each. Missing
is ``None`` in an attribute and ``<NA>`` in a column, also for a text of the control where a
number belongs and for the flags of a profile or a failure.

Failures of the analysis
    A take that cannot be read (a missing file: error 53, a URL that cannot be fetched, bytes
    that are no recording: 321, ...) is a row, in a Result as in the report: ``error_number``
    and ``error_message`` are set, ``code`` is None; nothing is raised, so that a run accounts
    for every take. What is no take at all raises ``TypeError`` (an object of another type,
    samples without ``rate=``) or ``ValueError`` (samples of three dimensions).
    ``pellix.AnalysisError`` (``.number``, the platform error number, and the message naming
    the file): a Speaker whose parameters or state cannot be used, a state that cannot be saved
    or loaded, a report file that cannot be written. ``pellix.ManifestError`` (an AnalysisError
    and a ValueError): a manifest that cannot be used, naming the file and the line.
    ``pellix.FileError`` (an OSError, with ``.number``): a file the package reads itself (a URL)
    that cannot be read, raised by ``pellix.takes.read_url``; a Speaker turns it into a row.

``pellix.Control`` is the control itself for hosts that want its automation interface. Its
``DATAstr`` names an 8-bit sample file (the control reads nothing else); for recordings, use
``Speaker``.

The package loads the component library libPellix.so through ctypes (no compiled extension)
and drives the control by late binding, exactly as any automation host does. The library is
found through the environment variable PELLIX_LIBRARY, else through the per-user class
registry (the entry of "Pellix.ALG_V1S" that DllRegisterServer writes), else beside the
package.

API
---
``pellix.Control(properties=None, *, user_mode=True, on_property_changed=None)``
    A new control instance. Without `properties` it receives InitProperties (a new
    instance); with a mapping it receives ReadProperties from it (a saved instance).
    Use it as a context manager (``with pellix.Control() as c:``) or call ``close()``.

Members
    Every property and method of the interface is an attribute named exactly as the
    interface names it, discovered from the component's type information when the first
    instance is created: ``c.DATAstr = path`` (an 8-bit sample file; recordings go through ``Speaker``), ``c.Initalize()``, ``c.Calibrate()``,
    ``c.Check()``, ``c.profiler()``, ``c.ResetCal()``, ``c.ResetAll()``, ``c.CR_msgX``,
    ``c.LIEstress``, ``c.GLBstress``, ``c.EXCstress``, ``c.DensityLevel``, ... Texts are
    ``str``, 16-bit integers ``int``, ``CR_SFLC`` whatever it holds (None for Empty).
    Values passed in are converted as the control converts them ("12" into an integer is 12).
    ``Control.members`` lists them (name, dispid, method/get/put, type, hidden, help).

Errors of the control
    A failing call raises ``pellix.PellixError`` with ``.number`` (the platform error
    number: 13 type mismatch, 53 file not found, 382/393 set/get not supported at runtime,
    ...), ``.description`` and ``.status`` (the 32-bit status code). Failures that are not
    platform errors (a call from another thread than the one that created the instance)
    carry number 0.

Property bags
    Any mapping serves as the bag: ``c.write_properties(mapping)`` (WriteProperties; a new
    dict when no mapping is given, returned), ``c.read_properties(mapping)``
    (ReadProperties; a missing key gives the control's default) and ``c.init_properties()``
    (InitProperties). Values are None, bool, int, float or str. An exception raised by the
    mapping ends the load or save at that key; it is raised as the cause of a PellixError.

Container
    ``c.user_mode`` is the ambient UserMode the control asks for (True: run mode).
    ``c.on_property_changed = callback`` receives ``callback(name, dispid)`` for every
    PropertyChanged, in the order the control notifies (``CR_msgX`` notifies as "CR_MSGX").

Threads
    An instance belongs to the thread that created it; calls from another thread raise
    PellixError.

Example
-------
>>> import pellix
>>> with pellix.Control() as c:                                   # doctest: +SKIP
...     c.DATAstr = "000023000005000000"
...     c.Initalize()
...     for take in ("a1.smp", "a2.smp", "a3.smp"):
...         c.DATAstr = take
...         c.Calibrate()
...     c.DATAstr = "b1.smp"
...     c.Check()
...     print(c.CR_msgX, c.LIEstress, c.GLBstress, c.EXCstress)
...     saved = c.write_properties()
"""

# Where each public name lives, imported the first time it is used: ``import pellix`` loads
# neither ctypes nor a library, and a script that only checks takes never loads the batch code.
_PUBLIC = {"Control": ".control", "Member": ".control", "PellixError": ".control",
           "AnalysisError": "._analysis", "ManifestError": "._analysis", "FileError": "._files",
           "find_library": "._library", "DEFAULT_PARAMS": ".speaker",
           "ParameterWarning": ".speaker", "Result": ".speaker", "Speaker": ".speaker",
           "analyze": ".batch.corpus"}

__all__ = sorted(_PUBLIC)


def __getattr__(name):
    if name not in _PUBLIC:
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
    import importlib

    value = getattr(importlib.import_module(_PUBLIC[name], __name__), name)
    globals()[name] = value
    return value


def __dir__():
    return sorted(set(globals()) | set(__all__))
