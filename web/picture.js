// The picture of the page: the points of the last conversion, in TM07, over the extent of the
// correction grids with the correction field (dE, dN or their length) as a colour map, a
// scale bar and a legend; where the region has no grids (Kastelorizo), over the outline of the
// area it serves and, dashed, the limit beyond which a point is far from it. Drawing only: the
// values and outlines come from the engine.
function drawPicture(canvas, scene) {
  'use strict';
  const ctx = canvas.getContext('2d');
  const width = canvas.width;
  const height = canvas.height;
  ctx.fillStyle = '#ffffff';
  ctx.fillRect(0, 0, width, height);
  const legendWidth = 140;
  const margin = 30;
  const plot = { x: margin, y: margin, w: width - legendWidth - 2 * margin, h: height - 2 * margin - 30 };

  // The extent drawn: the grid's; else that of the points and of the region's area, so that
  // points far from the region show far from its outline (with a margin).
  let extent = null;
  const h = scene.header;
  const area = scene.area;
  if (h) {
    extent = { west: h.eWest - h.step / 2, east: h.eEast + h.step / 2,
      south: h.nSouth - h.step / 2, north: h.nNorth + h.step / 2 };
  } else if ((scene.east && scene.east.length) || area) {
    let w = Infinity, e = -Infinity, s = Infinity, n = -Infinity;
    const take = (east, north) => {
      if (!Number.isFinite(east) || !Number.isFinite(north)) return;
      w = Math.min(w, east); e = Math.max(e, east);
      s = Math.min(s, north); n = Math.max(n, north);
    };
    for (let i = 0; scene.east && i < scene.east.length; ++i) take(scene.east[i], scene.north[i]);
    if (area) for (const [east, north] of area.near) take(east, north);
    if (w <= e) {
      const pad = Math.max(1000, 0.1 * Math.max(e - w, n - s));
      extent = { west: w - pad, east: e + pad, south: s - pad, north: n + pad };
    }
  }
  if (!extent) {
    ctx.fillStyle = '#555';
    ctx.font = '16px sans-serif';
    ctx.fillText('Δεν υπάρχουν ακόμη σημεία ή κάνναβοι – no points or grids yet', plot.x, plot.y + 20);
    return;
  }
  // Square metres: the same scale along both axes.
  const scale = Math.min(plot.w / (extent.east - extent.west), plot.h / (extent.north - extent.south));
  const ox = plot.x + (plot.w - scale * (extent.east - extent.west)) / 2;
  const oy = plot.y + (plot.h - scale * (extent.north - extent.south)) / 2;
  const X = (e) => ox + (e - extent.west) * scale;
  const Y = (n) => oy + (extent.north - n) * scale;

  // The correction field, one pixel a node, row 1 (north) first.
  let range = null;
  if (h && scene.dE && scene.dN) {
    const field = scene.field || 'length';
    const count = h.rowCount * h.columnCount;
    const values = new Float32Array(count);
    let lo = Infinity, hi = -Infinity;
    for (let k = 0; k < count; ++k) {
      const v = field === 'dE' ? scene.dE[k] : field === 'dN' ? scene.dN[k]
        : Math.hypot(scene.dE[k], scene.dN[k]);
      values[k] = v;
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
    const diverging = field !== 'length';
    if (diverging) {
      const m = Math.max(Math.abs(lo), Math.abs(hi)) || 1;
      lo = -m; hi = m;
    } else if (hi === lo) {
      hi = lo + 1;
    }
    range = { lo, hi, diverging, field };
    const image = new ImageData(h.columnCount, h.rowCount);
    for (let k = 0; k < count; ++k) {
      const c = colour((values[k] - lo) / (hi - lo), diverging);
      image.data[4 * k] = c[0];
      image.data[4 * k + 1] = c[1];
      image.data[4 * k + 2] = c[2];
      image.data[4 * k + 3] = 255;
    }
    const bitmap = document.createElement('canvas');
    bitmap.width = h.columnCount;
    bitmap.height = h.rowCount;
    bitmap.getContext('2d').putImageData(image, 0, 0);
    ctx.imageSmoothingEnabled = false;
    ctx.drawImage(bitmap, X(extent.west), Y(extent.north),
      (extent.east - extent.west) * scale, (extent.north - extent.south) * scale);
    ctx.strokeStyle = '#333';
    ctx.strokeRect(X(extent.west), Y(extent.north), (extent.east - extent.west) * scale,
      (extent.north - extent.south) * scale);
  }
  // The extent test of the data-file program, dashed.
  if (scene.bounds) {
    const b = scene.bounds;
    ctx.save();
    ctx.setLineDash([6, 4]);
    ctx.strokeStyle = '#222';
    ctx.strokeRect(X(b.eMin), Y(b.nMax), (b.eMax - b.eMin) * scale, (b.nMax - b.nMin) * scale);
    ctx.restore();
  }

  // The region's area: the limit beyond which a point is far from it, dashed, and the area
  // itself with its name; a small circle around it where it is too small to see at this scale.
  if (area) {
    const outline = (points) => {
      ctx.beginPath();
      points.forEach(([east, north], k) => (k ? ctx.lineTo(X(east), Y(north)) : ctx.moveTo(X(east), Y(north))));
      ctx.closePath();
    };
    const box = (points) => {
      const xs = points.map(([east]) => X(east));
      const ys = points.map(([, north]) => Y(north));
      return { x0: Math.min(...xs), x1: Math.max(...xs), y0: Math.min(...ys), y1: Math.max(...ys) };
    };
    ctx.save();
    ctx.setLineDash([6, 4]);
    ctx.strokeStyle = '#b05a00';
    ctx.lineWidth = 1.5;
    outline(area.near);
    ctx.stroke();
    ctx.restore();
    ctx.save();
    ctx.fillStyle = 'rgba(30, 90, 160, 0.12)';
    ctx.strokeStyle = '#1e5aa0';
    ctx.lineWidth = 2;
    outline(area.served);
    ctx.fill();
    ctx.stroke();
    const b = box(area.served);
    if (Math.max(b.x1 - b.x0, b.y1 - b.y0) < 12) {
      ctx.beginPath();
      ctx.arc((b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2, 10, 0, 2 * Math.PI);
      ctx.stroke();
    }
    // The name above the dashed limit, within the canvas.
    const nb = box(area.near);
    ctx.fillStyle = '#1e5aa0';
    ctx.font = 'bold 14px sans-serif';
    const textWidth = ctx.measureText(area.label).width;
    ctx.fillText(area.label, Math.max(4, Math.min(nb.x0, width - textWidth - 4)), Math.max(16, nb.y0 - 8));
    // Their key, top left.
    ctx.font = '13px sans-serif';
    ctx.fillRect(plot.x, 10, 22, 10);
    ctx.fillStyle = '#000';
    ctx.fillText(area.label, plot.x + 30, 20);
    ctx.setLineDash([6, 4]);
    ctx.strokeStyle = '#b05a00';
    ctx.lineWidth = 1.5;
    ctx.strokeRect(plot.x, 28, 22, 10);
    ctx.fillText('πέρα από αυτό το όριο: μακριά / beyond this limit: far', plot.x + 30, 38);
    ctx.restore();
  }

  // The points.
  const n = scene.east ? scene.east.length : 0;
  if (n) {
    const size = n > 20000 ? 1.5 : n > 1000 ? 2.5 : 5;
    ctx.fillStyle = 'rgba(20, 20, 20, 0.75)';
    for (let i = 0; i < n; ++i) {
      ctx.fillRect(X(scene.east[i]) - size / 2, Y(scene.north[i]) - size / 2, size, size);
    }
    if (n <= 3) {
      ctx.strokeStyle = '#fff';
      ctx.lineWidth = 2;
      for (let i = 0; i < n; ++i) {
        ctx.beginPath();
        ctx.arc(X(scene.east[i]), Y(scene.north[i]), 9, 0, 2 * Math.PI);
        ctx.stroke();
      }
      ctx.lineWidth = 1;
    }
  }

  // Scale bar: a round length near a fifth of the plot.
  const target = (plot.w / 5) / scale;
  const power = Math.pow(10, Math.floor(Math.log10(target)));
  const length = [1, 2, 5, 10].map((k) => k * power).filter((l) => l <= target).pop() || power;
  const barX = plot.x;
  const barY = height - 28;
  ctx.fillStyle = '#000';
  ctx.fillRect(barX, barY, length * scale, 6);
  ctx.fillStyle = '#fff';
  ctx.fillRect(barX + length * scale / 2, barY + 1, length * scale / 2 - 1, 4);
  ctx.fillStyle = '#000';
  ctx.font = '13px sans-serif';
  ctx.fillText(length >= 1000 ? `${length / 1000} km` : `${length} m`, barX + length * scale + 8, barY + 7);
  ctx.fillText(`TM07 · ${n} σημεία / points` + (scene.total && scene.total > n ? ` (από / of ${scene.total})` : ''),
    barX + length * scale + 80, barY + 7);

  // Legend: the colour bar with its values in centimetres.
  if (range) {
    const lx = width - legendWidth + 10;
    const ly = plot.y + 20;
    const lh = Math.min(300, plot.h - 40);
    for (let y = 0; y < lh; ++y) {
      const c = colour(1 - y / lh, range.diverging);
      ctx.fillStyle = `rgb(${c[0]},${c[1]},${c[2]})`;
      ctx.fillRect(lx, ly + y, 22, 1);
    }
    ctx.strokeStyle = '#333';
    ctx.strokeRect(lx, ly, 22, lh);
    ctx.fillStyle = '#000';
    ctx.font = '13px sans-serif';
    const name = range.field === 'length' ? '|d|' : range.field;
    ctx.fillText(`${name} [cm]`, lx - 4, ly - 8);
    for (let k = 0; k <= 4; ++k) {
      const v = range.hi - (k / 4) * (range.hi - range.lo);
      ctx.fillText(v.toFixed(1), lx + 28, ly + (k / 4) * lh + 4);
    }
    if (scene.bounds) {
      ctx.save();
      ctx.setLineDash([6, 4]);
      ctx.strokeStyle = '#222';
      ctx.strokeRect(lx, ly + lh + 20, 22, 12);
      ctx.restore();
      ctx.fillText('όρια / extent', lx + 28, ly + lh + 30);
    }
  }

  // Colours: light yellow to dark blue for a length, blue through white to red for a signed
  // value; t from 0 to 1.
  function colour(t, signed) {
    t = Math.min(1, Math.max(0, t));
    const stops = signed
      ? [[33, 102, 172], [146, 197, 222], [247, 247, 247], [244, 165, 130], [178, 24, 43]]
      : [[255, 255, 204], [161, 218, 180], [65, 182, 196], [44, 127, 184], [37, 52, 148]];
    const x = t * (stops.length - 1);
    const i = Math.min(stops.length - 2, Math.floor(x));
    const f = x - i;
    return stops[i].map((v, k) => Math.round(v + (stops[i + 1][k] - v) * f));
  }
}
