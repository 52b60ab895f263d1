// ventaro_map: paints the world map picture from plain land outlines.
//   ventaro_map <land outlines.txt> <map.png>
// The outline file holds one ring per line as "longitude,latitude" pairs (extract_land.mjs makes
// it from the world-atlas package); lines starting with "#" are comments.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "art/canvas.h"
#include "map/map_layout.h"

namespace {

using namespace world_map;

struct Point {
    double lon, lat;
};
using Ring = std::vector<Point>;

std::vector<Ring> read_rings(const std::string& path) {
    std::vector<Ring> rings;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string pair;
        Ring ring;
        while (words >> pair) {
            Point p{};
            if (std::sscanf(pair.c_str(), "%lf,%lf", &p.lon, &p.lat) == 2) ring.push_back(p);
        }
        if (ring.size() >= 3) rings.push_back(std::move(ring));
    }
    return rings;
}

// Rings that cross the date line are unwrapped into one continuous run of longitudes; a ring that
// goes once round the globe (Antarctica) is closed along its pole. The caller draws every ring
// also shifted by a full turn either way, so both sides of the date line get their part.
std::vector<Ring> unwrap(const std::vector<Ring>& rings) {
    std::vector<Ring> out;
    for (const Ring& r : rings) {
        Ring u;
        double shift = 0;
        for (size_t i = 0; i < r.size(); ++i) {
            if (i > 0) {
                const double step = r[i].lon - r[i - 1].lon;
                if (step > 180) shift -= 360;
                if (step < -180) shift += 360;
            }
            u.push_back({r[i].lon + shift, r[i].lat});
        }
        const double turn = u.back().lon - u.front().lon;
        if (std::fabs(turn) > 180) {
            double mean = 0;
            for (const Point& p : u) mean += p.lat;
            const double pole = mean < 0 ? -90 : 90;
            u.push_back({u.back().lon, pole});
            u.push_back({u.front().lon, pole});
        }
        out.push_back(std::move(u));
    }
    return out;
}

// Fraction of each texel covered by land: four sample rows per texel, exact span overlap across.
std::vector<float> land_cover(const std::vector<Ring>& rings) {
    std::vector<float> cover(band_width * band_height, 0.0f);
    constexpr int sub = 4;
    std::vector<double> xs;
    for (int y = 0; y < band_height; ++y)
        for (int k = 0; k < sub; ++k) {
            const double t = y + (k + 0.5) / sub;
            xs.clear();
            for (const Ring& r : rings)
                for (int turn = -1; turn <= 1; ++turn)
                    for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
                        const double ya = t_of_latitude(static_cast<float>(r[j].lat));
                        const double yb = t_of_latitude(static_cast<float>(r[i].lat));
                        if ((ya > t) == (yb > t)) continue;
                        const double xa = (r[j].lon + 360.0 * turn + 180) * texels_per_degree;
                        const double xb = (r[i].lon + 360.0 * turn + 180) * texels_per_degree;
                        xs.push_back(xa + (xb - xa) * (t - ya) / (yb - ya));
                    }
            std::sort(xs.begin(), xs.end());
            for (size_t m = 0; m + 1 < xs.size(); m += 2) {
                const double a = std::max(xs[m], 0.0), b = std::min(xs[m + 1], double(band_width));
                for (int x = static_cast<int>(std::floor(a)); x < b && x < band_width; ++x) {
                    const double overlap = std::min(b, x + 1.0) - std::max(a, double(x));
                    if (overlap > 0) cover[y * band_width + x] += static_cast<float>(overlap / sub);
                }
            }
        }
    for (float& c : cover) c = std::min(c, 1.0f);
    return cover;
}

bool on_seam(double lon) { return std::fabs(std::fmod(std::fabs(lon), 360.0) - 180.0) < 1e-6; }

// Coverage of a thin coastline stroke along every ring.
std::vector<float> coast_cover(const std::vector<Ring>& rings, float half_width) {
    std::vector<float> cover(band_width * band_height, 0.0f);
    for (const Ring& r : rings)
        for (int turn = -1; turn <= 1; ++turn)
            for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
                // Edges along the date line or the pole are where the outlines were cut, not coast.
                if (on_seam(r[i].lon) && on_seam(r[j].lon)) continue;
                const float ax = s_of_longitude(static_cast<float>(r[j].lon + 360.0 * turn));
                const float bx = s_of_longitude(static_cast<float>(r[i].lon + 360.0 * turn));
                const float ay = t_of_latitude(static_cast<float>(r[j].lat)), by = t_of_latitude(static_cast<float>(r[i].lat));
                const int x0 = std::max(0, static_cast<int>(std::floor(std::min(ax, bx) - 2)));
                const int x1 = std::min(band_width, static_cast<int>(std::ceil(std::max(ax, bx) + 2)));
                const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - 2)));
                const int y1 = std::min(band_height, static_cast<int>(std::ceil(std::max(ay, by) + 2)));
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x) {
                        const float d = art::sd_segment(x + 0.5f, y + 0.5f, ax, ay, bx, by, half_width);
                        const float c = std::clamp(0.5f - d, 0.0f, 1.0f);
                        float& slot = cover[y * band_width + x];
                        slot = std::max(slot, c);
                    }
            }
    return cover;
}

art::Colour rgb(unsigned v, float a = 1) {
    return {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f, (v & 255) / 255.0f, a};
}

void paint_band(art::Canvas& canvas, int band, const std::vector<float>& land, const std::vector<float>& coast) {
    const BandColours& col = band_colours[band];
    const art::Colour sea = rgb(col.sea), ground = rgb(col.land), shore = rgb(col.coast);
    const int t0 = band_bottom[band];
    for (int y = 0; y < band_height; ++y)
        for (int x = 0; x < band_width; ++x) {
            const int k = y * band_width + x;
            art::Colour c = art::mix(sea, ground, land[k]);
            c = art::mix(c, shore, coast[k] * (band == band_base ? 0.8f : 0.9f));
            canvas.set(x, t0 + y, c);
            // Tile edges: a faint grid on the base map; on the tile looks, a frame round each tile
            // so neighbouring tiles on offer or chosen stay apart.
            const int lx = x % tile, ly = y % tile;
            if (band == band_base) {
                if (lx == 0 || ly == 0 || x == band_width - 1 || y == band_height - 1)
                    canvas.blend(x, t0 + y, rgb(col.grid), 0.28f);
            } else if (lx == 0 || ly == 0 || lx == tile - 1 || ly == tile - 1) {
                canvas.blend(x, t0 + y, rgb(col.grid), band == band_offered ? 0.55f : 0.8f);
            }
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ventaro_map <land outlines.txt> <map.png>\n");
        return 2;
    }
    const std::vector<Ring> rings = unwrap(read_rings(argv[1]));
    if (rings.empty()) {
        std::fprintf(stderr, "ventaro_map: no land outlines in %s\n", argv[1]);
        return 1;
    }
    const std::vector<float> land = land_cover(rings);
    const std::vector<float> coast = coast_cover(rings, 0.35f);
    art::Canvas canvas(width, height);
    for (int band = 0; band < band_count; ++band) paint_band(canvas, band, land, coast);
    if (!art::write_png(canvas, argv[2])) {
        std::fprintf(stderr, "ventaro_map: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
