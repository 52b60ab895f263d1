#include "core/shared_constants.h"
#include "core/runway_constants.h"

#include <gtest/gtest.h>

namespace {

// Built by this file's static initialisation, after the file's own copies of the constants.
const std::string early_copy_of_bitmaps = bmp_path;
const std::string early_copy_of_resources = rsrc_path;

TEST(SharedConstants, FolderNamesJoinTheirBaseWithoutSeparator) {
    const struct {
        const std::string& value;
        const char* expected;
    } cases[] = {
        {app_name, "Ventaro "},
        {version_string, "Ventaro 10.00Beta1"},
        {rsrc_path, "Resources/"},
        {out_path, "Output/"},
        {bmp_path, "Resources/bitmaps/"},
        {sound_path, "Resources/sounds/"},
        {prefs_path, "Output/preferences/"},
        {data_path, "Resources/default data/"},
        {reg_path, "Output/regions/"},
        {spa_path, "Output/spaceships/"},
        {stor_path, "Output/Add-On Store/"},
        {wpn_path, "Weapons/"},
        {acf_path, "Aircraft/"},
        {apt_path_def, "KJFK"},
        {no_install_name, "Not Yet Scanned"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, c.expected);
    EXPECT_EQ(acf_path_def.rfind("Aircraft/General Aviation/", 0), 0u);
    EXPECT_TRUE(acf_path_def.ends_with("/c4.acf"));
}

TEST(SharedConstants, StaticObjectsSeeTheFullValues) {
    EXPECT_EQ(early_copy_of_bitmaps, "Resources/bitmaps/");
    EXPECT_EQ(early_copy_of_resources, "Resources/");
}

TEST(SharedConstants, NumbersAndTheirRelations) {
    EXPECT_EQ(ran_nums_05, 316);
    EXPECT_EQ(ran_nums_03, 46);
    EXPECT_EQ(ran_nums_06, 2155);
    EXPECT_EQ(kgstopph, kgstolbh);
    EXPECT_FLOAT_EQ(degtorad * radtodeg, 1.0f);
    EXPECT_FLOAT_EQ(lbstontn * ntntolbs, 1.0f);
    EXPECT_FLOAT_EQ(pastopsi, 1.0f / 6895.0f);
    EXPECT_FLOAT_EQ(nmtomtrs * mtrstonm, 1.0f);
}

TEST(RunwayConstants, MasksAnglesAndLimits) {
    EXPECT_EQ(rwy_surface_mask, 15);
    EXPECT_EQ(rwy_shoulder_mask, 7);
    EXPECT_EQ(lgt_edge_mask, 3);
    EXPECT_EQ(reil_mask, 3);
    for (int n = 1; n <= 16; ++n) EXPECT_GE(1 << bits_needed[n], n) << n;  // enough bits for n values
    EXPECT_EQ(f9, f3);
    EXPECT_FLOAT_EQ(f1, 8.4f * degtorad);
    EXPECT_EQ(max_vis_ter_mtrs[0], 100.0f * smtomtrs);
    EXPECT_EQ(max_vis_ter_mtrs[1], 100.0f * smtomtrs);
}

}  // namespace
