#pragma once
// Quad strips: ribbons of rungs along a chain of points, such as the two edges of a road.
// Points 2k and 2k+1 are the two ends of rung k; rung 0 is the front.
#include <vector>

#include "core/geometry.h"

using QuadStrip = std::vector<Point3>;

// How much further forward the even side of the front quad reaches than the odd side (negative
// when the odd side does). Needs two rungs.
double LongerSideOfQuad(const QuadStrip& strip);

// Reverses the points: the strip runs the other way with its sides swapped.
void ReverseQuadStrip(QuadStrip& strip);

// One rung per chain point, width[i] across and square to up[i], its end along (travel x up) first;
// a corner gets a mitred rung, a point where the chain turns back two rungs. A chain of fewer than
// two points leaves out as it was. up and width hold one entry per chain point.
void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& up,
                      const std::vector<double>& width, QuadStrip& out);

// Cuts dist off the front, measured along each side, and hands the cut piece out as a strip
// whose last rung is the new front. square_cut lengthens the cut on the side that reaches further
// forward so the cut runs square across. Nothing is cut when either side is too short.
void RemoveFromQuadStripFront(QuadStrip& strip, double dist, QuadStrip& removed, bool square_cut);
// The same from the back; the removed strip starts at the old back.
void RemoveFromQuadStripBack(QuadStrip& strip, double dist, QuadStrip& removed, bool square_cut);
