"""Ctrl+C: a real SIGINT stops a long transform within a moment, saying how far it got."""

import os
import re
import signal
import subprocess
import sys
import time

from conftest import DE, DN

POINTS = 15_000_000  # over a second of one thread across the datum, even on a quiet machine
CHILD = f"""
import numpy as np, vortan
t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn={str(DN)!r}, de={str(DE)!r}, threads=1)
x, y, z = (np.full({POINTS}, v) for v in (4560187.929, 1793377.277, 4069248.371))
print("converting", flush=True)
try:
    t.transform(x, y, z)
    print("finished", flush=True)
except KeyboardInterrupt as e:
    print("interrupted:", e, flush=True)
"""


def test_sigint_stops_a_long_transform_within_a_moment_with_the_index_reached():
    child = subprocess.Popen([sys.executable, "-c", CHILD], stdout=subprocess.PIPE, text=True,
                             env=dict(os.environ))
    try:
        assert child.stdout.readline().strip() == "converting"
        time.sleep(0.15)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        line = child.stdout.readline()
        elapsed = time.monotonic() - sent
    finally:
        child.kill()
        child.wait()
    reached = re.fullmatch(rf"interrupted: .* at point (\d+) of {POINTS}\b.*\n", line)
    assert reached and 0 < int(reached.group(1)) < POINTS, line
    # About 0.2 s at most on a quiet machine; a loaded one is given more.
    assert elapsed < 1.0, elapsed
