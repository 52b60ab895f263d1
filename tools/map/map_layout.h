#pragma once
// Layout of the world map picture "map.png" (512 x 1024), shared by its painter and its tests.
// Three bands of the same 504 x 252 equirectangular map lie one above the other, counted from the
// picture's bottom edge (t, as the texture manager stores rows): the base map, the look of a tile
// that has scenery on offer, and the look of a chosen tile. A tile is 10 x 10 degrees and 14 x 14
// texels: tile (j, i) covers longitudes 10j - 180 .. 10j - 170 and latitudes 10i - 90 .. 10i - 80.

namespace world_map {

constexpr int width = 512, height = 1024;
constexpr int band_width = 504, band_height = 252, tile = 14;
constexpr int band_count = 3;
constexpr int band_base = 0, band_offered = 1, band_chosen = 2;
constexpr int band_bottom[band_count] = {0, 252, 504};
constexpr float texels_per_degree = 1.4f;

constexpr float s_of_longitude(float lon) { return (lon + 180.0f) * texels_per_degree; }
constexpr float t_of_latitude(float lat) { return (lat + 90.0f) * texels_per_degree; }

// The colours each band paints land and sea with (0xRRGGBB); tests tell land from sea by them.
struct BandColours {
    unsigned sea, land, coast, grid;
};
constexpr BandColours band_colours[band_count] = {
    {0xC6D8E8, 0xDCD5C1, 0x7D8C9A, 0xFFFFFF},
    {0xD6E7F4, 0xBFD8A6, 0x5F8358, 0x6E9A5F},
    {0x9DBEE2, 0x3E78BD, 0x1F4F86, 0x1F4F86},
};

}  // namespace world_map
