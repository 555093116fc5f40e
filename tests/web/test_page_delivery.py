"""The page as it is delivered, in headless Chromium: its package unzipped into a folder whose
path has Greek letters and a space, opened from the disk, converting a reference file as the
tool does; and the page on a phone, a tablet and a laptop screen, with nothing wider than the
screen, each label with its box and touch targets a finger can press.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page_delivery.py
"""
import os
import re
import time
import zipfile

import pytest
from selenium.webdriver.support.ui import Select

from test_page import (GRIDS, REF, SHOTS, WEB, Page, download_all, run_file, run_tool,
                       same_bytes, work)  # noqa: F401 (work is a fixture)


def project_version():
    top = os.path.join(os.path.dirname(__file__), "..", "..", "CMakeLists.txt")
    with open(top, encoding="utf-8") as f:
        return re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", f.read()).group(1)


PACKAGE = f"vortan-transform-page-{project_version()}"


def test_the_package_holds_what_the_page_loads_and_a_readme():
    with zipfile.ZipFile(os.path.join(WEB, PACKAGE + ".zip")) as z:
        names = {n for n in z.namelist() if not n.endswith("/")}
        page = z.read(f"{PACKAGE}/index.html").decode("utf-8")
        readme = z.read(f"{PACKAGE}/README.txt").decode("utf-8-sig")
    # What index.html names, vortan-wasm.js, which the page loads from the disk, and the
    # service worker of a page served over http(s).
    loads = set(re.findall(r'(?:src|href)="([\w.-]+\.(?:js|css|webmanifest|svg))"', page))
    loads |= {"vortan-wasm.js", "service-worker.js"}
    assert names == {f"{PACKAGE}/{n}" for n in loads | {"index.html", "README.txt"}}
    for words in ("index.html", "IndexedDB", "ΕΛΛΗΝΙΚΑ", "ENGLISH", "ΣΥΝΘΕΤΙΚΟΥΣ", "SYNTHETIC",
                  "file://"):
        assert words in readme, words
    assert "\r\n" in readme and "\n" not in readme.replace("\r\n", "")


def test_the_unzipped_package_converts_a_reference_file_as_the_tool(work):  # noqa: F811
    folder = os.path.join(work, "Φάκελος σελίδας")
    with zipfile.ZipFile(os.path.join(WEB, PACKAGE + ".zip")) as z:
        z.extractall(folder)
    downloads = os.path.join(work, "package-downloads")
    os.makedirs(downloads)
    source = os.path.join(REF, "mainland", "GGRS87-SENh.txt")
    outputs = ["GGRS87-SFLh.txt", "HTRS07-SFL.txt", "HTRS07-SEN.txt"]
    tool = os.path.join(work, "package-tool")
    os.makedirs(tool)
    assert run_tool("senh-to-htrs07", source,
                    *[os.path.join(tool, name) for name in outputs]).returncode == 0
    p = Page(os.path.join(work, "package-profile"), downloads)
    try:
        p.open("file://" + os.path.join(folder, PACKAGE, "index.html"))
        p.choose_grids()
        text = run_file(p, source, "senh-to-htrs07")
        with open(source, newline="") as f:
            assert str(len(f.read().split("\r\n")) - 1) in text, text
        assert download_all(p) == outputs
        for name in outputs:
            assert same_bytes(os.path.join(downloads, name), os.path.join(tool, name)), name
        # The synthetic grids say what they are, from the package's own files too.
        p.el("example-grids").click()
        assert p.wait("return !document.getElementById('test-data').hidden")
        assert "TEST DATA" in p.el("test-data").text
    finally:
        p.quit()


# width, height, a phone's screen (the page's viewport meta tag counts)
SCREENS = [(360, 780, True), (390, 844, True), (768, 1024, False), (1366, 768, False)]

# What the page shows on a screen: how wide it is, labels away from their boxes, cards whose
# text overflows them, and the one-point form's controls lower than 44 px.
LAYOUT = """
const textRects = (label, control) => {
  const before = [], after = [];
  const walker = document.createTreeWalker(label, NodeFilter.SHOW_TEXT);
  for (let n = walker.nextNode(); n; n = walker.nextNode()) {
    if (!n.textContent.trim() || n.parentElement.closest('select, option')) continue;
    const range = document.createRange();
    range.selectNodeContents(n);
    const rects = [...range.getClientRects()].filter((r) => r.width > 0);
    const ahead = control.compareDocumentPosition(n) & Node.DOCUMENT_POSITION_PRECEDING;
    (ahead ? before : after).push(...rects);
  }
  return before.length ? before[before.length - 1] : after[0];
};
const apart = (label, control) => {
  const c = control.getBoundingClientRect();
  const t = textRects(label, control);
  if (!t || !c.width) return null;
  // The same row, or right under the text (not wrapped to the start of the next row).
  const gap = Math.max(0, c.top - t.bottom, t.top - c.bottom);
  const under = c.left < t.right && t.left < c.right;
  return gap === 0 || (gap <= 8 && under) ? null
    : `${label.textContent.trim().slice(0, 30)}: ${Math.round(gap)} px, under: ${under}`;
};
const far = [];
for (const label of document.querySelectorAll('label')) {
  const control = label.querySelector('input, select');
  if (control && !control.closest('[hidden]')) far.push(apart(label, control));
}
// The single-point window: a label and the box after it in the same row of the window.
const parts = [...document.querySelectorAll('#window .label, #window input')];
parts.forEach((part, k) => {
  const next = parts[k + 1];
  if (part.matches('.label') && next && next.matches('input') &&
      part.closest('.row') === next.closest('.row')) far.push(apart(part, next));
});
const overflowing = [];
for (const card of document.querySelectorAll('header, section, #window .area, fieldset, .drop')) {
  if (card.scrollWidth > card.clientWidth) {
    overflowing.push(`${card.id || card.className || card.tagName} ${card.scrollWidth} > ${card.clientWidth}`);
  }
}
const small = [...document.querySelectorAll(
    '#typed-form, #wanted-form, #typed-boxes input, #point-convert, #region')]
  .filter((e) => e.getBoundingClientRect().height < 44).map((e) => e.id || e.tagName);
const keyboards = [...document.querySelectorAll('#typed-boxes input')].map((e) => e.inputMode);
return { inner: innerWidth, scroll: document.documentElement.scrollWidth,
         far: far.filter(Boolean), overflowing, small, keyboards };
"""


@pytest.fixture(scope="module")
def busy_page(work):  # noqa: F811
    """The page opened from the disk with grids, a job run on a file with a long name, and the
    conversion between forms chosen (its boxes shown beside the job's)."""
    p = Page(os.path.join(work, "screens-profile"), os.path.join(work, "screens-downloads"))
    long_name = os.path.join(work, "Μετρήσεις_Καλαμάτας_2026_δεύτερη_σειρά_GGRS87-SENh.txt")
    with open(os.path.join(REF, "mainland", "GGRS87-SENh.txt"), "rb") as f, \
            open(long_name, "wb") as g:
        g.write(f.read())
    try:
        p.open("file://" + os.path.join(WEB, "index.html"))
        p.choose_grids(GRIDS)
        run_file(p, long_name, "convert", "ggrs87-tm87", "htrs07-geographic")
        yield p
    finally:
        p.quit()


@pytest.mark.parametrize("width,height,phone", SCREENS)
def test_the_page_fits_the_screen_with_labels_by_their_boxes(busy_page, width, height, phone):
    p = busy_page
    p.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": phone})
    time.sleep(0.5)
    shown = p.js(LAYOUT)
    # A phone zooms a page that is too wide out, so that innerWidth grows with it.
    assert shown["inner"] == width and shown["scroll"] <= width, shown
    assert shown["far"] == [], shown["far"]
    assert shown["overflowing"] == [], shown["overflowing"]
    assert shown["keyboards"] == ["decimal"] * 3
    if phone:
        assert shown["small"] == [], shown["small"]
    # The grids are chosen: nothing asks for them any more.
    assert "grids first" not in p.js("return document.getElementById('point-status').textContent")
    if SHOTS:
        p.js("document.getElementById('point').scrollIntoView()")
        p.driver.save_screenshot(os.path.join(SHOTS, f"web-{width}.png"))


def test_the_picture_shows_the_points_of_the_last_conversion_only(busy_page, work):  # noqa: F811
    p = busy_page
    points = "return document.getElementById('picture-status').dataset.points"
    assert p.wait(points + " > 0", 30), "the record file's points are not shown"
    table = os.path.join(work, "table.csv")
    with open(table, "w", newline="") as f:
        f.write("id,E,N,h\r\nP1,566296.541,4529332.314,6.501\r\n")
    p.el("file").send_keys(table)
    Select(p.el("from-form")).select_by_value("ggrs87-tm87")
    Select(p.el("to-form")).select_by_value("htrs07-geographic")
    p.el("run").click()
    assert p.wait("return document.getElementById('job-status').dataset.kind === 'ok'", 60), \
        p.el("job-status").text
    assert p.wait(points + " === '0'", 30), p.js(points)
