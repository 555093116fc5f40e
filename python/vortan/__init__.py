"""VORTAN Transform for Python: the official HTRS07 <-> GGRS87 chains on numpy arrays.

    import vortan
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", region="mainland",
                           dn="dN_2km_V1-0.grd", de="dE_2km_V1-0.grd")
    e87, n87, h87 = t.transform(e07, n07, h07)
    e87, n87 = t.transform(e07, n07)          # h = 0 in the computation

Forms, as `vortan-transform convert` names them: htrs07-xyz (X, Y, Z), htrs07-geographic and
ggrs87-geographic (latitude, longitude in decimal degrees, ellipsoidal height), htrs07-tm07 and
ggrs87-tm87 (E, N, h). Metres throughout. Every value comes from the C++ engine of the
command-line tool and the desktop programs.
"""

import os as _os

import numpy as _np

from . import _vortan

__all__ = [
    "FORMS", "JOBS", "Transformer", "VortanError", "OutsideGridError", "NumericFaultError",
    "JobError", "run_job", "crs_of", "transform_geodataframe",
]

FORMS = tuple(_vortan.forms())
_JOB_TABLE = {name: (uses_transform, outputs) for name, uses_transform, outputs in _vortan.jobs()}
JOBS = tuple(_JOB_TABLE)
REGIONS = ("mainland", "kastelorizo")
DN_GRID_FILE = "dN_2km_V1-0.grd"
DE_GRID_FILE = "dE_2km_V1-0.grd"


class VortanError(Exception):
    """A conversion or job that did not complete."""


class OutsideGridError(VortanError):
    """A point lies outside the correction grid.

    index: position of the first such point (in the flattened input) for arrays, None for a job;
    point_id: the id of the point that stopped a job or transform_lines, None for arrays;
    line: its line in the input of a job or transform_lines."""

    def __init__(self, message, index=None, point_id=None, line=None, file=None):
        super().__init__(message)
        self.index = index
        self.point_id = point_id
        self.line = line
        self.file = file


class NumericFaultError(VortanError):
    """A numeric fault (overflow, division by zero, invalid operation) in a point's computation:
    its coordinates are far outside the area the conversion serves."""

    def __init__(self, message, index=None, fault=""):
        super().__init__(message)
        self.index = index
        self.fault = fault


class JobError(VortanError):
    """A record job or transform_lines that stopped on an error: where and why.

    file, line (0 where no line applies), field ("" where none), reason, and message, the whole
    paragraph the command-line tool prints; points_written: complete lines written before."""

    def __init__(self, message, file="", line=0, field="", reason="", points_written=0,
                 point_id=None):
        super().__init__(message)
        self.message = message
        self.file = file
        self.line = line
        self.field = field
        self.reason = reason
        self.points_written = points_written
        self.point_id = point_id


def _form(name, what):
    if name not in FORMS:
        raise ValueError(f"{what}: unknown form {name!r} ({', '.join(FORMS)})")
    return name


def _region(name):
    if name not in REGIONS:
        raise ValueError(f"unknown region {name!r} (mainland or kastelorizo)")
    return name


def _threads(threads):
    if threads is None:
        return 0  # every core of the machine it runs on
    if isinstance(threads, bool) or not isinstance(threads, (int, _np.integer)) or not (
            1 <= threads <= 256):
        raise ValueError(f"threads must be a whole number from 1 to 256 or None, not {threads!r}")
    return int(threads)


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


def _raise_outcome(outcome):
    """The exception of a job outcome that is not done; the outcome's count when done."""
    status = outcome["status"]
    if status == "done":
        return outcome["points_written"]
    point_id = outcome["point_id"].decode("utf-8", "surrogateescape")
    message = outcome["message"]
    if status == "outside-grid":
        raise OutsideGridError(message, point_id=point_id, line=outcome["line"],
                               file=outcome["file"])
    if status == "cancelled":
        raise KeyboardInterrupt(message)
    raise JobError(message, file=outcome["file"], line=outcome["line"], field=outcome["field"],
                   reason=outcome["reason"], points_written=outcome["points_written"],
                   point_id=point_id or None)


class Transformer:
    """The conversion between two forms, for arrays of points, pyproj-style.

    from_form, to_form: one of FORMS. region: "mainland" or "kastelorizo" (its TM07, TM87 and
    parameters). dn, de: the correction grid files, read where the conversion crosses the datum
    on the mainland (default: dN_2km_V1-0.grd and dE_2km_V1-0.grd in the current folder).
    keep_heights: across the datum, the input height unchanged instead of the target system's
    ellipsoidal height from the Helmert step. threads: threads of the computation (None: every
    core). always_xy: geographic forms take and give (longitude, latitude) instead of the
    system's (latitude, longitude). errcheck: raise instead of giving NaN for a point that
    fails.

    A Transformer pickles with the values of its grids: it is rebuilt elsewhere (a Dask worker
    on another machine) without the grid files."""

    def __init__(self, from_form, to_form, region="mainland", dn=None, de=None,
                 keep_heights=False, threads=None, always_xy=False, errcheck=False):
        self._settings = dict(from_form=_form(from_form, "from_form"),
                              to_form=_form(to_form, "to_form"), region=_region(region),
                              keep_heights=bool(keep_heights), threads=threads,
                              always_xy=bool(always_xy), errcheck=bool(errcheck))
        self._engine = self._make_engine()
        if self._engine.needs_grids:
            dn, de = _grid_paths(dn, de)
            _check_grid_files(dn, de)
            self._engine.load_files(dn, de)
        else:
            self._engine.load_state(None)

    def _make_engine(self):
        s = self._settings
        return _vortan.Engine(s["from_form"], s["to_form"], s["region"], s["keep_heights"],
                              _threads(s["threads"]))

    # Pickling: the settings and the grids' values, never a path.
    def __getstate__(self):
        return {"settings": self._settings, "grids": self._engine.grid_state()}

    def __setstate__(self, state):
        self._settings = dict(state["settings"])
        self._engine = self._make_engine()
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

    def transform(self, a, b, c=None, errcheck=None):
        """Converts points given as two or three coordinates: scalars, lists or arrays of any
        real dtype, broadcast together. Returns float64 arrays of the broadcast shape (floats
        for scalars), as many as were given. Two coordinates: h = 0 in the computation (not for
        X, Y, Z, which needs all three). A point that fails is NaN in every output, or with
        errcheck raises OutsideGridError or NumericFaultError for the first one; NaN in gives
        NaN out."""
        s = self._settings
        errcheck = s["errcheck"] if errcheck is None else bool(errcheck)
        three = c is not None
        if not three and "htrs07-xyz" in (s["from_form"], s["to_form"]):
            raise ValueError("X, Y, Z takes and gives three coordinates: give c")
        values = [a, b, c] if three else [a, b]
        arrays = []
        for v in values:
            x = _np.asarray(v)
            if x.dtype.kind not in "fiu":
                raise TypeError(f"coordinates must be real numbers, not {x.dtype}")
            arrays.append(x)
        scalar = all(x.ndim == 0 for x in arrays)
        try:
            arrays = _np.broadcast_arrays(*arrays)
        except ValueError:
            shapes = " and ".join(str(x.shape) for x in arrays)
            raise ValueError(f"coordinate arrays of different lengths: {shapes}") from None
        shape = arrays[0].shape
        flat = [_np.ascontiguousarray(x, dtype=_np.float64).reshape(-1) for x in arrays]
        if not three:
            flat.append(_np.zeros(flat[0].size))
        if s["always_xy"] and s["from_form"].endswith("geographic"):
            flat[0], flat[1] = flat[1], flat[0]
        out = [_np.empty(flat[0].size) for _ in range(3)]
        failures, first, status, fault = self._engine.convert(*flat, *out, errcheck)
        if errcheck and first >= 0:
            self._raise_point(first, status, fault, shape)
        if s["always_xy"] and s["to_form"].endswith("geographic"):
            out[0], out[1] = out[1], out[0]
        out = out[:len(values)]
        if scalar:
            return tuple(float(x[0]) for x in out)
        return tuple(x.reshape(shape) for x in out)

    def _raise_point(self, index, status, fault, shape):
        where = f"point {index}"
        if len(shape) > 1:
            where += f" (at {_np.unravel_index(index, shape)})"
        if status == "outside-grid":
            raise OutsideGridError(f"{where} lies outside the correction grid", index=index)
        raise NumericFaultError(
            f"numeric fault ({fault}) in the computation of {where}: its coordinates are far "
            "outside the area the conversion serves", index=index, fault=fault)

    def transform_lines(self, lines):
        """Converts record lines of the input form's layout (SXYZ for X, Y, Z, SFLh for latitude,
        longitude and height, SENh for E, N, h) and returns the lines that
        `vortan-transform convert` writes for them, byte for byte, each with its CR LF.

        lines: an iterable of lines (str or bytes, with or without their line ends), or one
        text. str in gives str out (UTF-8), bytes in gives bytes out. A field that is no
        number raises JobError (line counted in the lines given), a point outside the grid
        OutsideGridError with its id."""
        if isinstance(lines, (str, bytes, bytearray)):
            items, as_text = [lines], isinstance(lines, str)
        else:
            items = list(lines)
            as_text = bool(items) and isinstance(items[0], str)
        parts = []
        for line in items:
            if isinstance(line, str):
                if not as_text:
                    raise TypeError("lines must be all str or all bytes")
                line = line.encode("utf-8", "surrogateescape")
            elif isinstance(line, (bytes, bytearray)):
                if as_text:
                    raise TypeError("lines must be all str or all bytes")
                line = bytes(line)
            else:
                raise TypeError(f"a line must be str or bytes, not {type(line).__name__}")
            parts.append(line)
            if len(items) > 1 and not line.endswith((b"\n", b"\r")):
                parts.append(b"\r\n")
        outcome, written = self._engine.convert_lines(b"".join(parts))
        _raise_outcome(outcome)
        if as_text:
            return [w.decode("utf-8", "surrogateescape") for w in written]
        return written


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
