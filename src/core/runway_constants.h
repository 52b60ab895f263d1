#pragma once
// Runway flag-word layout, approach angles and cloud limits. Include after shared_constants.h.
#include "core/shared_constants.h"

const int mask_needed[5] = {0, 1, 3, 7, 15};                                   // by field width in bits
const int bits_needed[17] = {1, 1, 1, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4};  // bits for n values

const int rwy_surface_mask = mask_needed[4];
const int rwy_shoulder_mask = mask_needed[3];
const int lgt_edge_mask = mask_needed[2];
const int lgt_gls_mask = mask_needed[3];
const int lgt_app_mask = mask_needed[4];
const int rwy_markings_mask = mask_needed[3];
const int reil_mask = mask_needed[2];

// Flags common to a runway.
const int rwy_shoulder_offset = 4;
const int roughness_offset = 7;
const int lgt_edge_offset = 19;
const int rcls_offset = 21;
const int dis_remaining_offset = 22;
const int end_sign_offset = 23;
const int sealane_offset = 24;
const int helipad_offset = 25;
const int common_flags_count = 26;

// Flags of each runway end.
const int gls_slope_offset = 3;
const int lgt_app_offset = 15;
const int rwy_markings_offset = 19;
const int tdzl_offset = 22;
const int reil_offset = 23;
const int per_side_flags_count = 25;

// Angles in radians: 8.4, 10.8, 4.2, 5.4, 7.8, 3.6, 4.8, 7.2 and 4.2 degrees.
const float f1 = 0.14660767f;
const float f2 = 0.18849556f;
const float f3 = 0.07330383f;
const float f4 = 0.09424778f;
const float f5 = 0.13613568f;
const float f6 = 0.06283186f;
const float f7 = 0.0837758f;
const float f8 = 0.12566371f;
const float f9 = 0.07330383f;

const float hi_ele_cld_mtr = 12192.0f;
const float layer_sep_mtrs = 609.60004f;
const float max_vis_ter_mtrs[2] = {100.0f * smtomtrs, 100.0f * smtomtrs};
