"""The Processing provider "VORTAN Transform" (id vortan): Convert layer, Convert a point,
Convert a record file."""

from qgis.core import Qgis, QgsMessageLog, QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .common import ICON, Engine
from .convert_layer import ConvertLayer
from .convert_point import ConvertPoint
from .convert_record_file import ConvertRecordFile
from .texts import tr

LOG_TAG = "VORTAN Transform"


class VortanProvider(QgsProcessingProvider):

    def id(self):
        return "vortan"

    def name(self):
        return tr("provider")

    def longName(self):
        if Engine.library is not None:
            return f"{tr('provider')} {Engine.library.version}"
        return tr("provider")

    def icon(self):
        return QIcon(ICON)

    def load(self):
        """Loads the library and adds the HTRS07 CRSs as user CRSs once; says so in the log
        when the library for this system is missing (the algorithms then say it too)."""
        if Engine.load() is None:
            QgsMessageLog.logMessage(tr("library_missing", reason=Engine.missing), LOG_TAG,
                                     Qgis.Critical)
        else:
            try:
                Engine.crss.register()
            except Exception as e:  # the layers then show an unnamed CRS, nothing worse
                QgsMessageLog.logMessage(f"User CRSs not added: {e}", LOG_TAG, Qgis.Warning)
        self.refreshAlgorithms()
        return True

    def loadAlgorithms(self):
        for algorithm in (ConvertLayer(), ConvertPoint(), ConvertRecordFile()):
            self.addAlgorithm(algorithm)
