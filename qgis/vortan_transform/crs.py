"""The CRSs of the five forms in QGIS: which form a layer's CRS is, the CRS written on output,
and the HTRS07 CRSs that QGIS 3.22's EPSG database lacks, added once as user CRSs from the WKT
the library gives (engine/crs.cpp), so that converted layers show a named CRS.

The rules are those of vortan-transform convert (docs/formats.md): EPSG:2100 and EPSG:4121,
the HTRS07 CRSs of this system, and any CRS with the same datum (or an unnamed datum on GRS80)
and the same Transverse Mercator constants under another spelling.

QGIS 3.22 takes every custom CRS in degrees for a projected one (isGeographic() false, which
skews its measurements) unless its record in the user CRS database says otherwise: the record
of the HTRS07 geographic CRS is marked geographic once it is added.
"""

import math
import re
import sqlite3

from qgis.core import QgsApplication, QgsCoordinateReferenceSystem, QgsUnitTypes

from .library import FORMS, REGIONS

# The user CRSs: the forms that have no EPSG code, in each region where they differ.
_USER_FORMS = (("htrs07-xyz", "mainland"), ("htrs07-geographic", "mainland"),
               ("htrs07-tm07", "mainland"), ("htrs07-tm07", "kastelorizo"),
               ("ggrs87-tm87", "kastelorizo"))

_DATUM_NAME = re.compile(r'(?:DATUM|ENSEMBLE)\s*\[\s*"([^"]*)"')
_GRS80 = (6378137.0, 298.257222101)


def _squeezed(name):
    return "".join(c for c in name.lower() if c.isalnum())


def _datum(crs):
    """"ggrs87", "htrs07", "unnamed" or "other": the datum of a CRS, by its name."""
    match = _DATUM_NAME.search(crs.toWkt(QgsCoordinateReferenceSystem.WKT_PREFERRED))
    raw = match.group(1) if match else ""
    # ESRI names datums with a "D_" in front ("D_Unknown_based_on_GRS80_ellipsoid" in the .prj
    # that GDAL and QGIS write for a TM07 defined by its parameters): the name is what follows.
    name = _squeezed(raw[2:] if raw[:2] in ("D_", "d_") else raw)
    if any(n in name for n in ("greekgeodeticreferencesystem1987", "ggrs1987", "ggrs87")):
        return "ggrs87"
    if any(n in name for n in ("hellenicterrestrialreferencesystem2007", "htrs07", "htrs2007")):
        return "htrs07"
    if name in ("", "unknown", "dunknown", "unnamed") or name.startswith(
            ("unknownbasedongrs", "notspecifiedbasedongrs")):
        return "unnamed"
    return "other"


def _proj(crs):
    """The parameters of the CRS's PROJ string as a dict ('+k=0.9996' as {'k': '0.9996'})."""
    params = {}
    for part in crs.toProj().split():
        if part.startswith("+"):
            key, _, value = part[1:].partition("=")
            params[key] = value
    # PROJ writes a Transverse Mercator with UTM's constants as UTM (TM87 of Kastelorizo is
    # zone 35): the same constants spelt out.
    if params.get("proj") == "utm" and _number(params, "zone") is not None:
        params.update(proj="tmerc", lat_0="0", lon_0=str(6 * _number(params, "zone") - 183),
                      k="0.9996", x_0="500000", y_0="10000000" if "south" in params else "0")
    return params


def _number(params, *keys, default=None):
    for key in keys:
        if key in params:
            try:
                return float(params[key])
            except ValueError:
                return None
    return default


def _on_grs80(params):
    if params.get("ellps") == "GRS80":
        return True
    a, rf = _number(params, "a"), _number(params, "rf")
    return a is not None and rf is not None and abs(a - _GRS80[0]) < 1e-6 and abs(rf - _GRS80[1]) < 1e-8


def _kind(params):
    proj = params.get("proj", "")
    if proj == "geocent":
        return "geocentric"
    if proj in ("longlat", "latlong", "lonlat", "latlon"):
        return "geographic"
    return "projected"


def _same_projection(params, reference):
    """A Transverse Mercator in metres with the constants of the reference PROJ parameters."""
    if params.get("proj") != "tmerc" or params.get("units", "m") != "m":
        return False
    tolerances = (("lat_0", 1e-9), ("lon_0", 1e-9), ("k", 1e-12), ("x_0", 1e-6), ("y_0", 1e-6))
    for key, tolerance in tolerances:
        keys = (key, "k_0") if key == "k" else (key,)
        default = 1.0 if key == "k" else 0.0
        ours = _number(reference, *keys, default=default)
        theirs = _number(params, *keys, default=default)
        if theirs is None or not math.isclose(ours, theirs, rel_tol=0, abs_tol=tolerance):
            return False
    return True


def _kind_of_form(form):
    if form == "htrs07-xyz":
        return "geocentric"
    return "geographic" if form.endswith("geographic") else "projected"


class Crss:
    """The CRSs of the forms through the library's WKT; user CRSs added once."""

    def __init__(self, library):
        self._library = library
        self._user = {}     # (form, region) -> QgsCoordinateReferenceSystem
        self._params = {}   # (form, region) -> PROJ parameters of the form's CRS

    def definition(self, form, region):
        return self._library.crs(form, region)

    def _reference(self, form, region):
        key = (form, region)
        if key not in self._params:
            self._params[key] = _proj(QgsCoordinateReferenceSystem.fromWkt(
                self.definition(form, region)[2]))
        return self._params[key]

    def register(self):
        """Adds the HTRS07 and Kastelorizo CRSs as user CRSs where they are not yet, marks the
        geographic one geographic, and returns how many were added."""
        # The user database with its tables (a profile that QGIS has only just made has an
        # empty file; createDatabase makes and updates the tables).
        QgsApplication.createDatabase()
        database = QgsApplication.qgisUserDatabaseFilePath()
        registry = QgsApplication.coordinateReferenceSystemRegistry()
        preferred = QgsCoordinateReferenceSystem.WKT_PREFERRED
        known = registry.userCrsList()
        # The definitions as QGIS writes them back (it stores the WKT normalised).
        by_wkt = {d.crs.toWkt(preferred): d.id for d in known}
        names = {d.name for d in known}
        added = 0
        geographic_ids = []
        for form, region in _USER_FORMS:
            _, name, wkt = self.definition(form, region)
            crs = QgsCoordinateReferenceSystem.fromWkt(wkt)
            srs_id = by_wkt.get(crs.toWkt(preferred))
            if srs_id is None:
                label = name + (" (X, Y, Z)" if form == "htrs07-xyz" else "")
                if label in names:  # a CRS of the user's own under that name stays as it is
                    label += " (VORTAN Transform)"
                srs_id = registry.addUserCrs(crs, label, QgsCoordinateReferenceSystem.FormatWkt)
                if srs_id < 0:
                    continue
                added += 1
            if form == "htrs07-geographic":
                geographic_ids.append(srs_id)
            self._user[(form, region)] = srs_id
        if geographic_ids:
            self._mark_geographic(database, geographic_ids)
        QgsCoordinateReferenceSystem.invalidateCache()
        return added

    @staticmethod
    def _mark_geographic(database, ids):
        try:
            with sqlite3.connect(database) as db:
                db.executemany("update tbl_srs set is_geo = 1 where srs_id = ? and is_geo = 0",
                               [(i,) for i in ids])
        except sqlite3.Error:
            pass  # the CRS is then shown, as QGIS 3.22 would show it, as projected

    def output(self, form, region):
        """The CRS of a form for the output layer: EPSG's where the form has a code, else the
        user CRS, else the WKT."""
        epsg, _, wkt = self.definition(form, region)
        if epsg:
            return QgsCoordinateReferenceSystem(f"EPSG:{epsg}")
        if form == "htrs07-xyz" or form == "htrs07-geographic":
            region = "mainland"  # one CRS for both regions
        srs_id = self._user.get((form, region))
        if srs_id is not None:
            crs = QgsCoordinateReferenceSystem(f"USER:{srs_id}")
            if crs.isValid():
                return crs
        return QgsCoordinateReferenceSystem.fromWkt(wkt)

    def form_of(self, crs, region):
        """The form a CRS is in the region, or None."""
        if not defined(crs):
            return None
        datum = _datum(crs)
        params = _proj(crs)
        if datum == "other" or not _on_grs80(params):
            return None
        kind = _kind(params)
        if kind == "geocentric":
            return "htrs07-xyz" if datum == "htrs07" else None
        if kind == "geographic":
            if crs.mapUnits() != QgsUnitTypes.DistanceDegrees:
                return None
            return {"htrs07": "htrs07-geographic", "ggrs87": "ggrs87-geographic"}.get(datum)
        if _same_projection(params, self._reference("ggrs87-tm87", region)) and datum in (
                "ggrs87", "unnamed"):
            return "ggrs87-tm87"
        if _same_projection(params, self._reference("htrs07-tm07", region)) and datum in (
                "htrs07", "unnamed"):
            return "htrs07-tm07"
        return None

    def admits(self, crs, form, region):
        """Whether a CRS that is none of ours may hold coordinates of the form: the same kind
        and, for a projection, the form's constants."""
        params = _proj(crs)
        if _kind(params) != _kind_of_form(form):
            return False
        if _kind_of_form(form) == "geographic":
            return crs.mapUnits() == QgsUnitTypes.DistanceDegrees
        if _kind_of_form(form) == "projected":
            return _same_projection(params, self._reference(form, region))
        return True


def defined(crs):
    """Whether a layer has a CRS: a GeoPackage says it has none with its two undefined ones."""
    if crs is None or not crs.isValid():
        return False
    return crs.authid() != "" or crs.description().lower() not in (
        "undefined geographic srs", "undefined cartesian srs")


def display_name(crs):
    """How a message names a CRS: "GGRS87 / Greek Grid (EPSG:2100)"."""
    name = crs.description() or "unnamed CRS"
    return f"{name} ({crs.authid()})" if crs.authid() else name


def form_display_name(crss, form, region):
    """How a message names the CRS of a form: "ggrs87-tm87 (GGRS87 / Greek Grid, EPSG:2100)"."""
    epsg, name, _ = crss.definition(form, region)
    return f"{form} ({name}, EPSG:{epsg})" if epsg else f"{form} ({name})"


__all__ = ["Crss", "display_name", "form_display_name", "FORMS", "REGIONS"]
