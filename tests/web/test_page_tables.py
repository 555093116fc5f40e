"""Record files and tables in the page, in headless Chromium with the fixtures of test_page.py:
a file is taken for a record file or a table by its name and first line as the tool takes it
(a .csv of records converts with the tool's bytes), the user may say otherwise, and a table's
coordinate columns are chosen in the page as --columns chooses them, with the tool's bytes; a
file or table that fails says what the page offers (Greek and English), never an option of the
command line or a folder of the engine, under the Run button and not in a message box.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page_tables.py
"""
import os

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

from test_page import (JOB_OUTPUTS, download_all, page, run_file, run_tool, same_bytes, server,
                       work)

__all__ = ["page", "server", "work"]  # the fixtures of test_page.py, used here by name

RECORDS = "P1,566296.541,4529332.314,6.501\r\nP2,566310.100,4529340.200,7.000\r\n"
TABLE = "id,E,N,h\r\nP1,566296.541,4529332.314,6.501\r\n"
COLUMNS = ("column-x", "column-y", "column-z")


def write(work, name, text):
    path = os.path.join(work, name)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return path


def choose(page, path):
    """The file chosen; what the page takes it for and the columns it presets."""
    page.el("file").send_keys(path)
    assert page.wait("return document.getElementById('file-kind-choice').dataset.ready === 'true'")
    kind = page.js("return document.getElementById('file-kind').value")
    return kind, [Select(page.el(c)).first_selected_option.text for c in COLUMNS]


@pytest.mark.parametrize("name, text, kind, columns", [
    ("records.csv", RECORDS, "records", None),
    ("bom-blank.csv", "\ufeff\r\n" + RECORDS, "records", None),
    ("quoted.csv", '"P 1, north",566296.541,4529332.314,6.501\r\n', "records", None),
    ("table.csv", TABLE, "table", ["E", "N", "h"]),
    ("header.dat", TABLE, "table", ["E", "N", "h"]),
    # Named .txt: a record file whatever its first line, as the tool takes it.
    ("header.txt", TABLE, "records", None),
    ("greek.csv", "Σημείο;Χ;Υ\r\nA;566296,541;4529332,314\r\n", "table", ["Χ", "Υ", "καμία - none"]),
])
def test_a_file_is_a_record_file_or_a_table_by_its_content(page, work, name, text, kind, columns):
    got, preset = choose(page, write(work, name, text))
    assert got == kind, name
    table = kind == "table"
    assert page.el("table-columns").is_displayed() == table, name
    assert page.el("job").is_enabled() != table, name
    if table:
        assert preset == columns, name


@pytest.mark.parametrize("job, forms, outputs, tool_args", [
    ("convert", ("ggrs87-tm87", "htrs07-tm07"), ["HTRS07-SENh"],
     ["convert", "--from", "ggrs87-tm87", "--to", "htrs07-tm07"]),
    ("senh-to-htrs07", (), JOB_OUTPUTS["senh-to-htrs07"], ["senh-to-htrs07"]),
])
def test_a_csv_record_file_gives_the_tools_bytes(page, work, job, forms, outputs, tool_args):
    path = write(work, f"records-{job}.csv", RECORDS)
    assert choose(page, path)[0] == "records"
    text = run_file(page, path, job, *forms)
    assert page.el("job-status").get_attribute("data-kind") == "ok", text
    assert download_all(page) == [o + ".txt" for o in outputs]
    expected = [os.path.join(work, f"tool-{job}-{o}.txt") for o in outputs]
    r = run_tool(*tool_args, path, *expected)
    assert r.returncode == 0, r.stderr
    for o, e in zip(outputs, expected):
        assert same_bytes(os.path.join(page.downloads, o + ".txt"), e), (job, o)


@pytest.mark.parametrize("text, preset, chosen", [
    # Names the tool does not know: nothing preset, the user names them.
    ("Κωδ,Ανατ,Βορ,Υψ\r\nA,566296.541,4529332.314,6.501\r\n", ["—", "—", "καμία - none"],
     ["Ανατ", "Βορ", "Υψ"]),
    # Known names, but the coordinates are in other columns, and no height is wanted.
    ("id,E,N,h,E2,N2\r\nA,1,2,3,566296.541,4529332.314\r\n", ["E", "N", "h"],
     ["E2", "N2", None]),
])
def test_the_coordinate_columns_chosen_give_the_tools_bytes(page, work, text, preset, chosen):
    path = write(work, f"columns-{chosen[0]}.csv", text)
    kind, got = choose(page, path)
    assert kind == "table" and got == preset
    for select, name in zip(COLUMNS, chosen):
        if name is None:
            Select(page.el(select)).select_by_value("")
        else:
            Select(page.el(select)).select_by_visible_text(name)
    status = run_file(page, path, "convert", "ggrs87-tm87", "htrs07-tm07")
    assert "1 point converted" in status, status
    output = f"columns-{chosen[0]}-htrs07-tm07.csv"
    assert download_all(page) == [output]
    expected = os.path.join(work, "tool-" + output)
    r = run_tool("convert", "--from", "ggrs87-tm87", "--to", "htrs07-tm07", "--columns",
                 ",".join(n for n in chosen if n), path, expected)
    assert r.returncode == 0, r.stderr
    assert same_bytes(os.path.join(page.downloads, output), expected)


OUTSIDE = "id,E,N,h\r\nA,566296.541,4529332.314,6.501\r\nB,500000,6000000,10\r\n"


@pytest.mark.parametrize("name, text, job, forms, greek, english", [
    ("outside.csv", OUTSIDE, "convert", ("ggrs87-tm87", "htrs07-tm07"),
     "δεν παραλείπει σημεία εκτός καννάβου", "the page has no choice to leave out the points"),
    ("no-columns.csv", "name,a,b\r\nA,1,2\r\n", "convert", ("ggrs87-tm87", "htrs07-tm07"),
     "Διαλέξτε τις στήλες των συντεταγμένων", 'under "Coordinate columns"'),
    ("wrong-form.csv", "id,lat,lon,h\r\nA,950000,23.7,6.5\r\n", "convert",
     ("ggrs87-geographic", "htrs07-tm07"), "διαλέξτε τη σωστή μορφή στο «από»",
     'choose the right form in "from"'),
    ("outside-records.csv", RECORDS + "P3,500000,6000000,10\r\n", "convert",
     ("ggrs87-tm87", "htrs07-tm07"), "Η σελίδα δεν δίνει αρχεία", "The page offers no file"),
    # An output of the input's name is written in a folder of the engine's own.
    ("GGRS87-SENh.txt", "P1,566296.541,4529332.314,6.501\r\nP2,abc,4529332.314,6.5\r\n",
     "convert", ("ggrs87-tm87", "ggrs87-tm87"), "Η σελίδα δεν δίνει αρχεία",
     "The page offers no file"),
])
def test_a_failure_says_what_the_page_offers(page, work, name, text, job, forms, greek,
                                              english):
    said = run_file(page, write(work, name, text), job, *forms)
    assert page.el("job-status").get_attribute("data-kind") == "error", said
    assert greek in said and english in said, said
    assert "--" not in said and "out/" not in said, said
    # Where the one-point failures are: in the page, in view, and no message box.
    assert page.js("const r = document.getElementById('job-status').getBoundingClientRect();"
                   "return r.top >= 0 && r.bottom <= window.innerHeight + 1")
    assert page.close_messages() == []
    assert page.driver.find_elements(By.CSS_SELECTOR, "#downloads a") == []


def test_a_stopped_jobs_message_keeps_no_folder_of_the_engine(page, work):
    path = write(work, "bad.txt", "P1,566296.541,4529332.314,6.501\r\nP2,abc,4529332.314,6.5\r\n")
    run_file(page, path, "senh-to-htrs07")
    messages = page.close_messages()
    assert messages and messages[0][0] == "Σφάλμα αρχείου - File error", messages
    said = messages[0][1]
    assert "out/" not in said and "παραμένει στα αρχεία εξόδου" not in said, said
    assert "Η σελίδα δεν δίνει αρχεία" in said and "The page offers no file" in said, said
    assert 'bad.txt, line 2, field E: "abc" is not a number' in said, said
