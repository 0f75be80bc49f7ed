// The extended mode's engines at sizes other than powers of two on both sides
// (internal): the same passes and attention checks as the power-of-two engines
// (schedule.h), with the transforms of any length of any_plan.h along both axes.
#ifndef VXFREQ_FILT_ENGINE_ANY_ENGINE_H
#define VXFREQ_FILT_ENGINE_ANY_ENGINE_H

#include <cstdint>
#include <functional>
#include <vector>

namespace vx_detail {

// Whether the extended mode takes a W x H array through these engines: every size that
// is not a power of two along both axes (those keep the split-radix engines' bits).
bool anySizeEngine(std::int32_t width, std::int32_t height);

// vf_ComplexFFT2DInto's contract at any size from 1 x 1 to 16384 x 16384.
void anyComplexFFT2D(const float* source, float* const* destination, std::int32_t width,
                     std::int32_t height, bool inverse, long miny, long maxy);

// vf_RealFFT2D's contract at any size: the rows' W samples in place, the full
// conjugate-symmetric spectrum out.
void anyRealFFT2D(float* data, std::int32_t width, std::int32_t height);

// The real-output engine, the extended mode's inverse for results defined by their real
// part, at every size from 1 x 1 to 16384 x 16384 (powers of two included): the unscaled
// inverse transform of the Hermitian part (X(u, v) + conj X(-u, -v)) / 2 of the W x H
// spectrum at `source`, which is the real part of the complex engine's inverse within
// rounding, with half its work. Row r of the result, W values (sample, 0), goes to
// destination[r] (2W floats; the rows may be those of `source` itself, for a result in
// place). The columns 0 .. W/2 run first, then the rows; the attention checks fall
// before every column and row that is a multiple of 16. With a `sink`, each row is also
// handed to it as soon as it is done, while it is still in cache: sink(r, row), from
// the engine's tasks, so for several rows at once under a parallel scope.
//
// `symmetric` says that the caller knows the spectrum to be conjugate-symmetric (a real
// picture's spectrum, through filters that keep the symmetry). The engine then takes
// the mirror of each value x in the columns 1 <= c < W/2 to be conj x without reading
// it: the Hermitian part there is (x + x) / 2, which is x, and only the columns 0 ..
// W/2 are read. That is what reading the mirror gives for a spectrum whose mirrored
// values are the conjugates bit for bit; the flag is part of what defines the result.
using RowSink = std::function<void(std::int32_t row, const float* values)>;
void anyRealOutputFFT2D(const float* source, float* const* destination, std::int32_t width,
                        std::int32_t height, const RowSink* sink = nullptr, bool symmetric = false);

// The real-output engine where both sides are powers of two, W >= 4 and H >= 2
// (real_output.cpp): the same Hermitian part, row packing and schedule, with the
// split-radix transforms of the extended mode's complex inverse along the columns and
// along the packed rows in place of the Stockham stages. The other sizes take the
// engine of any size.
void pow2RealOutputFFT2D(const float* source, float* const* destination, std::int32_t width,
                         std::int32_t height, const RowSink* sink, bool symmetric);

// The real-output rows' steps shared by both forms of the engine. The packing factors
// of rows of W = 2n samples: (cos, sin)(2 pi k / W) for k = 1 .. (n - 1)/2.
std::vector<float> packFactors(std::int32_t n);
// A row's half spectrum (values 0 .. n, 2n + 2 floats) packed in place into the
// n-point transform Z whose inverse holds the samples 2j and 2j + 1 as its value j.
void packOutputRow(float* row, std::int32_t n, const float* factors);
// The 2n samples at the start of `row` spread out as its W = 2n values (sample, 0).
void spreadOutputRow(float* row, std::int32_t n);

}  // namespace vx_detail

#endif
