// The factors the engines multiply by, as tables that every path reads (internal).
//
// The stage of a split-radix transform of length L = 2^k multiplies by the twiddle
// factors w1 = e^(2 pi i j / L) and w3 = e^(2 pi i 3j / L), j = 0 .. L/4 - 1; the
// real-input engine's unpacking by w = e^(-2 pi i (i - 1) / W), i = 2 .. W/4. Both
// modes keep them in the same tables, so the kernels that read them exist once:
//
//   compatible  each level's factors advanced from (1, 0) by rotation in float, with
//               the rotation of that level from cos and sin in double; the unpacking
//               factors by their float recurrence from one sinf pair. Built for every
//               call, exactly as the float recurrences of the reference reach them.
//   extended    every factor computed in double precision by cosSinTwoPi (basic IEEE
//               operations only, so the same bits on every machine) and rounded to
//               float: correctly rounded unless the value lies within 1e-16 of a point
//               halfway between two floats. Built once per process for every level up
//               to 2^14, and read by every call.
#ifndef VXFREQ_FILT_ENGINE_TWIDDLES_H
#define VXFREQ_FILT_ENGINE_TWIDDLES_H

#include <cstdint>
#include <vector>

namespace vx_detail {

// cos(2 pi m / n) and sin(2 pi m / n) for any n from 1 to 2^30 and any m, in
// double precision from additions, multiplications and divisions alone: the angle is
// reduced exactly (in integers) to [0, pi/4] and then summed as Taylor series. Their
// error is below 2^-52 of 1.
void cosSinTwoPi(std::int64_t m, std::int64_t n, double& c, double& s);

// The twiddle factors of levels 2 .. maxLevel and the unpacking factors of one call.
class EngineTables {
public:
  // The deepest level the extended mode's tables hold: rows of up to 2^14 values.
  static constexpr int kAccurateLevels = 14;
  // Levels 0 .. kLevels - 1 have a place in levelOffset.
  static constexpr int kLevels = 16;

  // Tables for rows of up to 2^maxLevel values; with `unpackLength` n >= 2 also the
  // unpacking factors of real rows of 2n samples. `accurate`: the extended mode's
  // factors (maxLevel and log2(2n) at most kAccurateLevels), else the compatible mode's.
  EngineTables(int maxLevel, std::int32_t unpackLength, bool accurate);

  // Level k's L/4 quadruples (wr1, wi1, wr3, wi3) start at twiddles() + levelOffset()[k].
  const float* twiddles() const { return twiddles_; }
  const std::int32_t* levelOffset() const { return levelOffset_; }
  // (wr, wi) of unpacking step i = 2 .. n/2 at unpack()[2 (i - 2)].
  const float* unpack() const { return unpack_.data(); }

private:
  std::vector<float> ownTwiddles_;
  std::vector<float> unpack_;
  const float* twiddles_ = nullptr;
  std::int32_t levelOffset_[kLevels] = {};
};

}  // namespace vx_detail

#endif
