"""Convert layer: every vertex of a vector layer through the library's batch call, chunk by
chunk; the output keeps the attributes, the feature order and the geometry type, and carries
the target form's CRS."""

import concurrent.futures
import os

import numpy as np
from qgis.PyQt import sip
from qgis.core import (QgsFeatureRequest, QgsFeatureSink, QgsGeometry, QgsProcessing,
                       QgsProcessingException, QgsProcessingFeatureSource,
                       QgsProcessingOutputNumber, QgsProcessingParameterEnum,
                       QgsProcessingParameterFeatureSink, QgsProcessingParameterFeatureSource,
                       QgsWkbTypes)

from . import library as vortan
from .common import Engine, VortanAlgorithm, across_datum
from .crs import defined, display_name, form_display_name
from .texts import greek, tr
from .wkb import Vertices, WkbError

# Features of one batch call: enough that the library's threads have work, few enough that a
# chunk's geometries stay a few megabytes. The next chunk is read while one converts.
CHUNK_FEATURES = 4096
CHUNK_BYTES = 8 << 20

OUTSIDE_CHOICES = ("stop", "skip")


class ConvertLayer(VortanAlgorithm):

    def name(self):
        return "convertlayer"

    def helpText(self):
        return tr("help_layer")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterFeatureSource(
            "INPUT", tr("INPUT_LAYER"), [QgsProcessing.TypeVectorAnyGeometry]))
        self.addParameter(QgsProcessingParameterEnum(
            "SOURCE_FORM", tr("SOURCE_FORM"), options=list(vortan.FORMS), optional=True,
            usesStaticStrings=True))
        self.addParameter(QgsProcessingParameterEnum(
            "TARGET_FORM", tr("TARGET_FORM"), options=list(vortan.FORMS),
            defaultValue="ggrs87-tm87", usesStaticStrings=True))
        self.addRegionGridsAndHeights()
        self.addParameter(QgsProcessingParameterEnum(
            "OUTSIDE", tr("OUTSIDE"), options=list(OUTSIDE_CHOICES), defaultValue="stop",
            usesStaticStrings=True))
        self.addParameter(QgsProcessingParameterFeatureSink(
            "OUTPUT", tr("OUTPUT_LAYER"), QgsProcessing.TypeVectorAnyGeometry))
        self.addParameter(QgsProcessingParameterFeatureSink(
            "SKIPPED", tr("SKIPPED"), QgsProcessing.TypeVectorAnyGeometry, optional=True,
            createByDefault=False))
        self.addOutput(QgsProcessingOutputNumber("FEATURES", tr("FEATURES")))
        self.addOutput(QgsProcessingOutputNumber("SKIPPED_COUNT", tr("SKIPPED_COUNT")))

    def sourceForm(self, source, given, region, feedback):
        """The form of the layer: from its CRS when that is one of ours (a given form that
        contradicts it is refused), else the given one where the CRS can hold it."""
        crss = Engine.crss
        layer = source.sourceName()
        crs = source.sourceCrs()
        found = crss.form_of(crs, region)
        if given:
            if found and found != given:
                raise QgsProcessingException(tr(
                    "contradicting_crs", layer=layer, crs=display_name(crs),
                    found=form_display_name(crss, found, region),
                    given=form_display_name(crss, given, region)))
            if not found and defined(crs):
                if not crss.admits(crs, given, region):
                    raise QgsProcessingException(tr(
                        "crs_cannot_hold", layer=layer, crs=display_name(crs),
                        given=form_display_name(crss, given, region)))
                feedback.pushInfo(tr("form_given", layer=layer, crs=display_name(crs),
                                     form=form_display_name(crss, given, region)))
            return given
        if found:
            feedback.pushInfo(tr("form_from_crs", layer=layer, form=found, crs=display_name(crs)))
            return found
        forms = ", ".join(vortan.FORMS)
        if defined(crs):
            where = "" if region == "mainland" else f" ({region})"
            why, why_el = crss.why_not(crs, region)
            raise QgsProcessingException(tr("crs_unknown", layer=layer, crs=display_name(crs),
                                            region=where, forms=forms,
                                            why=why_el if greek() else why))
        raise QgsProcessingException(tr("crs_none", layer=layer, forms=forms))

    def processAlgorithm(self, parameters, context, feedback):
        self.library()
        source = self.parameterAsSource(parameters, "INPUT", context)
        if source is None:
            raise QgsProcessingException(self.invalidSourceError(parameters, "INPUT"))
        region = self.enumString(parameters, "REGION", context) or "mainland"
        target = self.enumString(parameters, "TARGET_FORM", context) or "ggrs87-tm87"
        given = self.enumString(parameters, "SOURCE_FORM", context)
        keep = self.parameterAsBoolean(parameters, "KEEP_HEIGHTS", context)
        skip = self.enumString(parameters, "OUTSIDE", context) == "skip"
        form = self.sourceForm(source, given, region, feedback)

        out_type = source.wkbType()
        if target == "htrs07-xyz":
            out_type = QgsWkbTypes.addZ(out_type)
        sink, sink_id = self.parameterAsSink(parameters, "OUTPUT", context, source.fields(),
                                             out_type, Engine.crss.output(target, region))
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, "OUTPUT"))
        skipped_sink, skipped_id = (None, None)
        if skip:
            skipped_sink, skipped_id = self.parameterAsSink(
                parameters, "SKIPPED", context, source.fields(), source.wkbType(),
                source.sourceCrs())

        run = _Run(source.sourceName(), form, target, region, keep, skip, sink, skipped_sink,
                   feedback)
        # The features are read and written on this thread while the library computes: it
        # gets the other cores.
        threads = max(1, (os.cpu_count() or 1) - 1)
        try:
            with self.openContext(parameters, context, region, across_datum(form, target),
                                  threads) as engine:
                run.engine = engine
                run.go(source)
        finally:
            # Whatever happened, the outputs are closed before anything is said: what the
            # message counts is then what the file holds, committed.
            close_sink(sink)
            close_sink(skipped_sink)

        if run.skipped:
            fids = ", ".join(str(f) for f in run.skipped[:20]) + (", ..." if len(run.skipped) > 20 else "")
            feedback.pushWarning(tr("skipped", n=len(run.skipped), fids=fids))
        if run.cancelled:
            feedback.pushInfo(tr("cancelled", features=run.written))
        else:
            feedback.pushInfo(tr("done_layer", features=run.written, points=run.vertices, form=target))
        results = {"OUTPUT": sink_id, "FEATURES": run.written, "SKIPPED_COUNT": len(run.skipped)}
        if skipped_id:
            results["SKIPPED"] = skipped_id
        return results


def close_sink(sink):
    """Closes an output now: its features are flushed and a GeoPackage's transaction is
    committed, which otherwise happens only when Python frees the sink. After a stop that is
    when the exception and its frames are let go, and till then the file holds no layer and an
    unfinished -journal (QGIS keeps the exception while it shows the message)."""
    if sink is None or sip.isdeleted(sink):
        return
    if sip.ispyowned(sink):
        sip.delete(sink)
    else:
        sink.flushBuffer()


class _Run:
    """One conversion of a layer: reads chunks of features, converts each chunk's vertices in
    one batch call (on a thread of its own, while the next chunk is read), writes them."""

    def __init__(self, layer, form, target, region, keep, skip, sink, skipped_sink, feedback):
        self.layer = layer
        self.form = form
        self.target = target
        self.region = region
        self.keep = keep
        self.skip = skip
        self.sink = sink
        self.skipped_sink = skipped_sink
        self.feedback = feedback
        self.make3d = target == "htrs07-xyz"
        self.engine = None
        self.written = 0
        self.vertices = 0
        self.skipped = []
        self.cancelled = False

    def go(self, source):
        total = source.featureCount()
        # As QGIS's own Reproject layer: every vertex is converted, whether or not the geometry
        # is valid (a check that failed would throw through the iteration).
        features = source.getFeatures(QgsFeatureRequest(),
                                      QgsProcessingFeatureSource.FlagSkipGeometryValidityChecks)
        done = 0
        with concurrent.futures.ThreadPoolExecutor(max_workers=1) as pool:
            pending = None
            while True:
                chunk = self.read(features)
                converting = pool.submit(self.convert, chunk) if chunk else None
                if pending is not None:
                    done += self.write(*pending.result())
                    self.progress(done, total)
                pending = converting
                if pending is None:
                    break
                if self.feedback.isCanceled():
                    self.cancelled = True
                    break

    def progress(self, done, total):
        if total > 0:
            self.feedback.setProgress(100.0 * done / total)

    def read(self, features):
        """The next (feature, WKB or None) of the iterator, CHUNK_FEATURES or CHUNK_BYTES at
        most; none at the end."""
        chunk, size = [], 0
        add = chunk.append
        make3d = self.make3d
        for feature in features:
            geometry = feature.geometry()
            if make3d and not QgsWkbTypes.hasZ(geometry.wkbType()) and not geometry.isNull():
                geometry.get().addZValue(0.0)
            wkb = geometry.asWkb().data() or None
            add((feature, wkb))
            if wkb is not None:
                size += len(wkb)
            if len(chunk) >= CHUNK_FEATURES or size >= CHUNK_BYTES:
                break
        return chunk

    def where(self, feature, vertices, i, v, a, b):
        text = tr("where", layer=self.layer, fid=feature.id())
        if vertices.first[i + 1] - vertices.first[i] > 1:
            text += tr("vertex", n=int(v - vertices.first[i] + 1))
        if self.form.endswith("geographic"):
            return text + f" (λ {b[v]:.9f}°, φ {a[v]:.9f}°)"
        names = ("X", "Y") if self.form == "htrs07-xyz" else ("E", "N")
        return text + f" ({names[0]} {a[v]:.3f}, {names[1]} {b[v]:.3f})"

    def convert(self, chunk):
        """The chunk's vertices converted: (chunk, vertices, the features left out, and what
        stops the conversion or None). Runs on the worker thread, so it raises nothing: the
        calling thread raises what stops."""
        try:
            return self._convert(chunk)
        except Exception as e:  # noqa: BLE001 - handed to the calling thread
            return chunk, None, set(), str(e)

    def _convert(self, chunk):
        try:
            vertices = Vertices([wkb for _, wkb in chunk])
        except WkbError as e:
            # The feature at fault, found by reading the geometries one by one.
            for feature, wkb in chunk:
                try:
                    Vertices([wkb])
                except WkbError as one:
                    return chunk, None, set(), tr("bad_geometry", layer=self.layer,
                                                  fid=feature.id(), reason=str(one))
            return chunk, None, set(), str(e)
        left_out = set()
        if len(vertices) == 0:
            return chunk, vertices, left_out, None
        x, y, z, has_z = vertices.xyz()
        heights = bool(has_z.any())
        if self.form == "htrs07-xyz" and not has_z.all():
            i = int(np.searchsorted(vertices.first, np.flatnonzero(~has_z)[0], side="right") - 1)
            return chunk, None, set(), tr("xyz_needs_3d", layer=self.layer, fid=chunk[i][0].id())
        geographic_in = self.form.endswith("geographic")
        a, b = (y, x) if geographic_in else (x, y)
        out_a, out_b, out_c, status, code, _ = self.engine.convert(
            self.form, self.target, a, b, z if heights else None, self.keep, heights)
        bad = np.flatnonzero(status != vortan.POINT_DONE)
        if bad.size:
            features = np.searchsorted(vertices.first, bad, side="right") - 1
            for v, i in zip(bad, features):
                feature = chunk[i][0]
                where = lambda: self.where(feature, vertices, i, v, a, b)  # noqa: E731
                if status[v] == vortan.POINT_OUTSIDE_GRID:
                    if not self.skip:
                        return chunk, None, set(), tr("outside_stop", where=where())
                    left_out.add(int(i))
                elif status[v] == vortan.POINT_NO_VALUE:
                    return chunk, None, set(), tr("no_value", where=where())
                elif status[v] == vortan.POINT_OUT_OF_RANGE:
                    return chunk, None, set(), tr(
                        "out_of_range", where=where(),
                        form=form_display_name(Engine.crss, self.form, self.region))
                else:
                    return chunk, None, set(), tr(
                        "fault", where=where(),
                        form=form_display_name(Engine.crss, self.form, self.region))
        geographic_out = self.target.endswith("geographic")
        new_x, new_y = (out_b, out_a) if geographic_out else (out_a, out_b)
        vertices.set_xyz(new_x, new_y, out_c if heights else None)
        return chunk, vertices, left_out, None

    def write(self, chunk, vertices, left_out, stop):
        if stop is not None:
            # The output holds what was written before: it is incomplete, and says so.
            raise QgsProcessingException(stop + " " + tr("incomplete", n=self.written))
        buffer = memoryview(vertices.buffer)
        bounds = vertices.bounds.tolist()
        features = []
        add = features.append
        for i, (feature, wkb) in enumerate(chunk):
            if left_out and i in left_out:
                self.skipped.append(feature.id())
                if self.skipped_sink is not None:
                    self.skipped_sink.addFeature(feature, QgsFeatureSink.FastInsert)
                continue
            if wkb is not None:
                geometry = QgsGeometry()
                geometry.fromWkb(bytes(buffer[bounds[i]:bounds[i + 1]]))
                feature.setGeometry(geometry)
            add(feature)
        buffer.release()
        if not self.sink.addFeatures(features, QgsFeatureSink.FastInsert):
            raise QgsProcessingException(self.sink.lastError() or "the output cannot be written")
        self.written += len(features)
        self.vertices += len(vertices)
        return len(chunk)
