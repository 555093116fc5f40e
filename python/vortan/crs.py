"""Which form (and region) a CRS is: from an EPSG code, a WKT text, a PROJ string, a pyproj.CRS
or anything pyproj reads.

The recognizer is the engine's (engine/crs_recognition.h): the same as the tool's, the C
library's and the QGIS plugin's, with one tolerance. Texts it reads (WKT1, WKT2, ESRI .prj, EPSG
codes, PROJ strings) go to it as they are, so that EPSG codes and the WKTs the GIS layer writes
need no pyproj; a pyproj.CRS, and descriptions that only pyproj reads (names, JSON, other
authorities), are turned into WKT2 by pyproj first. pyproj also gives the reason for an EPSG
code that is none of ours, from its definition."""

import functools as _functools
import numbers as _numbers

from . import _vortan

FORMS = tuple(_vortan.forms())
REGIONS = tuple(_vortan.regions())

# What the five forms are, for messages.
_FORM_TEXT = {
    "htrs07-xyz": "HTRS07 X, Y, Z",
    "htrs07-geographic": "HTRS07 latitude, longitude",
    "htrs07-tm07": "HTRS07 TM07 E, N",
    "ggrs87-geographic": "GGRS87 latitude, longitude",
    "ggrs87-tm87": "GGRS87 TM87 E, N",
}


class Identified:
    """A CRS that is one of the forms: form, the regions in which it is that form, whether its
    first two axes come in the other order than the form's (longitude first, N before E), and
    its name."""

    def __init__(self, form, regions, swapped=False, name=""):
        self.form = form
        self.regions = tuple(regions)
        self.swapped = swapped
        self.name = name or form

    def __repr__(self):
        return f"Identified({self.form!r}, {self.regions!r}, swapped={self.swapped})"


def _pyproj(what):
    try:
        import pyproj
    except ImportError:
        raise ValueError(f"{what}: give an EPSG code (\"EPSG:2100\"), a WKT text, a PROJ string "
                         f"or one of the forms ({', '.join(FORMS)}); other descriptions of a CRS "
                         "need pyproj (Debian: python3-pyproj)") from None
    return pyproj


def _wkt_of_pyproj(crs, what):
    pyproj = _pyproj(what)
    try:
        return pyproj.CRS.from_user_input(crs).to_wkt()
    except pyproj.exceptions.CRSError as e:
        raise ValueError(f"{what} is no CRS that pyproj reads: {e}") from None


@_functools.lru_cache(maxsize=None)
def _epsg_codes():
    """The EPSG codes of the forms, as a message lists them: "EPSG:2100 and EPSG:4121"."""
    codes = sorted({_vortan.crs_of(f, r)[0] for f in FORMS for r in REGIONS} - {0})
    return " and ".join(f"EPSG:{c}" for c in codes)


def _recognized(text, what):
    """The engine's answer for a text. A text that is neither WKT, an EPSG code nor a PROJ
    string (a name, JSON, another authority's code) is read by pyproj first; an EPSG code that
    is none of ours too, for the reason (its datum, its ellipsoid), when pyproj is there."""
    form, regions, swapped, _fits, name, reason, _el, spelling = _vortan.form_of_crs(text)
    if form is None and spelling == "":
        return _recognized(_wkt_of_pyproj(text, what), what)
    if form is None and spelling == "epsg":
        try:
            import pyproj
        except ImportError:
            pyproj = None
        if pyproj is not None:
            try:
                wkt = pyproj.CRS.from_user_input(name).to_wkt()
            except pyproj.exceptions.CRSError:
                raise ValueError(f"{name} is no CRS of the EPSG database (of the five forms "
                                 f"{_epsg_codes()} have EPSG codes)") from None
            form, regions, swapped, _fits, name, reason, _el, spelling = _vortan.form_of_crs(wkt)
    if form is None:
        raise ValueError(f"{name or what} is none of the five forms: {reason}")
    return Identified(form, regions, swapped, name or what)


def identify(crs, region=None):
    """The form of a CRS and the regions in which it is that form (only region, when given);
    ValueError saying why where it is none."""
    what = repr(crs) if isinstance(crs, (str, int)) else (
        f"the CRS {getattr(crs, 'name', None) or type(crs).__name__}")
    if len(what) > 80:
        what = what[:77] + "..."
    if isinstance(crs, str):
        text = crs.strip()
        if text in FORMS:
            return _in_region(Identified(text, REGIONS), region, what)
        identified = _recognized(text, what)
    elif isinstance(crs, tuple) and len(crs) == 2 and str(crs[0]).upper() == "EPSG":
        identified = _recognized(f"EPSG:{int(crs[1])}", what)
    elif isinstance(crs, bool):
        raise TypeError(f"a CRS, not {crs!r}")
    elif isinstance(crs, _numbers.Integral):
        identified = _recognized(f"EPSG:{int(crs)}", what)
    elif callable(getattr(crs, "to_wkt", None)):  # pyproj.CRS, and CRSs of libraries like it
        wkt = crs.to_wkt()
        if not wkt:
            raise ValueError(f"{what} has no WKT form")
        identified = _recognized(wkt, what)
    else:
        identified = _recognized(_wkt_of_pyproj(crs, what), what)
    return _in_region(identified, region, identified.name)


def _in_region(identified, region, what):
    if region is None or region in identified.regions:
        if region is not None:
            identified.regions = (region,)
        return identified
    raise ValueError(f"{what} is {_FORM_TEXT[identified.form]} of "
                     f"{' and '.join(identified.regions)}, not of {region}")


def form_text(form):
    return _FORM_TEXT[form]


# Names of the CRS objects where the GIS layer's names alone do not tell them apart: the
# geocentric and the geographic CRS of HTRS07 are both "HTRS07" there.
_CRS_NAMES = {"htrs07-xyz": "HTRS07 geocentric"}


@_functools.lru_cache(maxsize=None)
def crs_object(form, region):
    """The pyproj.CRS of a form in a region: the EPSG CRS where there is one, else the WKT."""
    import pyproj
    epsg, _name, wkt = _vortan.crs_of(form, region)
    if epsg:
        return pyproj.CRS.from_epsg(epsg)
    crs = pyproj.CRS.from_wkt(wkt)
    if form in _CRS_NAMES:
        definition = crs.to_json_dict()
        definition["name"] = _CRS_NAMES[form]
        crs = pyproj.CRS.from_json_dict(definition)
    return crs
