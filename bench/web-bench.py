#!/usr/bin/python3
"""The page against the native tool, in one run: sxyz-to-ggrs87 on 1,000,000 points in the page
(headless Chromium, one Worker) and with `vortan-transform --threads 1`, alternately; the time
from opening the page on a local server to its being usable; the size of vortan.wasm, plain and
compressed. Figures are the best of the rounds and ratios against the native tool measured in
the same rounds (the machine is shared and noisy).

    /usr/bin/python3 bench/web-bench.py [--build build] [--web build-web] [--points 1000000]
                                        [--rounds 3] [--loads 5]
"""
import argparse
import gzip
import os
import shutil
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "web"))

parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
parser.add_argument("--build", default=os.path.join(here, "..", "build"))
parser.add_argument("--web", default=os.path.join(here, "..", "build-web"))
parser.add_argument("--points", type=int, default=1000000)
parser.add_argument("--rounds", type=int, default=3)
parser.add_argument("--loads", type=int, default=5)
args = parser.parse_args()
build = os.path.abspath(args.build)
web = os.path.abspath(args.web)
os.environ["VORTAN_WEB"] = web
os.environ["VORTAN_BUILD"] = build
import test_page  # noqa: E402  (the page's server and browser, from the tests)

tool = os.path.join(build, "bin", "vortan-transform")
bench_tool = os.path.join(build, "bin", "vortan-bench-tool")
dn = os.path.join(build, "bin", "dN_2km_V1-0.grd")
de = os.path.join(build, "bin", "dE_2km_V1-0.grd")
work = tempfile.mkdtemp(prefix="vortan-web-bench-")


def native_seconds(points_file):
    out = os.path.join(work, "time.txt")
    outs = [os.path.join(work, f"native{k}.txt") for k in range(4)]
    subprocess.run([bench_tool, "time", out, tool, "--threads", "1", "--dn", dn, "--de", de,
                    "sxyz-to-ggrs87", points_file, *outs], check=True, capture_output=True)
    with open(out) as f:
        return float(f.read().split()[0])


try:
    subprocess.run([bench_tool, "points", str(args.points), "1", work], check=True,
                   capture_output=True)
    points_file = os.path.join(work, "HTRS07-SXYZ.txt")
    server = test_page.Server(web)

    # Opening the page: each time in a new browser profile (nothing cached).
    loads = []
    for k in range(args.loads):
        os.makedirs(os.path.join(work, f"d{k}"))
        page = test_page.Page(os.path.join(work, f"p{k}"), os.path.join(work, f"d{k}"))
        page.open(server.url())
        loads.append(int(page.js("return document.body.dataset.readyMs")) / 1000)
        page.quit()

    os.makedirs(os.path.join(work, "downloads"))
    page = test_page.Page(os.path.join(work, "profile"), os.path.join(work, "downloads"))
    page.open(server.url())
    page.choose_grids(os.path.join(build, "bin"))
    natives, workers, totals = [], [], []
    from selenium.webdriver.support.ui import Select
    for r in range(args.rounds):
        natives.append(native_seconds(points_file))
        page.el("file").send_keys(points_file)
        Select(page.el("job")).select_by_value("sxyz-to-ggrs87")
        page.el("run").click()
        # Asked seldom, so that the asking takes no time from the worker.
        assert page.wait("return !document.getElementById('run').disabled && "
                         "document.getElementById('progress-box').hidden", 600, every=1)
        status = page.el("job-status")
        assert str(args.points) in status.text, status.text
        workers.append(float(status.get_attribute("data-seconds")))
        totals.append(float(status.get_attribute("data-total")))
        print(f"round {r + 1}: native {natives[-1]:.3f} s, page {workers[-1]:.3f} s in the "
              f"worker, {totals[-1]:.3f} s from the button to the files", flush=True)
    page.quit()
    server.stop()

    wasm = open(os.path.join(web, "vortan.wasm"), "rb").read()
    gz = len(gzip.compress(wasm, 9))
    br = len(subprocess.run(["brotli", "-c", "-q", "11"], input=wasm, capture_output=True,
                            check=True).stdout) if shutil.which("brotli") else 0
    best_native, best_worker, best_total = min(natives), min(workers), min(totals)
    print()
    print(f"sxyz-to-ggrs87, {args.points} points, best of {args.rounds}:")
    print(f"  native tool, 1 thread:           {best_native:.3f} s")
    print(f"  page, in the worker:             {best_worker:.3f} s  = "
          f"{best_worker / best_native:.2f} x the native tool")
    print(f"  page, button to files:           {best_total:.3f} s  = "
          f"{best_total / best_native:.2f} x the native tool")
    print(f"page usable after opening (s):     {', '.join(f'{s:.2f}' for s in loads)}"
          f" (best {min(loads):.2f}, worst {max(loads):.2f})")
    print(f"vortan.wasm: {len(wasm)} bytes, {gz} gzip -9, {br} brotli -q 11")
finally:
    shutil.rmtree(work, ignore_errors=True)
