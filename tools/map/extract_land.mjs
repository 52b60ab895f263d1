// Turns the land outlines of the world-atlas TopoJSON into plain longitude/latitude rings.
// Usage: node extract_land.mjs path/to/land-110m.json > land_110m.txt
// The topology is decoded here (quantised, delta-coded arcs shared between rings), so nothing but
// node itself is needed.
import { readFileSync } from "node:fs";

const topo = JSON.parse(readFileSync(process.argv[2], "utf8"));
const [sx, sy] = topo.transform.scale;
const [tx, ty] = topo.transform.translate;

// Undo the delta coding and the quantisation of every arc once.
const arcs = topo.arcs.map((arc) => {
  let x = 0, y = 0;
  return arc.map(([dx, dy]) => {
    x += dx; y += dy;
    return [x * sx + tx, y * sy + ty];
  });
});

// A ring is a list of arc indices; ~i walks arc i backwards. Consecutive arcs share an end point.
function ring(indices) {
  const out = [];
  for (const i of indices) {
    const pts = i >= 0 ? arcs[i] : arcs[~i].slice().reverse();
    out.push(...(out.length ? pts.slice(1) : pts));
  }
  return out;
}

const lines = [
  "# Land outlines of Natural Earth (public domain), 1:110m, from the npm package world-atlas 2.0.2.",
  "# One ring per line: longitude,latitude pairs in degrees. Rings are filled even-odd.",
];
for (const g of topo.objects.land.geometries) {
  const polys = g.type === "Polygon" ? [g.arcs] : g.type === "MultiPolygon" ? g.arcs : [];
  for (const poly of polys)
    for (const r of poly)
      lines.push(ring(r).map(([x, y]) => `${x.toFixed(3)},${y.toFixed(3)}`).join(" "));
}
process.stdout.write(lines.join("\n") + "\n");
