"""The page on everyday input, in headless Chromium with the fixtures of test_page.py: what the
tool does without grids the page does without grids, byte for byte; a point outside the grids
converts within one system; a file without points offers nothing; decimal degrees in a packed
box get the window's notice in both regions and systems; the page's own notice on numbers; a
Greek Excel CSV (Windows-1253, decimal commas) converts as the tool converts it; index.html
opened without its files says to unzip the folder.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page_everyday.py
"""
import os
import shutil
import subprocess
import time

import pytest
from selenium.webdriver.common.by import By

from test_page import (GRIDS, REF, TOOL, WEB, Page, convert_in_page, download_all, fields_of,
                       first_records, page, run_file, same_bytes, server, tool_convert, work)

__all__ = ["page", "server", "work"]  # the fixtures of test_page.py, used here by name

GRID_ARGS = ["--dn", os.path.join(GRIDS, "dN_2km_V1-0.grd"),
             "--de", os.path.join(GRIDS, "dE_2km_V1-0.grd")]


def tool(*args, grids=False):
    r = subprocess.run([TOOL, *(GRID_ARGS if grids else []), *args], capture_output=True,
                       text=True)
    assert r.returncode == 0, r.stderr
    return r


def status(page):
    return page.js("const p = document.getElementById('point-status');"
                   "return [p.dataset.kind, p.innerText]")


@pytest.fixture(scope="module")
def bare(server, work):
    """The page on a first visit: no grids chosen."""
    downloads = os.path.join(work, "bare-downloads")
    os.makedirs(downloads)
    p = Page(os.path.join(work, "bare-profile"), downloads)
    p.open(server.url())
    yield p
    p.quit()


def test_without_grids_the_page_does_what_the_tool_does_without_grids(bare, work):
    assert "No grids are chosen yet" in bare.el("grid-status").text
    for job, source, output in [("sflh-to-senh", "GGRS87-SFLh", "GGRS87-SENh"),
                                ("sflh-to-sxyz", "HTRS07-SFLh", "HTRS07-SXYZ")]:
        text = run_file(bare, os.path.join(REF, "mainland", source + ".txt"), job)
        assert "300" in text, (job, text)
        assert download_all(bare) == [output + ".txt"]
        expected = os.path.join(work, f"bare-{job}.txt")
        tool(job, os.path.join(REF, "mainland", source + ".txt"), expected)
        assert same_bytes(os.path.join(bare.downloads, output + ".txt"), expected), job
    one = os.path.join(work, "bare-one.txt")
    for source, target, layout in [("ggrs87-tm87", "ggrs87-geographic", "GGRS87-SENh"),
                                   ("htrs07-xyz", "htrs07-tm07", "HTRS07-SXYZ"),
                                   ("htrs07-geographic", "htrs07-tm07", "HTRS07-SFLh")]:
        record = first_records("mainland", layout + ".txt", 1)[0]
        values, messages = convert_in_page(bare, source, target, fields_of(record))
        assert messages == [] and status(bare)[0] == "ok", (source, status(bare))
        with open(one, "w", newline="") as f:
            f.write(record + "\r\n")
        tool("convert", "--from", source, "--to", target, one, one + ".out")
        with open(one + ".out", newline="") as f:
            assert values == fields_of(f.read().rstrip("\r\n")), (source, target)
    # Across the datum the grids are asked for, and nothing is answered.
    values, messages = convert_in_page(bare, "ggrs87-tm87", "htrs07-tm07",
                                       ["566296.541", "4529332.314", "6.501"])
    assert values == ["", "", ""] and "Choose the dN, dE grids first" in status(bare)[1]


def test_a_point_outside_the_grids_converts_within_one_system(page, work):
    for source, target, fields in [("ggrs87-tm87", "ggrs87-geographic", ["500000", "4000000", "0"]),
                                   ("htrs07-xyz", "htrs07-tm07", ["4000000", "2000000", "4500000"]),
                                   ("ggrs87-geographic", "ggrs87-tm87", ["450000", "150000", "10"])]:
        values, messages = convert_in_page(page, source, target, fields)
        assert messages == [] and status(page)[0] == "ok", (source, status(page))
        assert values == tool_convert("mainland", source, target, "P," + ",".join(fields), work)


@pytest.mark.parametrize("job, forms", [("senh-to-htrs07", None),
                                        ("convert", ("ggrs87-tm87", "htrs07-tm07"))])
def test_a_file_without_points_says_so_and_offers_nothing(page, work, job, forms):
    path = os.path.join(work, "GGRS87-SENh-empty.txt")
    open(path, "wb").close()
    text = run_file(page, path, job, *(forms or ()))
    assert "GGRS87-SENh-empty.txt holds no point" in text, text
    assert "δεν περιέχει κανένα σημείο" in text, text
    assert page.el("job-status").get_attribute("data-kind") == "warning"
    assert page.driver.find_elements(By.CSS_SELECTOR, "#downloads a") == []


def test_decimal_degrees_in_a_packed_box_get_the_notice_everywhere(page):
    cases = [("ggrs87-geographic", "ggrs87-tm87", ["38.5", "23.7", "0"], "warning"),
             ("htrs07-geographic", "htrs07-tm07", ["38.5", "23.7", "0"], "warning"),
             ("htrs07-geographic", "htrs07-xyz", ["405453.90607", "23.7", "0"], "warning"),
             ("ggrs87-geographic", "ggrs87-tm87", ["405444.68271", "244714.08889", "6.501"], "ok")]
    for region in ("mainland", "kastelorizo"):
        page.region(region)
        for source, target, fields, kind in cases:
            values, messages = convert_in_page(page, source, target, fields)
            assert messages == [] and values[0], (region, source, messages)
            shown_kind, text = status(page)
            assert shown_kind == kind, (region, source, fields, text)
            if kind == "warning":
                assert "type 234200.00000" in text and "γράψτε 234200.00000" in text, text
    page.region("mainland")


def test_the_page_notes_the_dot_and_keeps_the_desktop_notice_in_the_window(page, work):
    first = page.js("return document.querySelector('body > p:not([hidden])').id")
    assert first == "notice"
    notice = page.el("notice").text
    for words in ("τελεία", "dot", "δεκαδικό κόμμα", "decimal commas"):
        assert words in notice, notice
    assert "Control Panel" not in notice
    assert "Control Panel" in page.js(
        "return document.querySelector('#window-details #window-notice').textContent")
    # A Greek Excel table (Windows-1253, semicolons, decimal commas): the tool's bytes.
    table = os.path.join(work, "σημεία.csv")
    with open(table, "wb") as f:
        f.write(b"id;E;N;h\r\n\xd3\xe7\xec;566296,541;4529332,314;6\r\n")
    text = run_file(page, table, "convert", "ggrs87-tm87", "htrs07-tm07")
    assert "1 point converted" in text and "Windows-1253" in text, text
    assert download_all(page) == ["σημεία-htrs07-tm07.csv"]
    expected = os.path.join(work, "expected.csv")
    tool("convert", "--from", "ggrs87-tm87", "--to", "htrs07-tm07", table, expected, grids=True)
    assert same_bytes(os.path.join(page.downloads, "σημεία-htrs07-tm07.csv"), expected)


def test_index_html_opened_without_its_files_says_to_unzip_the_folder(work, page):
    assert page.js("return document.getElementById('alone')") is None
    folder = os.path.join(work, "alone")
    os.makedirs(folder)
    shutil.copy(os.path.join(WEB, "index.html"), folder)
    p = Page(os.path.join(work, "alone-profile"), os.path.join(work, "alone-downloads"))
    try:
        p.driver.get("file://" + os.path.join(folder, "index.html"))
        assert p.el("alone").text == ""
        time.sleep(6)
        text = p.el("alone").text
        assert "unzip the whole folder first" in text.lower(), text
        assert "Αποσυμπιέστε πρώτα ολόκληρο τον φάκελο" in text, text
    finally:
        p.quit()


def test_e_and_n_zero_fill_every_window_box_from_the_point_typed(page, work):
    """E = N = 0 is no E, N to the window: the point typed reaches it through its φ, λ boxes,
    not the φ, λ of the point before."""
    page.region("kastelorizo")
    record = first_records("kastelorizo", "GGRS87-KAST-SENh.txt", 1)[0]
    convert_in_page(page, "ggrs87-tm87", "htrs07-tm07", fields_of(record))
    values, messages = convert_in_page(page, "ggrs87-tm87", "htrs07-tm07", ["0", "0", "0"])
    assert messages == [] and status(page)[0] == "ok", status(page)
    geographic = tool_convert("kastelorizo", "ggrs87-tm87", "ggrs87-geographic", "P,0,0,0", work)
    shown = page.js("return ['Text3','Text4','Text1','Text2','Text30','Text31']"
                    ".map(n => document.getElementById('w-' + n).value)")
    assert shown[:2] == geographic[:2], shown
    # E, N and TM07 from the packed φ, λ (1e-5 arc-seconds): the same point to the millimetre.
    for got, want in zip(shown[2:], ["0", "0", *values[:2]]):
        assert abs(float(got) - float(want)) <= 0.002, (shown, values, status(page))
    page.region("mainland")


def test_a_point_that_makes_no_record_is_said_of_its_box(page):
    cases = [("htrs07-geographic", "htrs07-tm07", ["405453.90607", "244720.59229", ""],
              "h (HTRS07)", "είναι κενό", "is empty"),
             ("htrs07-geographic", "htrs07-xyz", ["405453,90607", "244720.59229", "51.61"],
              "φ (HTRS07)", "δεν περιέχει αριθμό", "does not hold a number"),
             ("htrs07-xyz", "htrs07-tm07", ["4382064.771", "2023782,319", "4155326.131"],
              "Y (HTRS07)", "δεν περιέχει αριθμό", "does not hold a number"),
             ("htrs07-tm07", "htrs07-geographic", ["566446.108", "2529618.096", "1e999"],
              "h (HTRS07)", "είναι υπερβολικά μεγάλος", "is too large")]
    for source, target, fields, box, greek, english in cases:
        values, messages = convert_in_page(page, source, target, fields)
        kind, text = status(page)
        assert kind == "error" and values == ["", "", ""], (source, text)
        assert f"{box} {greek}" in text and f"{box} {english}" in text, (source, text)
        assert "σημείο.txt" not in text, text
