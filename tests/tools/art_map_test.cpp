// The world map and the backdrop: the map's three bands lie where the tile picker reads them and
// show land and sea where they are on the globe; the backdrop is the theme's background colour
// and repeats without a seam.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "art/atlas_table.h"
#include "map/map_layout.h"
#include "tools/picture.h"

namespace {

using namespace world_map;

int distance(unsigned a, unsigned b) {
    int d = 0;
    for (int shift : {16, 8, 0}) d += std::abs(int((a >> shift) & 255) - int((b >> shift) & 255));
    return d;
}

class WorldMap : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loaded_ = read_picture(resource_path("map.png"), map_); }
    void SetUp() override { ASSERT_TRUE(loaded_) << "cannot read " << resource_path("map.png"); }

    // True when the texel at a tile's centre is nearer the band's land colour than its sea colour.
    static bool land_at(int band, float lon, float lat) {
        const unsigned c = map_.rgb(static_cast<int>(s_of_longitude(lon)), band_bottom[band] + static_cast<int>(t_of_latitude(lat)));
        return distance(c, band_colours[band].land) < distance(c, band_colours[band].sea);
    }

    static inline Picture map_;
    static inline bool loaded_ = false;
};

TEST_F(WorldMap, IsTheSizeTheTexturesExpect) {
    EXPECT_EQ(map_.width, width);
    EXPECT_EQ(map_.height, height);
}

TEST_F(WorldMap, BandsAreOpaqueAndTheRestIsEmpty) {
    for (int t = 0; t < height; ++t)
        for (int s = 0; s < width; ++s) {
            const bool in_band = s < band_width && t < band_bottom[band_count - 1] + band_height;
            ASSERT_EQ(map_.alpha(s, t), in_band ? 255 : 0) << "s " << s << ", t " << t;
        }
}

TEST_F(WorldMap, LandAndSeaAreWhereTheGlobeHasThem) {
    // Tile centres (longitude, latitude) well away from any coast.
    struct Place {
        const char* name;
        float lon, lat;
        bool land;
    };
    const Place places[] = {
        {"Congo basin", 25, 5, true},         {"Amazon", -55, -5, true},
        {"Siberia", 105, 65, true},           {"Central Australia", 135, -25, true},
        {"Antarctic plateau", 5, -85, true},  {"Sahara", 15, 25, true},
        {"Equatorial Atlantic", -35, 5, false}, {"Central Pacific", -145, 5, false},
        {"Indian Ocean", 75, -25, false},     {"South Atlantic", -25, -45, false},
        {"North Pacific", -175, 45, false},
    };
    for (int band = 0; band < band_count; ++band)
        for (const Place& p : places) EXPECT_EQ(land_at(band, p.lon, p.lat), p.land) << p.name << " in band " << band;
}

TEST_F(WorldMap, TheThreeBandsLookDifferent) {
    // The same sea tile in each band: base, offered and chosen must be told apart at a glance.
    const int s = static_cast<int>(s_of_longitude(-35)), t = static_cast<int>(t_of_latitude(5));
    const unsigned base = map_.rgb(s, band_bottom[band_base] + t);
    const unsigned offered = map_.rgb(s, band_bottom[band_offered] + t);
    const unsigned chosen = map_.rgb(s, band_bottom[band_chosen] + t);
    EXPECT_GT(distance(base, offered), 20);
    EXPECT_GT(distance(offered, chosen), 60);
}

TEST(Backdrop, IsTheInterfaceBackgroundAndTiles) {
    Picture bg;
    ASSERT_TRUE(read_picture(resource_path("background.png"), bg));
    ASSERT_EQ(bg.width, 1024);
    ASSERT_EQ(bg.height, 1024);
    unsigned slot39 = 0;
    for (const art::Swatch& w : art::theme_swatches)
        if (w.slot == 39) slot39 = w.rgb;
    std::map<unsigned, int> counts;
    int seam = 0;
    for (int t = 0; t < bg.height; ++t)
        for (int s = 0; s < bg.width; ++s) {
            ASSERT_EQ(bg.alpha(s, t), 255);
            ++counts[bg.rgb(s, t)];
        }
    for (int k = 0; k < 1024; ++k) {
        seam = std::max(seam, distance(bg.rgb(0, k), bg.rgb(1023, k)));
        seam = std::max(seam, distance(bg.rgb(k, 0), bg.rgb(k, 1023)));
    }
    // Most of the picture is exactly the interface background; the rest is faint line work.
    EXPECT_GT(counts[slot39], bg.width * bg.height / 2);
    // Opposite edges meet as neighbouring texels do, so the picture repeats without a seam.
    EXPECT_LT(seam, 40);
}

}  // namespace
