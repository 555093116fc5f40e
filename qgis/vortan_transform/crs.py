"""The CRSs of the five forms in QGIS: which form a layer's CRS is, the CRS written on output,
and the HTRS07 CRSs that QGIS 3.22's EPSG database lacks, added once as user CRSs from the WKT
the library gives (engine/crs.cpp), so that converted layers show a named CRS.

Which form a layer's CRS is, and which forms a CRS of another datum can hold, the library
decides (vortan_form_of_crs, engine/crs_recognition.h) from the CRS's WKT: the same recognizer,
with the same tolerance, as vortan-transform convert's (docs/formats.md), the Python package's
and the C library's. EPSG:2100 and EPSG:4121, the HTRS07 CRSs of this system, and any CRS with
the same datum (or an unnamed datum on GRS80) and the same Transverse Mercator constants under
another spelling.

QGIS 3.22 takes every custom CRS in degrees for a projected one (isGeographic() false, which
skews its measurements) unless its record in the user CRS database says otherwise: the record
of the HTRS07 geographic CRS is marked geographic once it is added.
"""

import sqlite3

from qgis.core import QgsApplication, QgsCoordinateReferenceSystem

from .library import FORMS, REGIONS

# The user CRSs: the forms that have no EPSG code, in each region where they differ.
_USER_FORMS = (("htrs07-xyz", "mainland"), ("htrs07-geographic", "mainland"),
               ("htrs07-tm07", "mainland"), ("htrs07-tm07", "kastelorizo"),
               ("ggrs87-tm87", "kastelorizo"))


class Crss:
    """The CRSs of the forms through the library's WKT; user CRSs added once."""

    def __init__(self, library):
        self._library = library
        self._user = {}     # (form, region) -> QgsCoordinateReferenceSystem

    def definition(self, form, region):
        return self._library.crs(form, region)

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

    def recognized(self, crs, region=None):
        """What the library says of a layer's CRS (a CrsForm), from its WKT; None for a layer
        without a CRS."""
        if not defined(crs):
            return None
        text = crs.toWkt(QgsCoordinateReferenceSystem.WKT_PREFERRED) or crs.toProj()
        return self._library.form_of_crs(text, region)

    def form_of(self, crs, region):
        """The form a CRS is in the region, or None."""
        found = self.recognized(crs, region)
        return found.form if found is not None else None

    def why_not(self, crs, region):
        """Why a CRS is none of the forms in the region: (English, Greek)."""
        found = self.recognized(crs, region)
        return (found.reason, found.reason_el) if found is not None else ("", "")

    def admits(self, crs, form, region):
        """Whether a CRS that is none of ours may hold coordinates of the form: the same kind,
        units and, for a projection, the form's constants."""
        found = self.recognized(crs, region)
        return found is not None and (form, region) in found.fits


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
