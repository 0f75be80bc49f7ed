// The argument checks of the filters' builds and applies, and the numeric helpers the
// builds share (internal).
#ifndef VXFREQ_FILT_FILTERS_CHECKS_H
#define VXFREQ_FILT_FILTERS_CHECKS_H

#include "filt/fft.h"

#include <cstdint>
#include <limits>

namespace vx_detail {

// Truncation toward zero to 32 bits. Values outside the 32-bit range and NaN give
// INT32_MIN, as the processor's truncating conversion does.
inline std::int32_t truncToInt32(double value) {
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<std::int32_t>(value);
  return std::numeric_limits<std::int32_t>::min();
}

// The larger of a and b: a when a >= b, else b (so a NaN `a` gives b).
inline double maxOf(double a, double b) { return a >= b ? a : b; }

// InvalidArgument "Frequency must be between 0.0 and 0.5." unless 0 <= f <= 0.5.
void checkFrequency(double frequency);
// Whether n is a filter size: 1, 2, 4, ... 2^30.
bool isFilterSize(long n);
// The checks that end every build's validation, in order: InvalidArgument with
// `negativeRadius` for a radius below 0, then InvalidSize "Size must be a power of 2."
// unless x, then y, is a filter size, then InvalidArgument for a radius that does not
// fit the 32-bit field.
void checkRadiusAndSize(long radius, const vxPair<long>& size, const wchar_t* negativeRadius);
// The checks every apply makes, in order: the buffer holds data, in the extended mode
// it holds no spatial samples (InvalidBuffer), the filter is built (else Uninitialized
// with `unbuiltMessage`), the sizes match.
void checkApply(const vxFrequencyBuffer& source, bool built, const wchar_t* unbuiltMessage,
                long width, long height);
// Getters and setters of the band and Gabor filters need a table: Uninitialized
// "FrequencyFilter has not been initialized" otherwise.
void requireTable(const float* table);

}  // namespace vx_detail

#endif
