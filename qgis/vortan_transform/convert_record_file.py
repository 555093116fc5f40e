"""Convert a record file: the four jobs of the data-file programs, and convert between two
forms, on the system's record files, through the library's record calls: the same files as
vortan-transform writes."""

import os

from qgis.core import (QgsProcessingException, QgsProcessingOutputNumber,
                       QgsProcessingParameterEnum, QgsProcessingParameterFile,
                       QgsProcessingParameterFileDestination)

from . import library as vortan
from .common import VortanAlgorithm, across_datum
from .texts import tr

JOB_CHOICES = vortan.JOBS + ("convert",)
# The jobs that use the transformation (and so, on the mainland, the grids).
TRANSFORM_JOBS = ("senh-to-htrs07", "sxyz-to-ggrs87")
OUTPUTS = ("OUTPUT", "OUTPUT_2", "OUTPUT_3", "OUTPUT_4")
FILTER = "Text files (*.txt);;All files (*)"


class ConvertRecordFile(VortanAlgorithm):

    def name(self):
        return "convertrecordfile"

    def helpText(self):
        return tr("help_file")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterEnum(
            "JOB", tr("JOB"), options=list(JOB_CHOICES), defaultValue="sxyz-to-ggrs87",
            usesStaticStrings=True))
        self.addParameter(QgsProcessingParameterFile(
            "INPUT", tr("INPUT_FILE"), behavior=QgsProcessingParameterFile.File,
            fileFilter=FILTER))
        self.addParameter(QgsProcessingParameterEnum(
            "SOURCE_FORM", tr("SOURCE_FORM_FILE"), options=list(vortan.FORMS), optional=True,
            usesStaticStrings=True))
        self.addParameter(QgsProcessingParameterEnum(
            "TARGET_FORM", tr("TARGET_FORM_FILE"), options=list(vortan.FORMS), optional=True,
            usesStaticStrings=True))
        self.addRegionGridsAndHeights()
        self.addParameter(QgsProcessingParameterFileDestination(
            "OUTPUT", tr("OUTPUT_FILE"), fileFilter=FILTER))
        for n, name in enumerate(OUTPUTS[1:], start=2):
            self.addParameter(QgsProcessingParameterFileDestination(
                name, tr("OUTPUT_FILE_N", n=n), fileFilter=FILTER, optional=True,
                createByDefault=False))
        self.addOutput(QgsProcessingOutputNumber("POINTS", tr("POINTS")))

    def processAlgorithm(self, parameters, context, feedback):
        lib = self.library()
        job = self.enumString(parameters, "JOB", context) or "sxyz-to-ggrs87"
        region = self.enumString(parameters, "REGION", context) or "mainland"
        keep = self.parameterAsBoolean(parameters, "KEEP_HEIGHTS", context)
        source = self.enumString(parameters, "SOURCE_FORM", context)
        target = self.enumString(parameters, "TARGET_FORM", context)
        input_path = self.parameterAsFile(parameters, "INPUT", context)
        count = 1 if job == "convert" else lib.job_output_count(job)
        given = [self.parameterAsFileOutput(parameters, name, context) for name in OUTPUTS]
        first = given[0]
        # An output not given: the job's default name beside the first.
        outputs = [first] + [
            given[k] or os.path.join(os.path.dirname(first), lib.job_output_name(job, k, region))
            for k in range(1, count)]
        if job == "convert":
            if not source or not target:
                raise QgsProcessingException(tr("convert_needs_forms"))
            needs = across_datum(source, target)
        else:
            needs = job in TRANSFORM_JOBS

        def progress(done, read, total):
            if total:
                feedback.setProgress(100.0 * read / total)
            return feedback.isCanceled()

        with self.openContext(parameters, context, region, needs) as engine:
            try:
                if job == "convert":
                    points = engine.convert_file(source, target, input_path, first, keep, progress)
                else:
                    points = engine.run_job(job, input_path, outputs, progress)
            except vortan.VortanError as e:
                if e.code == vortan.CANCELLED:
                    feedback.pushInfo(str(e))
                    points = getattr(e, "points_written", 0)
                else:
                    raise QgsProcessingException(str(e)) from None
        feedback.pushInfo(tr("done_file", points=points, files=", ".join(outputs)))
        results = {name: path for name, path in zip(OUTPUTS, outputs)}
        results["POINTS"] = points
        return results
