"""The form of a CRS in Python against the one table of test CRSs (tests/data/crs/cases.tsv):
every text as it is, and every text pyproj reads as a pyproj.CRS (turned into WKT2 by pyproj
before the engine's recognizer sees it), give the same form, regions and axis order as the tool
and the C library; a CRS that is none is refused saying why."""

import pathlib

import pytest

import vortan
from conftest import REFERENCE

CASES_FILE = pathlib.Path(REFERENCE).parent / "crs" / "cases.tsv"


def read_cases():
    cases = []
    for line in CASES_FILE.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            what, form, regions, swapped, reason, text = line.split("\t", 5)
            regions = () if regions == "-" else tuple(regions.split(","))
            cases.append(pytest.param(form, regions, swapped == "1", reason, text, id=what))
    return cases


CASES = read_cases()


def test_the_table_is_there():
    assert len(CASES) >= 80


@pytest.mark.parametrize("form,regions,swapped,reason,text", CASES)
def test_every_case_as_text(form, regions, swapped, reason, text):
    spelling = vortan._vortan.form_of_crs(text)[7]
    if form == "none":
        with pytest.raises(ValueError) as e:
            vortan.crs.identify(text)
        if spelling in ("wkt", "proj"):  # EPSG codes and other texts pyproj reads to say why
            assert reason in str(e.value)
        return
    found = vortan.crs.identify(text)
    assert (found.form, found.regions, found.swapped) == (form, regions, swapped)


@pytest.mark.parametrize("form,regions,swapped,reason,text", CASES)
def test_every_case_pyproj_reads_as_a_pyproj_crs(form, regions, swapped, reason, text):
    pyproj = pytest.importorskip("pyproj")
    try:
        crs = pyproj.CRS.from_user_input(text)
    except pyproj.exceptions.CRSError:
        assert form == "none"
        return
    if form == "none":
        with pytest.raises(ValueError):
            vortan.crs.identify(crs)
        return
    found = vortan.crs.identify(crs)
    assert (found.form, found.regions) == (form, regions)


def test_a_region_narrows_the_form_saying_whose():
    assert vortan.crs.identify("EPSG:4121", "kastelorizo").regions == ("kastelorizo",)
    with pytest.raises(ValueError, match="TM87 E, N of mainland, not of kastelorizo"):
        vortan.crs.identify("EPSG:2100", "kastelorizo")
