#pragma once
// Convex hulls of flat lists of floats: points are x, y, z each; planes a, b, c, d with
// a*x + b*y + c*z + d > 0 inside; triangles nine floats, clockwise seen from outside.
#include <vector>

// The hull of the points, cut to 1/1024 units toward zero with repeats dropped. A point with a
// coordinate that is not finite is left out. Fewer than three points give empty lists.
void UTL_create_ch_brute_force(const std::vector<float>& points, std::vector<float>& planes,
                               std::vector<float>& triangles);

// Keeping the inside drops points outside any plane; otherwise it drops points strictly inside
// every plane. A trailing partial point stays as it is.
void UTL_trim_to_inside_hull(const std::vector<float>& planes, std::vector<float>& points, bool keep_inside);

// The same hull as the brute-force one, after dropping the points strictly inside the hull of the
// six extreme points.
void UTL_create_ch_two_stage(const std::vector<float>& points, std::vector<float>& planes,
                             std::vector<float>& triangles);
