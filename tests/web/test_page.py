"""The page in headless Chromium (Debian's chromium and chromium-driver, through Selenium),
served from a server on 127.0.0.1 that the tests start and stop, and opened from its folder:
the one-point conversions of the reference points in both regions against the native tool,
100,000-point files through each job and convert downloaded byte for byte as the tool writes
them, a point outside the grid, Cancel, the grids kept after a reload, no request to any other
origin, and a screenshot of each part of the page.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page.py
"""
import csv
import functools
import http.server
import json
import os
import shutil
import socketserver
import subprocess
import tempfile
import threading
import time

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

WEB = os.path.abspath(os.environ.get("VORTAN_WEB", "build-web"))
BUILD = os.path.abspath(os.environ.get("VORTAN_BUILD", "build"))
DATA = os.path.abspath(os.environ.get("VORTAN_TEST_DATA", "tests/data"))
SHOTS = os.environ.get("VORTAN_SCREENSHOTS", "")
REF = os.path.join(DATA, "reference")
GRIDS = os.path.join(REF, "grids")
TOOL = os.path.join(BUILD, "bin", "vortan-transform")
BENCH_TOOL = os.path.join(BUILD, "bin", "vortan-bench-tool")
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--window-size=1400,2000"]

JOB_INPUTS = {"sflh-to-senh": "GGRS87-SFLh", "senh-to-htrs07": "GGRS87-SENh",
              "sflh-to-sxyz": "HTRS07-SFLh", "sxyz-to-ggrs87": "HTRS07-SXYZ"}
JOB_OUTPUTS = {"sflh-to-senh": ["GGRS87-SENh"],
               "senh-to-htrs07": ["GGRS87-SFLh", "HTRS07-SFL", "HTRS07-SEN"],
               "sflh-to-sxyz": ["HTRS07-SXYZ"],
               "sxyz-to-ggrs87": ["HTRS07-SFLh", "HTRS07-SENk", "GGRS87-SFL", "GGRS87-SEN"]}


class Server:
    """A static server of the page's folder on 127.0.0.1, which notes every path asked."""

    def __init__(self, root):
        self.paths = []
        paths = self.paths

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                paths.append(self.path)
                super().do_GET()

        self.httpd = socketserver.ThreadingTCPServer(
            ("127.0.0.1", 0), functools.partial(Handler, directory=root))
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path="index.html"):
        return f"http://127.0.0.1:{self.port}/{path}"

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


@pytest.fixture(scope="module")
def server():
    for file in ("index.html", "vortan.wasm", "vortan-bundle.js"):
        assert os.path.exists(os.path.join(WEB, file)), f"{WEB}/{file}: run scripts/build-web"
    s = Server(WEB)
    yield s
    s.stop()


@pytest.fixture(scope="module")
def work():
    folder = tempfile.mkdtemp(prefix="vortan-page-")
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


class Page:
    """Chromium on the page, with its downloads in a folder of their own."""

    def __init__(self, profile, downloads):
        options = Options()
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        options.add_argument(f"--user-data-dir={profile}")
        options.binary_location = "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        options.add_experimental_option("prefs", {
            "download.default_directory": downloads, "download.prompt_for_download": False})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.downloads = downloads
        self.driver.execute_cdp_cmd("Page.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": downloads})

    def open(self, url):
        started = time.monotonic()
        self.driver.get(url)
        assert self.wait("return document.body.dataset.ready", 30) == "true", self.console()
        return time.monotonic() - started

    def wait(self, script, seconds=60, every=0.05):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            value = self.driver.execute_script(script)
            if value:
                return value
            time.sleep(every)
        return None

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def el(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def console(self):
        return [e["message"] for e in self.driver.get_log("browser")]

    def requested_urls(self):
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                urls.append(message["params"]["request"]["url"])
        return urls

    def close_messages(self):
        """Closes the message boxes shown, returning their titles and texts."""
        shown = []
        for _ in range(10):
            if not self.js("return document.getElementById('message').open"):
                break
            shown.append((self.el("message-title").text, self.el("message-text").text))
            self.el("message-ok").click()
            time.sleep(0.05)
        return shown

    def choose_grids(self, folder=GRIDS):
        self.el("dn-file").send_keys(os.path.join(folder, "dN_2km_V1-0.grd"))
        self.el("de-file").send_keys(os.path.join(folder, "dE_2km_V1-0.grd"))
        assert self.wait("return document.getElementById('Text14').value === '408'"), \
            self.el("grid-status").text

    def region(self, name):
        Select(self.el("region")).select_by_value(name)
        time.sleep(0.3)
        self.close_messages()

    def shot(self, element_id, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            element = self.el(element_id)
            self.driver.execute_script("arguments[0].scrollIntoView()", element)
            element.screenshot(os.path.join(SHOTS, name))

    def quit(self):
        self.driver.quit()


@pytest.fixture(scope="module")
def page(server, work):
    profile = os.path.join(work, "profile")
    downloads = os.path.join(work, "downloads")
    os.makedirs(downloads)
    p = Page(profile, downloads)
    p.seconds = p.open(server.url())
    p.choose_grids()
    yield p
    p.quit()


def run_tool(*args, cwd=None):
    return subprocess.run([TOOL, "--dn", os.path.join(GRIDS, "dN_2km_V1-0.grd"), "--de",
                           os.path.join(GRIDS, "dE_2km_V1-0.grd"), *args],
                          cwd=cwd, capture_output=True, text=True)


def tool_convert(region, source, target, record, folder):
    """The tool's convert of one record: its output fields after the id."""
    path = os.path.join(folder, "one.txt")
    with open(path, "w", newline="") as f:
        f.write(record + "\r\n")
    out = os.path.join(folder, "one-out.txt")
    r = run_tool("--region", region, "convert", "--from", source, "--to", target, path, out)
    assert r.returncode == 0, r.stderr
    with open(out, newline="") as f:
        return fields_of(f.read().rstrip("\r\n"))


def convert_in_page(page, source, target, fields):
    Select(page.el("typed-form")).select_by_value(source)
    Select(page.el("wanted-form")).select_by_value(target)
    boxes = page.driver.find_elements(By.CSS_SELECTOR, "#typed-boxes input")
    for box, text in zip(boxes, fields):
        box.clear()
        box.send_keys(text)
    page.el("point-convert").click()
    assert page.wait("return document.getElementById('point-status').dataset.kind || "
                     "document.getElementById('message').open", 20)
    messages = page.close_messages()
    assert page.wait("return document.getElementById('point-status').dataset.kind", 20)
    values = [b.get_attribute("value")
              for b in page.driver.find_elements(By.CSS_SELECTOR, "#wanted-boxes input")]
    return values, messages


def fields_of(record):
    """The numbers of a record (its id may be quoted and hold commas)."""
    return next(csv.reader([record]))[1:]


def first_records(region, name, count):
    with open(os.path.join(REF, region, name), newline="") as f:
        return [line.rstrip("\r\n") for line in f][:count]


def test_the_page_loads_quickly_and_asks_no_other_origin(page, server):
    assert page.seconds < 10
    urls = page.requested_urls()
    assert urls
    own = f"http://127.0.0.1:{server.port}/"
    # Network requests only (the browser's own chrome:// pages, blob: and data: are none).
    network = [u for u in urls if u.split(":", 1)[0] in ("http", "https", "ws", "wss", "ftp")]
    assert network and all(u.startswith(own) for u in network), network
    assert all(not p.startswith("/http") for p in server.paths)


def test_one_point_of_the_reference_files_as_the_tool_converts_it(page, work):
    cases = [("ggrs87-tm87", "GGRS87-SENh", ["htrs07-tm07", "htrs07-geographic", "htrs07-xyz"]),
             ("ggrs87-geographic", "GGRS87-SFLh", ["ggrs87-tm87", "htrs07-tm07"]),
             ("htrs07-geographic", "HTRS07-SFLh", ["htrs07-xyz", "ggrs87-tm87"]),
             ("htrs07-xyz", "HTRS07-SXYZ", ["ggrs87-geographic", "ggrs87-tm87"])]
    for region in ("mainland", "kastelorizo"):
        page.region(region)
        infix = "-KAST" if region == "kastelorizo" else ""
        for source, layout, targets in cases:
            name = layout.replace("-", infix + "-") + ".txt"
            for record in first_records(region, name, 2):
                fields = fields_of(record)
                for target in targets:
                    values, messages = convert_in_page(page, source, target, fields)
                    assert messages == [], (region, record, messages)
                    assert values == tool_convert(region, source, target, record, work), \
                        (region, source, target, record)
    page.region("mainland")


def test_the_single_point_window_shows_what_the_tool_writes(page, work):
    """From X, Y, Z: the window's TM07 E, N and scale factor are the tool's SENk line, its TM87
    E, N the tool's SEN line, for the first reference points."""
    records = first_records("mainland", "HTRS07-SXYZ.txt", 3)
    path = os.path.join(work, "xyz.txt")
    with open(path, "w", newline="") as f:
        f.write("".join(r + "\r\n" for r in records))
    outs = [os.path.join(work, f"w{k}.txt") for k in range(4)]
    assert run_tool("sxyz-to-ggrs87", path, *outs).returncode == 0
    senk = open(outs[1], newline="").read().split("\r\n")
    sen = open(outs[3], newline="").read().split("\r\n")
    for k, record in enumerate(records):
        convert_in_page(page, "htrs07-xyz", "ggrs87-tm87", fields_of(record))
        shown = page.js("return ['Text11','Text12','Text13','Text22','Text23']"
                        ".map(n => document.getElementById('w-' + n).value)")
        assert shown[:3] == fields_of(senk[k])
        assert shown[3:] == fields_of(sen[k])
    page.shot("point", "web-one-point.png")


def test_the_window_refuses_a_comma_and_a_point_outside_the_grid(page):
    values, messages = convert_in_page(page, "ggrs87-tm87", "htrs07-tm07",
                                       ["566296,541", "4529332.314", "6.501"])
    assert messages and messages[0][0] == "Λάθος Σύμβολο Διαχωρισμού Ψηφίων"
    assert "The dot [.] must be used as decimal symbol" in messages[0][1]
    values, messages = convert_in_page(page, "ggrs87-geographic", "htrs07-tm07",
                                       ["38.5", "23.7", "0"])
    assert messages and messages[0][0] == "Λανθασμένη Επιλογή Σημείου"
    assert "DDMMSS" in messages[0][1]
    assert values == ["", "", ""]


@pytest.fixture(scope="module")
def points(work):
    """100,000 random points over the grid extent in each job's input, and the tool's outputs."""
    folder = os.path.join(work, "points")
    os.makedirs(folder)
    subprocess.run([BENCH_TOOL, "points", "100000", "32", folder], check=True,
                   capture_output=True)
    tool_out = os.path.join(folder, "tool")
    os.makedirs(tool_out)
    # The SFLh inputs as the tool writes them from the others.
    d = lambda name: os.path.join(folder, name)
    assert run_tool("senh-to-htrs07", d("GGRS87-SENh.txt"), d("GGRS87-SFLh.txt"),
                    d("x1.txt"), d("x2.txt")).returncode == 0
    assert run_tool("sxyz-to-ggrs87", d("HTRS07-SXYZ.txt"), d("HTRS07-SFLh.txt"),
                    d("x3.txt"), d("x4.txt"), d("x5.txt")).returncode == 0
    for job, source in JOB_INPUTS.items():
        outs = [os.path.join(tool_out, f"{job}.{o}.txt") for o in JOB_OUTPUTS[job]]
        assert run_tool(job, d(source + ".txt"), *outs).returncode == 0
    r = run_tool("convert", "--from", "ggrs87-tm87", "--to", "htrs07-geographic",
                 d("GGRS87-SENh.txt"), os.path.join(tool_out, "convert.HTRS07-SFLh.txt"))
    assert r.returncode == 0
    return folder


def run_file(page, path, job, source=None, target=None):
    page.el("file").send_keys(path)
    Select(page.el("job")).select_by_value(job)
    if job == "convert":
        Select(page.el("from-form")).select_by_value(source)
        Select(page.el("to-form")).select_by_value(target)
    page.el("run").click()
    assert page.wait("return !document.getElementById('run').disabled && "
                     "document.getElementById('progress-box').hidden", 120)
    return page.el("job-status").text


def download_all(page):
    for name in os.listdir(page.downloads):
        os.remove(os.path.join(page.downloads, name))
    links = page.driver.find_elements(By.CSS_SELECTOR, "#downloads a")
    names = [a.text for a in links]
    for a in links:
        a.click()
    end = time.monotonic() + 60
    while time.monotonic() < end:
        present = os.listdir(page.downloads)
        if all(n in present for n in names) and not any(p.endswith(".crdownload") for p in present):
            break
        time.sleep(0.1)
    return names


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def test_each_job_and_convert_downloads_the_tools_bytes(page, points):
    for job, source in JOB_INPUTS.items():
        text = run_file(page, os.path.join(points, source + ".txt"), job)
        assert "100000" in text, text
        names = download_all(page)
        assert names == [o + ".txt" for o in JOB_OUTPUTS[job]]
        for o in JOB_OUTPUTS[job]:
            assert same_bytes(os.path.join(page.downloads, o + ".txt"),
                              os.path.join(points, "tool", f"{job}.{o}.txt")), (job, o)
    run_file(page, os.path.join(points, "GGRS87-SENh.txt"), "convert", "ggrs87-tm87",
             "htrs07-geographic")
    assert download_all(page) == ["HTRS07-SFLh.txt"]
    assert same_bytes(os.path.join(page.downloads, "HTRS07-SFLh.txt"),
                      os.path.join(points, "tool", "convert.HTRS07-SFLh.txt"))
    page.shot("files", "web-files.png")
    page.js("document.getElementById('picture').scrollIntoView()")
    assert page.wait("return document.getElementById('picture-status').dataset.points > 0", 30)
    page.shot("picture", "web-picture.png")


def test_a_point_outside_the_grid_names_it_and_offers_nothing(page, work):
    path = os.path.join(work, "outside.txt")
    with open(path, "w", newline="") as f:
        f.write("IN,566296.541,4529332.314,6.501\r\nFAR,500000,6000000,10\r\n")
    text = run_file(page, path, "senh-to-htrs07")
    messages = page.close_messages()
    assert messages and messages[0][0] == "Λανθασμένη Επιλογή Σημείου"
    assert messages[0][1] == "Το σημείο είναι εκτός του καννάβου : FAR"
    assert "FAR" in text and "outside.txt, line 2" in text, text
    assert page.driver.find_elements(By.CSS_SELECTOR, "#downloads a") == []


def test_cancel_stops_the_run_and_offers_nothing(page, work):
    folder = os.path.join(work, "million")
    os.makedirs(folder)
    subprocess.run([BENCH_TOOL, "points", "1000000", "5", folder], check=True,
                   capture_output=True)
    page.el("file").send_keys(os.path.join(folder, "HTRS07-SXYZ.txt"))
    Select(page.el("job")).select_by_value("sxyz-to-ggrs87")
    page.el("run").click()
    assert page.wait("const p = document.getElementById('progress'); "
                     "return p.hasAttribute('value') && p.value > 0", 60)
    page.el("cancel").click()
    assert page.wait("return document.getElementById('progress-box').hidden", 10)
    assert "cancelled" in page.el("job-status").text
    assert page.driver.find_elements(By.CSS_SELECTOR, "#downloads a") == []
    # The next run goes on a new worker.
    text = run_file(page, os.path.join(REF, "mainland", "HTRS07-SXYZ.txt"), "sxyz-to-ggrs87")
    assert "300" in text


def test_the_grids_are_kept_after_a_reload(page, server):
    page.open(server.url())
    assert page.el("Text14").get_attribute("value") == "408"
    assert page.el("Text3").get_attribute("value") == "42000."
    assert "kept from the last visit" in page.el("grid-status").text
    page.shot("grids", "web-grids.png")


def test_the_example_grids_carry_the_test_data_warning(page, server):
    page.el("example-grids").click()
    assert page.wait("return !document.getElementById('test-data').hidden")
    assert "TEST DATA" in page.el("test-data").text
    assert "ΔΕΝ είναι οι επίσημοι" in page.el("test-data").text
    page.choose_grids()


def test_the_page_runs_from_its_folder_without_a_server(work):
    downloads = os.path.join(work, "file-downloads")
    os.makedirs(downloads)
    p = Page(os.path.join(work, "file-profile"), downloads)
    try:
        p.open("file://" + os.path.join(WEB, "index.html"))
        p.region("kastelorizo")
        record = first_records("kastelorizo", "HTRS07-KAST-SXYZ.txt", 1)[0]
        values, messages = convert_in_page(p, "htrs07-xyz", "ggrs87-tm87", fields_of(record))
        assert messages == []
        assert values == tool_convert("kastelorizo", "htrs07-xyz", "ggrs87-tm87", record, work)
        text = run_file(p, os.path.join(REF, "kastelorizo", "HTRS07-KAST-SXYZ.txt"),
                        "sxyz-to-ggrs87")
        assert "200" in text, text
        names = download_all(p)
        for name in names:
            expected = os.path.join(REF, "kastelorizo", f"expected-sxyz-to-ggrs87.{name}")
            assert same_bytes(os.path.join(downloads, name), expected), name
        assert [u for u in p.requested_urls()
                if u.split(":", 1)[0] in ("http", "https", "ws", "wss", "ftp")] == []
        if SHOTS:
            p.driver.set_window_size(1400, 1000)
            p.driver.save_screenshot(os.path.join(SHOTS, "web-page.png"))
    finally:
        p.quit()
