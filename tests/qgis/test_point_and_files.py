"""Convert a point: every form out of any form in, as the single-point windows show them, with
the reference points; Convert a record file: the four jobs and convert write the reference
files byte for byte."""

import os

import pytest

from conftest import REFERENCE, grids, run


def reference_records(region, name, count=3):
    with open(os.path.join(REFERENCE, region, name), "rb") as f:
        return [line.rsplit(b",", count)[1:] for line in f.read().split(b"\r\n") if line]


def kast(region, name):
    return name.replace("-", "-KAST-", 1) if region == "kastelorizo" else name


@pytest.mark.parametrize("region", ["mainland", "kastelorizo"])
def test_a_point_from_x_y_z_as_the_windows_show_it(engine, region):
    lib = engine.library
    xyz = reference_records(region, kast(region, "HTRS07-SXYZ.txt"))[:20]
    sflh = reference_records(region, "expected-sxyz-to-ggrs87." + kast(region, "HTRS07-SFLh.txt"))
    senk = reference_records(region, "expected-sxyz-to-ggrs87." + kast(region, "HTRS07-SENk.txt"))
    sen = reference_records(region, "expected-sxyz-to-ggrs87." + kast(region, "GGRS87-SEN.txt"), 2)
    for k, (x, y, z) in enumerate(xyz):
        r = run("convertpoint", grids({"SOURCE_FORM": "htrs07-xyz", "REGION": region,
                                       "COORDINATE_1": float(x), "COORDINATE_2": float(y),
                                       "COORDINATE_3": float(z)}))
        assert lib.format_number(r["HTRS07_H"], ".000").encode() == sflh[k][2]
        assert [lib.format_number(r[n], ".000").encode() for n in ("TM07_E", "TM07_N")] == senk[k][:2]
        assert lib.format_number(r["TM07_SCALE"], "0.000000").encode() == senk[k][2]
        assert [lib.format_number(r[n], ".000").encode() for n in ("TM87_E", "TM87_N")] == sen[k]
        # The report shows the angles in degrees, minutes and seconds of the packed values.
        lat = sflh[k][0].decode()
        degrees, minutes = lat[:2], lat[2:4]
        seconds = lib.format_number(float(lat[4:]), ".00000")  # one digit below ten: "3.84944"
        assert f"{degrees}° {minutes}′ {seconds}″" in r["REPORT"]


def test_every_form_in_gives_the_same_point(engine):
    point = {"SOURCE_FORM": "htrs07-xyz", "COORDINATE_1": 4382064.771,
             "COORDINATE_2": 2023782.319, "COORDINATE_3": 4155326.131}
    first = run("convertpoint", grids(point))
    assert "40° 54′ 53.90607″  24° 47′ 20.59229″  51.610" in first["REPORT"]
    assert "566446.108  2529618.096  0.999654" in first["REPORT"]
    forms = {  # the form, its three inputs from the first conversion, the angle format
        "htrs07-geographic": ("HTRS07_LATITUDE", "HTRS07_LONGITUDE", "HTRS07_H", "degrees"),
        "htrs07-tm07": ("TM07_E", "TM07_N", "HTRS07_H", "ddmmss"),
        "ggrs87-tm87": ("TM87_E", "TM87_N", "GGRS87_H", "ddmmss"),
        "ggrs87-geographic": ("GGRS87_LATITUDE", "GGRS87_LONGITUDE", "GGRS87_H", "degrees"),
    }
    for form, (a, b, c, angles) in forms.items():
        r = run("convertpoint", grids({"SOURCE_FORM": form, "COORDINATE_1": first[a],
                                       "COORDINATE_2": first[b], "COORDINATE_3": first[c],
                                       "ANGLES": angles}))
        # Within HTRS07 the same point; across the datum and back within a few millimetres
        # (the way back does not invert the forward chain exactly).
        tolerance = 1e-6 if form.startswith("htrs07") else 0.01
        for name in ("HTRS07_X", "HTRS07_Y", "HTRS07_Z"):
            assert abs(r[name] - first[name]) < tolerance, (form, name)
    # The corrections shown: the grid values forward, negated on the way back.
    back = run("convertpoint", grids({"SOURCE_FORM": "ggrs87-tm87", "COORDINATE_1": first["TM87_E"],
                                      "COORDINATE_2": first["TM87_N"],
                                      "COORDINATE_3": first["GGRS87_H"]}))
    assert abs(back["DE"] + first["DE"]) < 0.1 and abs(back["DN"] + first["DN"]) < 0.1
    # Packed DDMMSS.SSSSS in, as the windows take it: 40°54'53.90607".
    packed = run("convertpoint", grids({"SOURCE_FORM": "htrs07-geographic",
                                        "COORDINATE_1": 405453.90607, "COORDINATE_2": 244720.59229,
                                        "COORDINATE_3": 51.610}))
    assert abs(packed["TM07_E"] - 566446.108) < 0.001
    # Decimal degrees typed as packed angles are caught, as the windows catch them.
    from qgis.core import QgsProcessingException
    with pytest.raises(QgsProcessingException) as e:
        run("convertpoint", grids({"SOURCE_FORM": "htrs07-geographic", "COORDINATE_1": 40.915,
                                   "COORDINATE_2": 24.789, "COORDINATE_3": 51.6}))
    assert "φ 40.915" in str(e.value) and "'degrees'" in str(e.value)


@pytest.mark.parametrize("region", ["mainland", "kastelorizo"])
def test_the_jobs_write_the_reference_files(tmp_path, engine, region):
    lib = engine.library
    inputs = {"sflh-to-senh": "GGRS87-SFLh.txt", "senh-to-htrs07": "GGRS87-SENh.txt",
              "sflh-to-sxyz": "HTRS07-SFLh.txt", "sxyz-to-ggrs87": "HTRS07-SXYZ.txt"}
    for job, name in inputs.items():
        folder = tmp_path / job
        folder.mkdir()
        count = lib.job_output_count(job)
        first = folder / lib.job_output_name(job, 0, region)
        # The first output given; the others take the job's default names beside it.
        r = run("convertrecordfile", grids({"JOB": job, "REGION": region,
                                            "INPUT": os.path.join(REFERENCE, region, kast(region, name)),
                                            "OUTPUT": str(first)}))
        assert r["POINTS"] > 0
        for k in range(count):
            output = lib.job_output_name(job, k, region)
            assert r[("OUTPUT", "OUTPUT_2", "OUTPUT_3", "OUTPUT_4")[k]] == str(folder / output)
            with open(os.path.join(REFERENCE, region, f"expected-{job}.{output}"), "rb") as f:
                assert (folder / output).read_bytes() == f.read(), (job, output)


def test_convert_and_a_bad_field(tmp_path, engine):
    from qgis.core import QgsProcessingException
    out = tmp_path / "HTRS07-SFLh.txt"
    run("convertrecordfile", grids({"JOB": "convert", "SOURCE_FORM": "htrs07-xyz",
                                    "TARGET_FORM": "htrs07-geographic",
                                    "INPUT": os.path.join(REFERENCE, "mainland", "HTRS07-SXYZ.txt"),
                                    "OUTPUT": str(out)}))
    with open(os.path.join(REFERENCE, "mainland", "expected-sxyz-to-ggrs87.HTRS07-SFLh.txt"), "rb") as f:
        assert out.read_bytes() == f.read()
    bad = tmp_path / "bad.txt"
    bad.write_bytes(b"P1,4382064.771,2023782.319,4155326.131\r\nP2,4382064.771,,4155326.131\r\n")
    with pytest.raises(QgsProcessingException) as e:
        run("convertrecordfile", grids({"JOB": "sxyz-to-ggrs87", "INPUT": str(bad),
                                        "OUTPUT": str(tmp_path / "o1.txt"),
                                        "OUTPUT_2": str(tmp_path / "o2.txt"),
                                        "OUTPUT_3": str(tmp_path / "o3.txt"),
                                        "OUTPUT_4": str(tmp_path / "o4.txt")}))
    assert "bad.txt, line 2, field Y" in str(e.value)
    with pytest.raises(QgsProcessingException) as e:
        run("convertrecordfile", grids({"JOB": "convert", "INPUT": str(bad),
                                        "OUTPUT": str(tmp_path / "o5.txt")}))
    assert "source form and the target form" in str(e.value)
