"""The VORTAN C library (libvortan.so, vortan.dll) through ctypes, with numpy arrays passed by
pointer. Nothing here needs QGIS: the plugin's algorithms and the tests use it alike.

Every number comes from the library: the batch call converts arrays of points between any two
of the five forms, the point call one point into every form, the record calls run the jobs and
convert on the system's record files. Latitude and longitude are decimal degrees, latitude
first, as the library takes them.
"""

import ctypes
import os
import sys

import numpy as np

FORMS = ("htrs07-xyz", "htrs07-geographic", "htrs07-tm07", "ggrs87-geographic", "ggrs87-tm87")
REGIONS = ("mainland", "kastelorizo")
JOBS = ("sflh-to-senh", "senh-to-htrs07", "sflh-to-sxyz", "sxyz-to-ggrs87")

# vortan_status
OK = 0
OUTSIDE_GRID = 1
NUMERIC_FAULT = 2
CANCELLED = 3
INVALID_ARGUMENT = 4
NOT_READY = 5
GRID_ERROR = 6
FILE_ERROR = 7

# vortan_point_status
POINT_DONE = 0
POINT_OUTSIDE_GRID = 1
POINT_FAULT = 2
POINT_NO_VALUE = 3
POINT_OUT_OF_RANGE = 4


def library_file_name(platform=None):
    """The file of the library for a system: vortan.dll on Windows, libvortan.so elsewhere."""
    platform = sys.platform if platform is None else platform
    return "vortan.dll" if platform.startswith("win") else "libvortan.so"


def default_library_path():
    """The library beside this file, where the plugin's zip puts it."""
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), library_file_name())


class LibraryMissing(Exception):
    """The library for the running system is not beside the plugin, or cannot be loaded."""


class VortanError(Exception):
    """A call of the library that failed: its code and where (file, line, field, point)."""

    def __init__(self, code, message, file="", line=0, field="", point_id="", index=-1):
        super().__init__(message)
        self.code = code
        self.message = message
        self.file = file
        self.line = line
        self.field = field
        self.point_id = point_id
        self.index = index


class _Dms(ctypes.Structure):
    _fields_ = [("degrees", ctypes.c_int), ("minutes", ctypes.c_int),
                ("seconds", ctypes.c_double), ("packed", ctypes.c_double)]


class _Point(ctypes.Structure):
    _fields_ = [("values", (ctypes.c_double * 3) * 5), ("status", ctypes.c_int * 5),
                ("htrs07_latitude", _Dms), ("htrs07_longitude", _Dms),
                ("ggrs87_latitude", _Dms), ("ggrs87_longitude", _Dms),
                ("tm07_scale", ctypes.c_double), ("de_cm", ctypes.c_double),
                ("dn_cm", ctypes.c_double)]


class _CrsForm(ctypes.Structure):
    _fields_ = [("form", ctypes.c_int), ("regions", ctypes.c_int), ("swapped", ctypes.c_int),
                ("fits", ctypes.c_int), ("name", ctypes.c_char_p), ("reason", ctypes.c_char_p),
                ("reason_el", ctypes.c_char_p)]


class CrsForm:
    """What the library says of a CRS (vortan_form_of_crs): its form or None, the regions in
    which it is that form, whether its first two axes come in the other order than the form's,
    the (form, region) pairs it can hold whatever its datum, its name, and why it is none in
    English and Greek."""

    def __init__(self, form, regions, swapped, fits, name, reason, reason_el):
        self.form = form
        self.regions = regions
        self.swapped = swapped
        self.fits = fits
        self.name = name
        self.reason = reason
        self.reason_el = reason_el


# The interface version the plugin needs: vortan_form_of_crs came with 3.
API_VERSION = 3

_PROGRESS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_uint64, ctypes.c_uint64, ctypes.c_uint64,
                             ctypes.c_void_p)
_DOUBLES = ctypes.POINTER(ctypes.c_double)
_BYTES = ctypes.POINTER(ctypes.c_uint8)


def _pointer(array, kind=_DOUBLES):
    return None if array is None else array.ctypes.data_as(kind)


class Library:
    """The loaded library and its functions."""

    def __init__(self, path=None):
        self.path = path or default_library_path()
        if not os.path.isfile(self.path):
            raise LibraryMissing(
                f"The VORTAN library for this system ({library_file_name()}) is missing: "
                f"{self.path} does not exist. Install the plugin from the zip that holds it "
                "(vortan_transform-VERSION.zip made by a build with both libraries).")
        try:
            self._lib = ctypes.CDLL(self.path)
        except OSError as e:
            raise LibraryMissing(f"The VORTAN library {self.path} cannot be loaded: {e}") from None
        lib = self._lib
        c_int, c_char_p, c_double, c_size_t = ctypes.c_int, ctypes.c_char_p, ctypes.c_double, ctypes.c_size_t
        c_void_p, c_uint64, c_int64 = ctypes.c_void_p, ctypes.c_uint64, ctypes.c_int64
        signatures = {
            "vortan_version": (c_char_p, []),
            "vortan_api_version": (c_int, []),
            "vortan_form_name": (c_char_p, [c_int]),
            "vortan_form_of_name": (c_int, [c_char_p]),
            "vortan_region_name": (c_char_p, [c_int]),
            "vortan_job_name": (c_char_p, [c_int]),
            "vortan_job_output_count": (c_int, [c_int]),
            "vortan_job_input_name": (c_char_p, [c_int, c_int]),
            "vortan_job_output_name": (c_char_p, [c_int, c_int, c_int]),
            "vortan_crs_epsg": (c_int, [c_int, c_int]),
            "vortan_crs_name": (c_char_p, [c_int, c_int]),
            "vortan_crs_wkt": (c_char_p, [c_int, c_int]),
            "vortan_form_of_crs": (c_int, [c_char_p, c_int, ctypes.POINTER(_CrsForm)]),
            "vortan_format_number": (c_int, [c_double, c_char_p, c_char_p, c_size_t]),
            "vortan_error_code": (c_int, []),
            "vortan_error_message": (c_char_p, []),
            "vortan_error_file": (c_char_p, []),
            "vortan_error_line": (c_uint64, []),
            "vortan_error_field": (c_char_p, []),
            "vortan_error_point_id": (c_char_p, []),
            "vortan_error_index": (c_int64, []),
            "vortan_context_new": (c_void_p, [c_int]),
            "vortan_context_free": (None, [c_void_p]),
            "vortan_context_load_grids": (c_int, [c_void_p, c_char_p, c_char_p]),
            "vortan_context_load_grids_from_bytes": (c_int, [c_void_p, c_char_p, c_size_t,
                                                             c_char_p, c_size_t]),
            "vortan_context_ready": (c_int, [c_void_p]),
            "vortan_context_region": (c_int, [c_void_p]),
            "vortan_context_set_threads": (c_int, [c_void_p, c_int]),
            "vortan_convert": (c_int, [c_void_p, c_int, c_int, c_int, c_size_t, _DOUBLES,
                                       _DOUBLES, _DOUBLES, _DOUBLES, _DOUBLES, _DOUBLES,
                                       _BYTES]),
            "vortan_convert_point": (c_int, [c_void_p, c_int, c_int, c_int,
                                             ctypes.POINTER(c_double), ctypes.POINTER(_Point)]),
            "vortan_run_job": (c_int, [c_void_p, c_int, c_char_p, ctypes.POINTER(c_char_p),
                                       c_size_t, _PROGRESS, c_void_p,
                                       ctypes.POINTER(c_uint64)]),
            "vortan_convert_file": (c_int, [c_void_p, c_int, c_int, c_int, c_char_p, c_char_p,
                                            _PROGRESS, c_void_p, ctypes.POINTER(c_uint64)]),
        }
        lib.vortan_api_version.restype = c_int
        lib.vortan_api_version.argtypes = []
        if lib.vortan_api_version() < API_VERSION:
            raise LibraryMissing(f"{self.path} is too old (interface {lib.vortan_api_version()}, "
                                 f"the plugin needs {API_VERSION}): install the plugin's zip "
                                 "with its own library")
        for name, (restype, argtypes) in signatures.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        self.version = lib.vortan_version().decode()

    def __getattr__(self, name):
        return getattr(self._lib, name)

    def error(self, code):
        """The thread's error of the last call as a VortanError."""
        lib = self._lib
        return VortanError(code, lib.vortan_error_message().decode("utf-8", "replace"),
                           file=lib.vortan_error_file().decode("utf-8", "replace"),
                           line=lib.vortan_error_line(),
                           field=lib.vortan_error_field().decode("utf-8", "replace"),
                           point_id=lib.vortan_error_point_id().decode("utf-8", "replace"),
                           index=lib.vortan_error_index())

    def check(self, code):
        if code != OK:
            raise self.error(code)

    def format_number(self, value, pattern):
        """value as the system writes it with a pattern such as ".000" or "0.000000"."""
        buffer = ctypes.create_string_buffer(64)
        n = self._lib.vortan_format_number(float(value), pattern.encode(), buffer, 64)
        if n < 0:
            raise self.error(INVALID_ARGUMENT)
        return buffer.value.decode()

    def crs(self, form, region):
        """(EPSG code or 0, name, WKT2) of a form's CRS in a region, as the tool writes it."""
        f, r = FORMS.index(form), REGIONS.index(region)
        return (self._lib.vortan_crs_epsg(f, r), self._lib.vortan_crs_name(f, r).decode(),
                self._lib.vortan_crs_wkt(f, r).decode())

    def form_of_crs(self, text, region=None):
        """The form of a CRS given as text (WKT, EPSG code, PROJ string), in a region or any:
        a CrsForm."""
        out = _CrsForm()
        self.check(self._lib.vortan_form_of_crs(
            text.encode("utf-8"), -1 if region is None else REGIONS.index(region),
            ctypes.byref(out)))
        return CrsForm(
            FORMS[out.form] if out.form >= 0 else None,
            tuple(r for i, r in enumerate(REGIONS) if out.regions >> i & 1),
            bool(out.swapped),
            {(f, r) for fi, f in enumerate(FORMS) for ri, r in enumerate(REGIONS)
             if out.fits >> (fi * len(REGIONS) + ri) & 1},
            out.name.decode("utf-8", "replace"), out.reason.decode("utf-8", "replace"),
            out.reason_el.decode("utf-8", "replace"))

    def job_output_count(self, job):
        return self._lib.vortan_job_output_count(JOBS.index(job))

    def job_output_name(self, job, index, region):
        return self._lib.vortan_job_output_name(JOBS.index(job), index,
                                                REGIONS.index(region)).decode()

    def context(self, region, dn=None, de=None, threads=1):
        return Context(self, region, dn, de, threads)


def _path(path):
    return os.fsencode(path) if os.name != "nt" else os.fspath(path).encode("utf-8")


class Context:
    """A context of the library: the region, its parameters and, once loaded, the grids."""

    def __init__(self, library, region, dn=None, de=None, threads=1):
        self._library = library
        self.region = region
        handle = library.vortan_context_new(REGIONS.index(region))
        if not handle:
            raise library.error(library.vortan_error_code())
        self._handle = ctypes.c_void_p(handle)
        try:
            library.check(library.vortan_context_set_threads(self._handle, int(threads)))
            if dn is not None and de is not None:
                self.load_grids(dn, de)
        except Exception:
            self.close()
            raise

    def close(self):
        if self._handle:
            self._library.vortan_context_free(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    @property
    def ready(self):
        """Whether conversions across the datum can run (grids loaded, or none needed)."""
        return bool(self._library.vortan_context_ready(self._handle))

    def load_grids(self, dn, de):
        self._library.check(self._library.vortan_context_load_grids(self._handle, _path(dn),
                                                                    _path(de)))

    def load_grids_from_bytes(self, dn, de):
        self._library.check(self._library.vortan_context_load_grids_from_bytes(
            self._handle, dn, len(dn), de, len(de)))

    def convert(self, source, target, a, b, c=None, keep_heights=False, heights=True):
        """Converts the points of float64 arrays a, b (and c, else h = 0) from the form source
        into the form target. Returns (out_a, out_b, out_c or None, status, code, error): the
        outputs (NaN where a point failed), the status of each point (uint8), the call's code
        and, for a code other than OK, its VortanError. Errors of the call itself raise."""
        a = np.ascontiguousarray(a, dtype=np.float64)
        b = np.ascontiguousarray(b, dtype=np.float64)
        n = a.size
        if b.size != n or (c is not None and np.size(c) != n):
            raise ValueError("coordinate arrays of different lengths")
        if c is not None:
            c = np.ascontiguousarray(c, dtype=np.float64)
        out_a, out_b = np.empty(n), np.empty(n)
        out_c = np.empty(n) if heights else None
        status = np.empty(n, dtype=np.uint8)
        code = self._library.vortan_convert(
            self._handle, FORMS.index(source), FORMS.index(target), int(bool(keep_heights)), n,
            _pointer(a), _pointer(b), _pointer(c), _pointer(out_a), _pointer(out_b),
            _pointer(out_c), _pointer(status, _BYTES))
        error = None
        if code not in (OK, OUTSIDE_GRID, NUMERIC_FAULT):
            raise self._library.error(code)
        if code != OK:
            error = self._library.error(code)
        return out_a, out_b, out_c, status, code, error

    def convert_point(self, source, values, keep_heights=False, packed_angles=False):
        """One point in every form: a dict with each form's three values (degrees), the DMS
        of the four angles, the scale factor and the corrections, and 'status' per form.
        Raises VortanError when the point fails in some form (after filling what converted:
        the exception's 'point' attribute)."""
        point = _Point()
        values = (ctypes.c_double * 3)(*[float(v) for v in values])
        code = self._library.vortan_convert_point(self._handle, FORMS.index(source),
                                                  int(bool(keep_heights)),
                                                  int(bool(packed_angles)), values,
                                                  ctypes.byref(point))
        result = {form: tuple(point.values[i]) for i, form in enumerate(FORMS)}
        result["status"] = {form: point.status[i] for i, form in enumerate(FORMS)}
        for name in ("htrs07_latitude", "htrs07_longitude", "ggrs87_latitude", "ggrs87_longitude"):
            d = getattr(point, name)
            result[name] = (d.degrees, d.minutes, d.seconds, d.packed)
        result["tm07_scale"] = point.tm07_scale
        result["de_cm"] = point.de_cm
        result["dn_cm"] = point.dn_cm
        if code != OK:
            error = self._library.error(code)
            error.point = result
            raise error
        return result

    def _record_call(self, call, progress):
        cancel_exception = []

        def bridge(done, read, total, user):
            try:
                return 1 if progress(done, read, total) else 0
            except Exception as e:  # a callback must not raise into C
                cancel_exception.append(e)
                return 1

        callback = _PROGRESS(bridge) if progress else _PROGRESS()
        written = ctypes.c_uint64(0)
        code = call(callback, ctypes.byref(written))
        if cancel_exception:
            raise cancel_exception[0]
        if code != OK:
            error = self._library.error(code)
            error.points_written = written.value
            raise error
        return written.value

    def run_job(self, job, input_path, output_paths, progress=None):
        """Runs a record job; returns the points written. progress(done, read, total) may
        return True to stop (VortanError with code CANCELLED)."""
        outputs = (ctypes.c_char_p * len(output_paths))(*[_path(p) for p in output_paths])
        return self._record_call(
            lambda callback, written: self._library.vortan_run_job(
                self._handle, JOBS.index(job), _path(input_path), outputs, len(output_paths),
                callback, None, written), progress)

    def convert_file(self, source, target, input_path, output_path, keep_heights=False,
                     progress=None):
        """convert on record files; returns the points written."""
        return self._record_call(
            lambda callback, written: self._library.vortan_convert_file(
                self._handle, FORMS.index(source), FORMS.index(target),
                int(bool(keep_heights)), _path(input_path), _path(output_path), callback, None,
                written), progress)


_loaded = {}


def load(path=None):
    """The library (loaded once per path); LibraryMissing when it is not there."""
    path = path or default_library_path()
    if path not in _loaded:
        _loaded[path] = Library(path)
    return _loaded[path]
