"""VORTAN Transform for Python: the official HTRS07 <-> GGRS87 chains on numpy arrays.

    import vortan
    t = vortan.Transformer.from_crs("EPSG:2100", vortan.crs_of("htrs07-tm07")[2],
                                    dn="dN_2km_V1-0.grd", de="dE_2km_V1-0.grd")
    e07, n07, h07 = t.transform(e87, n87, h87)
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", region="mainland",
                           dn="dN_2km_V1-0.grd", de="dE_2km_V1-0.grd")
    e87, n87 = t.transform(e07, n07)          # h = 0 in the computation

Forms, as `vortan-transform convert` names them: htrs07-xyz (X, Y, Z), htrs07-geographic and
ggrs87-geographic (latitude, longitude in decimal degrees, ellipsoidal height), htrs07-tm07 and
ggrs87-tm87 (E, N, h). Metres throughout. Every value comes from the C++ engine of the
command-line tool and the desktop programs.
"""

import itertools as _itertools
import os as _os
import warnings as _warnings

import numpy as _np

from . import _vortan
from . import crs as _crs

__version__ = _vortan.__version__

__all__ = [
    "FORMS", "JOBS", "Transformer", "VortanError", "OutsideGridError", "NumericFaultError",
    "OutOfRangeError", "PrecisionWarning", "JobError", "run_job", "crs_of", "transform_geodataframe",
]

FORMS = tuple(_vortan.forms())
_JOB_TABLE = {name: (uses_transform, outputs) for name, uses_transform, outputs in _vortan.jobs()}
JOBS = tuple(_JOB_TABLE)
REGIONS = tuple(_vortan.regions())
DN_GRID_FILE = "dN_2km_V1-0.grd"
DE_GRID_FILE = "dE_2km_V1-0.grd"
_ITRANSFORM_CHUNK = 65536  # points itransform converts at once


class VortanError(Exception):
    """A conversion or job that did not complete."""


class OutsideGridError(VortanError):
    """A point lies outside the correction grid.

    index: position of the first such point (in the flattened input) for arrays, None for a job;
    point_id: the id of the point that stopped a job or transform_lines, None for arrays;
    line: its line in the input of a job or transform_lines; lines: for transform_lines, the
    lines converted before it."""

    def __init__(self, message, index=None, point_id=None, line=None, file=None, lines=None):
        super().__init__(message)
        self.index = index
        self.point_id = point_id
        self.line = line
        self.file = file
        self.lines = lines


class NumericFaultError(VortanError):
    """A point that no conversion computes: a numeric fault (overflow, division by zero,
    invalid operation) in its computation, its coordinates being far outside the area the
    conversion serves, or an infinite coordinate (fault "infinite coordinate")."""

    def __init__(self, message, index=None, fault=""):
        super().__init__(message)
        self.index = index
        self.fault = fault


class OutOfRangeError(NumericFaultError):
    """A latitude beyond 90 degrees or a longitude beyond 180 degrees: no point of the Earth.
    fault says which ("latitude beyond ±90°")."""


class JobError(VortanError):
    """A record job or transform_lines that stopped on an error: where and why.

    file, line (0 where no line applies), field ("" where none), reason, and message, the whole
    paragraph the command-line tool prints; points_written: complete lines written before;
    lines: for transform_lines, those lines."""

    def __init__(self, message, file="", line=0, field="", reason="", points_written=0,
                 point_id=None, lines=None):
        super().__init__(message)
        self.message = message
        self.file = file
        self.line = line
        self.field = field
        self.reason = reason
        self.points_written = points_written
        self.point_id = point_id
        self.lines = lines


def _form(name, what):
    if name not in FORMS:
        raise ValueError(f"{what}: unknown form {name!r} ({', '.join(FORMS)})")
    return name


def _region(name):
    if name not in REGIONS:
        raise ValueError(f"unknown region {name!r} (mainland or kastelorizo)")
    return name


def _boolean(value, name):
    """True or False; anything else (1, "no", None) is refused rather than taken for either."""
    if isinstance(value, (bool, _np.bool_)):
        return bool(value)
    raise TypeError(f"{name} must be True or False, not {value!r}")


def _threads(threads):
    if threads is None:
        return 0  # every core of the machine it runs on
    if isinstance(threads, bool) or not isinstance(threads, (int, _np.integer)) or not (
            1 <= threads <= 256):
        raise ValueError(f"threads must be a whole number from 1 to 256 or None, not {threads!r}")
    return int(threads)


_DIRECTIONS = ("FORWARD", "INVERSE", "IDENT")


def _direction(direction):
    """FORWARD, INVERSE or IDENT, from a text in any case or pyproj's TransformDirection."""
    name = getattr(direction, "name", direction)
    if isinstance(name, str) and name.upper() in _DIRECTIONS:
        return name.upper()
    raise ValueError(f"direction must be 'FORWARD', 'INVERSE' or 'IDENT', not {direction!r}")


def _check_grid_files(dn, de):
    """Both grid files must be there: a missing one raises FileNotFoundError naming it."""
    for kind, path in (("dN", dn), ("dE", de)):
        try:
            with open(path, "rb"):
                pass
        except OSError as e:
            raise type(e)(e.errno, f"the {kind} correction grid cannot be opened "
                          f"({e.strerror}); give its path with {kind.lower()}=", path) from None


def _grid_paths(dn, de):
    return (_os.fspath(dn) if dn is not None else DN_GRID_FILE,
            _os.fspath(de) if de is not None else DE_GRID_FILE)


def _raise_outcome(outcome, lines=None):
    """The exception of a job outcome that is not done; the outcome's count when done. lines:
    for transform_lines, the lines converted before the stop, which the exception carries."""
    status = outcome["status"]
    if status == "done":
        return outcome["points_written"]
    point_id = outcome["point_id"].decode("utf-8", "surrogateescape")
    message = outcome["message"]
    if lines:
        n = len(lines)
        message += f" The exception holds {'them' if n > 1 else 'it'} as .lines."
    if status == "outside-grid":
        error = OutsideGridError(message, point_id=point_id, line=outcome["line"],
                                 file=outcome["file"])
    elif status == "cancelled":
        error = KeyboardInterrupt(message)
    else:
        error = JobError(message, file=outcome["file"], line=outcome["line"],
                         field=outcome["field"], reason=outcome["reason"],
                         points_written=outcome["points_written"], point_id=point_id or None)
    if lines is not None:
        error.lines = lines
    raise error


def _is_pandas(value):
    return type(value).__module__.startswith("pandas.")


class PrecisionWarning(UserWarning):
    """Coordinates given with less precision than the conversion keeps (float32, float16)."""


def _warn_precision(narrow, arrays):
    """Warns, once for the coordinates of a call, that some came as a float type narrower than
    float64 (narrow: the narrowest), naming the rounding that the type made at the largest of
    them: the conversion keeps the millimetre, a float32 E or N of Greece only centimetres."""
    magnitudes = _np.concatenate([_np.abs(_np.asarray(x, dtype=_np.float64)).reshape(-1)
                                  for x in arrays])
    magnitudes = magnitudes[_np.isfinite(magnitudes)]
    largest = narrow.type(magnitudes.max() if magnitudes.size else 1)
    step = float(_np.spacing(largest))
    _warnings.warn(
        f"coordinates given as {narrow.name}, which holds about {_np.finfo(narrow).precision} "
        f"significant digits: at {float(largest):.7g} its values are {step:.3g} apart, so "
        f"they were rounded by up to {step / 2:.3g} (in their unit: metres or degrees) before "
        "the conversion, which keeps the millimetre. They are converted as given; pass float64 "
        "coordinates for the full precision.", PrecisionWarning, stacklevel=4)


def _narrow_float(dtype):
    """The numpy float type of a dtype narrower than float64 (pandas' Float32 too), else None."""
    dtype = getattr(dtype, "numpy_dtype", dtype)
    try:
        dtype = _np.dtype(dtype)
    except TypeError:
        return None
    return dtype if dtype.kind == "f" and dtype.itemsize < 8 else None


def _coordinate_array(value):
    """A numeric array of coordinates: NaN where pandas has NA or a masked array a mask; the
    value itself when it is a pandas Series (for its index); and its float type where that is
    narrower than float64 (else None)."""
    if _is_pandas(value):
        kind = getattr(getattr(value, "dtype", None), "kind", "O")
        if kind not in "fiu":
            raise TypeError(f"coordinates must be real numbers, not {value.dtype}")
        series = value if type(value).__name__ == "Series" else None
        return (value.to_numpy(dtype=_np.float64, na_value=_np.nan), series,
                _narrow_float(value.dtype))
    if isinstance(value, _np.ma.MaskedArray):
        if value.dtype.kind not in "fiu":
            raise TypeError(f"coordinates must be real numbers, not {value.dtype}")
        return (_np.ma.filled(value.astype(_np.float64), _np.nan), None,
                _narrow_float(value.dtype))
    x = _np.asarray(value)
    if x.dtype.kind not in "fiu":
        raise TypeError(f"coordinates must be real numbers, not {x.dtype}")
    return x, None, _narrow_float(x.dtype)


def _swap_of(identified, always_xy):
    """Whether a side takes or gives its first two coordinates in the other order than the
    form's: longitude first for a geographic form with always_xy, else as its CRS's axes."""
    if identified.form == "htrs07-xyz":
        return False
    if always_xy:
        return identified.form.endswith("geographic")
    return identified.swapped


class Transformer:
    """The conversion between two forms, for arrays of points, pyproj-style.

    from_form, to_form: one of FORMS. region: "mainland" or "kastelorizo" (its TM07, TM87 and
    parameters). dn, de: the correction grid files, read where the conversion crosses the datum
    on the mainland (default: dN_2km_V1-0.grd and dE_2km_V1-0.grd in the current folder).
    keep_heights: across the datum, the input height unchanged instead of the target system's
    ellipsoidal height from the Helmert step. threads: threads of the computation (None: every
    core). always_xy: geographic forms take and give (longitude, latitude) instead of the
    system's (latitude, longitude). errcheck: raise instead of giving NaN for a point that
    fails. vector_lanes: compute the arrays on the processor's vector lanes (faster, within
    1e-12 m or rad of the default plain routines, whose last bits are the same on every
    processor, in every build and from every front end). Transformer.from_crs makes one from
    CRSs instead of forms.

    A Transformer pickles with the values of its grids: it is rebuilt elsewhere (a Dask worker
    on another machine) without the grid files."""

    def __init__(self, from_form, to_form, region="mainland", dn=None, de=None,
                 keep_heights=False, threads=None, always_xy=False, errcheck=False,
                 vector_lanes=False):
        from_form, to_form = _form(from_form, "from_form"), _form(to_form, "to_form")
        always_xy = _boolean(always_xy, "always_xy")
        self._settings = dict(from_form=from_form, to_form=to_form, region=_region(region),
                              keep_heights=_boolean(keep_heights, "keep_heights"),
                              threads=threads, always_xy=always_xy,
                              errcheck=_boolean(errcheck, "errcheck"),
                              vector_lanes=_boolean(vector_lanes, "vector_lanes"),
                              swap_from=always_xy and from_form.endswith("geographic"),
                              swap_to=always_xy and to_form.endswith("geographic"),
                              source_crs=None, target_crs=None)
        self._engine = self._make_engine()
        self._inverse_engine = None
        if self._engine.needs_grids:
            dn, de = _grid_paths(dn, de)
            _check_grid_files(dn, de)
            self._engine.load_files(dn, de)
        else:
            self._engine.load_state(None)

    @classmethod
    def from_crs(cls, crs_from, crs_to, region=None, always_xy=False, **options):
        """The Transformer between two CRSs, as pyproj's Transformer.from_crs: each an EPSG code
        ("EPSG:2100", 2100), a WKT text (WKT1, WKT2, an ESRI .prj; those the GIS layer writes:
        crs_of), a PROJ string, a pyproj.CRS, anything else pyproj reads, or a form's name,
        recognised as the tool recognises a layer's CRS (vortan.crs). Each must be one of the
        five forms; the region is that of the projections among them (region= where there is
        none: the mainland by default). Without always_xy the coordinates come in the order of each CRS's
        axes (EPSG:4121: latitude first), with it longitude and E first. options: those of
        Transformer (dn, de, keep_heights, threads, errcheck, vector_lanes)."""
        always_xy = _boolean(always_xy, "always_xy")
        if region is not None:
            _region(region)
        source = _crs.identify(crs_from, region)
        target = _crs.identify(crs_to, region)
        regions = [r for r in REGIONS if r in source.regions and r in target.regions]
        if not regions:
            raise ValueError(
                f"{source.name} is {_crs.form_text(source.form)} of {source.regions[0]} and "
                f"{target.name} {_crs.form_text(target.form)} of {target.regions[0]}: a "
                "conversion stays within one region")
        transformer = cls(source.form, target.form,
                          region=region or ("mainland" if "mainland" in regions else regions[0]),
                          always_xy=always_xy, **options)
        transformer._settings.update(swap_from=_swap_of(source, always_xy),
                                     swap_to=_swap_of(target, always_xy),
                                     source_crs=_crs_to_keep(crs_from),
                                     target_crs=_crs_to_keep(crs_to))
        return transformer

    def _make_engine(self, inverse=False):
        s = self._settings
        a, b = (s["to_form"], s["from_form"]) if inverse else (s["from_form"], s["to_form"])
        engine = _vortan.Engine(a, b, s["region"], s["keep_heights"], _threads(s["threads"]))
        engine.vector_lanes = s.get("vector_lanes", False)
        return engine

    def _inverse(self):
        """The engine of the other direction, made on first use with this one's grids."""
        if self._inverse_engine is None:
            engine = self._make_engine(inverse=True)
            engine.load_state(self._engine.grid_state())
            self._inverse_engine = engine
        return self._inverse_engine

    # Pickling: the settings and the grids' values, never a path.
    def __getstate__(self):
        return {"settings": self._settings, "grids": self._engine.grid_state()}

    def __setstate__(self, state):
        settings = dict(state["settings"])
        xy = settings["always_xy"]
        settings.setdefault("swap_from", xy and settings["from_form"].endswith("geographic"))
        settings.setdefault("swap_to", xy and settings["to_form"].endswith("geographic"))
        settings.setdefault("source_crs", None)
        settings.setdefault("target_crs", None)
        self._settings = settings
        self._engine = self._make_engine()
        self._inverse_engine = None
        self._engine.load_state(state["grids"])

    def __repr__(self):
        s = self._settings
        return (f"vortan.Transformer({s['from_form']!r}, {s['to_form']!r}, "
                f"region={s['region']!r}, keep_heights={s['keep_heights']}, "
                f"threads={self.threads}, always_xy={s['always_xy']})")

    from_form = property(lambda self: self._settings["from_form"])
    to_form = property(lambda self: self._settings["to_form"])
    region = property(lambda self: self._settings["region"])
    keep_heights = property(lambda self: self._settings["keep_heights"])
    always_xy = property(lambda self: self._settings["always_xy"])
    threads = property(lambda self: self._engine.threads)

    @property
    def source_crs(self):
        """The pyproj.CRS of the input: the one given to from_crs, else the form's."""
        return self._crs("source_crs", "from_form")

    @property
    def target_crs(self):
        """The pyproj.CRS of the output: the one given to from_crs, else the form's."""
        return self._crs("target_crs", "to_form")

    def _crs(self, given, form):
        import pyproj
        if self._settings[given] is not None:
            return pyproj.CRS.from_user_input(self._settings[given])
        return _crs.crs_object(self._settings[form], self._settings["region"])

    def transform(self, a, b, c=None, errcheck=None, *, radians=False, direction="FORWARD"):
        """Converts points given as two or three coordinates: scalars, lists, numpy arrays
        (masked ones too) or pandas Series of any real dtype (nullable ones too), broadcast
        together. Returns float64 arrays of the broadcast shape (floats for scalars, Series
        with the index for Series), as many as were given. Two coordinates: h = 0 in the
        computation (not for X, Y, Z, which needs all three). A point that fails is NaN in
        every output, or with errcheck raises OutsideGridError, OutOfRangeError or
        NumericFaultError for the first one; NaN, pandas' NA and masked values in give NaN
        out. radians: latitude and longitude in radians instead of degrees. direction:
        "FORWARD", "INVERSE" (from the target form to the source form) or "IDENT"."""
        return self._transform((a, b) if c is None else (a, b, c), errcheck, radians, direction)

    def _transform(self, values, errcheck, radians, direction, offset=0):
        s = self._settings
        errcheck = s["errcheck"] if errcheck is None else _boolean(errcheck, "errcheck")
        radians = _boolean(radians, "radians")
        direction = _direction(direction)
        from_form, to_form = s["from_form"], s["to_form"]
        swap_in, swap_out = s["swap_from"], s["swap_to"]
        if direction == "INVERSE":
            from_form, to_form, swap_in, swap_out = to_form, from_form, swap_out, swap_in
        three = len(values) == 3
        if not three and direction != "IDENT" and "htrs07-xyz" in (from_form, to_form):
            raise ValueError("X, Y, Z takes and gives three coordinates: give c")
        arrays, series, narrow = [], [], []
        for v in values:
            x, serie, dtype = _coordinate_array(v)
            arrays.append(x)
            if serie is not None:
                series.append(serie)
            if dtype is not None:
                narrow.append((dtype.itemsize, dtype, x))
        if narrow:
            _warn_precision(min(narrow, key=lambda n: n[0])[1], [x for _, _, x in narrow])
        scalar = all(x.ndim == 0 for x in arrays)
        try:
            arrays = _np.broadcast_arrays(*arrays)
        except ValueError:
            shapes = " and ".join(str(x.shape) for x in arrays)
            raise ValueError(f"coordinate arrays of different lengths: {shapes}") from None
        shape = arrays[0].shape
        if series and (shape != (len(series[0]),) or any(
                not x.index.equals(series[0].index) for x in series[1:])):
            raise ValueError("pandas Series of coordinates must have the same index (align "
                             "them first), and other coordinates their length")
        flat = [_np.ascontiguousarray(x, dtype=_np.float64).reshape(-1) for x in arrays]
        n = flat[0].size
        if direction == "IDENT":
            out = [x.copy() for x in flat]
        else:
            if not three:
                flat.append(_np.zeros(n))
            if swap_in:
                flat[0], flat[1] = flat[1], flat[0]
            out = [_np.empty(n) for _ in range(3)]
            engine = self._engine if direction == "FORWARD" else self._inverse()
            failures, first, status, fault, completed, interrupted = engine.convert(
                *flat, *out, errcheck, radians)
            if interrupted:
                error = KeyboardInterrupt(
                    f"the conversion was interrupted at point {offset + completed} of "
                    f"{offset + n}: the points before it were converted, no result is kept")
                error.index = offset + completed
                raise error
            if errcheck and first >= 0:
                _raise_point(offset + first, status, fault, shape, swap_in, radians, offset)
            if swap_out:
                out[0], out[1] = out[1], out[0]
            out = out[:len(values)]
        if scalar:
            return tuple(float(x[0]) for x in out)
        if series:
            kind, index = type(series[0]), series[0].index
            return tuple(kind(x, index=index) for x in out)
        return tuple(x.reshape(shape) for x in out)

    def itransform(self, points, switch=False, radians=False, errcheck=None,
                   direction="FORWARD"):
        """Converts an iterable of points, each a tuple of two or three coordinates (all of the
        same length), and yields tuples of floats of that length, as pyproj's itransform does.
        switch: each tuple in and out with its first two coordinates the other way round. The
        points are converted in chunks; errcheck counts the index over the whole iterable."""
        switch = _boolean(switch, "switch")
        iterator = iter(points)
        start, width = 0, None
        while True:
            chunk = list(_itertools.islice(iterator, _ITRANSFORM_CHUNK))
            if not chunk:
                return
            try:
                values = _np.array(chunk, dtype=_np.float64)
            except (TypeError, ValueError):
                values = None
            if values is None or values.ndim != 2 or values.shape[1] not in (2, 3) or (
                    width is not None and values.shape[1] != width):
                raise ValueError("itransform takes points of two or three coordinates, all of "
                                 f"the same length (points {start} to {start + len(chunk) - 1})")
            width = values.shape[1]
            columns = list(values.T)
            if switch:
                columns[0], columns[1] = columns[1], columns[0]
            out = list(self._transform(columns, errcheck, radians, direction, offset=start))
            if switch:
                out[0], out[1] = out[1], out[0]
            yield from zip(*(x.tolist() for x in out))
            start += len(chunk)

    def transform_lines(self, lines):
        """Converts record lines of the input form's layout (SXYZ for X, Y, Z, SFLh for latitude,
        longitude and height, SENh for E, N, h) and returns the lines that
        `vortan-transform convert` writes for them, byte for byte, each with its CR LF.

        lines: an iterable of lines (str or bytes, with or without their line ends), or one
        text. str in gives str out (UTF-8), bytes in gives bytes out. A field that is no
        number raises JobError (line counted in the lines given), a point outside the grid
        OutsideGridError with its id; either carries the lines converted before it as lines.

        The lines in and out are lists in memory (about 80 bytes a line each); for a file of
        millions of lines transform_chunks keeps the memory small."""
        if isinstance(lines, (str, bytes, bytearray)):
            items, as_text = [lines], isinstance(lines, str)
        else:
            items = lines if isinstance(lines, list) else list(lines)
            as_text = bool(items) and isinstance(items[0], str)
        stream = self._engine.open_stream(2 if as_text else 1, len(items) > 1)
        written = []
        try:
            for start in range(0, len(items), _LINES_AT_ONCE):
                written += stream.feed(items[start:start + _LINES_AT_ONCE])
                if not stream.reading:
                    break  # the job stopped: the outcome says where
            outcome, rest = stream.finish()
        finally:
            stream.close()
        written += rest
        _raise_outcome(outcome, written)
        return written

    def transform_file(self, source, target, *, offset=0, length=None, first_line=1):
        """Converts a record file of the input form's layout into a record file of the output
        form's, as `vortan-transform convert` does (the same checks, the same bytes), the
        engine reading and writing the files itself: the fastest way from file to file, on the
        Transformer's threads. Returns the points written; raises JobError or
        OutsideGridError as run_job does.

        offset, length: only the bytes [offset, offset + length) of source (to its end when
        length is None), which must begin at the start of a line; their lines are written to
        target as a file of their own would be, so that a cluster's tasks can each take a part
        of one file (python/examples/dask_convert.py). first_line: the number of the part's
        first line in the messages (the caller counts the lines before it)."""
        for name, value, least in (("offset", offset, 0), ("first_line", first_line, 1)):
            if isinstance(value, bool) or not isinstance(value, int) or value < least:
                raise ValueError(f"{name} must be a whole number from {least}, not {value!r}")
        if length is not None and (isinstance(length, bool) or not isinstance(length, int)
                                   or length < 0):
            raise ValueError(f"length must be a whole number of bytes from 0, or None, not "
                             f"{length!r}")
        outcome = self._engine.convert_file(_os.fspath(source), _os.fspath(target), offset,
                                            -1 if length is None else length, first_line)
        return _raise_outcome(outcome)

    def transform_chunks(self, source, chunk_size=1 << 18):
        """Converts a record text of the input form's layout piece by piece, in little memory
        whatever its length, and yields the bytes that `vortan-transform convert` writes for
        it, in pieces of complete lines (their concatenation is the tool's output byte for
        byte). The generator returns the number of points written (the value of
        `yield from`).

        source: a file object (binary, or text, which is read as UTF-8), read from where it
        stands in pieces of chunk_size; bytes or str, the whole text; or an iterable of bytes
        or str pieces of the text in order, which may cut it anywhere (blocks of a download or
        of a Dask partition). Stops as transform_lines: JobError or OutsideGridError, the line
        counted in the whole text, raised after the pieces of the lines converted before it."""
        if isinstance(chunk_size, bool) or not isinstance(chunk_size, int) or chunk_size < 1:
            raise ValueError(f"chunk_size must be a whole number of bytes from 1, not "
                             f"{chunk_size!r}")
        stream = self._engine.open_stream(0, False)
        try:
            for piece in _pieces(source, chunk_size):
                out = stream.feed(piece)
                if out:
                    yield out
                if not stream.reading:
                    break  # the job stopped: the outcome says where
            outcome, out = stream.finish()
        finally:
            stream.close()
        if out:
            yield out
        return _raise_outcome(outcome)


_LINES_AT_ONCE = 16384  # lines transform_lines hands to the engine at a time


def _pieces(source, size):
    """The text of transform_chunks' source in pieces of at most size bytes, each a bytes-like
    object that is only valid until the next one is asked for (a file is read into one buffer
    again and again: no new block of memory for every piece)."""
    if isinstance(source, (str, bytes, bytearray, memoryview)):
        source = [source]
    readinto = getattr(source, "readinto", None)
    if callable(readinto):  # a binary file
        buffer = bytearray(size)
        view = memoryview(buffer)
        while True:
            n = readinto(buffer)
            if not n:
                return
            yield view[:n]
    read = getattr(source, "read", None)
    blocks = iter(lambda: read(size) or None, None) if callable(read) else source
    for block in blocks:
        if isinstance(block, str):
            block = block.encode("utf-8", "surrogateescape")
        elif not isinstance(block, (bytes, bytearray, memoryview)):
            raise TypeError(f"a piece of the text must be bytes or str, not "
                            f"{type(block).__name__}")
        view = memoryview(block).cast("B")
        for start in range(0, len(view), size):
            yield view[start:start + size]


def _crs_to_keep(crs):
    """What source_crs and target_crs give back for a CRS given to from_crs: the CRS itself
    (pickled with the Transformer), its WKT for other libraries' objects, None for a form."""
    if isinstance(crs, str) and crs.strip() in FORMS:
        return None
    if type(crs).__module__.startswith("pyproj") or isinstance(crs, (str, int, tuple)):
        return crs
    to_wkt = getattr(crs, "to_wkt", None)
    return to_wkt() if callable(to_wkt) else crs


def _raise_point(index, status, fault, shape, longitude_first, radians, offset):
    where = f"point {index}"
    if len(shape) > 1:
        where += f" (at {_np.unravel_index(index - offset, shape)})"
    if status == "outside-grid":
        raise OutsideGridError(f"{where} lies outside the correction grid", index=index)
    if status == "out-of-range":
        raise OutOfRangeError(
            f"{where} has a {fault}, which is no point of the Earth: give latitude and "
            f"longitude in {'radians' if radians else 'degrees'}, "
            f"{'longitude' if longitude_first else 'latitude'} first as this transformer takes "
            "them", index=index, fault=fault)
    if fault == "infinite coordinate":
        raise NumericFaultError(f"{where} has an infinite coordinate, which no conversion "
                                "takes: give finite numbers (NaN for a point without a value)",
                                index=index, fault=fault)
    raise NumericFaultError(
        f"numeric fault ({fault}) in the computation of {where}: its coordinates are far "
        "outside the area the conversion serves", index=index, fault=fault)


def run_job(job, input, outputs, region="mainland", dn=None, de=None, threads=None):
    """Runs one of the four record jobs (JOBS) on files, as `vortan-transform JOB` does: the
    same checks, the same files byte for byte. outputs in the order of the job's dialogs; "-"
    is standard input or output. Returns the points written; raises JobError (file, line,
    field, message) or OutsideGridError (point_id, line)."""
    if job not in JOBS:
        raise ValueError(f"unknown job {job!r} ({', '.join(JOBS)})")
    if isinstance(outputs, (str, bytes, _os.PathLike)):
        outputs = [outputs]
    outputs = [_os.fspath(o) for o in outputs]
    _region(region)
    dn, de = _grid_paths(dn, de)
    uses_transform, _ = _JOB_TABLE[job]
    if uses_transform and region == "mainland":
        _check_grid_files(dn, de)
    outcome = _vortan.run_job(job, _os.fspath(input), outputs, region, dn, de, _threads(threads))
    return _raise_outcome(outcome)


def crs_of(form, region="mainland"):
    """The CRS of a form in a region as the GIS layer writes it: (EPSG code or 0, name, WKT2)."""
    return _vortan.crs_of(_form(form, "form"), _region(region))


def transform_geodataframe(gdf, to, from_form=None, region=None, **options):
    """The GeoDataFrame with every vertex of its geometry column converted; see
    vortan.geodataframe.transform_geodataframe."""
    from .geodataframe import transform_geodataframe as convert
    return convert(gdf, to, from_form=from_form, region=region, **options)
