"""What a pyproj user expects: Transformer.from_crs on EPSG codes, pyproj CRSs and the WKTs the
GIS layer writes; source_crs and target_crs; direction, itransform and radians; pandas Series,
nullable dtypes and masked arrays; options that take booleans only."""

import os
import subprocess
import sys

import numpy as np
import pytest

import vortan
from conftest import DE, DN

pyproj = pytest.importorskip("pyproj")
pd = pytest.importorskip("pandas")

GRIDS = dict(dn=DN, de=DE)
# A point of the reference files on the mainland: GGRS87 TM87 E, N, h.
TM87 = (466591.820, 4258474.289, 593.998)

# The Greek Grid as an ESRI .prj writes it (WKT1, no axes, no EPSG code).
ESRI_GREEK_GRID = (
    'PROJCS["GGRS_1987_Greek_Grid",GEOGCS["GCS_GGRS_1987",DATUM["D_GGRS_1987",'
    'SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],'
    'UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],'
    'PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],'
    'PARAMETER["Central_Meridian",24.0],PARAMETER["Scale_Factor",0.9996],'
    'PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]]')


def wkt(form, region="mainland"):
    return vortan.crs_of(form, region)[2]


@pytest.mark.parametrize("region", vortan.REGIONS)
@pytest.mark.parametrize("form", vortan.FORMS)
def test_from_crs_finds_form_and_region_of_every_way_of_giving_a_crs(form, region):
    other = "htrs07-xyz" if form != "htrs07-xyz" else "htrs07-geographic"
    given = [wkt(form, region), pyproj.CRS.from_wkt(wkt(form, region))]
    code = vortan.crs_of(form, region)[0]
    if code:
        given += [f"EPSG:{code}", code, pyproj.CRS.from_epsg(code)]
    for crs in given:
        t = vortan.Transformer.from_crs(crs, wkt(other, region), region=region, **GRIDS)
        assert (t.from_form, t.to_form, t.region) == (form, other, region), crs
        assert isinstance(t.source_crs, pyproj.CRS) and isinstance(t.target_crs, pyproj.CRS)
        assert t.source_crs.equals(pyproj.CRS.from_user_input(crs))
    if form.endswith("tm07") or form.endswith("tm87"):  # a projection tells the region
        assert vortan.Transformer.from_crs(wkt(form, region), wkt(other, region),
                                           **GRIDS).region == region


def test_from_crs_follows_the_axes_of_the_crs_unless_always_xy():
    lat_first = vortan.Transformer.from_crs("EPSG:4121", "EPSG:2100")
    xy = vortan.Transformer.from_crs(4121, 2100, always_xy=True)
    esri_geographic = pyproj.CRS.from_wkt(ESRI_GREEK_GRID).geodetic_crs  # longitude first
    from_esri = vortan.Transformer.from_crs(esri_geographic, ESRI_GREEK_GRID)
    e, n = lat_first.transform(38.0, 23.0)
    assert xy.transform(23.0, 38.0) == (e, n) == from_esri.transform(23.0, 38.0)
    assert np.isclose(e, 412201.582, atol=1e-3) and np.isclose(n, 4206286.758, atol=1e-3)


@pytest.mark.parametrize("crs_from,crs_to,message", [
    ("EPSG:4326", "EPSG:2100", "WGS 84 is none of the five forms: its ellipsoid"),
    ("EPSG:4258", "EPSG:2100", "neither HTRS07 nor GGRS87"),                      # ETRS89
    ("EPSG:2100", wkt("htrs07-tm07", "kastelorizo"), "within one region"),
    (wkt("htrs07-tm07").replace(",24,", ",21,"), "EPSG:2100", "central meridian 21"),
    ("EPSG:2100", "htrs07-xyz", None),                                             # a form's name
], ids=["wgs84", "etrs89", "two-regions", "other-meridian", "form-name"])
def test_from_crs_refuses_a_crs_that_is_none_of_the_forms_saying_why(crs_from, crs_to, message):
    if message is None:
        assert vortan.Transformer.from_crs(crs_from, crs_to, **GRIDS).to_form == crs_to
        return
    with pytest.raises(ValueError, match=message):
        vortan.Transformer.from_crs(crs_from, crs_to, **GRIDS)


def test_epsg_codes_and_the_wkts_need_no_pyproj():
    code = ("import sys; sys.modules['pyproj'] = None\n"
            "import vortan\n"
            f"t = vortan.Transformer.from_crs('EPSG:2100', vortan.crs_of('htrs07-tm07')[2], "
            f"dn={str(DN)!r}, de={str(DE)!r})\n"
            "print(t.from_form, t.to_form, t.transform(466591.820, 4258474.289)[0] > 0)\n")
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                         env=dict(os.environ))
    assert run.stdout.split() == ["ggrs87-tm87", "htrs07-tm07", "True"], run.stderr


def test_direction_itransform_and_radians_agree_with_transform():
    t = vortan.Transformer("ggrs87-tm87", "htrs07-geographic", **GRIDS)
    back = vortan.Transformer("htrs07-geographic", "ggrs87-tm87", **GRIDS)
    e = np.array([TM87[0], 400000.0, 500000.0])
    n = np.array([TM87[1], 4200000.0, 4100000.0])
    h = np.array([TM87[2], 0.0, 10.0])
    lat, lon, h07 = t.transform(e, n, h)
    assert np.array_equal(np.array(t.transform(lat, lon, h07, direction="INVERSE")),
                          np.array(back.transform(lat, lon, h07)))
    assert np.array_equal(np.array(t.transform(e, n, direction="IDENT")), np.array([e, n]))
    points = list(zip(e.tolist(), n.tolist(), h.tolist()))
    assert list(t.itransform(iter(points))) == list(zip(*(x.tolist() for x in (lat, lon, h07))))
    e87, n87, h87 = back.transform(lat, lon, h07)
    switched = back.itransform(zip(lon.tolist(), lat.tolist(), h07.tolist()), switch=True)
    assert list(switched) == list(zip(n87.tolist(), e87.tolist(), h87.tolist()))
    rad = t.transform(e, n, h, radians=True)
    assert np.allclose(rad[0], np.radians(lat), rtol=1e-15, atol=0)
    assert np.allclose(back.transform(rad[0], rad[1], h07, radians=True)[0],
                       back.transform(lat, lon, h07)[0], rtol=0, atol=1e-9)
    with pytest.raises(vortan.OutsideGridError) as raised:
        list(t.itransform([points[0]] * 70000 + [(1500000.0, 4258474.289, 0.0)], errcheck=True))
    assert raised.value.index == 70000


def test_series_nullable_and_masked_values_and_booleans():
    t = vortan.Transformer("ggrs87-tm87", "htrs07-tm07", **GRIDS)
    e = pd.Series([TM87[0], None, 400000.0], index=["a", "b", "c"], dtype="Float64")
    n = pd.Series([TM87[1], TM87[1], 4200000.0], index=["a", "b", "c"])
    e07, n07 = t.transform(e, n)
    assert isinstance(e07, pd.Series) and list(e07.index) == ["a", "b", "c"]
    want = t.transform(np.array([TM87[0], np.nan, 400000.0]), n.to_numpy())
    assert np.array_equal(e07.to_numpy(), want[0], equal_nan=True) and np.isnan(e07["b"])
    masked = np.ma.masked_array([TM87[0], 1e9], mask=[False, True])
    got = t.transform(masked, [TM87[1], TM87[1]], errcheck=True)
    assert np.isnan(got[0][1]) and got[0][0] == want[0][0]
    for option in ("keep_heights", "errcheck", "always_xy"):
        with pytest.raises(TypeError, match=f"{option} must be True or False"):
            vortan.Transformer("ggrs87-tm87", "htrs07-tm07", **{option: "no"}, **GRIDS)
    with pytest.raises(TypeError, match="errcheck must be True or False"):
        t.transform(TM87[0], TM87[1], errcheck="no")
