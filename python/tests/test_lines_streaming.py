"""Record text through the engine in pieces (transform_chunks, and transform_lines over many
pieces): the tool's bytes wherever the pieces cut the text, its stops at the right line, and a
stream left half way or stopped by Ctrl+C that leaves the Transformer usable."""

import io
import subprocess
import sys

import pytest

import vortan
from conftest import DE, DN, cli_convert, input_file

GOOD = "P1,566446.108,2529618.096,51.610\r\n"


def _pieces_of(data, sizes):
    """data cut into pieces of the given sizes in turn, the last piece what remains."""
    pieces, start, k = [], 0, 0
    while start < len(data):
        size = sizes[k % len(sizes)]
        pieces.append(data[start:start + size])
        start += size
        k += 1
    return pieces


@pytest.mark.parametrize("region,from_form,to_form", [
    ("mainland", "htrs07-xyz", "ggrs87-tm87"),
    ("mainland", "ggrs87-tm87", "htrs07-geographic"),
    ("kastelorizo", "ggrs87-geographic", "htrs07-xyz"),
])
@pytest.mark.parametrize("how", ["file", "bytes cut every 7", "pieces cut anywhere", "str"])
def test_transform_chunks_writes_the_bytes_of_cli_convert(tmp_path, region, from_form, to_form,
                                                          how):
    source = input_file(tmp_path, region, from_form)
    expected, _ = cli_convert(tmp_path, region, from_form, to_form, source)
    t = vortan.Transformer(from_form, to_form, region=region, dn=DN, de=DE, threads=2)
    data = source.read_bytes()
    if how == "file":
        with open(source, "rb") as f:
            out = list(t.transform_chunks(f, chunk_size=4096))
    elif how == "bytes cut every 7":
        out = list(t.transform_chunks(data, chunk_size=7))
    elif how == "pieces cut anywhere":
        out = list(t.transform_chunks(iter(_pieces_of(data, [1, 13, 2, 4099, 5]))))
    else:
        out = list(t.transform_chunks(io.StringIO(data.decode()), chunk_size=1000))
    assert b"".join(out) == expected
    assert all(piece.endswith(b"\r\n") for piece in out)  # pieces of whole lines


def test_transform_chunks_returns_the_points_written():
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)

    def run():
        return (yield from t.transform_chunks((GOOD * 3).encode(), chunk_size=5))

    chunks = run()
    with pytest.raises(StopIteration) as end:
        while True:
            next(chunks)
    assert end.value.value == 3


def test_transform_lines_over_many_pieces_is_cli_convert(tmp_path):
    # More lines than the engine is handed at once, ids with a comma and a line break in
    # quotes: every line whole and in order across the pieces.
    source = input_file(tmp_path, "mainland", "htrs07-xyz")
    lines = source.read_bytes().splitlines(keepends=True)
    quoted = [b'"kerb, A\r\nB' + str(i).encode() + b'",' + b",".join(line.rsplit(b",", 3)[1:])
              for i, line in enumerate(lines)]
    many = (lines + quoted) * 40
    big = tmp_path / "big.txt"
    big.write_bytes(b"".join(many))
    expected, _ = cli_convert(tmp_path, "mainland", "htrs07-xyz", "ggrs87-tm87", big)
    t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=DN, de=DE)
    written = t.transform_lines(many)
    assert len(written) == len(many) > 16384
    assert b"".join(written) == expected
    assert written[len(lines)].startswith(b'"kerb, A\r\nB0"')


@pytest.mark.parametrize("bad,error,line", [
    ("FAR,1500000,2529618.096,0\r\n", vortan.OutsideGridError, 40001),
    ("P2,566446.108,25x9618,51.610\r\n", vortan.JobError, 40001),
])
def test_transform_chunks_stops_at_the_line_in_the_whole_text(bad, error, line):
    # The stop lies far beyond the first pieces: its line is counted in the whole text, and the
    # pieces given before it hold every line before it.
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    good = t.transform_lines([GOOD.encode()])[0]
    text = (GOOD * 40000 + bad + GOOD * 10).encode()
    out = []
    with pytest.raises(error) as raised:
        for piece in t.transform_chunks(text, chunk_size=4096):
            out.append(piece)
    assert raised.value.line == line
    assert b"".join(out) == good * 40000


def test_a_line_or_piece_of_another_kind_is_a_type_error():
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    with pytest.raises(TypeError, match="all str or all bytes"):
        t.transform_lines([GOOD] * 20000 + [GOOD.encode()])
    with pytest.raises(TypeError, match="not int"):
        t.transform_lines([GOOD, 5])
    with pytest.raises(TypeError, match="a piece of the text must be bytes or str, not int"):
        list(t.transform_chunks([GOOD.encode(), 5]))
    assert t.transform_lines([GOOD, GOOD]) == t.transform_lines([GOOD]) * 2  # still usable


def test_a_stream_left_half_way_ends_its_job_and_the_transformer_goes_on():
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    chunks = t.transform_chunks((GOOD * 100000).encode(), chunk_size=4096)
    first = next(chunks)
    chunks.close()  # the job is stopped, not waited for to its end
    assert first.startswith(t.transform_lines([GOOD.encode()])[0])
    assert t.transform_lines([GOOD.encode()] * 3) == t.transform_lines([GOOD.encode()]) * 3


CHILD = f"""
import itertools, os, signal, threading, vortan
t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn={str(DN)!r}, de={str(DE)!r}, threads=1)
endless = itertools.repeat({GOOD!r}.encode() * 1000)
threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
try:
    for piece in t.transform_chunks(endless):
        pass
except KeyboardInterrupt:
    print("interrupted", len(t.transform_lines([{GOOD!r}] * 2)), flush=True)
"""


def test_ctrl_c_stops_a_stream_and_the_transformer_goes_on():
    # An endless text: only Ctrl+C ends it; the job is stopped, not left running or waited for.
    run = subprocess.run([sys.executable, "-c", CHILD], capture_output=True, text=True,
                         timeout=120)
    assert run.stdout == "interrupted 2\n", run.stderr


@pytest.mark.parametrize("region,from_form,to_form", [
    ("mainland", "htrs07-xyz", "ggrs87-tm87"),
    ("kastelorizo", "ggrs87-geographic", "htrs07-xyz"),
])
def test_transform_file_parts_join_into_the_bytes_of_cli_convert(tmp_path, region, from_form,
                                                                 to_form):
    source = input_file(tmp_path, region, from_form)
    expected, _ = cli_convert(tmp_path, region, from_form, to_form, source)
    t = vortan.Transformer(from_form, to_form, region=region, dn=DN, de=DE, threads=2)
    data = source.read_bytes()
    cuts = [0, data.index(b"\n", len(data) // 3) + 1, data.index(b"\n", len(data) // 2) + 1,
            len(data)]
    out = b""
    for k, (start, end) in enumerate(zip(cuts, cuts[1:])):
        target = tmp_path / f"part-{k}.txt"
        length = None if end == len(data) else end - start
        assert t.transform_file(source, target, offset=start, length=length) == \
            data[start:end].count(b"\n")
        out += target.read_bytes()
    assert out == expected


def test_transform_file_refuses_a_bad_part_and_counts_lines_from_first_line(tmp_path):
    source = tmp_path / "in.txt"
    source.write_bytes((GOOD * 4 + "P9,1,2\r\n" + GOOD).encode())
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    target = tmp_path / "out.txt"
    for offset, words in ((3, "begins inside a line"), (10**9, "has no part at byte")):
        with pytest.raises(vortan.JobError, match=words):
            t.transform_file(source, target, offset=offset)
    with pytest.raises(ValueError, match="offset"):
        t.transform_file(source, target, offset=-1)
    # The part from the third line on, numbered as in the whole file: the bad record is line 5.
    with pytest.raises(vortan.JobError) as stop:
        t.transform_file(source, target, offset=2 * len(GOOD), first_line=3)
    assert stop.value.line == 6 and "line 5" in str(stop.value)
