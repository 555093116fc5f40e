"""The page served over http(s) as an installable web app, in headless Chromium with the
fixtures of test_page.py: after one visit its service worker keeps its files, so that with the
server gone the page opens and converts as the tool does; its manifest names the page, its
start and its icon.

    VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data \\
        /usr/bin/python3 -m pytest tests/web/test_page_offline.py
"""
import os

from test_page import (WEB, Page, Server, convert_in_page, fields_of, first_records,
                       tool_convert, work)

__all__ = ["work"]  # the fixture of test_page.py, used here by name

FETCH_JSON = """const done = arguments[arguments.length - 1];
fetch(arguments[0]).then((r) => r.json()).then(done, (e) => done(String(e)));"""


def test_served_once_the_page_opens_and_converts_without_the_server(work):
    server = Server(WEB)
    downloads = os.path.join(work, "offline-downloads")
    os.makedirs(downloads, exist_ok=True)
    p = Page(os.path.join(work, "offline-profile"), downloads)
    try:
        p.open(server.url())
        assert p.wait("return document.body.dataset.offline", 30) == "ready", p.console()
        assert p.wait("return navigator.serviceWorker.controller !== null", 15), p.console()
        manifest = p.driver.execute_async_script(FETCH_JSON, "manifest.webmanifest")
        assert manifest["start_url"] == "index.html" and manifest["display"] == "standalone"
        assert [i["src"] for i in manifest["icons"]] == ["icon.svg"]
        assert os.path.exists(os.path.join(WEB, "icon.svg"))

        server.stop()
        # An address the browser's own cache has never seen: only the service worker has it.
        p.open(server.url("index.html?offline"))
        assert p.js("return navigator.serviceWorker.controller !== null")
        record = first_records("mainland", "HTRS07-SXYZ.txt", 1)[0]
        values, messages = convert_in_page(p, "htrs07-xyz", "htrs07-tm07", fields_of(record))
        assert messages == []
        assert values == tool_convert("mainland", "htrs07-xyz", "htrs07-tm07", record, work)
    finally:
        p.quit()
