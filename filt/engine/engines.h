// The two 2-D transform engines of the library (internal, not exported).
//
// Both work in place on single-precision complex data laid out as in a
// vxFrequencyBuffer: H rows of W values, no gap between rows, each value two
// floats, real part first. W and H are powers of two from 1 to 2048 in the compatible
// mode, and any sides from 1 to 16384 in the extended mode (any_engine.h). Neither
// engine scales its result, and both run the same float operations in the same
// order on every call, so their output is reproducible bit for bit.
//
// Attention checks (vfThrowExceptionOnFailure(vsys_attention_check())) fall at
// fixed points: every row r of a pass that is a multiple of 16 and is not
// skipped, once per blocked transpose, and once in the real engine's completion
// step. A check that reports attention throws and leaves the data partly
// transformed; the working memory of the call is released on every exit.
#ifndef VXFREQ_FILT_ENGINES_H
#define VXFREQ_FILT_ENGINES_H

#include "platform/geometry.h"

// Transforms the W x H complex array at `data` in place. `size` is (W, H);
// `direction` >= 0 is the forward transform X[k] = sum x[n] e^(-2 pi i nk/N) along
// each axis, `direction` < 0 the inverse (e^(+2 pi i nk/N)). [`miny`, `maxy`] is the
// band of kept rows as centred row indices (stored row v has centred index
// (v + H/2) mod H, so the DC row stays at centred index H/2); every row outside the
// band must hold only zeros, and the first pass and the in-place transpose skip them.
// (0, H) keeps all rows.
void vf_ComplexFFT2D(float* data, vxPair<long> size, long direction, long miny, long maxy);

// The same transform out of place: the W x H array at `source` (not changed) is
// transformed into rows that may lie anywhere: row r of the result, 2W floats, goes
// to destination[r] (none of them overlapping `source` or another). The bits are
// exactly those that copying `source` into one array and running vf_ComplexFFT2D
// there would give, the rows outside the band included, and the attention checks
// are the same.
void vf_ComplexFFT2DInto(const float* source, float* const* destination, vxPair<long> size,
                         long direction, long miny, long maxy);
// The same into one W x H array at `destination`.
void vf_ComplexFFT2DInto(const float* source, float* destination, vxPair<long> size, long direction,
                         long miny, long maxy);

// Forward transform of a real W x H image. On entry `data` holds H rows of 2W
// floats, the W samples of each row in its first W floats (floats W .. 2W-1 of a
// row are not read when W >= 2; when W = 1 the row's second float, the imaginary
// part, must be 0). On return it holds the full W x H complex spectrum in the
// layout of vf_ComplexFFT2D, equal within rounding to the complex engine's forward
// transform of the samples and exactly conjugate-symmetric. Only the forward
// transform exists: `direction` < 0 throws std::invalid_argument before anything
// is allocated or touched. The band arguments are accepted and not used.
void vf_RealFFT2D(float* data, vxPair<long> size, long direction, long miny, long maxy);

#endif
