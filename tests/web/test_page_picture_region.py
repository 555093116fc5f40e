"""The page's picture and its region: on Kastelorizo the outline of the islands and the limit
beyond which a point is far from them, framed with the points of the last conversion; a warning
beside the picture, in Greek and English, with how many of them lie far from the region chosen
(Kastelorizo, or Greece on the mainland), and none for a file of the region.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page_picture_region.py
"""
import csv
import math
import os

from selenium.webdriver.support.ui import Select

from test_page import (REF, SHOTS, page, run_file, server, work)  # noqa: F401 (fixtures)

POINTS = "return document.getElementById('picture-status').dataset.points"
FAR = "return document.getElementById('picture-warning').dataset.far"
WARNING = "return document.getElementById('picture-warning')"

# The islands' outline is drawn in this colour (picture.js): its pixels on the canvas.
OUTLINE_PIXELS = """
const c = document.getElementById('map');
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
let n = 0;
for (let k = 0; k < d.length; k += 4) {
  if (Math.abs(d[k] - 30) < 8 && Math.abs(d[k + 1] - 90) < 8 && Math.abs(d[k + 2] - 160) < 8) ++n;
}
return n;
"""


def records(region, name):
    with open(os.path.join(REF, region, name), newline="") as f:
        return list(csv.reader(f))


def write_records(path, rows):
    with open(path, "w", newline="") as f:
        csv.writer(f, lineterminator="\r\n").writerows(rows)
    return path


def latitude_longitude(x, y, z):
    """Degrees on GRS80 of geocentric X, Y, Z (metres): enough to tell a point's place."""
    a, f = 6378137.0, 1 / 298.257222101
    e2 = f * (2 - f)
    p = math.hypot(x, y)
    lat = math.atan2(z, p * (1 - e2))
    for _ in range(5):
        n = a / math.sqrt(1 - e2 * math.sin(lat) ** 2)
        lat = math.atan2(z + e2 * n * math.sin(lat), p)
    return math.degrees(lat), math.degrees(math.atan2(y, x))


def island_records(work):  # noqa: F811
    """The points of Kastelorizo's reference file drawn around the island (within a degree of
    it), without those its maker drew over the whole country."""
    rows = []
    for r in records("kastelorizo", "HTRS07-KAST-SXYZ.txt"):
        lat, lon = latitude_longitude(*map(float, r[1:4]))
        if abs(lat - 36.13) < 1 and abs(lon - 29.57) < 1:
            rows.append(r)
    return write_records(os.path.join(work, "HTRS07-KAST-SXYZ-island.txt"), rows), len(rows)


def shown(page, count):
    """How many of the count points of the last conversion the warning says are far."""
    assert page.wait(POINTS + f" === '{count}'", 30), page.js(POINTS)
    page.close_messages()
    return int(page.js(FAR))


def test_kastelorizo_points_of_the_island_show_its_outline_and_no_warning(page, work):  # noqa: F811
    page.region("kastelorizo")
    path, count = island_records(work)
    assert count == 174
    text = run_file(page, path, "sxyz-to-ggrs87")
    assert str(count) in text, text
    assert shown(page, count) == 0
    assert page.js(WARNING + ".hidden")
    assert page.js(OUTLINE_PIXELS) > 50
    # No grids on Kastelorizo: no dE, dN choice, and the caption says what is drawn instead.
    assert page.js("return document.querySelector('.picture-choice').hidden")
    assert "no correction grids" in page.el("picture-status").text
    page.js("document.getElementById('picture').scrollIntoView()")
    page.shot("picture", "web-picture-kastelorizo.png")


def test_a_mainland_file_converted_on_kastelorizo_is_warned_with_its_count(page):  # noqa: F811
    page.region("kastelorizo")
    n = len(records("mainland", "HTRS07-SXYZ.txt"))
    run_file(page, os.path.join(REF, "mainland", "HTRS07-SXYZ.txt"), "sxyz-to-ggrs87")
    assert shown(page, n) == n
    assert not page.js(WARNING + ".hidden")
    assert page.js(WARNING + ".dataset.kind") == "warning"
    text = page.el("picture-warning").text
    assert f"{n} από τα {n} σημεία" in text, text
    assert "μακριά από την περιοχή «Καστελόριζο»" in text, text
    assert "Ελέγξτε την περιοχή που επιλέξατε (Ηπειρωτική Ελλάδα / Καστελόριζο)" in text, text
    assert f"{n} of the {n} points of the last conversion lie far from the region " \
        '"Kastelorizo"' in text, text
    assert "Check the region chosen (Mainland Greece / Kastelorizo)" in text, text
    # The islands' outline stays in the picture, far from the points.
    assert page.js(OUTLINE_PIXELS) > 0
    page.js("document.getElementById('picture').scrollIntoView()")
    page.shot("picture", "web-picture-kastelorizo-far.png")
    # The points were converted on Kastelorizo: another region shows none of them, and no warning.
    page.region("mainland")
    assert page.wait(POINTS + " === '0'", 10)
    assert page.js(WARNING + ".hidden")


def test_the_whole_kastelorizo_reference_file_counts_its_points_over_the_country(page):  # noqa: F811
    # 26 of its 200 points were drawn over the whole country, hundreds of kilometres away.
    page.region("kastelorizo")
    run_file(page, os.path.join(REF, "kastelorizo", "HTRS07-KAST-SXYZ.txt"), "sxyz-to-ggrs87")
    assert shown(page, 200) == 26
    assert "26 of the 200 points" in page.el("picture-warning").text


def test_mainland_points_far_from_greece_are_warned(page, work):  # noqa: F811
    # Latitude and longitude swapped in three records of five: φ 2x°, λ 3x-4x° lie east of Greece.
    page.region("mainland")
    rows = records("mainland", "HTRS07-SFLh.txt")[:5]
    for r in rows[2:]:
        r[1], r[2] = r[2], r[1]
    path = write_records(os.path.join(work, "HTRS07-SFLh-swapped.txt"), rows)
    page.el("file").send_keys(path)
    Select(page.el("job")).select_by_value("convert")
    Select(page.el("from-form")).select_by_value("htrs07-geographic")
    Select(page.el("to-form")).select_by_value("htrs07-tm07")
    page.el("run").click()
    assert page.wait("return document.getElementById('job-status').dataset.kind", 60)
    page.close_messages()
    assert shown(page, 5) == 3
    text = page.el("picture-warning").text
    assert "3 από τα 5 σημεία" in text and "μακριά από την Ελλάδα" in text, text
    assert "3 of the 5 points of the last conversion lie far from Greece" in text, text
