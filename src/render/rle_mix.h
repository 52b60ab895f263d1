#pragma once
// Tinting a run-length packed picture while it is unpacked: a base stream and a weight stream of
// the same grid are walked together, and every base texel's four channels are scaled by factors
// that its weight texel's four bytes pick from small tables.
//
// Factors: F[k] = B[k] + (w0*T0[k] >> 8) + (w1*T1[k] >> 8) + (w2*T2[k] >> 8) + (w3*T3[k] >> 8),
// clamped to 0..256 (the shifts round toward minus infinity, so table entries may be negative);
// an output channel is (c[k] * F[k]) >> 8. A zero base texel stays zero without any arithmetic,
// and once the weight stream has ended the base passes through unchanged.

// The four factors of one weight texel.
void unpack_and_mix(int weight, const int* T0, const int* T1, const int* T2, const int* T3, const int* B, int* F);

// Writes count texels to out and moves both stream positions past what it used. A window should
// end on a run edge of both streams; a run that goes on past it is cut at count and the rest of
// it passed over, so nothing is written beyond out[count - 1] and the positions stay on run
// boundaries. Returns 1 when the base stream ended in this call (the rest of the window is then
// zero and the base position stays on its end word), else 0.
int unpack_mix(const int*& base, const int*& weights, int* out, int count, const int* T0, const int* T1,
               const int* T2, const int* T3, const int* B);
