"""transform_lines and run_job give the tool's files byte for byte, and its stops as exceptions."""

import pytest

import vortan
from conftest import DE, DN, REGIONS, cli_convert, input_file, read_records, region_file

LINE_PAIRS = [
    ("htrs07-xyz", "ggrs87-tm87"),
    ("htrs07-tm07", "ggrs87-tm87"),
    ("ggrs87-tm87", "htrs07-geographic"),
    ("ggrs87-geographic", "htrs07-xyz"),
    ("htrs07-geographic", "htrs07-tm07"),
]


@pytest.mark.parametrize("region", REGIONS)
@pytest.mark.parametrize("from_form,to_form", LINE_PAIRS)
def test_transform_lines_writes_the_lines_of_cli_convert(tmp_path, region, from_form, to_form):
    source = input_file(tmp_path, region, from_form)
    expected, _ = cli_convert(tmp_path, region, from_form, to_form, source)
    t = vortan.Transformer(from_form, to_form, region=region, dn=DN, de=DE)
    data = source.read_bytes()
    assert b"".join(t.transform_lines(data.splitlines(keepends=True))) == expected
    with open(source, newline="", encoding="utf-8") as text:
        assert "".join(t.transform_lines(text)) == expected.decode()


def test_transform_lines_takes_lines_without_their_ends(tmp_path):
    lines = ["P1,566446.108,2529618.096,51.610", '"P 2, kerb",400000,2300000,3']
    source = tmp_path / "in.txt"
    source.write_bytes("".join(line + "\r\n" for line in lines).encode())
    expected, _ = cli_convert(tmp_path, "mainland", "htrs07-tm07", "htrs07-geographic", source)
    t = vortan.Transformer("htrs07-tm07", "htrs07-geographic")
    assert "".join(t.transform_lines(lines)) == expected.decode()


def test_transform_lines_raises_outside_grid_error_with_the_point_id():
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    with pytest.raises(vortan.OutsideGridError) as raised:
        t.transform_lines(["P1,566446.108,2529618.096,51.610", "FAR,1500000,2529618.096,0"])
    assert (raised.value.point_id, raised.value.line) == ("FAR", 2)


def test_transform_lines_raises_job_error_with_line_and_field():
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    with pytest.raises(vortan.JobError) as raised:
        t.transform_lines(["P1,566446.108,2529618.096,51.610", "P2,566446.108,25x9618,51.610"])
    e = raised.value
    assert (e.file, e.line, e.field, e.points_written) == ("the lines", 2, "N", 1)
    assert "the lines, line 2, field N" in e.message


JOBS = {
    "sflh-to-senh": ("GGRS87-SFLh.txt", ["GGRS87-SENh.txt"]),
    "senh-to-htrs07": ("GGRS87-SENh.txt",
                       ["GGRS87-SFLh.txt", "HTRS07-SFL.txt", "HTRS07-SEN.txt"]),
    "sflh-to-sxyz": ("HTRS07-SFLh.txt", ["HTRS07-SXYZ.txt"]),
    "sxyz-to-ggrs87": ("HTRS07-SXYZ.txt", ["HTRS07-SFLh.txt", "HTRS07-SENk.txt",
                                           "GGRS87-SFL.txt", "GGRS87-SEN.txt"]),
}


@pytest.mark.parametrize("region", REGIONS)
@pytest.mark.parametrize("job", JOBS)
def test_run_job_writes_the_reference_files(tmp_path, region, job):
    source, outputs = JOBS[job]
    paths = [tmp_path / name for name in outputs]
    written = vortan.run_job(job, region_file(region, source), paths, region=region, dn=DN,
                             de=DE, threads=2)
    for name, path in zip(outputs, paths):
        expected = region_file(region, name)
        expected = expected.with_name(f"expected-{job}.{expected.name}").read_bytes()
        assert path.read_bytes() == expected, name
    assert written == len(read_records(expected, False)[0])


def test_run_job_raises_job_error_for_a_missing_input(tmp_path):
    with pytest.raises(vortan.JobError) as raised:
        vortan.run_job("sflh-to-sxyz", tmp_path / "none.txt", [tmp_path / "out.txt"])
    assert raised.value.file == str(tmp_path / "none.txt") and raised.value.line == 0


def test_run_job_raises_outside_grid_error_with_the_point_id(tmp_path):
    source = tmp_path / "GGRS87-SENh.txt"
    source.write_bytes(b"P1,466591.820,4258474.289,593.998\r\nFAR,1500000,4258474.289,0\r\n")
    outputs = [tmp_path / f"out{i}.txt" for i in range(3)]
    with pytest.raises(vortan.OutsideGridError) as raised:
        vortan.run_job("senh-to-htrs07", source, outputs, dn=DN, de=DE)
    assert (raised.value.point_id, raised.value.line) == ("FAR", 2)



@pytest.mark.parametrize("last,error", [("FAR,1500000,2529618.096,0", vortan.OutsideGridError),
                                        ("P3,566446.108,25x9618,51.610", vortan.JobError)])
def test_transform_lines_errors_carry_the_lines_converted_before_them(last, error):
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    good = ["P1,566446.108,2529618.096,51.610", "P2,400000,2300000,3"]
    with pytest.raises(error) as raised:
        t.transform_lines(good + [last])
    assert raised.value.lines == t.transform_lines(good)
    assert "2 points written to the output lines. The exception holds them as .lines." in str(
        raised.value)
