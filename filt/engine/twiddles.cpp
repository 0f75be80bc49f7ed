#include "filt/engine/twiddles.h"

#include "filt/engine/arith.h"
#include "filt/engine/kernels.h"

#include <cstddef>

namespace vx_detail {

namespace {

// pi/4 as the sum of two doubles.
constexpr double kQuarterPiHi = 0.78539816339744828;
constexpr double kQuarterPiLo = 3.0616169978683830e-17;

// cos x and sin x for 0 <= x <= pi/4 by their Taylor series, cut where the next term
// is below 2^-60 of the sum (x^20 / 20! < 4e-21 and x^19 / 19! < 7e-20 at pi/4).
void cosSinSeries(double x, double& c, double& s) {
  // c = sum (-1)^k z^k / (2k)!, s = x sum (-1)^k z^k / (2k + 1)!, z = x^2, by Horner's rule
  // from the highest term.
  static const double kCos[] = {1.0,
                                -1.0 / 2.0,
                                1.0 / 24.0,
                                -1.0 / 720.0,
                                1.0 / 40320.0,
                                -1.0 / 3628800.0,
                                1.0 / 479001600.0,
                                -1.0 / 87178291200.0,
                                1.0 / 20922789888000.0,
                                -1.0 / 6402373705728000.0,
                                1.0 / 2432902008176640000.0};
  static const double kSin[] = {1.0,
                                -1.0 / 6.0,
                                1.0 / 120.0,
                                -1.0 / 5040.0,
                                1.0 / 362880.0,
                                -1.0 / 39916800.0,
                                1.0 / 6227020800.0,
                                -1.0 / 1307674368000.0,
                                1.0 / 355687428096000.0,
                                -1.0 / 121645100408832000.0};
  const double z = x * x;
  double sc = kCos[sizeof kCos / sizeof kCos[0] - 1];
  for (int k = static_cast<int>(sizeof kCos / sizeof kCos[0]) - 2; k >= 0; --k)
    sc = sc * z + kCos[k];
  double ss = kSin[sizeof kSin / sizeof kSin[0] - 1];
  for (int k = static_cast<int>(sizeof kSin / sizeof kSin[0]) - 2; k >= 0; --k)
    ss = ss * z + kSin[k];
  c = sc;
  s = ss * x;
}

// The per-level factors of the extended mode, levels 2 .. kAccurateLevels, built once.
struct AccurateTwiddles {
  std::vector<float> values;
  std::int32_t levelOffset[EngineTables::kLevels] = {};

  AccurateTwiddles() {
    std::size_t total = 0;
    for (int k = 2; k <= EngineTables::kAccurateLevels; ++k) total += std::size_t{1} << k;
    values.resize(total);
    std::int32_t offset = 0;
    for (int k = 2; k <= EngineTables::kAccurateLevels; ++k) {
      levelOffset[k] = offset;
      const std::int64_t length = std::int64_t{1} << k;
      for (std::int64_t j = 0; j < length / 4; ++j) {
        double c1, s1, c3, s3;
        cosSinTwoPi(j, length, c1, s1);
        cosSinTwoPi(3 * j, length, c3, s3);
        float* w = values.data() + offset + 4 * j;
        w[0] = static_cast<float>(c1);
        w[1] = static_cast<float>(s1);
        w[2] = static_cast<float>(c3);
        w[3] = static_cast<float>(s3);
      }
      offset += static_cast<std::int32_t>(length);
    }
  }
};

const AccurateTwiddles& accurateTwiddles() {
  static const AccurateTwiddles table;
  return table;
}

// The compatible mode's factors of each level's stage, j = 1 .. L/4, advanced from
// (1, 0) by the float rotation of that level.
void buildRotatedTwiddles(std::vector<float>& out, std::int32_t* levelOffset, int maxLevel) {
  std::size_t total = 0;
  for (int k = 2; k <= maxLevel; ++k) total += std::size_t{1} << k;  // L/4 quadruples
  out.resize(total);
  const TwiddleTable table = makeTwiddleTable();
  std::int32_t offset = 0;
  for (int k = 2; k <= maxLevel; ++k) {
    levelOffset[k] = offset;
    const float c1 = table.v[4 * k + 0];
    const float s1 = table.v[4 * k + 1];
    const float c3 = table.v[4 * k + 2];
    const float s3 = table.v[4 * k + 3];
    float wr1 = 1.0f;
    float wi1 = 0.0f;
    float wr3 = 1.0f;
    float wi3 = 0.0f;
    const std::int32_t q = (std::int32_t{1} << k) / 4;
    for (std::int32_t j = 0; j < q; ++j) {
      float* w = out.data() + offset + 4 * j;
      w[0] = wr1;
      w[1] = wi1;
      w[2] = wr3;
      w[3] = wi3;
      rotateTwiddle(wr1, wi1, c1, s1);
      rotateTwiddle(wr3, wi3, c3, s3);
    }
    offset += 4 * q;
  }
}

}  // namespace

void cosSinTwoPi(std::int64_t m, std::int64_t n, double& c, double& s) {
  // The angle in eighths of a turn: 2 pi m / n = (pi/4) (8m / n), with 8m / n split into
  // the octant o and the fraction r / n in [0, 1), exactly.
  const std::int64_t eighths = 8 * (m % n + (m % n < 0 ? n : 0));
  const std::int64_t o = eighths / n;
  const std::int64_t r = eighths % n;
  // Within an odd octant the angle is measured back from the octant's end, so that it
  // lies in [0, pi/4] as well: (o + r/n) pi/4 = (o + 1) pi/4 - ((n - r)/n) pi/4.
  const bool back = (o & 1) != 0;
  const double fraction = static_cast<double>(back ? n - r : r) / static_cast<double>(n);
  double cx, sx;
  cosSinSeries(fraction * kQuarterPiHi + fraction * kQuarterPiLo, cx, sx);
  // The angle is q pi/2 + y with q = the quadrant and y = x (even octant) or
  // pi/2 - x (odd octant), whose cosine and sine are sin x and cos x.
  const double cy = back ? sx : cx;
  const double sy = back ? cx : sx;
  switch ((o >> 1) & 3) {
    case 0:
      c = cy;
      s = sy;
      break;
    case 1:
      c = -sy;
      s = cy;
      break;
    case 2:
      c = -cy;
      s = -sy;
      break;
    default:
      c = sy;
      s = -cy;
      break;
  }
  // A zero factor is +0 whatever the quadrant made of it.
  c += 0.0;
  s += 0.0;
}

EngineTables::EngineTables(int maxLevel, std::int32_t unpackLength, bool accurate) {
  if (accurate) {
    const AccurateTwiddles& table = accurateTwiddles();
    twiddles_ = table.values.data();
    for (int k = 0; k < kLevels; ++k) levelOffset_[k] = table.levelOffset[k];
  } else {
    buildRotatedTwiddles(ownTwiddles_, levelOffset_, maxLevel);
    twiddles_ = ownTwiddles_.data();
  }
  const std::int32_t n = unpackLength;
  if (n < 4) return;  // no step i = 2 .. n/2
  unpack_.resize(static_cast<std::size_t>(n));
  if (accurate) {
    // (cos, -sin) of 2 pi (i - 1) / W, W = 2n: the level log2(W) factors j = i - 1.
    const float* w = twiddles_ + levelOffset_[log2Exact(2 * n)];
    for (std::int32_t i = 2; i <= n / 2; ++i) {
      unpack_[2 * (i - 2)] = w[4 * (i - 1)];
      unpack_[2 * (i - 2) + 1] = -w[4 * (i - 1) + 1];
    }
    return;
  }
  const RealUnpackFactors f = makeRealUnpackFactors(n);
  float wr = f.wpr + 1.0f;
  float wi = f.wpi;
  for (std::int32_t i = 2; i <= n / 2; ++i) {
    unpack_[2 * (i - 2)] = wr;
    unpack_[2 * (i - 2) + 1] = wi;
    advanceUnpackFactors(wr, wi, f.wpr, f.wpi);
  }
}

}  // namespace vx_detail
