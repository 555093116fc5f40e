"""The page as it is delivered, in headless Chromium: its package unzipped into a folder whose
path has Greek letters and a space, opened from the disk, converting a reference file as the
tool does.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page_delivery.py
"""
import os
import re
import zipfile

from test_page import (REF, WEB, Page, download_all, run_file, run_tool,
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
    # What index.html names, and vortan-wasm.js, which the page loads from the disk.
    loads = set(re.findall(r'(?:src|href)="([\w.-]+\.(?:js|css))"', page)) | {"vortan-wasm.js"}
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
