"""Convert a point: one point of any form into every form, with the values the single-point
windows show beside the coordinates (the TM07 scale factor, the grid corrections), written
with the windows' number patterns."""

from qgis.core import (QgsProcessingException, QgsProcessingOutputNumber,
                       QgsProcessingOutputString, QgsProcessingParameterEnum,
                       QgsProcessingParameterNumber)

from . import library as vortan
from .common import VortanAlgorithm, across_datum
from .texts import row, tr

ANGLE_CHOICES = ("ddmmss", "degrees")

# The numeric outputs: name, form, index of the value in the form.
VALUES = (
    ("HTRS07_X", "htrs07-xyz", 0), ("HTRS07_Y", "htrs07-xyz", 1), ("HTRS07_Z", "htrs07-xyz", 2),
    ("HTRS07_LATITUDE", "htrs07-geographic", 0), ("HTRS07_LONGITUDE", "htrs07-geographic", 1),
    ("HTRS07_H", "htrs07-geographic", 2),
    ("TM07_E", "htrs07-tm07", 0), ("TM07_N", "htrs07-tm07", 1),
    ("GGRS87_LATITUDE", "ggrs87-geographic", 0), ("GGRS87_LONGITUDE", "ggrs87-geographic", 1),
    ("GGRS87_H", "ggrs87-geographic", 2),
    ("TM87_E", "ggrs87-tm87", 0), ("TM87_N", "ggrs87-tm87", 1),
)


class ConvertPoint(VortanAlgorithm):

    def name(self):
        return "convertpoint"

    def helpText(self):
        return tr("help_point")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterEnum(
            "SOURCE_FORM", tr("SOURCE_FORM_POINT"), options=list(vortan.FORMS),
            defaultValue="htrs07-xyz", usesStaticStrings=True))
        defaults = (4382064.771, 2023782.319, 4155326.131)  # the window's default HTRS07 point
        for k in range(3):
            self.addParameter(QgsProcessingParameterNumber(
                f"COORDINATE_{k + 1}", tr(f"COORDINATE_{k + 1}"),
                type=QgsProcessingParameterNumber.Double, defaultValue=defaults[k]))
        self.addParameter(QgsProcessingParameterEnum(
            "ANGLES", tr("ANGLES"), options=list(ANGLE_CHOICES), defaultValue="ddmmss",
            usesStaticStrings=True))
        self.addRegionGridsAndHeights()
        for name, _, _ in VALUES:
            self.addOutput(QgsProcessingOutputNumber(name, name))
        for name in ("TM07_SCALE", "DE", "DN"):
            self.addOutput(QgsProcessingOutputNumber(name, name))
        self.addOutput(QgsProcessingOutputString("REPORT", tr("REPORT")))

    def processAlgorithm(self, parameters, context, feedback):
        lib = self.library()
        form = self.enumString(parameters, "SOURCE_FORM", context) or "htrs07-xyz"
        region = self.enumString(parameters, "REGION", context) or "mainland"
        keep = self.parameterAsBoolean(parameters, "KEEP_HEIGHTS", context)
        packed = self.enumString(parameters, "ANGLES", context) != "degrees"
        values = [self.parameterAsDouble(parameters, f"COORDINATE_{k + 1}", context)
                  for k in range(3)]
        # A packed angle below 100 is less than a minute of arc: decimal degrees typed as
        # DDMMSS.SSSSS, as the windows warn too.
        if packed and form.endswith("geographic"):
            for k, name in ((0, "φ"), (1, "λ")):
                if values[k] != 0 and abs(values[k]) < 100:
                    raise QgsProcessingException(tr("degrees_as_packed", name=name,
                                                    value=values[k]))
        # Every form is asked for: the grids are needed on the mainland.
        needs = any(across_datum(form, other) for other in vortan.FORMS)
        with self.openContext(parameters, context, region, needs) as engine:
            try:
                point = engine.convert_point(form, values, keep_heights=keep, packed_angles=packed)
            except vortan.VortanError as e:
                raise QgsProcessingException(str(e)) from None
        report = self.report(lib, point)
        feedback.pushInfo(report)
        results = {name: point[f][i] for name, f, i in VALUES}
        results.update(TM07_SCALE=point["tm07_scale"], DE=point["de_cm"], DN=point["dn_cm"],
                       REPORT=report)
        return results

    @staticmethod
    def report(lib, point):
        """The point in every form as the single-point windows show it: metres with ".000",
        degrees, minutes and seconds ("00", "00", ".00000"), the scale factor with "0.000000",
        the corrections in centimetres with "000.0"."""
        metres = lambda v: lib.format_number(v, ".000")  # noqa: E731

        def dms(angle):
            d, m, s, _ = angle
            return (f"{lib.format_number(d, '00')}° {lib.format_number(m, '00')}′ "
                    f"{lib.format_number(s, '.00000')}″")

        lines = [
            (row("htrs07-xyz"), "  ".join(metres(v) for v in point["htrs07-xyz"])),
            (row("htrs07-geographic"), "  ".join([dms(point["htrs07_latitude"]),
                                                  dms(point["htrs07_longitude"]),
                                                  metres(point["htrs07-geographic"][2])])),
            (row("htrs07-tm07"), "  ".join([metres(point["htrs07-tm07"][0]),
                                            metres(point["htrs07-tm07"][1]),
                                            lib.format_number(point["tm07_scale"], "0.000000")])),
            (row("ggrs87-geographic"), "  ".join([dms(point["ggrs87_latitude"]),
                                                  dms(point["ggrs87_longitude"]),
                                                  metres(point["ggrs87-geographic"][2])])),
            (row("ggrs87-tm87"), "  ".join(metres(v) for v in point["ggrs87-tm87"])),
            (row("corrections"), "  ".join(lib.format_number(v, "000.0")
                                           for v in (point["de_cm"], point["dn_cm"]))),
        ]
        width = max(len(label) for label, _ in lines)
        return "\n".join(f"{label.ljust(width)}  {text}" for label, text in lines)
