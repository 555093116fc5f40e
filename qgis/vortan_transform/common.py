"""What the three algorithms share: the library and its CRSs, the parameters of region, grids
and heights, and the context made from them."""

import os

from qgis.core import (QgsProcessingAlgorithm, QgsProcessingException,
                       QgsProcessingParameterBoolean, QgsProcessingParameterEnum,
                       QgsProcessingParameterFile, QgsSettings)
from qgis.PyQt.QtGui import QIcon

from . import library as vortan
from .crs import Crss
from .texts import tr

ICON = os.path.join(os.path.dirname(__file__), "icon.svg")
SETTINGS_PREFIX = "vortan_transform/"
MAINLAND = "mainland"


class Engine:
    """The library, once loaded, with the CRSs of the forms; or why it could not be loaded."""

    library = None
    crss = None
    missing = ""

    @classmethod
    def load(cls):
        if cls.library is None and not cls.missing:
            try:
                cls.library = vortan.load()
                cls.crss = Crss(cls.library)
            except vortan.LibraryMissing as e:
                cls.missing = str(e)
        return cls.library


def remembered(key):
    return QgsSettings().value(SETTINGS_PREFIX + key, "") or ""


def remember(key, value):
    QgsSettings().setValue(SETTINGS_PREFIX + key, value)


class VortanAlgorithm(QgsProcessingAlgorithm):
    """An algorithm of the provider, with the parameters every one of them has."""

    def createInstance(self):
        return type(self)()

    def icon(self):
        return QIcon(ICON)

    def group(self):
        return tr("group")

    def groupId(self):
        return "htrs07ggrs87"

    def displayName(self):
        return tr(self.name())

    def helpText(self):
        return ""

    def shortHelpString(self):
        text = self.helpText()
        if Engine.load() is None:
            text = "<b>" + tr("library_missing", reason=Engine.missing) + "</b><br><br>" + text
        return text

    def canExecute(self):
        if Engine.load() is None:
            return False, tr("library_missing", reason=Engine.missing)
        return True, ""

    def library(self):
        if Engine.load() is None:
            raise QgsProcessingException(tr("library_missing", reason=Engine.missing))
        return Engine.library

    # Parameters shared by the algorithms.
    def addRegionGridsAndHeights(self, heights=True):
        self.addParameter(QgsProcessingParameterEnum(
            "REGION", tr("REGION"), options=list(vortan.REGIONS), defaultValue=MAINLAND,
            usesStaticStrings=True))
        for key in ("DN_GRID", "DE_GRID"):
            default = remembered(key.lower()) or None
            self.addParameter(QgsProcessingParameterFile(
                key, tr(key), behavior=QgsProcessingParameterFile.File,
                fileFilter="Correction grids (*.grd);;All files (*)", defaultValue=default,
                optional=True))
        if heights:
            self.addParameter(QgsProcessingParameterBoolean("KEEP_HEIGHTS", tr("KEEP_HEIGHTS"),
                                                            defaultValue=False))

    def enumString(self, parameters, name, context):
        """The name chosen in an enum of names, or "" where none is given."""
        return self.parameterAsEnumString(parameters, name, context) or ""

    def openContext(self, parameters, context, region, needs_grids, threads=0):
        """The library's context for the region, computing on threads (0: every core); with
        needs_grids on the mainland, the grids of the parameters (or those remembered) loaded,
        and remembered for next time."""
        lib = self.library()
        engine_context = lib.context(region, threads=threads)
        if not needs_grids or region != MAINLAND:
            return engine_context
        paths = {}
        for key in ("DN_GRID", "DE_GRID"):
            paths[key] = self.parameterAsFile(parameters, key, context) or remembered(key.lower())
        if not paths["DN_GRID"] or not paths["DE_GRID"]:
            engine_context.close()
            raise QgsProcessingException(tr("grids_needed"))
        try:
            engine_context.load_grids(paths["DN_GRID"], paths["DE_GRID"])
        except vortan.VortanError as e:
            engine_context.close()
            raise QgsProcessingException(str(e)) from None
        for key, path in paths.items():
            remember(key.lower(), os.path.abspath(path))
        return engine_context


def across_datum(source, target):
    return source.startswith("htrs07") != target.startswith("htrs07")
