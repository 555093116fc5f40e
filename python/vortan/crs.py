"""Which form (and region) a CRS is: from an EPSG code, a WKT text, a pyproj.CRS or anything
pyproj reads.

A CRS is taken for what it is, not for how it is written: its kind (geocentric, geographic,
projected), its datum (HTRS07 or GGRS87 on GRS80, Greenwich), its units and, for a projection,
the Transverse Mercator parameters of TM07 or TM87 of a region. The WKT texts are read here, so
that EPSG codes and the WKTs the GIS layer writes need no pyproj; pyproj is imported only for
its own objects' CRSs and for descriptions that are neither (PROJ strings, names, JSON)."""

import functools as _functools
import math as _math
import numbers as _numbers
import re as _re

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

# Datum names as GIS software writes them, letters and digits only, lower case.
_DATUM_NAMES = {
    "hellenicterrestrialreferencesystem2007": "htrs07",
    "htrs07": "htrs07",
    "htrs2007": "htrs07",
    "greekgeodeticreferencesystem1987": "ggrs87",
    "ggrs87": "ggrs87",
    "ggrs1987": "ggrs87",
    "dggrs1987": "ggrs87",
}
_GGRS87_DATUM_EPSG = 6121
_GRS80 = (6378137.0, 298.257222101)

# Transverse Mercator parameters by EPSG code and by their names in WKT2 and WKT1.
_TM_PARAMETERS = {
    8801: "lat_0", 8802: "lon_0", 8805: "k_0", 8806: "x_0", 8807: "y_0",
    "latitudeofnaturalorigin": "lat_0", "latitudeoforigin": "lat_0",
    "longitudeofnaturalorigin": "lon_0", "centralmeridian": "lon_0",
    "scalefactoratnaturalorigin": "k_0", "scalefactor": "k_0",
    "falseeasting": "x_0", "falsenorthing": "y_0",
}
_TM_METHOD_EPSG = 9807
_TM_METHOD_NAMES = ("transversemercator",)
# Parameters agree within these (degrees, pure number, metres).
_TOLERANCE = {"lat_0": 1e-9, "lon_0": 1e-9, "k_0": 1e-12, "x_0": 1e-6, "y_0": 1e-6}

_RADIANS_PER_DEGREE = _math.pi / 180


def _key(text):
    return "".join(ch for ch in str(text).lower() if ch.isalnum())


# A small WKT reader: KEYWORD[item, ...] (or with parentheses), items being quoted texts,
# numbers, bare words and nested nodes. WKT1 and WKT2 alike.
class _Node:
    __slots__ = ("keyword", "items")

    def __init__(self, keyword, items):
        self.keyword = keyword.upper()
        self.items = items

    def children(self, *keywords):
        return [i for i in self.items if isinstance(i, _Node) and i.keyword in keywords]

    def child(self, *keywords):
        found = self.children(*keywords)
        return found[0] if found else None

    def name(self):
        return self.items[0] if self.items and isinstance(self.items[0], str) else ""

    def number(self, index):
        value = self.items[index] if len(self.items) > index else None
        return value if isinstance(value, float) else None

    def epsg(self):
        """The EPSG code of an ID["EPSG",n] or AUTHORITY["EPSG","n"] of this node, or None."""
        for node in self.children("ID", "AUTHORITY"):
            if len(node.items) >= 2 and _key(node.items[0]) == "epsg":
                try:
                    return int(float(node.items[1]))
                except (TypeError, ValueError):
                    return None
        return None


class _Word(str):
    """A bare word of a WKT text (north, ellipsoidal), not a quoted text."""


_TOKENS = _re.compile(r'\s*(?:("(?:[^"]|"")*")|([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)|'
                      r'([A-Za-z_][A-Za-z0-9_]*)|([\[\](),]))')
_MAX_WKT = 1 << 20


def parse_wkt(text):
    """The node tree of a WKT text; ValueError where it is none."""
    if len(text) > _MAX_WKT:
        raise ValueError("the WKT text is longer than any CRS")
    tokens = []
    pos = 0
    while text[pos:].strip():
        match = _TOKENS.match(text, pos)
        if not match:
            raise ValueError(f"the WKT text cannot be read at character {pos + 1}")
        pos = match.end()
        quoted, number, word, punct = match.groups()
        if quoted is not None:
            tokens.append(("text", quoted[1:-1].replace('""', '"')))
        elif number is not None:
            tokens.append(("number", float(number)))
        elif word is not None:
            tokens.append(("word", word))
        else:
            tokens.append(("punct", punct))
    return _read(tokens)


def _read(tokens):
    """The nodes of WKT tokens: iterative, one stack of open nodes."""
    stack = []
    root = None
    i = 0
    expect_item = True
    while i < len(tokens):
        kind, value = tokens[i]
        i += 1
        if expect_item:
            if kind == "word" and i < len(tokens) and tokens[i] in (("punct", "["), ("punct", "(")):
                if len(stack) >= 32:
                    raise ValueError("the WKT text is nested too deeply")
                i += 1
                stack.append(_Node(value, []))
                continue
            if kind == "punct":
                raise ValueError(f"the WKT text has an unexpected {value!r}")
            if not stack:
                raise ValueError("a WKT text begins with a keyword such as PROJCRS")
            stack[-1].items.append(_Word(value) if kind == "word" else value)
            expect_item = False
            continue
        if (kind, value) == ("punct", ","):
            expect_item = True
            continue
        if kind == "punct" and value in "])" and stack:
            done = stack.pop()
            if stack:
                stack[-1].items.append(done)
                continue
            root = done
            if i < len(tokens):
                raise ValueError("the WKT text goes on after its CRS")
            break
        raise ValueError("the WKT text has a field without its comma")
    if stack or root is None:
        raise ValueError("the WKT text ends inside a bracket")
    return root


class _Description:
    """What a CRS is, as far as the forms go."""

    def __init__(self, name):
        self.name = name
        self.kind = ""          # "geocentric", "geographic", "projected", or what else it is
        self.datum = None       # "htrs07", "ggrs87" or None
        self.datum_name = ""
        self.problem = None     # why it is none of the forms, whatever its datum
        self.swapped = False    # its first two axes in the other order than the form's
        self.tm = None          # Transverse Mercator parameters of a projected CRS


_KINDS = {
    "PROJCRS": "projected", "PROJECTEDCRS": "projected", "PROJCS": "projected",
    "GEOGCRS": "geographic", "GEOGRAPHICCRS": "geographic", "GEOGCS": "geographic",
    "GEOCCS": "geocentric",
}
_OTHER_KINDS = {
    "COMPOUNDCRS": "a compound CRS (a horizontal and a vertical part)",
    "COMPD_CS": "a compound CRS (a horizontal and a vertical part)",
    "VERTCRS": "a vertical CRS", "VERT_CS": "a vertical CRS", "VERTICALCRS": "a vertical CRS",
    "ENGCRS": "an engineering CRS", "LOCAL_CS": "a local CRS",
}


def _unit_factor(node, *keywords):
    unit = node.child(*keywords) if node is not None else None
    return unit.number(1) if unit is not None else None


def _close(value, expected, tolerance):
    return value is not None and abs(value - expected) <= tolerance


def _describe(root):
    node = root
    if node.keyword == "BOUNDCRS":  # a CRS with a transformation to WGS 84 beside it
        source = node.child("SOURCECRS")
        inner = source.children(*_KINDS, "GEODCRS", "GEODETICCRS") if source else []
        if inner:
            node = inner[0]
    d = _Description(node.name())
    keyword = node.keyword
    if keyword in ("GEODCRS", "GEODETICCRS"):
        cs = node.child("CS")
        d.kind = "geocentric" if cs is not None and cs.items and _key(
            cs.items[0]) == "cartesian" else "geographic"
    elif keyword in _KINDS:
        d.kind = _KINDS[keyword]
    else:
        d.problem = _OTHER_KINDS.get(keyword, f"a CRS of the kind {keyword}")
        return d
    wkt1 = keyword in ("PROJCS", "GEOGCS", "GEOCCS")
    base = node.child("BASEGEOGCRS", "BASEGEODCRS", "GEOGCS") if d.kind == "projected" else node
    if base is None:
        d.problem = "a projected CRS without its geographic CRS"
        return d
    datum = base.child("DATUM", "GEODETICDATUM", "TRF", "ENSEMBLE")
    if datum is not None:
        d.datum_name = datum.name()
        d.datum = _DATUM_NAMES.get(_key(d.datum_name))
        if d.datum is None and (datum.epsg() == _GGRS87_DATUM_EPSG or base.epsg() == 4121):
            d.datum = "ggrs87"
        ellipsoid = datum.child("ELLIPSOID", "SPHEROID")
        if ellipsoid is None or not (_close(ellipsoid.number(1), _GRS80[0], 1e-3) and
                                     _close(ellipsoid.number(2), _GRS80[1], 1e-9)):
            d.problem = f"its ellipsoid is {ellipsoid.name() if ellipsoid else 'not given'}, " \
                        "not GRS 1980"
            return d
    primem = base.child("PRIMEM")
    if primem is not None and not _close(primem.number(1), 0.0, 1e-12):
        d.problem = f"its prime meridian is {primem.name()}, not Greenwich"
        return d

    # Axes and their units: degrees for latitude and longitude, metres for the rest.
    axes = node.children("AXIS")
    crs_unit = _unit_factor(node, "ANGLEUNIT", "LENGTHUNIT", "UNIT")
    directions = [_key(a.items[1]) if len(a.items) > 1 else "" for a in axes]
    units = [_unit_factor(a, "ANGLEUNIT", "LENGTHUNIT", "UNIT") or crs_unit for a in axes]
    if d.kind == "geocentric":
        if any(u is not None and not _close(u, 1.0, 1e-12) for u in units) or (
                not axes and crs_unit is not None and not _close(crs_unit, 1.0, 1e-12)):
            d.problem = "its X, Y, Z are not in metres"
        return d
    if d.kind == "geographic":
        if len(axes) not in (0, 2, 3) or any(
                u is not None and not _close(u, _RADIANS_PER_DEGREE, 1e-15) for u in units[:2]) or (
                not axes and crs_unit is not None
                and not _close(crs_unit, _RADIANS_PER_DEGREE, 1e-15)):
            d.problem = "its latitude and longitude are not in degrees"
        elif axes and sorted(directions[:2]) != ["east", "north"]:
            d.problem = "its axes are not north and east"
        # WKT1 without axes is longitude, latitude.
        d.swapped = directions[0] == "east" if axes else wkt1
        return d

    # Projected: metres east and north, and a Transverse Mercator.
    if any(u is not None and not _close(u, 1.0, 1e-12) for u in units[:2]) or (
            not axes and crs_unit is not None and not _close(crs_unit, 1.0, 1e-12)):
        d.problem = "its E, N are not in metres"
        return d
    if axes and sorted(directions[:2]) != ["east", "north"]:
        d.problem = "its axes are not east and north"
        return d
    d.swapped = bool(axes) and directions[0] == "north"
    conversion = node if wkt1 else node.child("CONVERSION", "DERIVINGCONVERSION")
    method = conversion.child("METHOD", "PROJECTION") if conversion is not None else None
    if method is None:
        d.problem = "a projected CRS without its projection"
        return d
    if method.epsg() != _TM_METHOD_EPSG and _key(method.name()) not in _TM_METHOD_NAMES:
        d.problem = f"its projection is {method.name()}, not Transverse Mercator"
        return d
    angle = (_unit_factor(base, "ANGLEUNIT", "UNIT") or _RADIANS_PER_DEGREE) / _RADIANS_PER_DEGREE
    length = crs_unit if wkt1 and crs_unit else 1.0
    tm = {"lat_0": 0.0, "lon_0": 0.0, "k_0": 1.0, "x_0": 0.0, "y_0": 0.0}
    for parameter in conversion.children("PARAMETER"):
        which = _TM_PARAMETERS.get(parameter.epsg()) or _TM_PARAMETERS.get(_key(parameter.name()))
        value = parameter.number(1)
        if which is None or value is None:
            continue
        factor = _unit_factor(parameter, "ANGLEUNIT", "LENGTHUNIT", "SCALEUNIT", "UNIT")
        if which in ("lat_0", "lon_0"):
            tm[which] = value * (factor / _RADIANS_PER_DEGREE if factor else angle)
        elif which in ("x_0", "y_0"):
            tm[which] = value * (factor or length)
        else:
            tm[which] = value * (factor or 1.0)
    d.tm = tm
    return d


def _tm_text(tm):
    return (f"central meridian {tm['lon_0']:g}°, scale factor {tm['k_0']:g}, false easting "
            f"{tm['x_0']:g} m, false northing {tm['y_0']:g} m")


@_functools.lru_cache(maxsize=None)
def _ours():
    """The description of every form in every region, from the WKTs the GIS layer writes."""
    return {(form, region): _describe(parse_wkt(_vortan.crs_of(form, region)[2]))
            for form in FORMS for region in REGIONS}


@_functools.lru_cache(maxsize=None)
def _epsg_codes():
    codes = {}
    for form in FORMS:
        for region in REGIONS:
            code = _vortan.crs_of(form, region)[0]
            if code:
                codes.setdefault(code, (form, []))[1].append(region)
    return {code: (form, tuple(regions)) for code, (form, regions) in codes.items()}


def _matches(d):
    """The (form, region) pairs whose CRS is what d describes."""
    found = []
    for (form, region), ours in _ours().items():
        if d.problem or d.kind != ours.kind or d.datum != ours.datum:
            continue
        if d.kind == "projected" and not all(
                _close(d.tm[k], ours.tm[k], _TOLERANCE[k]) for k in _TOLERANCE):
            continue
        found.append((form, region))
    return found


def _why_none(d):
    if d.problem:
        return d.problem
    if d.datum is None:
        return f"its datum is {d.datum_name or 'not given'}, neither HTRS07 nor GGRS87"
    if d.kind == "geocentric":
        return "it is GGRS87 X, Y, Z, which no conversion takes or gives"
    return (f"its Transverse Mercator ({_tm_text(d.tm)}) is neither TM07 nor TM87 of the "
            "mainland or Kastelorizo")


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


_EPSG = _re.compile(r"(?i)(?:urn:ogc:def:crs:)?epsg:(?:[0-9.]*:)?(\d+)")
_WKT_START = _re.compile(r"\s*[A-Za-z_][A-Za-z0-9_]*\s*[\[(]")


def _pyproj(what):
    try:
        import pyproj
    except ImportError:
        raise ValueError(f"{what}: give an EPSG code (\"EPSG:2100\"), a WKT text or one of the "
                         f"forms ({', '.join(FORMS)}); other descriptions of a CRS need pyproj "
                         "(Debian: python3-pyproj)") from None
    return pyproj


def _wkt_of_pyproj(crs, what):
    pyproj = _pyproj(what)
    try:
        return pyproj.CRS.from_user_input(crs).to_wkt()
    except pyproj.exceptions.CRSError as e:
        raise ValueError(f"{what} is no CRS that pyproj reads: {e}") from None


def identify(crs, region=None):
    """The form of a CRS and the regions in which it is that form (only region, when given);
    ValueError saying why where it is none."""
    what = repr(crs) if isinstance(crs, (str, int)) else (
        f"the CRS {getattr(crs, 'name', None) or type(crs).__name__}")
    if len(what) > 80:
        what = what[:77] + "..."
    code = wkt = None
    if isinstance(crs, str):
        text = crs.strip()
        if text in FORMS:
            return _in_region(Identified(text, REGIONS), region, what)
        match = _EPSG.fullmatch(text)
        if match:
            code = int(match.group(1))
        elif _WKT_START.match(text):
            wkt = text
        else:
            wkt = _wkt_of_pyproj(crs, what)
    elif isinstance(crs, tuple) and len(crs) == 2 and _key(crs[0]) == "epsg":
        code = int(crs[1])
    elif isinstance(crs, bool):
        raise TypeError(f"a CRS, not {crs!r}")
    elif isinstance(crs, _numbers.Integral):
        code = int(crs)
    elif callable(getattr(crs, "to_wkt", None)):  # pyproj.CRS, and CRSs of libraries like it
        wkt = crs.to_wkt()
        if not wkt:
            raise ValueError(f"{what} has no WKT form")
    else:
        wkt = _wkt_of_pyproj(crs, what)
    if code is not None:
        if code in _epsg_codes():
            form, regions = _epsg_codes()[code]
            return _in_region(Identified(form, regions, name=f"EPSG:{code}"), region, what)
        ours = " and ".join(f"EPSG:{c}" for c in sorted(_epsg_codes()))
        try:
            import pyproj
        except ImportError:
            raise ValueError(f"EPSG:{code} is none of the five forms (of the EPSG codes only "
                             f"{ours} are; HTRS07 has none)") from None
        try:
            wkt = pyproj.CRS.from_epsg(code).to_wkt()
        except pyproj.exceptions.CRSError:
            raise ValueError(f"EPSG:{code} is no CRS of the EPSG database (of the five forms "
                             f"{ours} have EPSG codes)") from None
    try:
        d = _describe(parse_wkt(wkt))
    except ValueError as e:
        raise ValueError(f"{what}: {e}") from None
    found = _matches(d)
    name = d.name or what
    if not found:
        raise ValueError(f"{name} is none of the five forms: {_why_none(d)}")
    form = found[0][0]
    return _in_region(Identified(form, [r for _, r in found], d.swapped, name), region, name)


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
