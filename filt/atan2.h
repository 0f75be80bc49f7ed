// vxfreq's own single-precision arctangent, the same bits on every machine.
//
// The angle outputs of the library (vfInverseFFTAngle, vf_ComputeAngleImage) use it
// instead of the C library's atan2f, whose results differ between C libraries and
// even between processors with the same C library: glibc 2.36, for one, returns
// results one unit in the last place apart on x86-64 and on aarch64 for about one
// argument pair in a thousand.
#ifndef VXFREQ_FILT_ATAN2_H
#define VXFREQ_FILT_ATAN2_H

#include "platform/vx_export.h"

// The angle of the point (x, y) in radians, in [-pi, pi], rounded to float: what
// atan2f(y, x) computes, with the C99 results for zeros, infinities and NaN (the
// sign of a zero y is kept, a -0 x counts as negative).
//
// It is computed in double precision from the basic IEEE operations alone (no
// library function, no fused multiply-add), so the result is the same bit for bit
// on every processor, compiler and C library. Its error before the final rounding
// is below 1e-15 relative, so the float result is the correctly rounded angle
// except when the exact angle lies within that distance of a point halfway between
// two floats (none was found among 4 million pairs). It therefore differs from a C
// library's atan2f wherever that one is not correctly rounded, by one unit in the
// last place: glibc 2.36's x86-64 atan2f is one unit off for about one pair in
// seven (operands of magnitudes 2^-40 to 2^20).
VX_API float vfAtan2f(float y, float x);

#endif
