"""The CRS of a .prj that GDAL and QGIS write for a TM07 or TM87 defined by its parameters: the
datum "D_Unknown_based_on_GRS80_ellipsoid" with the projection's constants on GRS80 is that
projection, as the GeoPackage spelling "Unknown based on GRS80 ellipsoid" is; other constants
on it are none of the forms."""

import pytest


def esri_prj(false_northing, central_meridian, scale=0.9996):
    return ('PROJCS["unnamed",GEOGCS["GCS_unknown",DATUM["D_Unknown_based_on_GRS80_ellipsoid",'
            'SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],'
            'UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],'
            'PARAMETER["False_Easting",500000.0],'
            f'PARAMETER["False_Northing",{false_northing}],'
            f'PARAMETER["Central_Meridian",{central_meridian}],PARAMETER["Scale_Factor",{scale}],'
            'PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]]')


@pytest.mark.parametrize("prj,region,form", [
    (esri_prj(-2000000.0, 24.0), "mainland", "htrs07-tm07"),
    (esri_prj(0.0, 24.0), "mainland", "ggrs87-tm87"),
    (esri_prj(-2000000.0, 30.0, 1.0), "kastelorizo", "htrs07-tm07"),
    (esri_prj(0.0, 21.0), "mainland", None),
])
def test_an_esri_unknown_grs80_datum_is_taken_at_its_constants_word(engine, prj, region, form):
    from qgis.core import QgsCoordinateReferenceSystem as Crs
    crs = Crs.fromWkt(prj)
    assert crs.isValid()
    assert engine.crss.form_of(crs, region) == form
