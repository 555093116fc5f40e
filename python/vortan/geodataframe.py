"""GeoPandas: every vertex of a GeoDataFrame's geometry column through the engine's batch call.

The geometries are taken apart into their coordinate sequences (points, line strings, rings of
polygons, the members of multi-geometries and collections), all vertices of the frame are
converted in one call, and the geometries are built again of the same types and parts. This
works with shapely 1.8 (Debian 12) and shapely 2."""

import numpy as _np

from . import OutsideGridError, NumericFaultError, OutOfRangeError, Transformer, _boolean
from . import crs as _crs


def form_of_crs(crs, region=None):
    """The (form, region) of a CRS when it is one of ours, else None. A geographic CRS or X, Y,
    Z is the same in both regions: the region given, or the mainland."""
    try:
        found = _crs.identify(crs, region)
    except ValueError:
        return None
    return found.form, ("mainland" if "mainland" in found.regions else found.regions[0])


# Taking geometries apart into coordinate arrays and building them again.
def _parts(geom, out):
    kind = geom.geom_type
    if geom.is_empty:
        return
    if kind in ("Point", "LineString", "LinearRing"):
        out.append(_np.asarray(geom.coords, dtype=_np.float64).reshape(-1, 3 if geom.has_z else 2))
    elif kind == "Polygon":
        _parts(geom.exterior, out)
        for ring in geom.interiors:
            _parts(ring, out)
    elif kind.startswith("Multi") or kind == "GeometryCollection":
        for member in geom.geoms:
            _parts(member, out)
    else:
        raise TypeError(f"geometry type {kind} is not supported")


def _rebuild(geom, parts):
    from shapely import geometry as g
    kind = geom.geom_type
    if geom.is_empty:
        return geom
    if kind == "Point":
        return g.Point(next(parts)[0])
    if kind == "LineString":
        return g.LineString(next(parts))
    if kind == "LinearRing":
        return g.LinearRing(next(parts))
    if kind == "Polygon":
        shell = next(parts)
        holes = [next(parts) for _ in geom.interiors]
        return g.Polygon(shell, holes)
    members = [_rebuild(m, parts) for m in geom.geoms]
    return {"MultiPoint": g.MultiPoint, "MultiLineString": g.MultiLineString,
            "MultiPolygon": g.MultiPolygon, "GeometryCollection": g.GeometryCollection}[kind](
                members)


def transform_geodataframe(gdf, to, from_form=None, region=None, dn=None, de=None,
                           keep_heights=False, threads=None, errcheck=True, transformer=None):
    """A copy of the GeoDataFrame with every vertex of its geometry column converted to the
    form `to` and the CRS of that form set (EPSG:2100 for TM87 on the mainland, the WKT2 text
    where there is no EPSG code; X, Y, Z is the CRS "HTRS07 geocentric").

    from_form: the input form; by default the frame's CRS where it is one of ours (otherwise
    ValueError saying why it is none). region: by default the one of the frame's CRS, or the
    mainland. Geometries with Z are converted in 3D (heights by the engine's rule), others with
    h = 0; X, Y, Z in or out needs Z on every geometry. A vertex that fails raises
    OutsideGridError / OutOfRangeError / NumericFaultError naming the feature (its position in
    the frame, and index the label) unless errcheck=False, which leaves it NaN. transformer:
    an existing Transformer to use (its forms must match)."""
    errcheck = _boolean(errcheck, "errcheck")
    if from_form is None:
        if gdf.crs is None:
            raise ValueError("the frame has no CRS: give from_form")
        try:
            found = _crs.identify(gdf.crs, region)
        except ValueError as e:
            raise ValueError(f"the frame's CRS: {e}; give from_form") from None
        from_form = found.form
        region = region or ("mainland" if "mainland" in found.regions else found.regions[0])
    elif gdf.crs is not None:
        # A form that the frame's CRS contradicts would take every coordinate for another
        # system's (GGRS87 latitudes as HTRS07 ones are some 300 m off), as the tool refuses a
        # --from that a layer's CRS contradicts.
        try:
            found = _crs.identify(gdf.crs)
        except ValueError:
            found = None
        if found is not None and found.form != from_form:
            raise ValueError(
                f"the frame's CRS {found.name} is {_crs.form_text(found.form)}, but from_form "
                f"says {_crs.form_text(from_form) if from_form in _crs.FORMS else repr(from_form)}"
                ": leave out from_form to take the form of the CRS, or correct it")
    region = region or "mainland"
    if transformer is None:
        transformer = Transformer(from_form, to, region=region, dn=dn, de=de,
                                  keep_heights=keep_heights, threads=threads, always_xy=True)
    elif (transformer.from_form, transformer.to_form, transformer.region) != (
            from_form, to, region) or not transformer.always_xy:
        raise ValueError("the transformer does not convert between these forms with always_xy")

    geoms = list(gdf.geometry)
    parts, owner = [], []
    for row, geom in enumerate(geoms):
        if geom is None:
            continue
        before = len(parts)
        _parts(geom, parts)
        owner.extend([row] * (len(parts) - before))
    three_d = [p.shape[1] == 3 for p in parts]
    if "htrs07-xyz" in (from_form, to) and not all(three_d):
        row = owner[three_d.index(False)]
        raise ValueError(f"feature {row} (index {gdf.index[row]!r}) has no Z: X, Y, Z takes and "
                         "gives three coordinates, so every geometry needs its heights")
    converted = [None] * len(parts)
    for dims in (2, 3):
        chosen = [i for i, z in enumerate(three_d) if (z if dims == 3 else not z)]
        if not chosen:
            continue
        coords = _np.concatenate([parts[i] for i in chosen])
        rows = _np.concatenate([_np.full(len(parts[i]), owner[i]) for i in chosen])
        try:
            result = transformer.transform(*coords.T, errcheck=errcheck)
        except (OutsideGridError, NumericFaultError) as e:
            row = int(rows[e.index])
            if isinstance(e, OutsideGridError):
                what = "lies outside the correction grid"
            elif isinstance(e, OutOfRangeError):
                what = f"has a {e.fault}, which is no point of the Earth"
            elif e.fault == "infinite coordinate":
                what = "has an infinite coordinate"
            else:
                what = f"gives a numeric fault ({e.fault})"
            e.args = (f"a vertex of feature {row} (index {gdf.index[row]!r}) {what}",)
            e.index = row
            raise
        out = _np.column_stack(result)
        start = 0
        for i in chosen:
            converted[i] = out[start:start + len(parts[i])]
            start += len(parts[i])
    parts_iter = iter(converted)
    new = [None if geom is None else _rebuild(geom, parts_iter) for geom in geoms]
    result = gdf.copy()
    result[gdf.geometry.name] = new
    return result.set_geometry(gdf.geometry.name, crs=_crs.crs_object(to, region))
