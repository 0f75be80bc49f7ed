// The 1-D transforms of any length of the extended mode, and their tables (internal).
//
// A length n = 8^a 4^b 2^c 3^d 5^e 7^f p1 p2 ... (b, c at most 1) with every prime factor
// up to kLargestRadix is transformed by a self-sorting (Stockham) mixed-radix transform:
// one stage per factor, radix 8 first, then 4, 2, 3, 5, 7 and the larger primes in
// increasing order, each stage reading one array and writing the other, so no permutation is
// needed. Any other length goes through Bluestein's chirp-z transform over a length
// m >= 2n - 1 of the first kind (the smallest 2^a 3^b 5^c not below it).
//
// Every factor is computed in double precision by cosSinTwoPi and rounded once to
// float, as the extended mode's power-of-two tables are. The chirp's spectrum is the
// one table that is not a plain sine or cosine: it is the transform of the chirp,
// computed in double precision by this same code over double tables, scaled by 1/m and
// rounded once.
//
// The arithmetic itself is in any_arith.h, written once for the scalar path and for
// the lanes of every vector path.
#ifndef VXFREQ_FILT_ENGINE_ANY_PLAN_H
#define VXFREQ_FILT_ENGINE_ANY_PLAN_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vx_detail {

// One stage of a Stockham transform of length n: `sequences` interleaved sequences of
// `length` values each (sequences x length = n), split by `radix` into `radix`
// sequences of length / radix.
struct AnyStage {
  std::int32_t radix;
  std::int32_t length;     // of each sequence before the stage
  std::int32_t sequences;  // interleaved, stride between a sequence's values
  std::size_t twiddles;    // index of the stage's first factor pair in the table
  std::size_t rotations;   // index of the radix's own cosines and sines (odd radices)
};

// The stages of one mixed-radix transform and their factors, in floats or doubles.
//   twiddles   for each stage, pairs (cos, -sin)(2 pi p k / length) for p = 1 ..
//              length/radix - 1 and k = 1 .. radix - 1, at twiddles + 2 ((p - 1)
//              (radix - 1) + k - 1)
//   rotations  for an odd radix r, cos and sin of 2 pi j k / r for j, k = 1 .. (r-1)/2,
//              at rotations + 2 ((j - 1) (r - 1)/2 + k - 1); for radix 8, cos and sin of
//              pi / 4
template <class S>
struct AnyStages {
  std::int32_t n = 1;
  std::vector<AnyStage> stages;
  std::vector<S> twiddles;
  std::vector<S> rotations;
  // For n whose prime factors are all at most kLargestRadix.
  explicit AnyStages(std::int32_t length);
};

// The largest prime that gets a stage of its own; a length with a larger prime factor
// takes Bluestein's transform. A stage of radix p costs about p/2 multiplications per
// value against about 6 log2(2n) for the three transforms of Bluestein's method.
constexpr std::int32_t kLargestRadix = 31;

// Whether every prime factor of n (>= 1) is at most `largest`.
bool isSmooth(std::int64_t n, std::int64_t largest);

// The plan of a transform of length n >= 1: its stages, or Bluestein's tables.
class AnyPlan {
public:
  explicit AnyPlan(std::int32_t n);
  AnyPlan(const AnyPlan&) = delete;
  AnyPlan& operator=(const AnyPlan&) = delete;

  std::int32_t length() const { return n_; }
  bool bluestein() const { return bluestein_ != nullptr; }
  // The stages of the direct transform, or of Bluestein's length m.
  const AnyStages<float>& stages() const { return stages_; }
  // Bluestein's length m, its chirp (cos, -sin)(pi j^2 / n), j = 0 .. n - 1, and the
  // chirp's spectrum over m values, divided by m.
  std::int32_t bluesteinLength() const { return stages_.n; }
  const float* chirp() const { return bluestein_->chirp.data(); }
  const float* chirpSpectrum() const { return bluestein_->spectrum.data(); }
  // Complex values of scratch one transform needs beside its data.
  std::size_t scratchValues() const;

private:
  struct Bluestein {
    std::vector<float> chirp;
    std::vector<float> spectrum;
  };
  std::int32_t n_;
  AnyStages<float> stages_;
  std::unique_ptr<Bluestein> bluestein_;
};

// The plan for length n, shared: the last few plans are kept for the calls that follow.
std::shared_ptr<const AnyPlan> anyPlan(std::int32_t n);

// The forward transform of the n = plan.length() complex values at `row` (pairs of
// floats), in place, with `scratch` of plan.scratchValues() complex values.
void anyTransformRow(float* row, const AnyPlan& plan, float* scratch);

}  // namespace vx_detail

#endif
