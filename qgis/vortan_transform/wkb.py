"""The vertices of geometries in WKB as numpy arrays, and back: every point of every part
(points, lines, rings of polygons with their holes, multi-geometries, collections, circular
strings, compound curves, curve polygons, polyhedral surfaces, TINs and triangles) in the order
of the WKB. A chunk of geometries is one buffer; each vertex is known by the byte offset of its
x, so that the coordinates are read and written in place, M values and the structure staying
as they are. Nothing here needs QGIS.

The structure of a chunk is read with numpy, every geometry of the chunk at once, one level of
parts after another; a geometry of very many parts or rings is read part by part instead.
"""

import math
import struct

import numpy as np

_UINT32 = struct.Struct("<I").unpack_from
_TWO_DOUBLES = struct.Struct("<2d").unpack_from
_FOUR = np.arange(4)
_EIGHT = np.arange(8)

# Base types of ISO WKB.
_POINT = 1
_CURVES = (2, 8)                           # LineString, CircularString
_RINGS = (3, 17)                           # Polygon, Triangle
_COLLECTIONS = (4, 5, 6, 7, 9, 10, 11, 12, 15, 16)
_NAMES = {1: "Point", 2: "LineString", 3: "Polygon", 4: "MultiPoint", 5: "MultiLineString",
          6: "MultiPolygon", 7: "GeometryCollection", 8: "CircularString", 9: "CompoundCurve",
          10: "CurvePolygon", 11: "MultiCurve", 12: "MultiSurface", 15: "PolyhedralSurface",
          16: "TIN", 17: "Triangle"}
# Parts or rings above which a geometry is read part by part.
_WIDE = 64

_Z_FLAG, _M_FLAG, _SRID_FLAG = 0x80000000, 0x40000000, 0x20000000


class WkbError(ValueError):
    """A geometry whose WKB this module does not read (an unknown type, big-endian bytes)."""


def type_name(code):
    return _NAMES.get(code % 1000, str(code))


def _layout(code):
    """Base type, stride in bytes and offset of z in a vertex (-1 for none) of a type code."""
    flags = code & 0xE0000000
    code &= 0x0FFFFFFF
    dims = code // 1000
    has_z = dims in (1, 3) or bool(flags & _Z_FLAG)
    has_m = dims in (2, 3) or bool(flags & _M_FLAG)
    return code % 1000, 8 * (2 + has_z + has_m), 16 if has_z else -1


def _parse_one(buf, pos, runs, size):
    """The runs (offset of the first x, count, stride, z offset) of the geometry at pos, one
    part after another; returns the position after it."""
    if pos + 5 > size or buf[pos] != 1:
        raise WkbError("a geometry in big-endian or damaged WKB")
    code = _UINT32(buf, pos + 1)[0]
    pos += 9 if code & _SRID_FLAG else 5
    base, stride, z = _layout(code)
    if base == _POINT:
        x, y = _TWO_DOUBLES(buf, pos)
        if not (math.isnan(x) and math.isnan(y)):  # an empty point has none
            runs.append((pos, 1, stride, z))
        return pos + stride
    if base in _CURVES or base in _RINGS:
        lists = 1
        if base in _RINGS:
            lists = _UINT32(buf, pos)[0]
            pos += 4
        for _ in range(lists):
            n = _UINT32(buf, pos)[0]
            pos += 4
            if pos + n * stride > size:
                raise WkbError("a geometry whose WKB ends before its points")
            if n:
                runs.append((pos, n, stride, z))
            pos += n * stride
        return pos
    if base in _COLLECTIONS:
        parts = _UINT32(buf, pos)[0]
        pos += 4
        for _ in range(parts):
            pos = _parse_one(buf, pos, runs, size)
        return pos
    raise WkbError(f"the geometry type {type_name(code & 0x0FFFFFFF)} is not one this plugin "
                   "converts")


class _Reader:
    """The runs of vertices of many geometries of one buffer at once."""

    def __init__(self, buffer):
        self.buf = buffer
        self.u8 = np.frombuffer(buffer, dtype=np.uint8)
        self.size = len(buffer)
        self.runs = []  # arrays: offsets, counts, strides, z

    def check(self, ends):
        if ends.size and (ends.max() > self.size or ends.min() < 0):
            raise WkbError("a geometry whose WKB ends before its points")

    def uint32(self, pos):
        self.check(pos + 4)
        return self.u8[pos[:, None] + _FOUR].view("<u4").reshape(-1).astype(np.int64)

    def float64(self, pos):
        self.check(pos + 8)
        return self.u8[pos[:, None] + _EIGHT].view("<f8").reshape(-1)

    def add(self, offsets, counts, strides, z):
        keep = counts > 0
        if keep.any():
            self.runs.append((offsets[keep], counts[keep], strides[keep], z[keep]))

    def one_by_one(self, pos):
        ends = np.empty_like(pos)
        for k, p in enumerate(pos):
            runs = []
            ends[k] = _parse_one(self.buf, int(p), runs, self.size)
            if runs:
                self.runs.append(tuple(np.array(c, dtype=np.int64) for c in zip(*runs)))
        return ends

    def parse(self, pos):
        """Reads the geometries at positions pos; returns the position after each."""
        if pos.size == 0:
            return pos
        self.check(pos + 5)
        if (self.u8[pos] != 1).any():
            raise WkbError("a geometry in big-endian WKB")
        code = self.uint32(pos + 1)
        body = pos + np.where(code & _SRID_FLAG, 9, 5)
        flags = code & 0xE0000000
        plain = code & 0x0FFFFFFF
        base, dims = plain % 1000, plain // 1000
        has_z = np.isin(dims, (1, 3)) | ((flags & _Z_FLAG) != 0)
        has_m = np.isin(dims, (2, 3)) | ((flags & _M_FLAG) != 0)
        stride = 8 * (2 + has_z.astype(np.int64) + has_m.astype(np.int64))
        z = np.where(has_z, 16, -1)
        ends = np.full_like(pos, -1)

        points = base == _POINT
        if points.any():
            p = body[points]
            empty = np.isnan(self.float64(p)) & np.isnan(self.float64(p + 8))
            self.add(p, (~empty).astype(np.int64), stride[points], z[points])
            ends[points] = p + stride[points]

        curves = np.isin(base, _CURVES)
        if curves.any():
            n = self.uint32(body[curves])
            start = body[curves] + 4
            ends[curves] = start + n * stride[curves]
            self.check(ends[curves])
            self.add(start, n, stride[curves], z[curves])

        rings = np.isin(base, _RINGS)
        if rings.any():
            where = np.flatnonzero(rings)
            count = self.uint32(body[where])
            wide = count > _WIDE
            if wide.any():
                ends[where[wide]] = self.one_by_one(pos[where[wide]])
                where, count = where[~wide], count[~wide]
            at, st, zz = body[where] + 4, stride[where], z[where]
            for r in range(int(count.max()) if count.size else 0):
                active = count > r
                p = at[active]
                n = self.uint32(p)
                self.add(p + 4, n, st[active], zz[active])
                at[active] = p + 4 + n * st[active]
                self.check(at)
            ends[where] = at

        collections = np.isin(base, _COLLECTIONS)
        if collections.any():
            where = np.flatnonzero(collections)
            count = self.uint32(body[where])
            wide = count > _WIDE
            if wide.any():
                ends[where[wide]] = self.one_by_one(pos[where[wide]])
                where, count = where[~wide], count[~wide]
            at = body[where] + 4
            for k in range(int(count.max()) if count.size else 0):
                active = count > k
                at[active] = self.parse(at[active])
            ends[where] = at

        unknown = ~(points | curves | rings | collections)
        if unknown.any():
            raise WkbError(f"the geometry type {type_name(int(plain[unknown][0]))} is not one "
                           "this plugin converts")
        return ends


class Vertices:
    """The vertices of a chunk of WKB geometries (None for a feature without geometry).

    buffer: the geometries one after the other; bounds[i], bounds[i + 1]: the bytes of geometry
    i; first[i], first[i + 1]: its vertices; offsets: the byte offset of each vertex's x; z:
    the offset of its z within the vertex, -1 where it has none."""

    def __init__(self, wkbs):
        lengths = np.array([0 if w is None else len(w) for w in wkbs], dtype=np.int64)
        self.bounds = np.zeros(len(wkbs) + 1, dtype=np.int64)
        np.cumsum(lengths, out=self.bounds[1:])
        self.buffer = bytearray(b"".join(w for w in wkbs if w is not None))
        self.present = [w is not None for w in wkbs]
        starts = self.bounds[:-1][np.array(self.present, dtype=bool)] if wkbs else self.bounds[:0]
        reader = _Reader(self.buffer)
        ends = reader.parse(starts)
        if not np.array_equal(ends, self.bounds[1:][np.array(self.present, dtype=bool)] if wkbs
                              else ends):
            raise WkbError("a geometry whose WKB holds more or fewer bytes than its structure")
        if reader.runs:
            offset, count, stride, z = (np.concatenate(c) for c in zip(*reader.runs))
            order = np.argsort(offset, kind="stable")  # the order of the WKB
            offset, count, stride, z = offset[order], count[order], stride[order], z[order]
        else:
            offset = count = stride = z = np.zeros(0, dtype=np.int64)
        total = int(count.sum())
        feature = np.searchsorted(self.bounds, offset, side="right") - 1
        per_feature = np.bincount(feature, weights=count, minlength=len(wkbs)).astype(np.int64)
        self.first = np.zeros(len(wkbs) + 1, dtype=np.int64)
        np.cumsum(per_feature, out=self.first[1:])
        within = np.arange(total, dtype=np.int64) - np.repeat(np.cumsum(count) - count, count)
        self.offsets = np.repeat(offset, count) + within * np.repeat(stride, count)
        self.z = np.repeat(z, count)
        # Vertices by the residue of their offset modulo 8: each group is read and written as
        # doubles of one view of the buffer.
        residue = self.offsets & 7
        self._groups = []
        for k in range(8):
            members = np.flatnonzero(residue == k)
            if members.size:
                self._groups.append((k, members, (self.offsets[members] - k) >> 3))

    def __len__(self):
        return int(self.first[-1])

    def _view(self, k):
        return np.frombuffer(self.buffer, dtype="<f8", count=(len(self.buffer) - k) // 8,
                             offset=k)

    def xyz(self):
        """x, y and z of every vertex (z = 0 where a vertex has none), and whether each has z."""
        n = len(self)
        x, y, z = np.empty(n), np.empty(n), np.zeros(n)
        has_z = self.z >= 0
        for k, members, index in self._groups:
            view = self._view(k)
            x[members] = view[index]
            y[members] = view[index + 1]
            with_z = has_z[members]
            if with_z.any():
                z[members[with_z]] = view[index[with_z] + 2]
        return x, y, z, has_z

    def set_xyz(self, x, y, z=None):
        """Writes x, y (and z where a vertex has one) of every vertex."""
        has_z = self.z >= 0
        for k, members, index in self._groups:
            view = self._view(k)
            view[index] = x[members]
            view[index + 1] = y[members]
            if z is not None:
                with_z = has_z[members]
                if with_z.any():
                    view[index[with_z] + 2] = z[members[with_z]]

    def wkb(self, i):
        """The bytes of geometry i (None for a feature without geometry)."""
        if not self.present[i]:
            return None
        return bytes(memoryview(self.buffer)[self.bounds[i]:self.bounds[i + 1]])
